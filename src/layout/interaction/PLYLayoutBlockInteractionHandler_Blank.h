#pragma once

#include "PLYLayoutBlockInteractionHandlerBase.h"

// The handler of a blank spacer block: in edit mode two block handles, through which the
// spacer is made taller or shorter (wider or narrower beside other blocks) by setting its
// ratio. It takes no drops.
class PLYLayoutBlockInteractionHandler_Blank : public PLYLayoutBlockInteractionHandlerBase {
public:
    using PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase;

    bool shouldBlockAcceptEdit() const override { return true; }
    void drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay, bool live) override;
    void ensureEditViews(PLYLayoutInteractionView*) override {}
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    bool shouldBlockAcceptDropOperation(const QMimeData*, const QPointF&) override { return false; }

    std::shared_ptr<PLYGrabHandle> currentHandle() const { return m_currentHandle; }

private:
    std::shared_ptr<PLYGrabHandle> m_currentHandle;
    QPointF m_mouseDownLoc;
    QRectF m_originalDragBlockFrame;
    bool m_dragging = false;
};
