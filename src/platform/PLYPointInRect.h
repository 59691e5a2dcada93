#pragma once

#include <QPointF>
#include <QRectF>

// The platform's point-in-rectangle test: the minimum edges are inside, the maximum edges
// outside, so a rectangle of zero width or height contains nothing. (QRectF::contains counts
// the maximum edges as inside.)
inline bool PLYPointInRect(const QPointF& point, const QRectF& rect) {
    const QRectF r = rect.normalized();
    return point.x() >= r.left() && point.x() < r.right() && point.y() >= r.top() && point.y() < r.bottom();
}
