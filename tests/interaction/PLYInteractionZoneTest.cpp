#include <gtest/gtest.h>

#include "PLYInteractionEdge.h"
#include "PLYInteractionZone.h"

namespace {
using Edge = PLYInteractionEdge;

PLYInteractionRegionRef region(const char* block, qint64 index, qint64 edge, double start, double end, qint64 depth) {
    return PLYInteractionRegion::regionWithBlock(block, index, edge, start, end, depth);
}
}  // namespace

// A vertical zone on x = 100 over y 0..300: rows 16 wide stepping 8 per depth; the shallower row
// and the trailing side win overlaps; beyond every row the deepest row on the pointer's side
// decides by the minor coordinate, and a minor coordinate outside every region means no drop.
TEST(InteractionZone, RowsAndActiveRegionOnAHandBuiltZone) {
    PLYInteractionZone zone;
    zone.setVertical(true);
    zone.setCentreValue(100);
    zone.setActivationRect(QRectF(60, 0, 80, 300));
    const auto major = region("", 0, Edge::Left, 0, 300, 0);
    zone.setMajorRegion(major);
    const auto t1a = region("X", 0, Edge::Left, 0, 140, 1);
    const auto t1b = region("X", 1, Edge::Left, 150, 300, 1);
    const auto t2 = region("Y", 0, Edge::Left, 0, 140, 2);
    const auto t3 = region("Z", 0, Edge::Left, 0, 60, 3);
    const auto l1 = region("W", 0, Edge::Right, 0, 300, 1);
    const auto l3 = region("V", 0, Edge::Right, 0, 10, 3);  // no depth 2: rows stop before it
    for (const auto& r : {t1a, t2, t1b, t3}) zone.addTrailingRegion(r);
    zone.addLeadingRegion(l1);
    zone.addLeadingRegion(l3);
    zone.buildInteractionRows();

    EXPECT_EQ(zone.centreRow().activationRect(), QRectF(92, 0, 16, 300));
    ASSERT_EQ(zone.trailingRows().size(), 3);
    EXPECT_EQ(zone.trailingRows()[0].activationRect(), QRectF(108, 0, 16, 300));
    EXPECT_EQ(zone.trailingRows()[0].currentRegions(), (QList{t1a, t1b}));
    EXPECT_EQ(zone.trailingRows()[2].activationRect(), QRectF(124, 0, 16, 300));
    ASSERT_EQ(zone.leadingRows().size(), 1);
    EXPECT_EQ(zone.leadingRows()[0].activationRect(), QRectF(76, 0, 16, 300));

    struct Probe {
        QPointF point;
        PLYInteractionRegionRef expected;
    };
    const Probe probes[] = {
        {{100, 50}, major},   // centre row
        {{108, 50}, t1a},     // the centre row's right edge is outside it
        {{120, 200}, t1b},    // rows 1 and 2: the shallower decides
        {{120, 145}, nullptr},  // in row 1 between its regions: no further row is tried
        {{130, 30}, t2},
        {{80, 10}, l1},
        {{200, 30}, t3},      // beyond the rows on the trailing side: the deepest row
        {{200, 100}, nullptr},
        {{10, 10}, l1},       // beyond on the leading side: depth 3 is never built
        {{100, 300}, l1},     // on the line but below every row: the leading side
        {{101, 300}, nullptr},
    };
    for (const Probe& probe : probes) {
        zone.ensureActiveState(probe.point);
        EXPECT_EQ(zone.currentActiveRegion(), probe.expected) << probe.point.x() << "," << probe.point.y();
    }

    // Without deeper regions the major region is active anywhere.
    PLYInteractionZone plain;
    plain.setCentreValue(100);
    plain.setMajorRegion(major);
    plain.buildInteractionRows();
    plain.ensureActiveState(QPointF(500, 500));
    EXPECT_EQ(plain.currentActiveRegion(), major);
}
