// The overlay as the drag source of existing blocks. The drop destination is in
// PLYLayoutInteractionView_Drop.cpp.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYDragImages.h"
#include "PLYGeometry.h"
#include "PLYLayoutViewProxy.h"
#include "PLYPasteboard.h"

#include <QDrag>
#include <QGraphicsView>
#include <QImage>
#include <QMimeData>
#include <QPixmap>

namespace {
QStringList idsOf(const QList<PLYBlock*>& blocks) {
    QStringList ids;
    for (const PLYBlock* block : blocks)
        if (block) ids << QString::fromStdString(block->id());
    return ids;
}

}  // namespace

QStringList PLYLayoutInteractionView::blockIdsToDrag(const PLYLayoutManager& manager, const QStringList& selectedIds,
                                                     const QString& hoverId, bool pressedInSelection) {
    if (!pressedInSelection || selectedIds.isEmpty()) return hoverId.isEmpty() ? QStringList() : QStringList{hoverId};
    // One container stands for the selection only when the selection is exactly its leaves: a
    // selected block outside it would otherwise be left behind.
    return manager.dragBlockRefsForSelection(selectedIds);
}

void PLYLayoutInteractionView::beginBlockDrag(const QPointF&) {
    PLYLayoutManager* manager = layoutManager();
    const PLYBlock* hover = manager ? manager->currentHoverBlock() : nullptr;
    if (!hover || !m_proxy) return;
    // The selection is dragged when the press that began the drag was on one of its blocks;
    // where the pointer has got to since does not matter.
    bool pressedInSelection = false;
    for (PLYBlockView* view : m_proxy->currentSelectedBlockViews())
        if (PLYGeometry::pointInRect(m_lastMouseDownPoint, view->mapRectToItem(this, view->boundingRect())))
            pressedInSelection = true;
    const QStringList ids = blockIdsToDrag(*manager, idsOf(manager->currentSelectedBlocks()),
                                           QString::fromStdString(hover->id()), pressedInSelection);
    if (ids.isEmpty()) return;

    PLYPasteboard pasteboard;
    for (const QString& id : ids) pasteboard.addItem(PLYPasteboardItem(QStringLiteral("com.pellory.block"), id));
    pasteboard.setSequenceNumber(PLYPasteboard::nextSequenceNumber());
    auto* data = new QMimeData;
    pasteboard.writeTo(data);

    // The drag shows every dragged block, in the order they are dragged, lined up below the
    // pointer as the overlay lines them up.
    m_blockDragImages.clear();
    QList<QImage> rendered;
    for (const QString& id : ids) {
        const QImage image = blockDragImage(id);
        if (image.isNull()) continue;
        m_blockDragImages.insert(id, image);
        rendered << image;
    }
    const PLYDragImages composed = PLYDragImages::compose(rendered);
    QPixmap image = QPixmap::fromImage(composed.image);
    m_dragImageHotSpot = composed.hotSpot;

    m_blockDragRefIds = ids;
    m_inBlockDragOp = true;
    manager->setEditBlock(nullptr);
    startDraggingSession(data, image);
}

void PLYLayoutInteractionView::startDraggingSession(QMimeData* data, const QPixmap& image) {
    if (m_sessionStarter) {
        m_sessionStarter(this, data, image);
        return;
    }
    QWidget* source = m_scrollView ? m_scrollView->viewport() : nullptr;
    if (!source) {
        delete data;
        draggingSessionEnded();
        return;
    }
    QPointer<PLYLayoutInteractionView> self(this);
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    if (!image.isNull()) {
        drag->setPixmap(image);
        drag->setHotSpot(m_dragImageHotSpot.toPoint());
    }
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    if (self) self->draggingSessionEnded();
}

QImage PLYLayoutInteractionView::blockDragImage(const QString& blockId) {
    if (m_inBlockDragOp)
        if (const auto drawn = m_blockDragImages.constFind(blockId); drawn != m_blockDragImages.cend()) return *drawn;
    PLYBlockView* view = m_proxy ? m_proxy->blockViewForId(blockId) : nullptr;
    // Rendered straight into the picture: it never leaves the process, so it is not compressed.
    return view ? view->exportImageForWidth(240) : QImage();
}

void PLYLayoutInteractionView::draggingSessionEnded() {
    m_inDragOp = false;
    m_inBlockDragOp = false;
    m_blockDragImages.clear();
    m_hoverBlockAcceptsDrag = false;
    m_hoverSectionAcceptsDrag = false;
    m_hoverSectionHasInteractionZone = false;
    // The session took the release: the overlay no longer holds the pointer.
    if (scene() && scene()->mouseGrabberItem() == this) ungrabMouse();
    update();
}
