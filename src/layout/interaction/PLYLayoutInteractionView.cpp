#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYDispatch.h"
#include "PLYDropDecisions.h"
#include "PLYGeometry.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYSectionView.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <cmath>

const QStringList& PLYLayoutInteractionView::registeredDraggedTypes() { return PLYDropDecisions::registeredDraggedTypes(); }

PLYLayoutInteractionView::PLYLayoutInteractionView(QGraphicsItem* parent) : QGraphicsObject(parent) {
    setFlag(ItemIsFocusable);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    setAcceptDrops(true);
    // Above every view of the layout.
    setZValue(1e9);
    // While a drag rests near the view's edge, the view keeps scrolling.
    m_autoscrollTimer.setInterval(40);
    connect(&m_autoscrollTimer, &QTimer::timeout, this, &PLYLayoutInteractionView::autoscrollTick);
}

PLYLayoutInteractionView::~PLYLayoutInteractionView() {
    m_autoscrollTimer.stop();
    unsubscribe();
    delete m_generalMenu.data();
    delete m_imageMenu.data();
}

// ---- Set-up -----------------------------------------------------------------------------------

void PLYLayoutInteractionView::unsubscribe() {
    for (const QMetaObject::Connection& c : std::as_const(m_connections)) disconnect(c);
    m_connections.clear();
    if (m_scrollView && m_scrollView->viewport()) m_scrollView->viewport()->removeEventFilter(this);
    if (auto manager = m_manager.lock()) manager->removeInteractionProxy(this);
    m_observers.clear();
    m_manager.reset();
    m_scrollView = nullptr;
}

void PLYLayoutInteractionView::setLayoutProxy(PLYLayoutViewProxy* proxy) {
    unsubscribe();
    m_proxy = proxy;
    m_paintedHoverId.clear();
    m_paintedSelectionIds.clear();
    if (!proxy) return;
    if (PLYLayoutManager* manager = proxy->layoutManager()) {
        m_manager = manager->weak_from_this();
        manager->addInteractionProxy(this);
        // A new canvas starts outside edit mode: an edit block left by an earlier editor of this
        // post has no edit views here, and the first click would only end it.
        if (manager->currentEditBlock()) manager->setEditBlock(nullptr);
        m_observers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), manager,
                        [this](const PLYNotification&) { layoutDidChange(); });
    }
    m_scrollView = proxy->containingScrollView();
    if (m_scrollView) {
        // Scrolling moves the visible part of the canvas under the overlay.
        m_connections << connect(m_scrollView->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                                 &PLYLayoutInteractionView::boundsChangedNotification)
                      << connect(m_scrollView->verticalScrollBar(), &QScrollBar::valueChanged, this,
                                 &PLYLayoutInteractionView::boundsChangedNotification);
        // Resizes and pinches arrive at the viewport.
        m_scrollView->viewport()->installEventFilter(this);
    }
    syncWithScrollView();
    update();
}

PLYLayoutViewProxy* PLYLayoutInteractionView::layoutProxy() const { return m_proxy; }

PLYLayoutManager* PLYLayoutInteractionView::layoutManager() const { return m_manager.lock().get(); }

QGraphicsView* PLYLayoutInteractionView::scrollView() const { return m_scrollView; }

PLYUndoManager* PLYLayoutInteractionView::undoManager() const {
    return m_scrollView ? PLYWindowUndoManager::undoManagerForWidget(m_scrollView) : nullptr;
}

QRectF PLYLayoutInteractionView::frame() const {
    if (m_scrollView) return QRectF(QPointF(0, 0), QSizeF(m_scrollView->viewport()->size()));
    return QRectF(QPointF(0, 0), m_bounds.size());
}

double PLYLayoutInteractionView::boundsToFrameRatio() const {
    const QRectF f = frame();
    if (f.width() <= 0.0 || m_bounds.width() <= 0.0) return 1.0;
    return m_bounds.width() / f.width();
}

void PLYLayoutInteractionView::syncWithScrollView() {
    QRectF bounds;
    if (m_scrollView) {
        const double m = m_scrollView->transform().m11();
        const QSize viewport = m_scrollView->viewport()->size();
        if (m > 0.0) bounds = QRectF(m_scrollView->mapToScene(QPoint(0, 0)), QSizeF(viewport) / m);
    } else if (m_proxy && m_proxy->layoutView()) {
        bounds = m_proxy->layoutView()->boundingRect();
    }
    if (bounds == m_bounds) return;
    prepareGeometryChange();
    m_bounds = bounds;
}

bool PLYLayoutInteractionView::eventFilter(QObject* watched, QEvent* event) {
    if (!m_scrollView || watched != m_scrollView->viewport()) return false;
    if (event->type() == QEvent::Resize) {
        boundsChangedNotification();
        return false;
    }
    if (event->type() != QEvent::NativeGesture) return false;
    const auto* gesture = static_cast<QNativeGestureEvent*>(event);
    switch (gesture->gestureType()) {
    case Qt::ZoomNativeGesture:
        // Platforms report a zoom step by step; the pinch begins with its first step.
        if (!m_pinching) {
            m_pinching = true;
            m_pinchAmount = 0.0;
            magnificationEvent(Qt::GestureStarted, 0.0);
        }
        m_pinchAmount += gesture->value();
        magnificationEvent(Qt::GestureUpdated, m_pinchAmount);
        return true;
    case Qt::EndNativeGesture:
        if (m_pinching) magnificationEvent(Qt::GestureFinished, m_pinchAmount);
        m_pinching = false;
        return false;
    default:
        return false;
    }
}

void PLYLayoutInteractionView::magnificationEvent(Qt::GestureState state, double magnification) {
    auto* view = qobject_cast<PLYLayoutScrollView*>(m_scrollView.data());
    if (!view) return;
    if (state == Qt::GestureStarted) {
        m_originalMag = view->magnification();
        return;
    }
    view->setMagnification(m_originalMag + magnification);
}

void PLYLayoutInteractionView::boundsChangedNotification() {
    syncWithScrollView();
    if (PLYBlockView* edit = editBlockView())
        if (PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler()) handler->ensureEditFrames(this);
    if (m_scrollView) {
        // Hover follows what now lies under a pointer that stayed where it was.
        const QPoint local = m_scrollView->viewport()->mapFromGlobal(QCursor::pos());
        const bool pressed = scene() && scene()->mouseGrabberItem() == this;
        if (m_scrollView->viewport()->rect().contains(local) && !pressed)
            ensureHoverViews(mapFromScene(m_scrollView->mapToScene(local)));
    }
    update();
}

void PLYLayoutInteractionView::layoutDidChange() {
    // Views move with every edit; edit handles follow their block.
    if (PLYBlockView* edit = editBlockView())
        if (PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler()) handler->ensureEditFrames(this);
    update();
}

// ---- Hit-testing -------------------------------------------------------------------------------

// The views keep their frames indexed: each hit-test exactly tests only the few views near the
// point, so a pointer move costs the same over a long layout as over a short one.
PLYSectionView* PLYLayoutInteractionView::sectionViewUnderPoint(const QPointF& point) const {
    PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr;
    if (!layoutView) return nullptr;
    for (PLYSectionView* section : layoutView->sectionViewsNear(layoutView->mapFromItem(this, point)))
        if (PLYGeometry::pointInRect(point, section->mapRectToItem(this, section->boundingRect()))) return section;
    return nullptr;
}

PLYBlockView* PLYLayoutInteractionView::blockViewUnderPoint(const QPointF& point) const {
    return blockViewUnderPoint(point, sectionViewUnderPoint(point));
}

PLYBlockView* PLYLayoutInteractionView::blockViewUnderPoint(const QPointF& point, PLYSectionView* section) const {
    if (!section) return nullptr;
    for (PLYBlockView* view : section->leafViewsNear(section->mapFromItem(this, point)))
        if (PLYGeometry::pointInRect(point, view->mapRectToItem(this, view->boundingRect()))) return view;
    return nullptr;
}

QList<PLYBlock*> PLYLayoutInteractionView::allBlocksInsideRect(const QRectF& rect) const {
    QList<PLYBlock*> blocks;
    PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr;
    if (!layoutView) return blocks;
    for (PLYSectionView* section : layoutView->sectionViews()) blocks += allBlocksInsideRect(rect, section);
    return blocks;
}

QList<PLYBlock*> PLYLayoutInteractionView::allBlocksInsideRect(const QRectF& rect, PLYSectionView* sectionView) const {
    QList<PLYBlock*> blocks;
    if (!sectionView ||
        !PLYGeometry::rectsOverlap(rect, sectionView->mapRectToItem(this, sectionView->boundingRect())))
        return blocks;
    for (PLYBlockView* view : sectionView->subBlocks()) blocks += allBlocksInsideRect(rect, view);
    return blocks;
}

QList<PLYBlock*> PLYLayoutInteractionView::allBlocksInsideRect(const QRectF& rect, PLYBlockView* blockView) const {
    QList<PLYBlock*> blocks;
    if (!blockView) return blocks;
    if (blockView->kind() == PLYBlock::kContainer) {
        for (PLYBlockView* child : blockView->subBlocks()) blocks += allBlocksInsideRect(rect, child);
        return blocks;
    }
    if (PLYGeometry::rectsOverlap(rect, blockView->mapRectToItem(this, blockView->boundingRect())))
        if (PLYBlock* block = blockView->representedBlock()) blocks << block;
    return blocks;
}

// ---- Hover and edit mode -----------------------------------------------------------------------

void PLYLayoutInteractionView::ensureHoverViews(const QPointF& point) {
    PLYLayoutManager* manager = layoutManager();
    if (!manager) return;
    PLYSectionView* sectionView = sectionViewUnderPoint(point);
    PLYBlockView* blockView = blockViewUnderPoint(point, sectionView);
    const QString sectionId = sectionView ? sectionView->sectionId() : QString();
    const QString blockId = blockView ? blockView->blockId() : QString();
    // Each call tells every interaction proxy: only a change is passed on. Identifiers, not
    // blocks, cross the calls, since a proxy may edit the layout.
    const PLYSection* hoverSection = manager->currentHoverSection();
    if ((hoverSection ? QString::fromStdString(hoverSection->id()) : QString()) != sectionId)
        manager->setHoverSection(sectionView ? sectionView->representedSection() : nullptr);
    const PLYBlock* hoverBlock = manager->currentHoverBlock();
    if ((hoverBlock ? QString::fromStdString(hoverBlock->id()) : QString()) != blockId)
        manager->setHoverBlock(manager->blockForRef(blockId));
}

PLYBlockView* PLYLayoutInteractionView::editBlockView() const { return m_proxy ? m_proxy->currentEditBlockView() : nullptr; }

bool PLYLayoutInteractionView::isInEditMode() const {
    PLYLayoutManager* manager = layoutManager();
    return manager && manager->currentEditBlock();
}

void PLYLayoutInteractionView::enterEditModeIfAvailable() {
    PLYLayoutManager* manager = layoutManager();
    PLYBlockView* hover = m_proxy ? m_proxy->currentHoverBlockView() : nullptr;
    PLYLayoutBlockInteractionHandler* handler = hover ? hover->interactionHandler() : nullptr;
    if (!manager || !handler || !handler->shouldBlockAcceptEdit()) return;
    const QString blockId = hover->blockId();
    manager->deSelectAllBlocks();
    manager->setEditBlock(manager->blockForRef(blockId));
}

void PLYLayoutInteractionView::leaveEditMode() {
    if (PLYLayoutManager* manager = layoutManager(); manager && manager->currentEditBlock()) manager->setEditBlock(nullptr);
}

// ---- Pointer -----------------------------------------------------------------------------------

void PLYLayoutInteractionView::mouseMoved(const QPointF& point) {
    ensureHoverViews(point);
    PLYBlockView* edit = editBlockView();
    PLYLayoutBlockInteractionHandler* handler = edit ? edit->interactionHandler() : nullptr;
    if (!handler || !handler->updateCursorForPoint(point, this)) setCursor(Qt::ArrowCursor);
}

void PLYLayoutInteractionView::hoverEnterEvent(QGraphicsSceneHoverEvent* event) { mouseMoved(event->pos()); }

void PLYLayoutInteractionView::hoverMoveEvent(QGraphicsSceneHoverEvent* event) { mouseMoved(event->pos()); }

void PLYLayoutInteractionView::hoverLeaveEvent(QGraphicsSceneHoverEvent*) {
    // The pointer left the canvas: nothing lies under it any more.
    PLYLayoutManager* manager = layoutManager();
    if (!manager || m_inSelectionDrag) return;
    // An open context menu takes the pointer: the block it is for stays outlined.
    if ((m_imageMenu && m_imageMenu->isVisible()) || (m_generalMenu && m_generalMenu->isVisible())) return;
    if (manager->currentHoverSection()) manager->setHoverSection(nullptr);
    if (manager->currentHoverBlock()) manager->setHoverBlock(nullptr);
}

void PLYLayoutInteractionView::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_clickCount = 1;
    mouseDown(event);
}

void PLYLayoutInteractionView::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_clickCount = 2;
    mouseDown(event);
}

void PLYLayoutInteractionView::mouseMoveEvent(QGraphicsSceneMouseEvent* event) { mouseDragged(event); }

void PLYLayoutInteractionView::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    mouseUp(event);
}

void PLYLayoutInteractionView::mouseDown(QGraphicsSceneMouseEvent* event) {
    const QPointF p = event->pos();
    m_lastMouseDownPoint = p;
    if (PLYBlockView* edit = editBlockView()) {
        PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler();
        if (handler && handler->updateCursorForPoint(p, this)) {
            beginEditGesture();
            handler->handleEditMouseDownEvent(event, this);
            m_inDragOp = true;
        }
        update();
        return;
    }
    // The press decides by what lies under it, even when no move came first.
    ensureHoverViews(p);
    PLYLayoutManager* manager = layoutManager();
    if (manager && !manager->currentHoverBlock()) {
        m_inSelectionDrag = true;
        m_currentSelectionDragRect = QRectF(p, QSizeF(0, 0));
    }
}

void PLYLayoutInteractionView::mouseDragged(QGraphicsSceneMouseEvent* event) {
    const QPointF p = event->pos();
    if (PLYBlockView* edit = editBlockView()) {
        if (m_inDragStep) return;
        m_inDragStep = true;
        if (PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler())
            handler->handleEditMouseDragEvent(event, this);
        m_inDragStep = false;
        update();
        return;
    }
    if (m_inSelectionDrag) {
        const QRectF before = m_currentSelectionDragRect;
        const QPointF s = m_lastMouseDownPoint;
        m_currentSelectionDragRect = QRectF(std::min(s.x(), p.x()), std::min(s.y(), p.y()), std::abs(p.x() - s.x()),
                                            std::abs(p.y() - s.y()));
        const double margin = 2.0 * boundsToFrameRatio();
        update(before.united(m_currentSelectionDragRect).adjusted(-margin, -margin, margin, margin));
        return;
    }
    PLYLayoutManager* manager = layoutManager();
    if (!m_inBlockDragOp && manager && manager->currentHoverBlock() &&
        std::hypot(p.x() - m_lastMouseDownPoint.x(), p.y() - m_lastMouseDownPoint.y()) > kBlockDragThreshold)
        beginBlockDrag(p);
}

void PLYLayoutInteractionView::mouseUp(QGraphicsSceneMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (m_scrollView) m_scrollView->setFocus(Qt::MouseFocusReason);
    PLYLayoutManager* manager = layoutManager();
    const int clickCount = m_clickCount;
    m_clickCount = 0;
    if (!manager) return;

    if (PLYBlockView* edit = editBlockView()) {
        if (m_inDragOp) {
            if (PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler())
                handler->handleEditMouseUpEvent(event, this);
            m_inDragOp = false;
            endEditGesture();
        } else {
            // A click that did not start on an edit handle leaves edit mode.
            manager->setEditBlock(nullptr);
        }
        update();
        return;
    }

    // One road per release: a rubber band, a click on a block, or a click on empty canvas.
    if (m_inSelectionDrag) {
        m_inSelectionDrag = false;
        const QRectF band = m_currentSelectionDragRect;
        manager->selectBlocks(allBlocksInsideRect(band));
        const double margin = 2.0 * boundsToFrameRatio();
        update(band.adjusted(-margin, -margin, margin, margin));
        return;
    }
    PLYBlock* hover = manager->currentHoverBlock();
    if (!hover) {
        manager->deSelectAllBlocks();
        return;
    }
    if (clickCount < 2) {
        const quint64 flags = PLYKeyCodes::modifierFlagsFromQt(event->modifiers());
        if (m_inBlockDragOp)
            m_inBlockDragOp = false;  // the release that ends a block drag changes no selection
        else if (flags & PLYKeyCodes::Command)
            manager->deSelectBlock(hover);
        else if (flags & PLYKeyCodes::Shift)
            manager->addSelectedBlock(hover);
        else
            manager->selectBlock(hover);
        return;
    }
    // A double click edits the block when its handler takes edit (a download button has none).
    PLYBlockView* hoverView = m_proxy ? m_proxy->currentHoverBlockView() : nullptr;
    PLYLayoutBlockInteractionHandler* handler = hoverView ? hoverView->interactionHandler() : nullptr;
    if (!handler || !handler->shouldBlockAcceptEdit()) return;
    // Edit mode records its own undo step, whichever road enters it.
    const QString blockId = QString::fromStdString(hover->id());
    manager->deSelectAllBlocks();
    manager->setEditBlock(manager->blockForRef(blockId));
}

// ---- Keys --------------------------------------------------------------------------------------

bool PLYLayoutInteractionView::isEditingKey(int keyCode) {
    return keyCode == PLYKeyCodes::Delete || keyCode == PLYKeyCodes::E || keyCode == PLYKeyCodes::Return ||
           keyCode == PLYKeyCodes::Escape;
}

void PLYLayoutInteractionView::keyPressEvent(QKeyEvent* event) {
    // The editor acts on key-up; the key-downs of its keys are swallowed. Other keys (arrows,
    // page keys) go on to the canvas, which scrolls with them.
    if (isEditingKey(PLYKeyCodes::keyCodeForQtKey(event->key())) && event->modifiers() == Qt::NoModifier)
        event->accept();
    else
        event->ignore();
}

void PLYLayoutInteractionView::keyReleaseEvent(QKeyEvent* event) {
    const std::optional<PLYKeyCodes::KeyEvent> key = PLYKeyCodes::fromQKeyEvent(*event);
    if (!key) {
        event->accept();  // an auto-repeat release: the key acts once
        return;
    }
    // A key-up with Command belongs to a menu's key equivalent.
    if (key->modifierFlags & PLYKeyCodes::Command) {
        event->ignore();
        return;
    }
    // A key-up that a child (the text twin) passed on is typing, not a command.
    QGraphicsItem* focus = scene() ? scene()->focusItem() : nullptr;
    if (focus && focus != this && key->keyCode != PLYKeyCodes::Escape) {
        event->ignore();
        return;
    }
    keyUp(*key, event);
}

void PLYLayoutInteractionView::keyUp(const PLYKeyCodes::KeyEvent& key, QKeyEvent* event) {
    switch (key.keyCode) {
    case PLYKeyCodes::Delete:
        deleteSelectedBlocks();
        event->accept();
        return;
    case PLYKeyCodes::E:
        enterEditModeIfAvailable();
        event->accept();
        return;
    case PLYKeyCodes::Return:
    case PLYKeyCodes::Escape:
        if (isInEditMode()) {
            leaveEditMode();
            event->accept();
            return;
        }
        break;
    default: break;
    }
    QGraphicsObject::keyReleaseEvent(event);
}

void PLYLayoutInteractionView::watchKeysOfEditView(QGraphicsItem* item) {
    if (item && item->scene() == scene()) item->installSceneEventFilter(this);
}

bool PLYLayoutInteractionView::sceneEventFilter(QGraphicsItem*, QEvent* event) {
    if (event->type() != QEvent::KeyRelease) return false;
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (keyEvent->isAutoRepeat() || PLYKeyCodes::keyCodeForQtKey(keyEvent->key()) != PLYKeyCodes::Escape) return false;
    // Leaving edit mode removes the edit view that is receiving this event: leave afterwards.
    QPointer<PLYLayoutInteractionView> self(this);
    PLYDispatch::mainAsync(
        [self] {
            if (self) self->leaveEditMode();
        },
        this);
    return true;
}

void PLYLayoutInteractionView::deleteSelectedBlocks() {
    auto manager = m_manager.lock();
    if (!manager || !manager->representedLayout()) return;
    QStringList ids;
    for (const PLYBlock* block : manager->currentSelectedBlocks()) ids << QString::fromStdString(block->id());
    manager->deSelectAllBlocks();
    QList<PLYBlock*> blocks;
    for (const QString& id : std::as_const(ids))
        if (PLYBlock* block = manager->blockForRef(id)) blocks << block;
    // With nothing to delete nothing is recorded: an empty step would throw away what is left
    // to redo.
    if (blocks.isEmpty()) return;
    manager->removeBlocks(blocks);
    const PLYLayoutEdit edit = manager->lastEdit();
    if (edit.changed()) manager->registerUndoForEdit(undoManager(), edit, QString::fromLatin1(DeleteUndoName));
}

// ---- Interaction proxy -------------------------------------------------------------------------

void PLYLayoutInteractionView::updateOutline(const QString& blockId) {
    if (blockId.isEmpty()) return;
    PLYBlockView* view = m_proxy ? m_proxy->blockViewForId(blockId) : nullptr;
    if (!view) {
        update();
        return;
    }
    const double margin = (kOutlineWidth + kOutlineInset) * boundsToFrameRatio() + 2.0;
    update(view->mapRectToItem(this, view->boundingRect()).adjusted(-margin, -margin, margin, margin));
}

void PLYLayoutInteractionView::updateSelectionOutlines(const QStringList& ids) {
    for (const QString& id : std::as_const(m_paintedSelectionIds)) updateOutline(id);
    m_paintedSelectionIds = ids;
    for (const QString& id : ids) updateOutline(id);
}

void PLYLayoutInteractionView::layoutManagerDidSetHoverSection(PLYLayoutManager*, PLYSection*) {
    // Sections show only as drop targets, which repaint with the drag.
}

void PLYLayoutInteractionView::layoutManagerDidSetHoverBlock(PLYLayoutManager*, PLYBlock* block) {
    updateOutline(m_paintedHoverId);
    m_paintedHoverId = block ? QString::fromStdString(block->id()) : QString();
    updateOutline(m_paintedHoverId);
}

void PLYLayoutInteractionView::layoutManagerDidSelectSection(PLYLayoutManager*, PLYSection*) { update(); }

void PLYLayoutInteractionView::layoutManagerDidSelectBlocks(PLYLayoutManager*, const QList<PLYBlock*>& blocks) {
    QStringList ids;
    for (const PLYBlock* block : blocks) ids << QString::fromStdString(block->id());
    updateSelectionOutlines(ids);
}

void PLYLayoutInteractionView::layoutManagerDidSetEditBlock(PLYLayoutManager* manager, PLYBlock* block) {
    editBlockChanged(block);
    if (block) {
        PLYBlockView* edit = editBlockView();
        if (PLYLayoutBlockInteractionHandler* handler = edit ? edit->interactionHandler() : nullptr) {
            handler->ensureEditViews(this);
            handler->ensureEditFrames(this);
        }
    } else {
        m_inDragOp = false;
        setCursor(Qt::ArrowCursor);
        // The edit view that had the keys is gone.
        if (scene() && !scene()->focusItem()) setFocus(Qt::OtherFocusReason);
        if (manager) manager->announceChange();
    }
    update();
}
