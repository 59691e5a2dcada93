#pragma once

#include "PLYKeyCodes.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"

#include <QGraphicsObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class PLYBlockView;
class PLYLayoutViewProxy;
class PLYSectionView;
class PLYUndoManager;
class QGraphicsView;
class QMimeData;

// The editing overlay of the layout tab: the topmost item of the canvas scene, covering the
// visible part of it, so that its coordinates are layout points. Every pointer, key and pinch
// event of the canvas reaches it; it turns them into hover, selection, edit-mode and removal
// calls on the layout manager and into calls on the block views' interaction handlers. It keeps
// no layout data: hover, selection and the edit block live in the layout manager, held there
// by identifier.
//
// Its parts: set-up, hit-testing, hover, mouse and keys (PLYLayoutInteractionView.cpp); the
// drag source and the drop destination (PLYLayoutInteractionView_Drag.cpp); undo
// (PLYLayoutInteractionView_Undo.cpp); drawing (PLYLayoutInteractionView_Drawing.cpp).
class PLYLayoutInteractionView : public QGraphicsObject, public PLYLayoutManagerInteractionProxy {
    Q_OBJECT
public:
    // A press that moves further than this from a block starts dragging it.
    static constexpr double kBlockDragThreshold = 20.0;
    // Outline width and inset, in screen points.
    static constexpr double kOutlineWidth = 4.0;
    static constexpr double kOutlineInset = 2.0;
    static constexpr const char* BlockDeleteUndoName = "Undo Block Delete";
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
    PLYBlockView* blockViewUnderPoint(const QPointF& point, PLYBlockView* inBlockView) const;
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

    // ---- Undo (PLYLayoutInteractionView_Undo.cpp) ----
    // Each top-level block of a section, serialised, in order.
    static QList<QByteArray> sectionSnapshot(const PLYSection& section);
    // Puts the section's blocks back as `snapshot` has them, through the layout manager, so that
    // image use counts and views follow.
    void replaceSectionInUndo(const QString& sectionId, const QList<QByteArray>& snapshot);
    static void restoreSection(PLYLayoutManager& manager, const QString& sectionId, const QList<QByteArray>& snapshot);
    // Puts back the block's image position and aspect ratio from its bytes before the edit.
    void undoBlockEdit(const QString& blockId, const QByteArray& data);

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
    void layoutDidChange();
    PLYBlockView* editBlockView() const;
    // Repaints the outline of a block view (or everything when in doubt).
    void updateOutline(const QString& blockId);
    void updateSelectionOutlines(const QStringList& ids);

    // Drag source (PLYLayoutInteractionView_Drag.cpp).
    void beginBlockDrag(const QPointF& point);
    void startDraggingSession(QMimeData* data, const QPixmap& image);

    // Drawing (PLYLayoutInteractionView_Drawing.cpp).
    void drawOutline(QPainter* painter, const QRectF& rect, const QColor& colour) const;
    void drawDebugRects(QPainter* painter) const;

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
    bool m_inBlockDragOp = false;
    QStringList m_blockDragRefIds;
    // Drop feedback, set while a drag moves over the overlay.
    bool m_hoverBlockAcceptsDrag = false;
    bool m_hoverSectionAcceptsDrag = false;
    bool m_hoverSectionHasInteractionZone = false;
    // What the outlines were last painted for, so that a change repaints only where it shows.
    QString m_paintedHoverId;
    QStringList m_paintedSelectionIds;
    DraggingSessionStarter m_sessionStarter;
};
