#include "PLYRectIndex.h"

#include <algorithm>
#include <numeric>

PLYRectIndex::PLYRectIndex(std::vector<QRectF> rects) : m_rects(std::move(rects)) {
    for (QRectF& r : m_rects) r = r.normalized();
    m_byTop.resize(m_rects.size());
    std::iota(m_byTop.begin(), m_byTop.end(), 0);
    std::stable_sort(m_byTop.begin(), m_byTop.end(),
                     [this](int a, int b) { return m_rects[size_t(a)].top() < m_rects[size_t(b)].top(); });
    m_tops.reserve(m_byTop.size());
    m_deepestBottomSoFar.reserve(m_byTop.size());
    for (int position : m_byTop) {
        const QRectF& r = m_rects[size_t(position)];
        m_tops.push_back(r.top());
        m_deepestBottomSoFar.push_back(m_deepestBottomSoFar.empty() ? r.bottom()
                                                                   : std::max(m_deepestBottomSoFar.back(), r.bottom()));
    }
}

std::vector<int> PLYRectIndex::candidatesAt(const QPointF& point, double margin) const {
    const double x = point.x();
    return candidates(point.y(), margin, &x);
}

std::vector<int> PLYRectIndex::candidatesAtHeight(double y, double margin) const { return candidates(y, margin, nullptr); }

std::vector<int> PLYRectIndex::candidates(double y, double margin, const double* x) const {
    std::vector<int> found;
    // A point that is not a number lies in nothing.
    if (!(y == y) || (x && !(*x == *x))) return found;
    // Rectangles starting below the point are out; of those starting above it, the walk goes up
    // until no earlier rectangle reaches down to the point.
    const auto end = std::upper_bound(m_tops.begin(), m_tops.end(), y + margin);
    for (auto k = end - m_tops.begin() - 1; k >= 0; --k) {
        if (m_deepestBottomSoFar[size_t(k)] < y - margin) break;
        const int position = m_byTop[size_t(k)];
        const QRectF& r = m_rects[size_t(position)];
        if (r.bottom() < y - margin) continue;
        if (x && (*x < r.left() - margin || *x > r.right() + margin)) continue;
        found.push_back(position);
    }
    std::sort(found.begin(), found.end());
    return found;
}
