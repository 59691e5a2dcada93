#include "PLYLayoutBlockInteractionHandler_Image.h"

#include "PLYBlockDrawHandler_Image.h"
#include "PLYBlockView.h"
#include "PLYGeometry.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>

QRectF PLYLayoutBlockInteractionHandler_Image::imageFrame() const {
    auto* draw = view() ? dynamic_cast<PLYBlockDrawHandler_Image*>(view()->drawHandler()) : nullptr;
    return draw ? view()->mapRectToScene(draw->realImageFrame()) : blockFrame();
}

void PLYLayoutBlockInteractionHandler_Image::ensureEditViews(PLYLayoutInteractionView*) {
    auto* draw = view() ? dynamic_cast<PLYBlockDrawHandler_Image*>(view()->drawHandler()) : nullptr;
    PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
    if (draw && proxy && !draw->currentImage().isEmpty())
        m_picture = proxy->imageSource()->exportImageForIdentifier(draw->currentImage());
}

void PLYLayoutBlockInteractionHandler_Image::teardownEditViews() {
    m_picture = QImage();
    m_currentHandle.reset();
    m_dragging = false;
}

void PLYLayoutBlockInteractionHandler_Image::ensureEditFrames(PLYLayoutInteractionView* overlay) {
    const double m = handleScaleForOverlay(overlay);
    const QRectF f = imageFrame();
    for (const auto& handle : editHandles()) {
        setSizeForHandle(*handle, m, false);
        QPointF centre;
        switch (handle->corner()) {
        case PLYGrabHandleCornerTopLeft: centre = f.topLeft(); break;
        case PLYGrabHandleCornerTopRight: centre = f.topRight(); break;
        case PLYGrabHandleCornerBottomLeft: centre = f.bottomLeft(); break;
        case PLYGrabHandleCornerBottomRight: centre = f.bottomRight(); break;
        case PLYGrabHandleCornerLeft: centre = {f.left(), f.center().y()}; break;
        case PLYGrabHandleCornerTop: centre = {f.center().x(), f.top()}; break;
        case PLYGrabHandleCornerRight: centre = {f.right(), f.center().y()}; break;
        default: centre = {f.center().x(), f.bottom()}; break;
        }
        handle->setFrameCentredOnPoint(centre);
    }
    layoutBlockHandles(m);
}

void PLYLayoutBlockInteractionHandler_Image::drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay,
                                                              bool live) {
    const bool resizingBlock = live && m_currentHandle && blockHandles().contains(m_currentHandle);
    if (!resizingBlock) {
        const QRectF block = blockFrame();
        const QRectF picture = imageFrame();
        PLYLayoutViewProxy* proxy = view()->layoutViewProxy();
        if (proxy && proxy->layout())
            painter->fillRect(block, PLYLayoutManager::backgroundColourForLayout(*proxy->layout()));
        if (!m_picture.isNull())
            painter->drawImage(picture, m_picture);
        else
            painter->fillRect(picture, PLYBlockDrawHandler_Image::kMissingFill);
        // Whatever lies under only one of the two frames (the picture past the block, or the
        // block's empty part) is dimmed.
        QPainterPath dim;
        dim.setFillRule(Qt::OddEvenFill);
        dim.addRect(picture);
        dim.addRect(block);
        painter->fillPath(dim, QColor(0, 0, 0, 102));
        const double m = handleScaleForOverlay(overlay);
        for (const auto& handle : editHandles()) drawGrabHandle(painter, *handle, m);
    }
    for (const auto& handle : blockHandles()) drawBlockHandle(painter, *handle, handle == m_currentHandle);
}

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

// Cropping, panning and resizing come with image editing; here a press takes the handle under
// the pointer and a release lets it go.
void PLYLayoutBlockInteractionHandler_Image::handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event,
                                                                      PLYLayoutInteractionView* overlay) {
    const QPointF p = event ? event->scenePos() : QPointF();
    m_currentHandle = handleAtPoint(editHandles(), p);
    if (!m_currentHandle) m_currentHandle = handleAtPoint(blockHandles(), p);
    m_dragging = true;
    if (!m_currentHandle && overlay) overlay->setCursor(Qt::ClosedHandCursor);
}

void PLYLayoutBlockInteractionHandler_Image::handleEditMouseDragEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) {}

void PLYLayoutBlockInteractionHandler_Image::handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event,
                                                                    PLYLayoutInteractionView* overlay) {
    m_dragging = false;
    if (event) updateCursorForPoint(event->scenePos(), overlay);
}
