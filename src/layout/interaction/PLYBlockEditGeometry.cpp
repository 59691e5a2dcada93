#include "PLYBlockEditGeometry.h"

#include "PLYGrabHandle.h"

#include <algorithm>
#include <cmath>

namespace PLYBlockEditGeometry {

namespace {

bool withinSnap(double difference) { return difference >= -kSnapDistance && difference <= kSnapDistance; }

bool isTopOrBottom(qint64 handle) { return handle == PLYGrabHandleCornerTop || handle == PLYGrabHandleCornerBottom; }

bool isLeftOrRight(qint64 handle) { return handle == PLYGrabHandleCornerLeft || handle == PLYGrabHandleCornerRight; }

}  // namespace

PictureDragResult dragPicture(const PictureDrag& drag) {
    const double dx = drag.point.x() - drag.mouseDown.x();
    const double dy = drag.point.y() - drag.mouseDown.y();
    const double x0 = drag.originalFrame.x(), y0 = drag.originalFrame.y();
    const double w0 = drag.originalFrame.width(), h0 = drag.originalFrame.height();
    const double r = drag.ratio;
    const qint64 handle = drag.handle;
    const bool panning = handle == kNoHandle;

    // The width the handle asks for; then the edges the handle does not move stay where they
    // were, which also holds when the width stops at its minimum.
    double fw = w0;
    switch (handle) {
    case PLYGrabHandleCornerTopLeft:
    case PLYGrabHandleCornerBottomLeft:
    case PLYGrabHandleCornerLeft: fw = w0 - dx; break;
    case PLYGrabHandleCornerTopRight:
    case PLYGrabHandleCornerBottomRight:
    case PLYGrabHandleCornerRight: fw = w0 + dx; break;
    case PLYGrabHandleCornerTop: fw = r * (h0 - dy); break;
    case PLYGrabHandleCornerBottom: fw = r * (h0 + dy); break;
    default: break;
    }
    if (!panning) fw = std::max(fw, kMinimumPictureWidth);
    double fh = fw / r;
    double fx = x0, fy = y0;
    switch (handle) {
    case kNoHandle:
        fx = x0 + dx;
        fy = y0 + dy;
        break;
    case PLYGrabHandleCornerTopLeft:
        fx = x0 + w0 - fw;
        fy = y0 + h0 - fh;
        break;
    case PLYGrabHandleCornerTopRight: fy = y0 + h0 - fh; break;
    case PLYGrabHandleCornerBottomLeft: fx = x0 + w0 - fw; break;
    case PLYGrabHandleCornerBottomRight: break;
    case PLYGrabHandleCornerLeft:
        fx = x0 + w0 - fw;
        fy = y0 + (h0 - fh) / 2.0;
        break;
    case PLYGrabHandleCornerRight: fy = y0 + (h0 - fh) / 2.0; break;
    case PLYGrabHandleCornerTop:
        fx = x0 + (w0 - fw) / 2.0;
        fy = y0 + h0 - fh;
        break;
    case PLYGrabHandleCornerBottom: fx = x0 + (w0 - fw) / 2.0; break;
    default: break;
    }

    if (drag.fromCentre) {
        // About the centre the picture had at mouse-down, out to whichever edge is on the
        // pointer's side of it.
        const double c = x0 + w0 / 2.0;
        const double e = drag.point.x() > c ? fx + fw : fx;
        fw = std::max(2.0 * std::abs(e - c), kMinimumPictureWidth);
        fx = c - fw / 2.0;
        fh = fw / r;
        fy = y0 + h0 / 2.0 - fh / 2.0;
    }

    PictureDragResult result;
    if (drag.snapping) {
        const double bx = drag.blockFrame.x(), by = drag.blockFrame.y();
        const double bw = drag.blockFrame.width(), bh = drag.blockFrame.height();
        if (panning) {
            const double centredX = bx - (fw - bw) / 2.0;
            if (withinSnap(fx - centredX)) {
                fx = centredX;
                result.vertSnap = true;
            }
            const double centredY = by - (fh - bh) / 2.0;
            if (withinSnap(fy - centredY)) {
                fy = centredY;
                result.horzSnap = true;
            }
        }
        if (!isTopOrBottom(handle)) {
            if (withinSnap(bx - fx)) {
                fx = bx;
                result.edgeSnaps |= SnapLeft;
            }
            if (withinSnap((bx + bw) - (fx + fw))) {
                fx = bx + bw - fw;
                result.edgeSnaps |= SnapRight;
            }
        }
        if (!isLeftOrRight(handle)) {
            if (withinSnap(by - fy)) {
                fy = by;
                result.edgeSnaps |= SnapTop;
            }
            if (withinSnap((by + bh) - (fy + fh))) {
                fy = by + bh - fh;
                result.edgeSnaps |= SnapBottom;
            }
        }
        const bool fitsWidth = (result.edgeSnaps & SnapLeft) && (result.edgeSnaps & SnapRight);
        const bool fitsHeight = (result.edgeSnaps & SnapTop) && (result.edgeSnaps & SnapBottom);
        if (fitsWidth && !isTopOrBottom(handle)) {
            fx = bx;
            fw = bw;
            fh = fw / r;
        } else if (fitsHeight) {
            const double before = fw;
            fy = by;
            fh = bh;
            fw = r * bh;
            // Its right edge stays where it was while panning and on the left corners.
            if (panning || handle == PLYGrabHandleCornerTopLeft || handle == PLYGrabHandleCornerBottomLeft)
                fx += before - fw;
        }
    }
    result.frame = QRectF(fx, fy, fw, fh);
    return result;
}

double blockRatioForHandleDrag(qint64 corner, const QSizeF& originalSize, const QPointF& delta) {
    double w = originalSize.width();
    double h = originalSize.height();
    switch (corner) {
    case PLYGrabHandleCornerTop: h -= delta.y(); break;
    case PLYGrabHandleCornerBottom: h += delta.y(); break;
    case PLYGrabHandleCornerLeft: w -= delta.x(); break;
    case PLYGrabHandleCornerRight: w += delta.x(); break;
    default: break;
    }
    return double(float(std::max(kMinimumBlockSide, w) / std::max(kMinimumBlockSide, h)));
}

Crop cropForFrame(const QRectF& picture, const QRectF& block) {
    if (block.width() <= 0.0 || block.height() <= 0.0) return {};
    const QPointF c = picture.center();
    return {(c.x() - block.x()) / block.width(), (c.y() - block.y()) / block.height(), picture.width() / block.width()};
}

QPointF editHandleCentre(qint64 corner, const QRectF& f) {
    switch (corner) {
    case PLYGrabHandleCornerTopLeft: return f.topLeft();
    case PLYGrabHandleCornerTopRight: return {f.x() + f.width(), f.y()};
    case PLYGrabHandleCornerBottomLeft: return {f.x(), f.y() + f.height()};
    case PLYGrabHandleCornerBottomRight: return {f.x() + f.width(), f.y() + f.height()};
    case PLYGrabHandleCornerLeft: return {f.x(), f.y() + f.height() / 2.0};
    case PLYGrabHandleCornerTop: return {f.x() + f.width() / 2.0, f.y()};
    case PLYGrabHandleCornerRight: return {f.x() + f.width(), f.y() + f.height() / 2.0};
    default: return {f.x() + f.width() / 2.0, f.y() + f.height()};
    }
}

QPointF blockHandleCentre(qint64 corner, const QRectF& b, double inset) {
    switch (corner) {
    case PLYGrabHandleCornerLeft: return {b.x() + inset, b.y() + b.height() / 2.0};
    case PLYGrabHandleCornerTop: return {b.x() + b.width() / 2.0, b.y() + inset};
    case PLYGrabHandleCornerRight: return {b.x() + b.width() - inset, b.y() + b.height() / 2.0};
    default: return {b.x() + b.width() / 2.0, b.y() + b.height() - inset};
    }
}

QList<QLineF> snapLines(const PictureDragResult& result, const QRectF& block, const QRectF& picture,
                        const QRectF& visible) {
    QList<QLineF> lines;
    const QRectF both = block.united(picture);
    const QPointF c = block.center();
    if (result.vertSnap) lines << QLineF(c.x(), both.top(), c.x(), both.bottom());
    if (result.horzSnap) lines << QLineF(both.left(), c.y(), both.right(), c.y());
    if (result.edgeSnaps & SnapLeft) lines << QLineF(block.left(), visible.top(), block.left(), visible.bottom());
    if (result.edgeSnaps & SnapRight) lines << QLineF(block.right(), visible.top(), block.right(), visible.bottom());
    if (result.edgeSnaps & SnapTop) lines << QLineF(visible.left(), block.top(), visible.right(), block.top());
    if (result.edgeSnaps & SnapBottom) lines << QLineF(visible.left(), block.bottom(), visible.right(), block.bottom());
    return lines;
}

}  // namespace PLYBlockEditGeometry
