#include "PLYGeometry.h"
#include "PLYRectIndex.h"
#include "PLYTestRandom.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The positions of the rectangles that hold `p`, found the slow way.
std::vector<int> holding(const std::vector<QRectF>& rects, const QPointF& p) {
    std::vector<int> out;
    for (int i = 0; i < int(rects.size()); ++i)
        if (PLYGeometry::pointInRect(p, rects[size_t(i)])) out.push_back(i);
    return out;
}

bool contains(const std::vector<int>& list, int value) { return std::find(list.begin(), list.end(), value) != list.end(); }

}  // namespace

// Rows of blocks, tall blocks beside columns of short ones, overlapping and out-of-order
// rectangles, empty ones: every rectangle holding a point is among its candidates, the
// candidates are in the order given, and none lies farther from the point than the margin.
TEST(RectIndex, CandidatesHoldEveryRectangleThatHoldsThePointAndNoFarOne) {
    PLYTestRandom random(4101);
    auto pick = [&](int lo, int hi) { return random.pick(lo, hi); };
    int held = 0;
    for (int round = 0; round < 60; ++round) {
        std::vector<QRectF> rects;
        double y = 0;
        for (int n = pick(0, 300); n > 0; --n) {
            switch (pick(0, 3)) {
            case 0:  // a row
                rects.emplace_back(pick(0, 700), y, pick(1, 700), pick(1, 300));
                y += rects.back().height() + pick(0, 20);
                break;
            case 1:  // anywhere, any size, even upside down
                rects.emplace_back(pick(-100, 1500), pick(-100, 8000), pick(-200, 1500), pick(-200, 3000));
                break;
            case 2:  // empty
                rects.emplace_back(pick(0, 1500), pick(0, 8000), 0, 0);
                break;
            default:  // a tall one beside short ones
                rects.emplace_back(0, y, 500, 900);
                for (int k = 0; k < 8; ++k) rects.emplace_back(510, y + k * 110, 400, 100);
                y += 910;
            }
        }
        const PLYRectIndex index(rects);
        ASSERT_EQ(index.size(), int(rects.size()));
        for (int k = 0; k < 200; ++k) {
            QPointF p(pick(-150, 1600), pick(-150, int(y) + 200));
            if (!rects.empty() && pick(0, 1)) {
                // On an edge or corner of one of them, where half-open tests decide.
                const QRectF r = rects[size_t(pick(0, int(rects.size()) - 1))].normalized();
                p = QPointF(pick(0, 1) ? r.left() : r.right(), pick(0, 1) ? r.top() : r.bottom());
            }
            const double margin = pick(0, 2) * 0.5;
            const std::vector<int> found = index.candidatesAt(p, margin);
            ASSERT_TRUE(std::is_sorted(found.begin(), found.end())) << "round " << round;
            for (int h : holding(rects, p)) {
                ASSERT_TRUE(contains(found, h)) << "round " << round << " misses " << h << " at " << p.x() << "," << p.y();
                ++held;
            }
            for (int c : found) {
                const QRectF r = index.rect(c).adjusted(-margin, -margin, margin, margin);
                ASSERT_TRUE(p.x() >= r.left() && p.x() <= r.right() && p.y() >= r.top() && p.y() <= r.bottom())
                    << "round " << round << " gives far rectangle " << c;
            }
            const std::vector<int> band = index.candidatesAtHeight(p.y(), margin);
            for (int c : found) ASSERT_TRUE(contains(band, c)) << "round " << round;
        }
    }
    EXPECT_GT(held, 1000) << "the points hit rectangles";
}

TEST(RectIndex, NoIndexAndPointsThatAreNotNumbersFindNothing) {
    EXPECT_TRUE(PLYRectIndex().candidatesAt(QPointF(0, 0)).empty());
    const PLYRectIndex index({QRectF(0, 0, 10, 10)});
    EXPECT_EQ(index.candidatesAt(QPointF(5, 5)), std::vector<int>{0});
    EXPECT_TRUE(index.candidatesAt(QPointF(std::nan(""), 5)).empty());
    EXPECT_TRUE(index.candidatesAtHeight(std::nan("")).empty());
    EXPECT_TRUE(index.candidatesAt(QPointF(5, 11)).empty());
}
