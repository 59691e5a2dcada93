#pragma once

#include "PLYLayoutBlockInteractionHandlerBase.h"

#include <QPointer>

// The handler of a text block. In edit mode an editable twin of the block's view lies over the
// block, as a child of the overlay, while the block's own view is hidden; the twin's key-ups
// are watched by the overlay, which acts on Escape only. It takes no drops.
class PLYLayoutBlockInteractionHandler_Text : public PLYLayoutBlockInteractionHandlerBase {
public:
    using PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase;
    ~PLYLayoutBlockInteractionHandler_Text() override;

    bool shouldBlockAcceptEdit() const override { return true; }
    void drawEditContents(QPainter*, PLYLayoutInteractionView*, bool) override {}
    // Makes the twin once; a second call keeps the first.
    void ensureEditViews(PLYLayoutInteractionView* overlay) override;
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    // YES inside the block; the text cursor is the editor's own.
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    bool shouldBlockAcceptDropOperation(const QMimeData*, const QPointF&) override { return false; }

    // The editable twin while in edit mode.
    PLYBlockView* editBlockView() const;

private:
    QPointer<PLYBlockView> m_twin;
};
