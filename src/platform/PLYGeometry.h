#pragma once

#include <QPointF>
#include <QRectF>

// The platform's rectangle tests, which differ from QRectF's at the edges.
namespace PLYGeometry {

// Half-open: the minimum edges are inside, the maximum edges outside. An empty rectangle holds
// no point.
inline bool pointInRect(const QPointF& p, const QRectF& r) {
    const QRectF n = r.normalized();
    return p.x() >= n.left() && p.x() < n.right() && p.y() >= n.top() && p.y() < n.bottom();
}

// The rectangles overlap with non-zero width and non-zero height (touching edges do not count).
inline bool rectsOverlap(const QRectF& a, const QRectF& b) {
    const QRectF i = a.normalized().intersected(b.normalized());
    return i.width() > 0.0 && i.height() > 0.0;
}

}  // namespace PLYGeometry
