#pragma once

#include <QPointF>
#include <QRectF>
#include <vector>

// Rectangles found by the height they span, for the lookups that run on every pointer move over
// a long layout (the block under the pointer, the drop zone walk): the rectangles whose vertical
// extent reaches a height are found in time growing with the log of their count, plus those
// that share that height and any taller ones above them. Built once per layout change.
class PLYRectIndex {
public:
    PLYRectIndex() = default;
    explicit PLYRectIndex(std::vector<QRectF> rects);

    int size() const { return int(m_rects.size()); }
    const QRectF& rect(int position) const { return m_rects[size_t(position)]; }

    // The positions (in the order the rectangles were given), ascending, of every rectangle that
    // could hold `point` once grown by `margin` on each side. Edges count as inside, so callers
    // apply their own exact test; a superset never leaves out a rectangle that holds the point.
    std::vector<int> candidatesAt(const QPointF& point, double margin = 0.0) const;
    // As above, the horizontal position ignored.
    std::vector<int> candidatesAtHeight(double y, double margin = 0.0) const;

private:
    std::vector<int> candidates(double y, double margin, const double* x) const;

    std::vector<QRectF> m_rects;  // normalised
    std::vector<int> m_byTop;     // positions by ascending top
    std::vector<double> m_tops;   // the tops in that order
    std::vector<double> m_deepestBottomSoFar;  // the largest bottom among m_byTop[0..k]
};
