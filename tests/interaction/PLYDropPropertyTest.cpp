#include <gtest/gtest.h>

#include "PLYInteractionEdge.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYStackedDropZones.h"
#include "PLYTestLayoutOwner.h"
#include "PLYUndoManager.h"

#include <QElapsedTimer>
#include <random>

namespace {

const QStringList kImages{"p0", "p1", "p2", "p3", "p4"};

class Walk {
public:
    explicit Walk(unsigned seed) : rng(seed) {
        PLYLayout layout;
        layout.set_padding(int(pick(0, 30)));
        const int sections = int(pick(1, 2));
        for (int s = 0; s < sections; ++s) {
            PLYSection* section = layout.add_sections();
            *section = PLYLayoutManager::newSection_Stacked();
            const int blocks = int(pick(0, 6));
            for (int b = 0; b < blocks; ++b) *section->add_blocks() = randomBlock(0, false);
        }
        owner = std::make_shared<PLYTestLayoutOwner>(layout);
        for (const QString& ref : PLYLayoutManager::imageRefsInLayout(layout)) owner->incrementInUseCountForImage(ref);
        manager = PLYLayoutManager::managerWithOwner(owner);
        expected = leaves();
    }

    // One random step; answers what it did, for failure messages.
    std::string step() {
        const int roll = int(pick(0, 99));
        if (roll < 30) return dropNew();
        if (roll < 62) return move();
        if (roll < 77) return remove();
        if (roll < 90) return undoStep(true);
        return undoStep(false);
    }

    // After every step: unique identifiers, exactly the expected leaves (with their bytes), no
    // container with fewer than two children, use counts equal to the image references.
    void check(const std::string& what) {
        QSet<std::string> ids;
        const PLYLayout& layout = *owner->layout();
        for (const PLYSection& section : layout.sections()) {
            ASSERT_FALSE(ids.contains(section.id())) << what;
            ids.insert(section.id());
            for (const PLYBlock& top : section.blocks()) checkBlock(top, ids, what);
        }
        ASSERT_EQ(leaves(), expected) << what;
        QHash<QString, qint64> refs;
        for (const QString& ref : PLYLayoutManager::imageRefsInLayout(layout)) ++refs[ref];
        for (const QString& image : kImages) ASSERT_EQ(owner->inUseCountForImage(image), refs.value(image)) << what;
    }

    int drops = 0, refused = 0, undos = 0;

private:
    using Leaves = std::map<std::string, std::string>;  // identifier -> bytes of every non-container block

    qint64 pick(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng); }
    double pickReal(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

    PLYBlock randomLeaf() {
        switch (pick(0, 5)) {
        case 0: return PLYLayoutManager::newBlock_Blank();
        case 1: return PLYLayoutManager::newBlock_Text();
        default: return PLYLayoutManager::newBlock_ImageForIdentifier(kImages[int(pick(0, kImages.size() - 1))]);
        }
    }
    PLYBlock randomBlock(int depth, bool vert) {
        if (depth >= 3 || pick(0, 2) > 0) return randomLeaf();
        PLYBlock container = PLYLayoutManager::newBlock_Container();
        container.mutable_container()->set_vert(vert);
        const int children = int(pick(2, 3));
        for (int i = 0; i < children; ++i)
            *container.mutable_container()->add_sub_blocks() = randomBlock(depth + 1, !vert);
        return container;
    }

    void checkBlock(const PLYBlock& block, QSet<std::string>& ids, const std::string& what) {
        ASSERT_FALSE(ids.contains(block.id())) << "duplicate " << block.id() << " after " << what;
        ids.insert(block.id());
        if (block.type_case() != PLYBlock::kContainer) return;
        ASSERT_GE(block.container().sub_blocks_size(), 2) << "container " << block.id() << " after " << what;
        for (const PLYBlock& child : block.container().sub_blocks()) checkBlock(child, ids, what);
    }

    Leaves leaves() const {
        Leaves out;
        std::function<void(const PLYBlock&)> add = [&](const PLYBlock& b) {
            if (b.type_case() == PLYBlock::kContainer)
                for (const PLYBlock& c : b.container().sub_blocks()) add(c);
            else
                out[b.id()] = b.SerializeAsString();
        };
        for (const PLYSection& s : owner->layout()->sections())
            for (const PLYBlock& b : s.blocks()) add(b);
        return out;
    }
    QStringList allBlockIds() const {
        QStringList ids;
        std::function<void(const PLYBlock&)> add = [&](const PLYBlock& b) {
            ids << QString::fromStdString(b.id());
            if (b.type_case() == PLYBlock::kContainer)
                for (const PLYBlock& c : b.container().sub_blocks()) add(c);
        };
        for (const PLYSection& s : owner->layout()->sections())
            for (const PLYBlock& b : s.blocks()) add(b);
        return ids;
    }

    // A recorded edit goes on the undo stack; the model's expectations follow it.
    void registered(const Leaves& before, const std::string& bytesBefore) {
        manager->registerUndoForEdit(&undoManager, manager->lastEdit(), "Step");
        undoStates.push_back({before, bytesBefore});
        redoStates.clear();
    }

    // Looks for a zone at a random point near a random block of a random section and drops there.
    std::string drop(const QList<PLYDropItem>& items, const QStringList& refsList, int count) {
        const PLYLayout& layout = *owner->layout();
        const int sectionIndex = int(pick(0, layout.sections_size() - 1));
        const PLYSection& section = layout.sections(sectionIndex);
        const QString sectionId = QString::fromStdString(section.id());
        const Leaves before = leaves();
        const std::string bytes = layout.SerializeAsString();
        const bool introduces = std::any_of(items.begin(), items.end(), [](const PLYDropItem& i) { return !i.isMove(); });
        if (section.blocks_size() == 0) {
            PLYDropPlacement whole = PLYDropPlacement::insert(sectionId, {}, PLYDropPlacement::End);
            whole.groupVertical = PLYInteractionEdge::groupDirectionForSectionDrop(count, pick(0, 1));
            if (!manager->dropBlocks(items, whole)) return "refused drop on an empty section";
            afterDrop(items, introduces, before, bytes);
            return "drop on an empty section";
        }
        const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(layout, {});
        PLYStackedDropZones zones(PLYInteractionFrames::fromSection(section, geometry, double(layout.padding())));
        const PLYInteractionFrames& frames = zones.frames();
        const QRectF near = frames.node(int(pick(0, frames.size() - 1))).frame.adjusted(-12, -12, 12, 12);
        const QPointF point(pickReal(near.left(), near.right()), pickReal(near.top(), near.bottom()));
        const PLYDropRefs refs = PLYDropRefs::fromBlockRefs(refsList, [&](const QString& id) {
            const PLYBlock* b = manager->blockForRef(id);
            return b && b->type_case() == PLYBlock::kText;
        });
        const PLYInteractionZoneRef zone = zones.interactionZoneAtPoint(point, refs);
        const PLYInteractionRegionRef region = zone ? zone->currentActiveRegion() : nullptr;
        if (!region || !region->canActivate()) {
            ++refused;  // the overlay refuses these without asking the manager
            return "no drop";
        }
        std::optional<PLYDropPlacement> placement = zones.placementForRegion(*region);
        EXPECT_TRUE(placement) << region->description().toStdString();
        if (!placement) return "no placement";
        placement->groupVertical = PLYInteractionEdge::groupDirectionForDrop(region->edge(), count, pick(0, 1));
        // Every region the zones offer for these blocks takes them.
        EXPECT_TRUE(manager->dropBlocks(items, *placement)) << region->description().toStdString();
        afterDrop(items, introduces, before, bytes);
        return "drop at " + region->description().toStdString();
    }

    void afterDrop(const QList<PLYDropItem>& items, bool introduces, const Leaves& before, const std::string& bytes) {
        ++drops;
        for (const PLYDropItem& item : items)
            if (!item.isMove()) expected[item.newBlock.id()] = item.newBlock.SerializeAsString();
        Q_UNUSED(introduces);
        registered(before, bytes);
    }

    std::string dropNew() {
        QList<PLYDropItem> items;
        const int count = int(pick(1, 3));
        QStringList refs;
        for (int i = 0; i < count; ++i) items << PLYDropItem::introducing(randomLeaf());
        if (items.first().newBlock.type_case() == PLYBlock::kText) refs << PLYDropRefs::NewTextType;
        return drop(items, refs, count);
    }

    std::string move() {
        const QStringList ids = allBlockIds();
        if (ids.isEmpty()) return dropNew();
        QStringList selection;
        const int count = int(pick(1, 3));
        for (int i = 0; i < count; ++i) selection << ids[int(pick(0, ids.size() - 1))];
        const QStringList dragged = manager->dragBlockRefsForSelection(selection);
        QList<PLYDropItem> items;
        for (const QString& id : dragged) items << PLYDropItem::moving(id);
        // A drop into or beside a dragged block, or inside one, is refused and changes nothing.
        const QList<PLYBlock*> inside = manager->allLeafsForBlock(manager->blockForRef(dragged.last()));
        const std::string bytes = owner->layout()->SerializeAsString();
        const QString sectionId = QString::fromStdString(manager->sectionForBlock(inside.first())->id());
        EXPECT_FALSE(manager->dropBlocks(items, PLYDropPlacement::wrap(sectionId, QString::fromStdString(inside.first()->id()), true)));
        EXPECT_FALSE(manager->dropBlocks(items, PLYDropPlacement::insert(sectionId, dragged.last(), 0)));
        EXPECT_EQ(owner->layout()->SerializeAsString(), bytes);
        return "move " + dragged.join(',').toStdString() + ": " + drop(items, dragged, int(dragged.size()));
    }

    std::string remove() {
        const QStringList ids = allBlockIds();
        const Leaves before = leaves();
        const std::string bytes = owner->layout()->SerializeAsString();
        QList<PLYBlock*> blocks;
        if (!ids.isEmpty())
            for (int i = int(pick(1, 2)); i > 0; --i) {
                PLYBlock* b = manager->blockForRef(ids[int(pick(0, ids.size() - 1))]);
                for (PLYBlock* leaf : manager->allLeafsForBlock(b)) expected.erase(leaf->id());
                blocks << b;
            }
        manager->removeBlocks(blocks);
        registered(before, bytes);
        return "delete";
    }

    std::string undoStep(bool undo) {
        auto& from = undo ? undoStates : redoStates;
        auto& to = undo ? redoStates : undoStates;
        if (from.empty()) return "nothing to " + std::string(undo ? "undo" : "redo");
        to.push_back({leaves(), owner->layout()->SerializeAsString()});
        const auto [leavesThen, bytesThen] = from.back();
        from.pop_back();
        undo ? undoManager.undo() : undoManager.redo();
        ++undos;
        EXPECT_EQ(owner->layout()->SerializeAsString(), bytesThen) << (undo ? "undo" : "redo") << " is not byte-exact";
        expected = leavesThen;
        return undo ? "undo" : "redo";
    }

    std::mt19937 rng;
    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    PLYUndoManager undoManager;
    Leaves expected;
    std::vector<std::pair<Leaves, std::string>> undoStates;
    std::vector<std::pair<Leaves, std::string>> redoStates;
};

}  // namespace

// Thousands of random drops, moves, deletes, undos and redos on generated layouts, through the
// drop zones and the layout manager, checking the layout's invariants after every step.
TEST(DropProperty, RandomEditsKeepTheLayoutWhole) {
    QElapsedTimer clock;
    clock.start();
    int steps = 0, drops = 0, undos = 0;
    for (unsigned seed = 1; seed <= 60 && clock.elapsed() < 4000; ++seed) {
        Walk walk(seed);
        walk.check("generation");
        for (int i = 0; i < 100; ++i) {
            const std::string what = "seed " + std::to_string(seed) + " step " + std::to_string(i) + ": " + walk.step();
            walk.check(what);
            if (::testing::Test::HasFailure()) return;
            ++steps;
        }
        drops += walk.drops;
        undos += walk.undos;
    }
    EXPECT_GE(steps, 2000);
    EXPECT_GT(drops, steps / 5);
    EXPECT_GT(undos, steps / 10);
}
