// The overlay as the drop destination of the editor: images from the gallery, new blocks from
// the palette's tiles and blocks of the layout itself. Each movement asks the hovered section
// whether it takes the drop whole or which zone lies under the pointer, else the hovered block
// whether it takes the drop itself; the drop is then one layout edit with one undo step.
//
// The per-movement road allocates nothing per zone: the sections keep their zones, computed once
// per layout change, and the pasteboard, zone references and drag images are taken once per
// dragging session.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYDragBlockImageView.h"
#include "PLYDropDecisions.h"
#include "PLYGeometry.h"
#include "PLYInteractionEdge.h"
#include "PLYInteractionZone.h"
#include "PLYKeyCodes.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutSectionInteractionHandler.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYSectionView.h"
#include "PLYUndoManager.h"

#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsView>
#include <QMimeData>
#include <QScrollBar>
#include <algorithm>

namespace {
// Bits of the drop flags, to tell when the feedback must be painted again.
enum DropFlag { SectionTakesDrop = 1, ZoneUnderPointer = 2, BlockTakesDrop = 4 };

bool offersEditorType(const QMimeData* data) {
    if (!data) return false;
    for (const QString& type : PLYDropDecisions::registeredDraggedTypes())
        if (PLYPasteboard::mimeDataOffersType(data, type)) return true;
    return false;
}
}  // namespace

// ---- Platform events ---------------------------------------------------------------------------

PLYLayoutInteractionView::DraggingInfo PLYLayoutInteractionView::draggingInfoFromEvent(
    const QGraphicsSceneDragDropEvent* event) {
    return DraggingInfo{event->mimeData(), event->pos(), PLYKeyCodes::modifierFlagsFromQt(event->modifiers())};
}

void PLYLayoutInteractionView::dragEnterEvent(QGraphicsSceneDragDropEvent* event) {
    if (!offersEditorType(event->mimeData()) || !layoutManager()) {
        event->ignore();
        return;
    }
    const int answer = draggingEntered(draggingInfoFromEvent(event));
    // The overlay stays the drag's destination for the whole pass, even where it answers none.
    event->setDropAction(answer == DragOperationMove ? Qt::MoveAction : Qt::IgnoreAction);
    event->accept();
}

void PLYLayoutInteractionView::dragMoveEvent(QGraphicsSceneDragDropEvent* event) {
    const DraggingInfo info = draggingInfoFromEvent(event);
    // The scene follows its enter with a move at the same place: nothing new to work out.
    const bool same = m_inDragOp && m_dragMime.data() == info.pasteboard && info.location == m_dragLocation &&
                      info.modifierFlags == m_dragModifiers && !m_autoscrollTimer.isActive();
    const int answer = same ? m_lastDragAnswer : draggingUpdated(info);
    if (answer == DragOperationMove) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void PLYLayoutInteractionView::dragLeaveEvent(QGraphicsSceneDragDropEvent*) { draggingExited(); }

void PLYLayoutInteractionView::dropEvent(QGraphicsSceneDragDropEvent* event) {
    const DraggingInfo info = draggingInfoFromEvent(event);
    const bool done = prepareForDragOperation(info) && performDragOperation(info);
    if (done) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    concludeDragOperation();
}

// ---- The drag's pass over the overlay ----------------------------------------------------------

PLYLayoutSectionInteractionHandler* PLYLayoutInteractionView::hoverSectionHandler() const {
    PLYSectionView* section = m_proxy ? m_proxy->currentHoverSectionView() : nullptr;
    return section ? section->interactionHandler() : nullptr;
}

int PLYLayoutInteractionView::draggingEntered(const DraggingInfo& info) {
    if (PLYLayoutManager* manager = layoutManager(); manager && manager->currentEditBlock())
        manager->setEditBlock(nullptr);
    if (PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr)
        for (PLYSectionView* section : layoutView->sectionViews())
            if (PLYLayoutSectionInteractionHandler* handler = section->interactionHandler()) handler->resetZones();
    return processDragMovement(info);
}

void PLYLayoutInteractionView::noteDraggingSession(const DraggingInfo& info) {
    const bool newData = m_dragMime.data() != info.pasteboard;
    if (newData) {
        m_dragMime = const_cast<QMimeData*>(info.pasteboard);
        m_dragPasteboard = PLYPasteboard::fromMimeData(info.pasteboard).value_or(PLYPasteboard());
    }
    // Sources number their sessions; data never seen before is a new session all the same.
    if (!newData && m_dragPasteboard.sequenceNumber() == m_currentDragSequenceNumber) return;
    m_currentDragSequenceNumber = m_dragPasteboard.sequenceNumber();
    m_dragZoneRefs = PLYDropDecisions::zoneRefsForDrag(m_inBlockDragOp, m_blockDragRefIds, m_dragPasteboard);
    m_forceOrientationVertical = true;
    prepareDragImages();
    enumerateDraggingSession(true);
}

namespace {
// A grey card of a photo's usual shape, for a picture not at hand (yet).
QImage placeholderImage() {
    QImage image(120, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 200, 200));
    return image;
}
}  // namespace

void PLYLayoutInteractionView::prepareDragImages() {
    m_dragImages.clear();
    m_pendingDragImageRefs.clear();
    const QList<PLYPasteboardItem>& items = m_dragPasteboard.pasteboardItems();
    // One item shows as the source's own drag image: only several are lined up here.
    if (items.size() < 2) return;
    const QString blockType = QString::fromLatin1(PLYDropDecisions::BlockType);
    const QString imageType = QString::fromLatin1(PLYDropDecisions::ImageRefType);
    for (const PLYPasteboardItem& item : items) {
        QImage image;
        QString pending;
        if (item.hasType(blockType)) {
            image = blockDragImage(item.stringForType(blockType));
        } else if (item.hasType(imageType)) {
            pending = item.stringForType(imageType);
        } else if (item.hasType(QString::fromLatin1(PLYDropDecisions::NewBlankType))) {
            image = PLYDragBlockImageView::tileImage(PLYDragBlockImageView::BlockTypeBlank).toImage();
        } else if (item.hasType(QString::fromLatin1(PLYDropDecisions::NewDownloadType))) {
            image = PLYDragBlockImageView::tileImage(PLYDragBlockImageView::BlockTypeDownload).toImage();
        } else if (item.hasType(QString::fromLatin1(PLYDropDecisions::NewTextType))) {
            image = PLYDragBlockImageView::tileImage(PLYDragBlockImageView::BlockTypeText).toImage();
        }
        m_dragImages << (image.isNull() ? placeholderImage() : image);
        m_pendingDragImageRefs << pending;
    }
    takeDecodedDragImages();
}

bool PLYLayoutInteractionView::takeDecodedDragImages() {
    // Previews are decoded in the background: those not ready yet are asked for again on the
    // following movements (a lookup in the decoded cache), until they come.
    const std::shared_ptr<PLYLayoutImageSource> images = m_proxy ? m_proxy->imageSource() : nullptr;
    bool took = false;
    for (qsizetype i = 0; images && i < m_pendingDragImageRefs.size(); ++i) {
        if (m_pendingDragImageRefs[i].isEmpty()) continue;
        const QImage preview = images->previewImageForIdentifier(m_pendingDragImageRefs[i]);
        if (preview.isNull() || preview.width() <= 0) continue;
        m_dragImages[i] = preview;
        m_pendingDragImageRefs[i].clear();
        took = true;
    }
    if (took && std::all_of(m_pendingDragImageRefs.cbegin(), m_pendingDragImageRefs.cend(),
                            [](const QString& ref) { return ref.isEmpty(); }))
        m_pendingDragImageRefs.clear();
    return took;
}

void PLYLayoutInteractionView::enumerateDraggingSession(bool orientVertical) {
    QList<QSizeF> sizes;
    sizes.reserve(m_dragImages.size());
    // Each image is 60 points wide on screen, whatever the zoom.
    const double r = boundsToFrameRatio();
    const double width = PLYDropDecisions::kDragImageWidth * r;
    for (const QImage& image : std::as_const(m_dragImages))
        sizes << QSizeF(width, width * double(image.height()) / double(image.width()));
    m_dragImageFrames =
        PLYDropDecisions::arrangedDragImageFrames(sizes, m_dragLocation, orientVertical, PLYDropDecisions::kDragImageGap * r);
    m_imagesOrientedVertical = orientVertical;
}

void PLYLayoutInteractionView::ensureDragImageOrientation(bool cmd) {
    const bool wanted = cmd ? !m_forceOrientationVertical : m_forceOrientationVertical;
    if (wanted != m_imagesOrientedVertical) enumerateDraggingSession(wanted);
}

QPointF PLYLayoutInteractionView::autoscroll(const QPointF& location) {
    if (!m_scrollView) return location;
    const QPointF viewportPoint = m_scrollView->mapFromScene(mapToScene(location));
    m_autoscrollViewportPoint = viewportPoint;
    const QPointF delta = PLYDropDecisions::autoscrollDelta(viewportPoint, QSizeF(m_scrollView->viewport()->size()));
    if (delta.isNull()) {
        m_autoscrollTimer.stop();
        return location;
    }
    QScrollBar* across = m_scrollView->horizontalScrollBar();
    QScrollBar* down = m_scrollView->verticalScrollBar();
    const int beforeX = across->value();
    const int beforeY = down->value();
    across->setValue(beforeX + int(delta.x()));
    down->setValue(beforeY + int(delta.y()));
    if (across->value() == beforeX && down->value() == beforeY) {
        m_autoscrollTimer.stop();  // at the end already
        return location;
    }
    if (!m_autoscrollTimer.isActive()) m_autoscrollTimer.start();
    // The pointer stays where it is on screen: it now lies over another part of the layout.
    return mapFromScene(m_scrollView->mapToScene(viewportPoint.toPoint()));
}

void PLYLayoutInteractionView::autoscrollTick() {
    if (!m_inDragOp || !m_dragMime || !m_scrollView) {
        m_autoscrollTimer.stop();
        return;
    }
    const QPointF location = mapFromScene(m_scrollView->mapToScene(m_autoscrollViewportPoint.toPoint()));
    processDragMovement(DraggingInfo{m_dragMime.data(), location, m_dragModifiers});
}

QPointF PLYLayoutInteractionView::resolvePointFromOutOfBounds(const QPointF& point) {
    PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr;
    if (!layoutView) return point;
    const PLYDropDecisions::ResolvedPoint resolved =
        PLYDropDecisions::resolvePointFromOutOfBounds(point, layoutView->mapRectToItem(this, layoutView->boundingRect()));
    // Above or below the layout a side zone must not stay current.
    if (resolved.verticalReset)
        for (PLYSectionView* section : layoutView->sectionViews())
            if (PLYLayoutSectionInteractionHandler* handler = section->interactionHandler())
                if (const auto zone = handler->currentZone(); zone && zone->vertical()) handler->resetZones();
    return resolved.point;
}

int PLYLayoutInteractionView::processDragMovement(const DraggingInfo& info) {
    PLYLayoutManager* manager = layoutManager();
    if (!manager || !m_proxy || !info.pasteboard) return DragOperationNone;
    noteDraggingSession(info);
    m_inDragOp = true;
    m_dragModifiers = info.modifierFlags;
    const bool cmd = (info.modifierFlags & PLYKeyCodes::Command) != 0;
    const QPointF location = autoscroll(info.location);
    m_dragLocation = location;
    const QPointF resolved = resolvePointFromOutOfBounds(location);
    ensureHoverViews(resolved);

    int answer = DragOperationNone;
    PLYLayoutSectionInteractionHandler* section = hoverSectionHandler();
    if (section && section->shouldSectionAcceptDrop(m_dragPasteboard, location)) {
        m_hoverBlockAcceptsDrag = false;
        m_hoverSectionHasInteractionZone = false;
        m_hoverSectionAcceptsDrag = true;
        m_forceOrientationVertical = true;
        answer = DragOperationMove;
    } else {
        m_hoverSectionHasInteractionZone = false;
        m_hoverSectionAcceptsDrag = false;
        const std::shared_ptr<PLYInteractionZone> zone =
            section ? section->interactionZoneAtPoint(resolved, m_dragZoneRefs) : nullptr;
        if (zone) {
            m_hoverSectionHasInteractionZone = true;
            m_hoverBlockAcceptsDrag = false;
            const PLYInteractionRegionRef& region = zone->currentActiveRegion();
            m_forceOrientationVertical = PLYInteractionEdge::forceOrientationVertical(region ? region->edge() : 0);
            answer = DragOperationMove;
        } else {
            PLYBlockView* block = m_proxy->currentHoverBlockView();
            PLYLayoutBlockInteractionHandler* handler = block ? block->interactionHandler() : nullptr;
            m_hoverBlockAcceptsDrag = handler && handler->shouldBlockAcceptDropOperation(info.pasteboard, location);
            m_forceOrientationVertical = true;
            answer = m_hoverBlockAcceptsDrag ? DragOperationMove : DragOperationNone;
        }
    }
    if (!m_pendingDragImageRefs.isEmpty() && takeDecodedDragImages()) update();
    ensureDragImageOrientation(cmd);
    // The images follow the pointer, in the arrangement now wanted.
    if (!m_dragImages.isEmpty()) enumerateDraggingSession(m_imagesOrientedVertical);
    m_lastDragAnswer = answer;
    updateDropFeedback();
    return answer;
}

void PLYLayoutInteractionView::clearDragFlags() {
    m_inDragOp = false;
    m_hoverBlockAcceptsDrag = false;
    m_hoverSectionAcceptsDrag = false;
    m_hoverSectionHasInteractionZone = false;
    m_autoscrollTimer.stop();
}

void PLYLayoutInteractionView::draggingExited() {
    clearDragFlags();
    m_lastDragAnswer = DragOperationNone;
    updateDropFeedback();
}

void PLYLayoutInteractionView::concludeDragOperation() {
    clearDragFlags();
    m_inBlockDragOp = false;
    updateDropFeedback();
}

bool PLYLayoutInteractionView::performDragOperation(const DraggingInfo& info) {
    auto manager = m_manager.lock();
    if (!manager || !m_proxy || !info.pasteboard) {
        clearDragFlags();
        updateDropFeedback();
        return false;
    }
    if (m_dragMime.data() != info.pasteboard) noteDraggingSession(info);
    bool introduced = false;
    const QList<PLYDropItem> items = PLYDropDecisions::dropItemsFromPasteboard(m_dragPasteboard, *manager, &introduced);
    PLYUndoManager* undo = undoManager();
    QString actionName =
        QString::fromLatin1(introduced ? PLYDropDecisions::IntroducedUndoName : PLYDropDecisions::MoveUndoName);
    PLYLayoutSectionInteractionHandler* section = hoverSectionHandler();
    bool result = false;
    PLYLayoutEdit edit;
    if (m_hoverSectionAcceptsDrag) {
        // An empty section takes the blocks whole: stacked, or in one row when so arranged.
        result = section && !items.isEmpty() &&
                 section->handleDropOnSection(
                     items, PLYInteractionEdge::groupDirectionForSectionDrop(int(items.size()), m_imagesOrientedVertical),
                     &edit);
    } else if (m_hoverBlockAcceptsDrag) {
        PLYBlockView* block = m_proxy->currentHoverBlockView();
        PLYLayoutBlockInteractionHandler* handler = block ? block->interactionHandler() : nullptr;
        if (handler) {
            const PLYLayoutEdit before = manager->sectionSnapshot();
            QVariant undoInfo;
            result = handler->handleDrop(info.pasteboard, &undoInfo);
            // A drop the handler refused registers nothing. One it applied is undone, as every
            // layout step is, by putting its sections back; a replaced or swapped picture is
            // named as the handler's own undo is.
            if (result) edit = manager->editSince(before);
            if (result && undoInfo.isValid()) actionName = QString::fromLatin1(PLYDropDecisions::IntroducedUndoName);
        }
    } else if (m_hoverSectionHasInteractionZone && section) {
        // A zone without an active region, or whose region would put the blocks beside
        // themselves, takes nothing.
        const std::shared_ptr<PLYInteractionZone> zone = section->currentZone();
        const PLYInteractionRegionRef region = zone ? zone->currentActiveRegion() : nullptr;
        if (region && region->canActivate() && !items.isEmpty())
            result = section->handleDropOnZone(
                *zone, items,
                PLYInteractionEdge::groupDirectionForDrop(region->edge(), int(items.size()), m_imagesOrientedVertical),
                &edit);
    }
    if (result && edit.changed()) manager->registerUndoForEdit(undo, edit, actionName);
    clearDragFlags();
    updateDropFeedback();
    return result;
}

// ---- Feedback ----------------------------------------------------------------------------------

void PLYLayoutInteractionView::updateDropFeedback() {
    const int flags = (m_hoverSectionAcceptsDrag ? SectionTakesDrop : 0) |
                      (m_hoverSectionHasInteractionZone ? ZoneUnderPointer : 0) |
                      (m_hoverBlockAcceptsDrag ? BlockTakesDrop : 0);
    const void* zone = nullptr;
    const void* region = nullptr;
    if (m_hoverSectionHasInteractionZone)
        if (PLYLayoutSectionInteractionHandler* section = hoverSectionHandler())
            if (const std::shared_ptr<PLYInteractionZone> current = section->currentZone()) {
                zone = current.get();
                region = current->currentActiveRegion().get();
            }
    QRectF images;
    if (m_inDragOp)
        for (const QRectF& frame : std::as_const(m_dragImageFrames)) images |= frame;
    if (images != m_paintedDragImages) {
        const double margin = 2.0 * boundsToFrameRatio();
        update(m_paintedDragImages.adjusted(-margin, -margin, margin, margin));
        update(images.adjusted(-margin, -margin, margin, margin));
        m_paintedDragImages = images;
    }
    // The hovered block's outline repaints with the hover; zones, section highlights and the
    // selection outlines that a zone hides need the whole overlay.
    if (flags == m_paintedDropFlags && zone == m_paintedZone && region == m_paintedRegion) return;
    m_paintedDropFlags = flags;
    m_paintedZone = zone;
    m_paintedRegion = region;
    update();
}
