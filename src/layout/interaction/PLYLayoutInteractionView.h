#pragma once

#include "PLYExtendableUndoStep.h"
#include "PLYKeyCodes.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"

#include "PLYPasteboard.h"

#include <QGraphicsObject>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class PLYBlockView;
class PLYInteractionRow;
class PLYInteractionZone;
class PLYLayoutViewProxy;
class PLYSectionView;
class PLYUndoManager;
class PLYLayoutSectionInteractionHandler;
class QGraphicsView;
class QMenu;
class QMimeData;

// The editing overlay of the layout tab: the topmost item of the canvas scene, covering the
// visible part of it, so that its coordinates are layout points. Every pointer, key and pinch
// event of the canvas reaches it; it turns them into hover, selection, edit-mode and removal
// calls on the layout manager and into calls on the block views' interaction handlers. It keeps
// no layout data: hover, selection and the edit block live in the layout manager, held there
// by identifier.
//
// Its parts: set-up, hit-testing, hover, mouse and keys (PLYLayoutInteractionView.cpp); the
// drag source (PLYLayoutInteractionView_Drag.cpp); the drop destination
// (PLYLayoutInteractionView_Drop.cpp); undo (PLYLayoutInteractionView_Undo.cpp); context menus
// (PLYLayoutInteractionView_Menu.cpp); drawing (PLYLayoutInteractionView_Drawing.cpp).
class PLYLayoutInteractionView : public QGraphicsObject, public PLYLayoutManagerInteractionProxy {
    Q_OBJECT
public:
    // A press that moves further than this from a block starts dragging it.
    static constexpr double kBlockDragThreshold = 20.0;
    // Outline width and inset, in screen points.
    static constexpr double kOutlineWidth = 4.0;
    static constexpr double kOutlineInset = 2.0;
    static constexpr const char* EditUndoName = "Undo Edit";
    // The editor's pasteboard types, in the order the overlay takes them.
    static const QStringList& registeredDraggedTypes();

    explicit PLYLayoutInteractionView(QGraphicsItem* parent = nullptr);
    ~PLYLayoutInteractionView() override;

    // Follows `proxy`'s layout manager and scroll view, replacing every earlier subscription.
    void setLayoutProxy(PLYLayoutViewProxy* proxy);
    PLYLayoutViewProxy* layoutProxy() const;
    PLYLayoutManager* layoutManager() const;
    // The view showing the canvas (the proxy's containing scroll view).
    QGraphicsView* scrollView() const;
    // The window's undo manager (nothing while the overlay is not shown in a window).
    PLYUndoManager* undoManager() const;

    // The visible part of the canvas in layout points, and the viewport in screen points.
    QRectF bounds() const { return m_bounds; }
    QRectF frame() const;
    // Layout points per screen point: bounds width over frame width (1 / zoom).
    double boundsToFrameRatio() const;
    // Takes the bounds from the scroll view again (after a scroll, a zoom or a resize).
    void syncWithScrollView();

    // Hit-testing in overlay coordinates. A container is never the block under a point: the
    // deepest block is.
    PLYSectionView* sectionViewUnderPoint(const QPointF& point) const;
    PLYBlockView* blockViewUnderPoint(const QPointF& point) const;
    // The block view under `point` inside `section`, the section already found there.
    PLYBlockView* blockViewUnderPoint(const QPointF& point, PLYSectionView* section) const;
    // Leaf blocks whose views overlap `rect` with a non-zero area, in layout order. The blocks
    // are valid until the next edit of the layout.
    QList<PLYBlock*> allBlocksInsideRect(const QRectF& rect) const;
    QList<PLYBlock*> allBlocksInsideRect(const QRectF& rect, PLYSectionView* sectionView) const;
    QList<PLYBlock*> allBlocksInsideRect(const QRectF& rect, PLYBlockView* blockView) const;

    // Hover follows the section and the block under `point`.
    void ensureHoverViews(const QPointF& point);
    // The hovered block enters edit mode when its handler takes edit (the selection empties).
    void enterEditModeIfAvailable();
    bool isInEditMode() const;

    // A pinch: `state` Qt::GestureStarted remembers the zoom; any other state sets the zoom to
    // that plus `magnification`, the amount accumulated since the pinch began.
    void magnificationEvent(Qt::GestureState state, double magnification);
    // The canvas scrolled or zoomed: edit handles follow their block and hover is recomputed
    // under the pointer.
    void boundsChangedNotification();

    // Key-ups of an edit view (the text twin) reach the overlay first; it acts on Escape only.
    void watchKeysOfEditView(QGraphicsItem* item);

    // State, read by the drawing, the drag and drop, and the tests.
    QPointF lastMouseDownPoint() const { return m_lastMouseDownPoint; }
    bool inSelectionDrag() const { return m_inSelectionDrag; }
    QRectF currentSelectionDragRect() const { return m_currentSelectionDragRect; }
    bool inDragOp() const { return m_inDragOp; }
    bool inBlockDragOp() const { return m_inBlockDragOp; }
    QStringList blockDragRefIds() const { return m_blockDragRefIds; }

    // ---- Drag source (PLYLayoutInteractionView_Drag.cpp) ----
    // Which blocks a drag that began on `hoverId` carries: the selection when the press was on
    // a selected block (one common container when the selection is exactly its leaves), else
    // the hovered block alone.
    static QStringList blockIdsToDrag(const PLYLayoutManager& manager, const QStringList& selectedIds,
                                      const QString& hoverId, bool pressedInSelection);
    // Starts the platform's dragging session with the pasteboard of the dragged blocks; set by
    // tests to watch a drag without a real session. The session's end is reported back through
    // draggingSessionEnded().
    using DraggingSessionStarter =
        std::function<void(PLYLayoutInteractionView* source, QMimeData* data, const QPixmap& image)>;
    void setDraggingSessionStarter(DraggingSessionStarter starter) { m_sessionStarter = std::move(starter); }
    void draggingSessionEnded();
    // Drags offer, and drops answer, the move operation only.
    static constexpr int DragOperationNone = 0;
    static constexpr int DragOperationMove = 16;
    static int sourceOperationMask() { return DragOperationMove; }

    // ---- Drop destination (PLYLayoutInteractionView_Drop.cpp) ----
    // One moment of a drag over the overlay: what is dragged, where (overlay coordinates, which
    // are layout points), and the modifier keys then held (PLYKeyCodes flags). The platform's
    // drag events come in through these entry points; tests may call them directly.
    struct DraggingInfo {
        const QMimeData* pasteboard = nullptr;
        QPointF location;
        quint64 modifierFlags = 0;
    };
    // A drag came over the overlay: edit mode ends, every section forgets its zone.
    int draggingEntered(const DraggingInfo& info);
    int draggingUpdated(const DraggingInfo& info) { return processDragMovement(info); }
    // Hover, drop feedback and drag-image arrangement for the drag's place: the move operation
    // where a section takes the drop whole, a zone lies under the point or the hovered block
    // takes the drop itself; none elsewhere.
    int processDragMovement(const DraggingInfo& info);
    void draggingExited();
    bool prepareForDragOperation(const DraggingInfo&) { return true; }
    // Applies the drop where the last movement put it: one layout edit and one undo step, or
    // nothing at all (then no undo either). The drag flags are cleared in both cases.
    bool performDragOperation(const DraggingInfo& info);
    void concludeDragOperation();
    // A point just beside the layout view still targets its edge (see PLYDropDecisions); above
    // or below the layout, side zones are forgotten.
    QPointF resolvePointFromOutOfBounds(const QPointF& point);
    // Lines the drag images up from the drag's place, stacked or side by side.
    void enumerateDraggingSession(bool orientVertical);
    // The arrangement the drag's place asks for, flipped while Command is held.
    void ensureDragImageOrientation(bool cmd);

    bool hoverBlockAcceptsDrag() const { return m_hoverBlockAcceptsDrag; }
    bool hoverSectionAcceptsDrag() const { return m_hoverSectionAcceptsDrag; }
    bool hoverSectionHasInteractionZone() const { return m_hoverSectionHasInteractionZone; }
    bool imagesOrientedVertical() const { return m_imagesOrientedVertical; }
    bool forceOrientationVertical() const { return m_forceOrientationVertical; }
    qint64 currentDragSequenceNumber() const { return m_currentDragSequenceNumber; }
    // Where the images of a drag of several items are drawn now (empty for one item).
    const QList<QRectF>& dragImageFrames() const { return m_dragImageFrames; }

    // ---- Undo (PLYLayoutInteractionView_Undo.cpp) ----
    // Undo names of the Delete key and of the double click into edit mode.
    static constexpr const char* DeleteUndoName = "Undo Block Delete";
    // ---- Context menus (PLYLayoutInteractionView_Menu.cpp) ----
    // Built on first use and kept: "Reload Layout"; and "Edit", "Delete" over a block.
    QMenu* generalMenu();
    QMenu* imageMenu();
    // The overlay takes ownership of a menu set here.
    void setGeneralMenu(QMenu* menu);
    void setImageMenu(QMenu* menu);
    // The block menu while a block is hovered, else the general one.
    QMenu* menu();
    // Empty containers go, then the layout view is built again.
    void menuReloadAction();
    void menuEditAction();
    // Removes the hovered block, whatever the selection, as one undoable step.
    void menuDeleteAction();

    // PLYLayoutManagerInteractionProxy
    void layoutManagerDidSetHoverSection(PLYLayoutManager* manager, PLYSection* section) override;
    void layoutManagerDidSetHoverBlock(PLYLayoutManager* manager, PLYBlock* block) override;
    void layoutManagerDidSelectSection(PLYLayoutManager* manager, PLYSection* section) override;
    void layoutManagerDidSelectBlocks(PLYLayoutManager* manager, const QList<PLYBlock*>& blocks) override;
    void layoutManagerDidSetEditBlock(PLYLayoutManager* manager, PLYBlock* block) override;

    QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QGraphicsSceneDragDropEvent* event) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent* event) override;
    void dragLeaveEvent(QGraphicsSceneDragDropEvent* event) override;
    void dropEvent(QGraphicsSceneDragDropEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    bool sceneEventFilter(QGraphicsItem* watched, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void unsubscribe();
    void mouseMoved(const QPointF& point);
    void mouseDown(QGraphicsSceneMouseEvent* event);
    void mouseDragged(QGraphicsSceneMouseEvent* event);
    void mouseUp(QGraphicsSceneMouseEvent* event);
    // Whether the overlay acts on the key (at key-up); others pass to the canvas.
    static bool isEditingKey(int keyCode);
    void keyUp(const PLYKeyCodes::KeyEvent& key, QKeyEvent* event);
    void deleteSelectedBlocks();
    void leaveEditMode();
    // Edit-mode undo (PLYLayoutInteractionView_Undo.cpp): the step of a new edit block, the
    // bytes before a crop, pan or resize and its recording once it ends.
    void editBlockChanged(const PLYBlock* block);
    void beginEditSession(const QString& blockId);
    void closeEditSession();
    void beginEditGesture();
    void endEditGesture();
    void layoutDidChange();
    PLYBlockView* editBlockView() const;
    // Repaints the outline of a block view (or everything when in doubt).
    void updateOutline(const QString& blockId);
    void updateSelectionOutlines(const QStringList& ids);

    // Drag source (PLYLayoutInteractionView_Drag.cpp).
    void beginBlockDrag(const QPointF& point);
    void startDraggingSession(QMimeData* data, const QPixmap& image);

    // Drop destination (PLYLayoutInteractionView_Drop.cpp).
    static DraggingInfo draggingInfoFromEvent(const QGraphicsSceneDragDropEvent* event);
    // Takes up a new dragging session: its pasteboard, zone references and drag images.
    void noteDraggingSession(const DraggingInfo& info);
    void prepareDragImages();
    // Takes the previews decoded since; answers whether any came.
    bool takeDecodedDragImages();
    // Scrolls when the drag is near the view's edge; answers the drag's place after it.
    QPointF autoscroll(const QPointF& location);
    void autoscrollTick();
    PLYLayoutSectionInteractionHandler* hoverSectionHandler() const;
    void clearDragFlags();
    // Repaints what the drop feedback covers when it changed.
    void updateDropFeedback();

    // Drawing (PLYLayoutInteractionView_Drawing.cpp).
    void drawOutline(QPainter* painter, const QRectF& rect, const QColor& colour) const;
    void drawDebugRects(QPainter* painter) const;
    void drawInteractionZone(QPainter* painter, const PLYInteractionZone& zone, PLYSectionView* sectionView) const;
    void drawInteractionRow(QPainter* painter, const PLYInteractionRow& row, const PLYInteractionZone& zone,
                            PLYSectionView* sectionView) const;
    void drawDragImages(QPainter* painter) const;

    // Context menus (PLYLayoutInteractionView_Menu.cpp).
    QMenu* makeMenu(const QList<std::pair<QString, void (PLYLayoutInteractionView::*)()>>& items);
    PLYBlock* menuBlock();

    QPointer<PLYLayoutViewProxy> m_proxy;
    std::weak_ptr<PLYLayoutManager> m_manager;
    QPointer<QGraphicsView> m_scrollView;
    QList<QMetaObject::Connection> m_connections;
    PLYObserverBag m_observers;
    QRectF m_bounds;

    double m_originalMag = 0.0;
    double m_pinchAmount = 0.0;
    bool m_pinching = false;
    QPointF m_lastMouseDownPoint;
    int m_clickCount = 0;
    bool m_inSelectionDrag = false;
    QRectF m_currentSelectionDragRect;
    bool m_inDragOp = false;
    // Set while a drag step is handled: the relayout it causes may scroll the canvas, and the
    // view then replays the pointer's move, which must not start another step inside this one.
    bool m_inDragStep = false;
    // The edit-mode session's undo step while it may still be extended, the sections before the
    // crop, pan or resize under way, and the hold on other roads' changes while it is.
    PLYExtendableUndoStep m_editStep;
    std::optional<PLYLayoutEdit> m_gestureBefore;
    std::shared_ptr<void> m_liveEditHold;
    QString m_editSessionBlockId;
    bool m_inBlockDragOp = false;
    QStringList m_blockDragRefIds;
    // The dragged blocks' pictures, drawn once at drag start for the drag and the overlay's line.
    QHash<QString, QImage> m_blockDragImages;
    QImage blockDragImage(const QString& blockId);
    // Drop feedback, set while a drag moves over the overlay.
    bool m_hoverBlockAcceptsDrag = false;
    bool m_hoverSectionAcceptsDrag = false;
    bool m_hoverSectionHasInteractionZone = false;
    // What the outlines were last painted for, so that a change repaints only where it shows.
    QString m_paintedHoverId;
    QStringList m_paintedSelectionIds;
    DraggingSessionStarter m_sessionStarter;
    // Where the pointer holds the picture of the block drag being started.
    QPointF m_dragImageHotSpot;

    // The drag over the overlay.
    bool m_imagesOrientedVertical = true;
    bool m_forceOrientationVertical = true;
    qint64 m_currentDragSequenceNumber = 0;
    QPointer<QMimeData> m_dragMime;
    PLYPasteboard m_dragPasteboard;
    QStringList m_dragZoneRefs;
    QList<QImage> m_dragImages;
    // Per drag image, the picture whose preview is still awaited; empty when none is.
    QStringList m_pendingDragImageRefs;
    QList<QRectF> m_dragImageFrames;
    QPointF m_dragLocation;
    quint64 m_dragModifiers = 0;
    int m_lastDragAnswer = DragOperationNone;
    QTimer m_autoscrollTimer;
    QPointF m_autoscrollViewportPoint;
    // What the drop feedback was last painted for.
    const void* m_paintedZone = nullptr;
    const void* m_paintedRegion = nullptr;
    int m_paintedDropFlags = 0;
    QRectF m_paintedDragImages;

    QPointer<QMenu> m_generalMenu;
    QPointer<QMenu> m_imageMenu;
    QString m_menuBlockId;
};
