#pragma once

#include <QPointF>
#include <QVariant>

class PLYBlockView;
class PLYLayoutInteractionView;
class QGraphicsSceneMouseEvent;
class QMimeData;
class QPainter;

// The interaction handler of a block view (image, blank or text): edit mode, edit handles,
// drops onto the block. The views create, keep and destroy it; the editing overlay calls the
// operations below through this interface, so no caller needs to know the kind. The editor
// registers the concrete kinds with PLYInteractionHandlerFactory; here every operation answers
// NO or does nothing.
//
// Points are in the overlay's coordinates, which are layout points (the overlay is the topmost
// item of the canvas scene). The overlay is only named here; the editor's handlers use it.
class PLYLayoutBlockInteractionHandler {
public:
    explicit PLYLayoutBlockInteractionHandler(PLYBlockView* view) : m_view(view) {}
    virtual ~PLYLayoutBlockInteractionHandler() = default;

    PLYBlockView* view() const { return m_view; }

    virtual bool shouldBlockAcceptEdit() const { return false; }
    // Paints the edit contents over the layout; `live` while an edit drag is under way.
    virtual void drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay, bool live) {
        (void)painter, (void)overlay, (void)live;
    }
    // Edit views live in the editing overlay; they are built when the block becomes the edit
    // block and must be gone before the block view is destroyed.
    virtual void ensureEditViews(PLYLayoutInteractionView* overlay) { (void)overlay; }
    virtual void ensureEditFrames(PLYLayoutInteractionView* overlay) { (void)overlay; }
    virtual void teardownEditViews() {}
    // YES when the point lies on one of the handler's edit handles; it has then set the cursor.
    virtual bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) {
        (void)point, (void)overlay;
        return false;
    }
    virtual void handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) {
        (void)event, (void)overlay;
    }
    virtual void handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) {
        (void)event, (void)overlay;
    }
    virtual void handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) {
        (void)event, (void)overlay;
    }
    // Whether the block itself takes what is dragged at `point`.
    virtual bool shouldBlockAcceptDropOperation(const QMimeData* pasteboard, const QPointF& point) {
        (void)pasteboard, (void)point;
        return false;
    }
    // Applies the drop; `undoInfo` receives what handleUndoForDrop needs to put it back.
    virtual bool handleDrop(const QMimeData* pasteboard, QVariant* undoInfo) {
        (void)pasteboard, (void)undoInfo;
        return false;
    }
    virtual void handleUndoForDrop(const QVariant& undoInfo) { (void)undoInfo; }

private:
    PLYBlockView* m_view;
};
