#pragma once

#include "PLYGrabHandle.h"
#include "PLYLayoutBlockInteractionHandler.h"

#include <QList>
#include <QRectF>
#include <memory>

class PLYLayoutManager;

// What the editor's block handlers (image, blank, text) share. Every operation a kind must
// supply logs "WARN: subclass should implement" with the call stack and answers NO; a drop is
// taken in the middle ninth of the block. The handles are made on first use and kept; the
// kinds move and size them with the zoom so that they keep their size on screen.
class PLYLayoutBlockInteractionHandlerBase : public PLYLayoutBlockInteractionHandler {
public:
    static constexpr double kEditHandleSide = 6.0;
    static constexpr double kBlockHandleLength = 30.0;
    static constexpr double kBlockHandleThickness = 6.0;
    // Block handles sit this far inside the block's edge (times the handle scale).
    static constexpr double kBlockHandleInset = 12.0;

    explicit PLYLayoutBlockInteractionHandlerBase(PLYBlockView* view);
    ~PLYLayoutBlockInteractionHandlerBase() override;

    // A handler of kind T for `view`, for PLYInteractionHandlerFactory.
    template <class T>
    static std::unique_ptr<PLYLayoutBlockInteractionHandler> handlerWithView(PLYBlockView* view) {
        return std::make_unique<T>(view);
    }

    bool shouldBlockAcceptEdit() const override;
    void drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay, bool live) override;
    void ensureEditViews(PLYLayoutInteractionView* overlay) override;
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    // YES in the block's middle ninth: its bounds inset by a third of the width on the left and
    // right and a third of the height at top and bottom (minimum edges in, maximum edges out).
    bool shouldBlockAcceptDropOperation(const QMimeData* pasteboard, const QPointF& point) override;
    bool handleDrop(const QMimeData* pasteboard, QVariant* undoInfo) override;
    void handleUndoForDrop(const QVariant& undoInfo) override;

    // Eight handles at corners 0, 1, 2, 3, 5, 7, 4, 6.
    const QList<std::shared_ptr<PLYGrabHandle>>& editHandles();
    // Two handles: left and right when the block's parent lays its children side by side,
    // else top and bottom. The orientation is chosen once, when the handles are made.
    const QList<std::shared_ptr<PLYGrabHandle>>& blockHandles();

    // Keeps the origin; sets the size for the scale `m` (layout points per screen point): an
    // edit handle 6m x 6m, a left or right block handle 6m x 30m, a top or bottom one 30m x 6m.
    void setSizeForHandle(PLYGrabHandle& handle, double m, bool isBlockHandle) const;
    // A white square outlined in black, 1 point wide.
    static void drawGrabHandle(QPainter* painter, const PLYGrabHandle& handle, double m = 1.0);
    // A pill in the palette blue, opaque when active, else at alpha 0.7.
    static void drawBlockHandle(QPainter* painter, const PLYGrabHandle& handle, bool active);

    // Layout points per screen point in `overlay` (its bounds width over its frame width).
    static double handleScaleForOverlay(const PLYLayoutInteractionView* overlay);
    // The block view's bounds in overlay (scene) coordinates.
    QRectF blockFrame() const;
    // Sizes the block handles and centres each 12m inside the middle of its edge.
    void layoutBlockHandles(double m);
    // The first handle of `handles` whose frame holds `point`, or nothing.
    static std::shared_ptr<PLYGrabHandle> handleAtPoint(const QList<std::shared_ptr<PLYGrabHandle>>& handles,
                                                        const QPointF& point);

    // Logs, at error level and at once, that a kind lacks an operation, with the call stack.
    static void warnSubclassShouldImplement();

protected:
    // The block's parent container lays its children side by side.
    bool blockSitsSideBySide() const;
    // The layout manager of the block's views, or nothing.
    PLYLayoutManager* layoutManager() const;
    // A block handle dragged by `movement` (layout points) since the press, the block's frame
    // having been `originalBlockFrame` then: the block takes the ratio the drag gives it. The
    // views relay out at once; the change is announced when edit mode ends.
    void resizeBlockForHandleDrag(const PLYGrabHandle& handle, const QRectF& originalBlockFrame, const QPointF& movement);
    // The pointer's movement since the press noted by notePress, in layout points. Taken from
    // screen positions: a resize may scroll the canvas under a pointer that stays put, and the
    // block must then keep its size instead of following the scroll.
    void notePress(QGraphicsSceneMouseEvent* event);
    QPointF pointerMovementSincePress(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) const;

private:
    QPointF m_pressScreenPos;
    QList<std::shared_ptr<PLYGrabHandle>> m_editHandles;
    QList<std::shared_ptr<PLYGrabHandle>> m_blockHandles;
};
