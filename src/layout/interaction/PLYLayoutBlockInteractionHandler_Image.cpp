#include "PLYLayoutBlockInteractionHandler_Image.h"

#include "PLYBlockDrawHandler_Image.h"
#include "PLYBlockView.h"
#include "PLYColor.h"
#include "PLYGeometry.h"
#include "PLYKeyCodes.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYPasteboard.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {
const QString kImageRefType = QStringLiteral("com.pellory.image.ref");
const QString kBlockType = QStringLiteral("com.pellory.block");

QPointF pointInOverlay(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) {
    if (!event) return {};
    return overlay ? overlay->mapFromScene(event->scenePos()) : event->scenePos();
}
}  // namespace

// ---- Geometry -------------------------------------------------------------------------------

QRectF PLYLayoutBlockInteractionHandler_Image::imageFrame() const {
    auto* draw = view() ? dynamic_cast<PLYBlockDrawHandler_Image*>(view()->drawHandler()) : nullptr;
    return draw ? view()->mapRectToScene(draw->realImageFrame()) : blockFrame();
}

std::optional<double> PLYLayoutBlockInteractionHandler_Image::pictureRatio() const {
    const PLYBlock* block = view() ? view()->representedBlock() : nullptr;
    PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
    const std::shared_ptr<PLYLayoutImageSource> source = proxy ? proxy->imageSource() : nullptr;
    if (!block || block->type_case() != PLYBlock::kImage || !source) return std::nullopt;
    const QString ref = QString::fromStdString(block->image().img_ref());
    if (ref.isEmpty() || source->imageFileDeleted(ref)) return std::nullopt;
    const QSize size = source->pixelSizeForImage(ref);
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return std::nullopt;
    return double(size.width()) / size.height();
}

bool PLYLayoutBlockInteractionHandler_Image::isBlockHandle(const std::shared_ptr<PLYGrabHandle>& handle) {
    return handle && blockHandles().contains(handle);
}

void PLYLayoutBlockInteractionHandler_Image::ensureEditViews(PLYLayoutInteractionView*) { m_picture = QImage(); }

void PLYLayoutBlockInteractionHandler_Image::teardownEditViews() {
    m_picture = QImage();
    m_currentHandle.reset();
    m_dragging = false;
    m_canDragFrame = false;
    m_snaps = {};
}

void PLYLayoutBlockInteractionHandler_Image::ensureEditFrames(PLYLayoutInteractionView* overlay) {
    const double m = handleScaleForOverlay(overlay);
    const QRectF f = imageFrame();
    for (const auto& handle : editHandles()) {
        setSizeForHandle(*handle, m, false);
        handle->setFrameCentredOnPoint(PLYBlockEditGeometry::editHandleCentre(handle->corner(), f));
    }
    layoutBlockHandles(m);
}

// ---- Drawing --------------------------------------------------------------------------------

QImage PLYLayoutBlockInteractionHandler_Image::picture() {
    auto* draw = view() ? dynamic_cast<PLYBlockDrawHandler_Image*>(view()->drawHandler()) : nullptr;
    PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
    const QString ref = draw ? draw->currentImage() : QString();
    // The block may show another image since (an undone drop).
    if (!m_picture.isNull() && ref == m_pictureRef) return m_picture;
    m_picture = QImage();
    m_pictureRef = ref;
    if (!proxy || ref.isEmpty()) return {};
    const std::shared_ptr<PLYLayoutImageSource> source = proxy->imageSource();
    if (!source || source->imageFileDeleted(ref)) return {};
    // Until the large rendition is cached the small one stands in (and is not kept).
    m_picture = source->exportImageForIdentifier(ref);
    return m_picture.isNull() ? source->previewImageForIdentifier(ref) : m_picture;
}

void PLYLayoutBlockInteractionHandler_Image::drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay,
                                                              bool live) {
    const bool resizingBlock = live && isBlockHandle(m_currentHandle);
    const QRectF block = blockFrame();
    const QRectF frame = imageFrame();
    if (!resizingBlock) {
        PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
        if (proxy && proxy->layout())
            painter->fillRect(block, PLYLayoutManager::backgroundColourForLayout(*proxy->layout()));
        const QImage image = picture();
        if (!image.isNull()) {
            painter->save();
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(frame, image);
            painter->restore();
        } else {
            painter->fillRect(frame, PLYBlockDrawHandler_Image::kMissingFill);
        }
        // Whatever lies under only one of the two frames (the picture past the block, or the
        // block's empty part) is dimmed.
        QPainterPath dim;
        dim.setFillRule(Qt::OddEvenFill);
        dim.addRect(frame);
        dim.addRect(block);
        QColor shade(Qt::black);
        shade.setAlphaF(0.4f);
        painter->fillPath(dim, shade);
        const double m = handleScaleForOverlay(overlay);
        for (const auto& handle : editHandles()) drawGrabHandle(painter, *handle, m);
    }
    for (const auto& handle : blockHandles()) drawBlockHandle(painter, *handle, handle == m_currentHandle);
    if (live && !resizingBlock) drawSnapLines(painter, block, frame, overlay);
}

void PLYLayoutBlockInteractionHandler_Image::drawSnapLines(QPainter* painter, const QRectF& blockFrame,
                                                           const QRectF& imageFrame,
                                                           PLYLayoutInteractionView* overlay) const {
    const QRectF visible = overlay ? overlay->bounds() : blockFrame.united(imageFrame);
    // One point wide on screen at any zoom, like the editor's outlines.
    const double width = handleScaleForOverlay(overlay);
    for (const QLineF& line : PLYBlockEditGeometry::snapLines(m_snaps, blockFrame, imageFrame, visible))
        drawSnapLine(painter, line.p1(), line.p2(), width);
}

void PLYLayoutBlockInteractionHandler_Image::drawSnapLine(QPainter* painter, const QPointF& from, const QPointF& to,
                                                          double width) {
    painter->save();
    painter->setPen(QPen(PLYColor::kro_snapColour(), width));
    painter->drawLine(from, to);
    painter->restore();
}

// ---- Pointer --------------------------------------------------------------------------------

bool PLYLayoutBlockInteractionHandler_Image::updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) {
    if (!overlay) return false;
    if (m_dragging) {
        if (m_currentHandle) overlay->setCursor(m_currentHandle->hoverCursor());
        return true;
    }
    m_currentHandle.reset();
    if (auto handle = handleAtPoint(editHandles(), point)) {
        overlay->setCursor(handle->hoverCursor());
        return true;
    }
    if (auto handle = handleAtPoint(blockHandles(), point)) {
        m_currentHandle = handle;
        overlay->setCursor(handle->hoverCursor());
        return true;
    }
    if (PLYGeometry::pointInRect(point, blockFrame())) {
        overlay->setCursor(Qt::OpenHandCursor);
        return true;
    }
    return false;
}

void PLYLayoutBlockInteractionHandler_Image::handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event,
                                                                      PLYLayoutInteractionView* overlay) {
    const QPointF p = pointInOverlay(event, overlay);
    m_currentHandle = handleAtPoint(editHandles(), p);
    if (!m_currentHandle) m_currentHandle = handleAtPoint(blockHandles(), p);
    m_mouseDownLoc = p;
    notePress(event);
    m_canDragFrame = m_currentHandle || PLYGeometry::pointInRect(p, blockFrame());
    m_originalDragFrame = imageFrame();
    m_originalDragBlockFrame = blockFrame();
    m_dragging = true;
    if (!m_currentHandle && overlay) overlay->setCursor(Qt::ClosedHandCursor);
}

void PLYLayoutBlockInteractionHandler_Image::handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event,
                                                                      PLYLayoutInteractionView* overlay) {
    if (!m_dragging || !event) return;
    if (isBlockHandle(m_currentHandle)) {
        handleBlockHandleDrag(event, overlay);
        return;
    }
    if (!m_canDragFrame) return;
    PLYLayoutManager* manager = layoutManager();
    const std::optional<double> ratio = pictureRatio();
    const QRectF block = blockFrame();
    if (!manager || !ratio || block.isEmpty()) return;

    const quint64 flags = PLYKeyCodes::modifierFlagsFromQt(event->modifiers());
    PLYBlockEditGeometry::PictureDrag drag;
    drag.handle = m_currentHandle ? m_currentHandle->corner() : PLYBlockEditGeometry::kNoHandle;
    drag.originalFrame = m_originalDragFrame;
    drag.blockFrame = block;
    drag.mouseDown = m_mouseDownLoc;
    drag.point = pointInOverlay(event, overlay);
    drag.ratio = *ratio;
    drag.fromCentre = flags & PLYKeyCodes::Option;
    drag.snapping = !(flags & PLYKeyCodes::Shift);
    m_snaps = PLYBlockEditGeometry::dragPicture(drag);

    // Kept within what a crop may be, so that a wild drag stops at the limit instead of being
    // refused at every step.
    const PLYBlockEditGeometry::Crop crop = PLYBlockEditGeometry::cropForFrame(m_snaps.frame, block);
    const double limit = PLYLayoutManager::MaximumCropScale;
    manager->setCropPosition(view()->blockId(), std::clamp(crop.x, -limit, 1.0 + limit),
                             std::clamp(crop.y, -limit, 1.0 + limit), std::clamp(crop.width, 1e-6, limit),
                             PLYLayoutManager::Notice::RelayoutOnly);
    ensureEditFrames(overlay);
}

void PLYLayoutBlockInteractionHandler_Image::handleBlockHandleDrag(QGraphicsSceneMouseEvent* event,
                                                                   PLYLayoutInteractionView* overlay) {
    if (!m_currentHandle || !event) return;
    resizeBlockForHandleDrag(*m_currentHandle, m_originalDragBlockFrame, pointerMovementSincePress(event, overlay));
    ensureEditFrames(overlay);
}

void PLYLayoutBlockInteractionHandler_Image::handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event,
                                                                    PLYLayoutInteractionView* overlay) {
    m_canDragFrame = false;
    m_dragging = false;
    if (event) updateCursorForPoint(pointInOverlay(event, overlay), overlay);
}

// ---- Drops ----------------------------------------------------------------------------------

bool PLYLayoutBlockInteractionHandler_Image::shouldBlockAcceptDropOperation(const QMimeData* pasteboard,
                                                                            const QPointF& point) {
    if (!view() || !PLYLayoutBlockInteractionHandlerBase::shouldBlockAcceptDropOperation(pasteboard, point)) return false;
    const std::optional<PLYPasteboard> board = PLYPasteboard::fromMimeData(pasteboard);
    if (!board || board->pasteboardItems().size() != 1) return false;
    const PLYPasteboardItem& item = board->pasteboardItems().first();
    if (item.hasType(kImageRefType)) return !item.stringForType(kImageRefType).isEmpty();
    if (!item.hasType(kBlockType)) return false;
    const QString otherId = item.stringForType(kBlockType);
    PLYLayoutManager* manager = layoutManager();
    const PLYBlock* other = manager ? manager->blockForRef(otherId) : nullptr;
    return other && other->type_case() == PLYBlock::kImage && otherId != view()->blockId();
}

bool PLYLayoutBlockInteractionHandler_Image::handleDrop(const QMimeData* pasteboard, QVariant* undoInfo) {
    PLYLayoutManager* manager = layoutManager();
    const PLYBlock* block = manager && view() ? manager->blockForRef(view()->blockId()) : nullptr;
    const std::optional<PLYPasteboard> board = PLYPasteboard::fromMimeData(pasteboard);
    if (!block || block->type_case() != PLYBlock::kImage || !board || board->pasteboardItems().isEmpty()) return false;
    const QString blockId = view()->blockId();
    const PLYPasteboardItem& item = board->pasteboardItems().first();
    QVariantMap info{{QString::fromLatin1(UndoBlockKey), blockId}};
    if (item.hasType(kImageRefType)) {
        const QString ref = item.stringForType(kImageRefType);
        if (ref.isEmpty()) return false;
        info.insert(QString::fromLatin1(UndoImageRefKey), QString::fromStdString(block->image().img_ref()));
        info.insert(QString::fromLatin1(UndoSourceLastUpdatedKey),
                    QString::fromStdString(block->image().source_last_updated()));
        if (!manager->setImageRef(blockId, ref)) return false;
    } else if (item.hasType(kBlockType)) {
        const QString otherId = item.stringForType(kBlockType);
        if (!manager->swapImages(blockId, otherId)) return false;
        info.insert(QString::fromLatin1(UndoOriginBlockKey), otherId);
    } else {
        return false;
    }
    if (undoInfo) *undoInfo = info;
    return true;
}

void PLYLayoutBlockInteractionHandler_Image::handleUndoForDrop(const QVariant& undoInfo) {
    PLYLayoutManager* manager = layoutManager();
    if (!manager || !view()) return;
    QVariantMap info = undoInfo.toMap();
    const QString named = info.value(QString::fromLatin1(UndoBlockKey)).toString();
    undoDrop(*manager, named.isEmpty() ? view()->blockId() : named, info);
}

bool PLYLayoutBlockInteractionHandler_Image::undoDrop(PLYLayoutManager& manager, const QString& blockId,
                                                      const QVariantMap& undoInfo) {
    const QString refKey = QString::fromLatin1(UndoImageRefKey);
    if (undoInfo.contains(refKey)) {
        const QString stampKey = QString::fromLatin1(UndoSourceLastUpdatedKey);
        // A record without a stamp takes the image's own.
        std::optional<QString> stamp;
        if (undoInfo.contains(stampKey)) stamp = undoInfo.value(stampKey).toString();
        return manager.setImageRef(blockId, undoInfo.value(refKey).toString(), stamp);
    }
    const QString otherId = undoInfo.value(QString::fromLatin1(UndoOriginBlockKey)).toString();
    if (!manager.blockForRef(otherId)) {
        // Swapping with nothing would empty this block's picture: it keeps the one it has.
        PLY_LOG_WARN(QStringLiteral("Cannot undo the image swap of block %1: block %2 is no longer in the layout")
                         .arg(blockId, otherId));
        return false;
    }
    return manager.swapImages(blockId, otherId);
}
