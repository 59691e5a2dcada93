#pragma once

#include "PLYLayoutBlockInteractionHandlerBase.h"

#include <QImage>

// The handler of an image block. In edit mode it shows the whole picture, dimmed where it
// runs past the block, with eight edit handles on the picture's frame and two block handles.
class PLYLayoutBlockInteractionHandler_Image : public PLYLayoutBlockInteractionHandlerBase {
public:
    using PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase;

    bool shouldBlockAcceptEdit() const override { return true; }
    void drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay, bool live) override;
    void ensureEditViews(PLYLayoutInteractionView* overlay) override;
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;

    // The picture's whole frame in overlay coordinates (it may extend past the block).
    QRectF imageFrame() const;
    std::shared_ptr<PLYGrabHandle> currentHandle() const { return m_currentHandle; }

private:
    std::shared_ptr<PLYGrabHandle> m_currentHandle;
    bool m_dragging = false;
    // The large rendition, read once per edit session rather than at every paint.
    QImage m_picture;
};
