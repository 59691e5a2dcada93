#include <gtest/gtest.h>

#include <QRegularExpression>
#include <functional>

#include "PLYInteractionEdge.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYStackedDropZones.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"
#include "PLYTestRandom.h"

using namespace PLYTestLayouts;
using Edge = PLYInteractionEdge;

namespace {

// Three stacked blocks 300 x 90, 10 apart: strips are 100 wide at the sides, 30 high at top and bottom.
PLYStackedDropZones threeBlocks() {
    PLYInteractionFrames frames;
    frames.sectionId = "s";
    frames.padding = 10;
    frames.addBlock(-1, "a", PLYBlock::kImage, QRectF(0, 0, 300, 90));
    frames.addBlock(-1, "b", PLYBlock::kImage, QRectF(0, 100, 300, 90));
    frames.addBlock(-1, "c", PLYBlock::kImage, QRectF(0, 200, 300, 90));
    return PLYStackedDropZones(frames);
}

PLYDropRefs dragging(std::initializer_list<const char*> ids, bool text = false) {
    PLYDropRefs refs;
    for (const char* id : ids) refs.named.insert(id);
    refs.horizontalOnly = text;
    return refs;
}

// "edge@index" of a zone's major region, "-" for none.
std::string majorOf(const PLYInteractionZoneRef& zone) {
    if (!zone) return "-";
    return std::to_string(zone->majorRegion()->edge()) + "@" + std::to_string(zone->majorRegion()->index());
}

}  // namespace

// The walk: the first block's top strip beats its sides at the top corners, its sides beat the
// seam below; at a later block the seam above beats its sides, and the last block's bottom
// strip beats its sides. With a single block its sides beat its bottom strip.
TEST(StackedDropZones, ZoneWalkOrderOnAThreeBlockSection) {
    const PLYStackedDropZones zones = threeBlocks();
    const PLYDropRefs none;
    struct Probe {
        QPointF point;
        std::string major;
    };
    const Probe probes[] = {
        {{5, 5}, "4@0"},       {{5, 80}, "1@0"},     {{150, 80}, "32@1"}, {{5, 110}, "32@1"},
        {{295, 150}, "2@1"},   {{150, 150}, "-"},    {{295, 285}, "8@4"}, {{150, 285}, "8@4"},
        {{5, 225}, "32@2"},    {{5, 230}, "1@2"},
    };
    for (const Probe& probe : probes)
        EXPECT_EQ(majorOf(zones.zoneAtPoint(probe.point, none)), probe.major) << probe.point.x() << "," << probe.point.y();

    const PLYInteractionZoneRef seam = zones.zoneAtPoint({150, 80}, none);
    EXPECT_FALSE(seam->vertical());
    EXPECT_EQ(seam->centreValue(), 95.0);
    EXPECT_EQ(seam->activationRect(), QRectF(0, 60, 300, 70));
    const PLYInteractionZoneRef side = zones.zoneAtPoint({295, 150}, none);
    EXPECT_TRUE(side->vertical());
    EXPECT_EQ(side->centreValue(), 300.0);

    PLYInteractionFrames one;
    one.addBlock(-1, "a", PLYBlock::kImage, QRectF(0, 0, 300, 90));
    const PLYStackedDropZones single(one);
    EXPECT_EQ(majorOf(single.zoneAtPoint({295, 85}, none)), "2@0");
    EXPECT_EQ(majorOf(single.zoneAtPoint({150, 85}, none)), "8@2");

    // Dragging "b": no side zone beside it, and the seams next to it cannot take the drop.
    const PLYDropRefs b = dragging({"b"});
    EXPECT_EQ(majorOf(zones.zoneAtPoint({295, 150}, b)), "-");
    EXPECT_FALSE(zones.zoneAtPoint({150, 80}, b)->majorRegion()->canActivate());
    EXPECT_TRUE(zones.zoneAtPoint({150, 285}, b)->majorRegion()->canActivate());
    // Dragging text: no side zones, so the seam takes the first block's lower left corner.
    EXPECT_EQ(majorOf(zones.zoneAtPoint({5, 80}, dragging({}, true))), "32@1");

    // The current zone sticks while the pointer stays in its activation rect.
    PLYStackedDropZones sticky = threeBlocks();
    const PLYInteractionZoneRef first = sticky.interactionZoneAtPoint({150, 80}, none);
    EXPECT_EQ(sticky.interactionZoneAtPoint({5, 110}, none), first);
    EXPECT_EQ(majorOf(sticky.interactionZoneAtPoint({295, 150}, none)), "2@1");
    EXPECT_EQ(sticky.interactionZoneAtPoint({150, 150}, none), nullptr);
    EXPECT_EQ(sticky.currentZone(), nullptr);
}

// Regions inside containers, three deep at most, and the drop each turns into through the
// layout manager. A dragged container and everything in it is never a target.
TEST(StackedDropZones, DeeperRegionsWrapAndInsert) {
    // a / row R = (r1, column C = [c1, D = (d1, d2)]) / z
    auto owner = std::make_shared<PLYTestLayoutOwner>(layout(
        10, {section("s", {blank("a"),
                           container("R", false, {blank("r1"), container("C", true, {blank("c1"), container("D", false, {blank("d1"), blank("d2")})})}),
                           blank("z")})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    auto framesNow = [&] {
        const PLYLayout& l = *owner->layout();
        return PLYInteractionFrames::fromSection(l.sections(0), PLYLayoutGeometry::layoutGeometry(l, {}), 10);
    };
    PLYStackedDropZones zones(framesNow());
    const PLYInteractionFrames& f = zones.frames();
    auto frame = [&](const char* id) { return f.node(f.indexOf(id)).frame; };
    const PLYDropRefs none;

    // The seam between R and z: leading rows inside R (depth 1), then inside D (depth 2, found
    // by descending C along its own axis to its last child).
    const QRectF z = frame("z");
    PLYInteractionZoneRef seam = zones.zoneAtPoint({z.center().x(), z.top() + 1}, none);
    ASSERT_EQ(majorOf(seam), "32@2");
    ASSERT_EQ(seam->leadingRows().size(), 2);
    EXPECT_EQ(seam->leadingRegions().size(), 4);
    EXPECT_TRUE(seam->trailingRegions().isEmpty());
    const PLYInteractionRow& deep = seam->leadingRows()[1];
    ASSERT_EQ(deep.currentRegions().size(), 2);
    EXPECT_EQ(deep.currentRegions()[1]->associatedBlockId(), "D");
    // Pointing into that row (where it does not overlap the shallower one) over d2 picks the
    // region beside d2: d2 and the new block stack.
    const QPointF overD2(frame("d2").center().x(), deep.activationRect().top() + 2);
    seam->ensureActiveState(overD2);
    ASSERT_EQ(seam->currentActiveRegion(), deep.currentRegions()[1]);
    std::optional<PLYDropPlacement> placement = zones.placementForRegion(*seam->currentActiveRegion());
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->kind, PLYDropPlacement::Kind::Wrap);
    PLYBlock n = PLYLayoutManager::newBlock_Blank();
    n.set_id("n");
    ASSERT_TRUE(manager->dropBlocks({PLYDropItem::introducing(n)}, *placement));
    EXPECT_EQ(shape(owner->layout()->sections(0)), "a,(r1,[c1,(d1,[d2,n])]),z");

    // The seam between r1 and C inside R: a vertical zone; the drop goes into R's own list.
    zones.setFrames(framesNow());
    const QRectF r1 = zones.frames().node(zones.frames().indexOf("r1")).frame;
    PLYInteractionZoneRef centre = zones.zoneAtPoint({r1.right() + 2, r1.center().y()}, none);
    ASSERT_EQ(majorOf(centre), "16@1");
    EXPECT_TRUE(centre->vertical());
    placement = zones.placementForRegion(*centre->majorRegion());
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->containerId, "R");
    ASSERT_TRUE(manager->dropBlocks({PLYDropItem::moving("a")}, *placement));
    EXPECT_EQ(shape(owner->layout()->sections(0)), "(r1,a,[c1,(d1,[d2,n])]),z");

    // Dragging R: neither its seams nor anything inside it is offered, and no region enters it.
    zones.setFrames(framesNow());
    const QRectF r1Now = zones.frames().node(zones.frames().indexOf("r1")).frame;
    EXPECT_EQ(zones.zoneAtPoint({r1Now.right() + 2, r1Now.center().y()}, dragging({"R"})), nullptr);
    const QRectF zNow = zones.frames().node(zones.frames().indexOf("z")).frame;
    PLYInteractionZoneRef above = zones.zoneAtPoint({zNow.center().x(), zNow.top() + 1}, dragging({"R"}));
    ASSERT_NE(above, nullptr);
    EXPECT_TRUE(above->leadingRegions().isEmpty());
    EXPECT_FALSE(above->majorRegion()->canActivate());
    // Beside a side-by-side container the blocks go into it, at its first slot.
    PLYStackedDropZones plain(zones.frames());
    PLYInteractionZoneRef left = plain.zoneAtPoint({r1Now.left() + 1, r1Now.center().y()}, none);
    ASSERT_EQ(majorOf(left), "1@0");
    placement = plain.placementForRegion(*left->majorRegion());
    EXPECT_EQ(placement->kind, PLYDropPlacement::Kind::Insert);
    EXPECT_EQ(placement->containerId, "R");
    EXPECT_EQ(placement->index, 0);
}

// A container without children has zero-size strips and offers nothing; regions of a container
// with two children, one of them dragged, are left out; depth 4 gets none.
TEST(StackedDropZones, DegenerateContainersAndDepthLimit) {
    PLYInteractionFrames frames;
    frames.padding = 10;
    const int empty = frames.addBlock(-1, "E", PLYBlock::kContainer, QRectF(0, 0, 300, 90), false);
    frames.addBlock(-1, "b", PLYBlock::kImage, QRectF(0, 100, 300, 90));
    for (qint64 edge : {Edge::Left, Edge::Right, Edge::Top, Edge::Bottom})
        EXPECT_EQ(frames.activationDimension(edge, empty), 0.0);
    PLYStackedDropZones zones(frames);
    EXPECT_EQ(zones.zoneAtPoint({1, 1}, {}), nullptr);
    EXPECT_EQ(zones.zoneAtPoint({299, 40}, {}), nullptr);

    // Side-by-side containers nested five deep, each holding a block and the next container:
    // along a top edge every level lies across, so each is one level deeper.
    PLYInteractionFrames nested;
    int parent = -1;
    QRectF r(0, 0, 640, 600);
    for (int level = 0; level < 5; ++level) {
        parent = nested.addBlock(parent, QStringLiteral("K%1").arg(level), PLYBlock::kContainer, r, false);
        nested.addBlock(parent, QStringLiteral("L%1").arg(level), PLYBlock::kBlank, QRectF(r.x(), r.y(), r.width() / 2, r.height()));
        r = QRectF(r.center().x(), r.y(), r.width() / 2, r.height());
    }
    nested.addBlock(parent, "last", PLYBlock::kBlank, r);
    PLYStackedDropZones deep(nested);
    PLYInteractionZone zone;
    deep.interactionRegionsForBlock(0, Edge::Top, 1, zone, {});
    qint64 deepest = 0;
    for (const auto& region : zone.trailingRegions()) deepest = std::max(deepest, region->depthIndex());
    EXPECT_EQ(deepest, 3);
    PLYInteractionZone refused;
    deep.interactionRegionsForBlock(0, Edge::Top, 1, refused, dragging({"L0"}));
    EXPECT_TRUE(refused.trailingRegions().isEmpty());

    // Beside a stacked container a side drop wraps it (its first slot is at the top, not at the
    // line); indices that are not in the section give no placement.
    PLYInteractionFrames column;
    column.sectionId = "s";
    const int col = column.addBlock(-1, "S", PLYBlock::kContainer, QRectF(0, 0, 300, 200), true);
    column.addBlock(col, "s1", PLYBlock::kBlank, QRectF(0, 0, 300, 95));
    column.addBlock(col, "s2", PLYBlock::kBlank, QRectF(0, 105, 300, 95));
    const PLYStackedDropZones columnZones(column);
    const auto beside = columnZones.placementForRegion(PLYInteractionRegion("", 0, Edge::Left, 0, 200, 0));
    ASSERT_TRUE(beside);
    EXPECT_EQ(beside->kind, PLYDropPlacement::Kind::Wrap);
    EXPECT_EQ(beside->targetBlockId, "S");
    EXPECT_FALSE(beside->after);
    EXPECT_FALSE(columnZones.placementForRegion(PLYInteractionRegion("", 3, Edge::Right, 0, 200, 0)));
    EXPECT_FALSE(columnZones.placementForRegion(PLYInteractionRegion("S", 5, Edge::Left, 0, 200, 1)));
    EXPECT_FALSE(columnZones.placementForRegion(PLYInteractionRegion("s1", 0, Edge::Top, 0, 200, 1)));
}

namespace {

// A section of random blocks by hand: rows and columns nested up to three deep, and, when
// `scattered`, top-level blocks out of order and overlapping, which a stacked layout never makes
// but which the walk must still take as they come.
PLYInteractionFrames randomFrames(PLYTestRandom& random, bool scattered) {
    auto pick = [&](int lo, int hi) { return random.pick(lo, hi); };
    PLYInteractionFrames frames;
    frames.sectionId = "s";
    frames.padding = pick(0, 30);
    int next = 0;
    std::function<void(int, const QRectF&, int)> add = [&](int parent, const QRectF& r, int depth) {
        const QString id = QStringLiteral("b%1").arg(next++);
        if (depth >= 3 || pick(0, 2) > 0) {
            frames.addBlock(parent, id, pick(0, 1) ? PLYBlock::kImage : PLYBlock::kBlank, r);
            return;
        }
        const bool vert = pick(0, 1);
        const int self = frames.addBlock(parent, id, PLYBlock::kContainer, r, vert);
        const int count = pick(2, 3);
        const double gap = frames.padding;
        const double share = ((vert ? r.height() : r.width()) - gap * (count - 1)) / count;
        for (int k = 0; k < count; ++k)
            add(self,
                vert ? QRectF(r.x(), r.y() + k * (share + gap), r.width(), share)
                     : QRectF(r.x() + k * (share + gap), r.y(), share, r.height()),
                depth + 1);
    };
    double y = 0;
    for (int b = pick(1, 25); b > 0; --b) {
        const double height = pick(20, 400);
        const double top = scattered ? pick(0, 3000) : y;
        add(-1, QRectF(pick(0, 200), top, pick(200, 1500), height), 0);
        y += height + frames.padding;
    }
    return frames;
}

std::string describe(const PLYInteractionZoneRef& zone) {
    if (!zone) return "none";
    const QRectF r = zone->activationRect();
    return majorOf(zone) + " " + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height()) + " active " +
           (zone->currentActiveRegion()
                ? zone->currentActiveRegion()->description().remove(QRegularExpression("0x[0-9a-f]+")).toStdString()
                : "-");
}

}  // namespace

// The walk visits only the blocks whose band of heights holds the point; at every point it
// finds the zone that a walk over every block, in order, finds first.
TEST(StackedDropZones, TheIndexedWalkFindsWhatAWalkOverEveryBlockFinds) {
    const unsigned seed = 20261207;
    PLYTestRandom random(seed);
    auto pick = [&](int lo, int hi) { return random.pick(lo, hi); };
    int zonesFound = 0;
    for (int round = 0; round < 80; ++round) {
        const PLYInteractionFrames frames = randomFrames(random, round % 4 == 3);
        PLYDropRefs refs;
        for (int i = 0; i < frames.size(); ++i)
            if (pick(0, 9) == 0) refs.named.insert(frames.node(i).blockId);
        refs.horizontalOnly = pick(0, 7) == 0;
        const PLYStackedDropZones zones(frames);
        for (int k = 0; k < 150; ++k) {
            // Anywhere, or on and beside the edges of a block's frame, where strips begin and end.
            const QRectF f = frames.node(pick(0, frames.size() - 1)).frame;
            const double edgeY[] = {f.top(), f.bottom(), f.top() - 0.5, f.bottom() - 1e-9, f.center().y(),
                                    f.top() + f.height() / 3, double(pick(-50, 3500))};
            const double edgeX[] = {f.left(), f.right(), f.center().x(), f.left() + f.width() / 3, double(pick(-50, 1800))};
            const QPointF p(edgeX[pick(0, 4)], edgeY[pick(0, 6)]);
            PLYInteractionZoneRef expected;
            for (int i = 0; i < int(frames.topLevel().size()) && !expected; ++i)
                expected = zones.zoneForTopLevelBlock(i, p, refs);
            const PLYInteractionZoneRef found = zones.zoneAtPoint(p, refs);
            ASSERT_EQ(describe(found), describe(expected))
                << "seed " << seed << " round " << round << " at " << p.x() << "," << p.y();
            zonesFound += expected ? 1 : 0;
        }
    }
    EXPECT_GT(zonesFound, 80 * 150 / 4) << "most points lie in some zone";
}
