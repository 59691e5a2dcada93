#include <gtest/gtest.h>

#include "PLYInteractionEdge.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYStackedDropZones.h"
#include "PLYTestLayoutOwner.h"
#include "PLYUndoManager.h"

#include <random>

namespace {

const QStringList kImages{"p0", "p1", "p2", "p3", "p4"};
using Leaves = std::map<std::string, std::string>;  // identifier -> bytes of every non-container block

// Random drops (through the zones), moves, deletes, undos and redos on one generated layout,
// with what the layout must hold after each: exactly the leaves expected, byte for byte.
class Walk {
public:
    explicit Walk(unsigned seed) : rng(seed) {
        PLYLayout layout;
        layout.set_padding(int(pick(0, 30)));
        for (int s = int(pick(1, 2)); s > 0; --s) {
            PLYSection* section = layout.add_sections();
            *section = PLYLayoutManager::newSection_Stacked();
            for (int b = int(pick(0, 6)); b > 0; --b) *section->add_blocks() = randomBlock(0, false);
        }
        owner = std::make_shared<PLYTestLayoutOwner>(layout);
        for (const QString& ref : PLYLayoutManager::imageRefsInLayout(layout)) owner->incrementInUseCountForImage(ref);
        manager = PLYLayoutManager::managerWithOwner(owner);
        expected = scan(nullptr);
    }

    std::string step() {
        const int roll = int(pick(0, 99));
        if (roll < 30) return dropNew();
        if (roll < 62) return move();
        if (roll < 77) return remove();
        return undoStep(roll < 90);
    }

    // Unique identifiers, the expected leaves, no container with fewer than two children, use
    // counts equal to the image references.
    void check(const std::string& what) {
        QStringList ids;
        ASSERT_EQ(scan(&ids), expected) << what;
        for (const PLYSection& section : owner->layout()->sections()) ids << QString::fromStdString(section.id());
        ASSERT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), ids.size()) << "duplicate identifier after " << what;
        ASSERT_TRUE(thinContainer.empty()) << "container " << thinContainer << " after " << what;
        QHash<QString, qint64> refs;
        for (const QString& ref : PLYLayoutManager::imageRefsInLayout(*owner->layout())) ++refs[ref];
        for (const QString& image : kImages) ASSERT_EQ(owner->inUseCountForImage(image), refs.value(image)) << what;
    }

    int drops = 0, undos = 0;

private:
    qint64 pick(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng); }

    PLYBlock randomLeaf() {
        const qint64 kind = pick(0, 5);
        if (kind == 0) return PLYLayoutManager::newBlock_Blank();
        if (kind == 1) return PLYLayoutManager::newBlock_Text();
        return PLYLayoutManager::newBlock_ImageForIdentifier(kImages[int(pick(0, kImages.size() - 1))]);
    }
    PLYBlock randomBlock(int depth, bool vert) {
        if (depth >= 3 || pick(0, 2) > 0) return randomLeaf();
        PLYBlock container = PLYLayoutManager::newBlock_Container();
        container.mutable_container()->set_vert(vert);
        for (int i = int(pick(2, 3)); i > 0; --i) *container.mutable_container()->add_sub_blocks() = randomBlock(depth + 1, !vert);
        return container;
    }

    // The leaves; every block identifier into `ids`; a container with fewer than two children
    // into thinContainer.
    Leaves scan(QStringList* ids) {
        Leaves out;
        thinContainer.clear();
        std::function<void(const PLYBlock&)> add = [&](const PLYBlock& b) {
            if (ids) *ids << QString::fromStdString(b.id());
            if (b.type_case() != PLYBlock::kContainer) {
                out[b.id()] = b.SerializeAsString();
                return;
            }
            if (b.container().sub_blocks_size() < 2) thinContainer = b.id();
            for (const PLYBlock& c : b.container().sub_blocks()) add(c);
        };
        for (const PLYSection& s : owner->layout()->sections())
            for (const PLYBlock& b : s.blocks()) add(b);
        return out;
    }

    void registered(const Leaves& before, const std::string& bytesBefore) {
        manager->registerUndoForEdit(&undoManager, manager->lastEdit(), "Step");
        undoStates.push_back({before, bytesBefore});
        redoStates.clear();
    }

    // At a random point near a random block of a random section, as the overlay would.
    std::string drop(const QList<PLYDropItem>& items, const QStringList& refsList) {
        const PLYLayout& layout = *owner->layout();
        const PLYSection& section = layout.sections(int(pick(0, layout.sections_size() - 1)));
        const Leaves before = scan(nullptr);
        const std::string bytes = layout.SerializeAsString();
        std::optional<PLYDropPlacement> placement;
        std::string where = "an empty section";
        if (section.blocks_size() == 0) {
            placement = PLYDropPlacement::insert(QString::fromStdString(section.id()), {}, PLYDropPlacement::End);
            placement->groupVertical = PLYInteractionEdge::groupDirectionForSectionDrop(int(items.size()), pick(0, 1));
        } else {
            PLYStackedDropZones zones(PLYInteractionFrames::fromSection(
                section, PLYLayoutGeometry::layoutGeometry(layout, {}), double(layout.padding())));
            const QRectF near = zones.frames().node(int(pick(0, zones.frames().size() - 1))).frame.adjusted(-12, -12, 12, 12);
            const QPointF point(near.left() + pick(0, 1000) * near.width() / 1000, near.top() + pick(0, 1000) * near.height() / 1000);
            const PLYDropRefs refs = PLYDropRefs::fromBlockRefs(refsList, [&](const QString& id) {
                const PLYBlock* b = manager->blockForRef(id);
                return b && b->type_case() == PLYBlock::kText;
            });
            const PLYInteractionZoneRef zone = zones.interactionZoneAtPoint(point, refs);
            const PLYInteractionRegionRef region = zone ? zone->currentActiveRegion() : nullptr;
            if (!region || !region->canActivate()) return "no drop";  // the overlay refuses these itself
            placement = zones.placementForRegion(*region);
            EXPECT_TRUE(placement) << region->description().toStdString();
            if (!placement) return "no placement";
            placement->groupVertical = PLYInteractionEdge::groupDirectionForDrop(region->edge(), int(items.size()), pick(0, 1));
            where = region->description().toStdString();
        }
        // Every place the zones offer for these blocks takes them.
        EXPECT_TRUE(manager->dropBlocks(items, *placement)) << where;
        ++drops;
        for (const PLYDropItem& item : items)
            if (!item.isMove()) expected[item.newBlock.id()] = item.newBlock.SerializeAsString();
        registered(before, bytes);
        return "drop at " + where;
    }

    std::string dropNew() {
        QList<PLYDropItem> items;
        for (int i = int(pick(1, 3)); i > 0; --i) items << PLYDropItem::introducing(randomLeaf());
        const bool text = items.first().newBlock.type_case() == PLYBlock::kText;
        return drop(items, text ? QStringList{PLYDropRefs::NewTextType} : QStringList{});
    }

    std::string move() {
        QStringList ids;
        scan(&ids);
        if (ids.isEmpty()) return dropNew();
        QStringList selection;
        for (int i = int(pick(1, 3)); i > 0; --i) selection << ids[int(pick(0, ids.size() - 1))];
        const QStringList dragged = manager->dragBlockRefsForSelection(selection);
        QList<PLYDropItem> items;
        for (const QString& id : dragged) items << PLYDropItem::moving(id);
        // Into or beside a dragged block (or anything inside one) is refused and changes nothing.
        const PLYBlock* inner = manager->allLeafsForBlock(manager->blockForRef(dragged.last())).first();
        const QString sectionId = QString::fromStdString(manager->sectionForBlock(inner)->id());
        const std::string bytes = owner->layout()->SerializeAsString();
        EXPECT_FALSE(manager->dropBlocks(items, PLYDropPlacement::wrap(sectionId, QString::fromStdString(inner->id()), true)));
        EXPECT_FALSE(manager->dropBlocks(items, PLYDropPlacement::insert(sectionId, dragged.last(), 0)));
        EXPECT_EQ(owner->layout()->SerializeAsString(), bytes);
        return "move " + dragged.join(',').toStdString() + ": " + drop(items, dragged);
    }

    std::string remove() {
        QStringList ids;
        const Leaves before = scan(&ids);
        const std::string bytes = owner->layout()->SerializeAsString();
        QList<PLYBlock*> blocks;
        for (int i = ids.isEmpty() ? 0 : int(pick(1, 2)); i > 0; --i) {
            blocks << manager->blockForRef(ids[int(pick(0, ids.size() - 1))]);
            for (const PLYBlock* leaf : manager->allLeafsForBlock(blocks.last())) expected.erase(leaf->id());
        }
        manager->removeBlocks(blocks);
        registered(before, bytes);
        return "delete";
    }

    std::string undoStep(bool undo) {
        auto& from = undo ? undoStates : redoStates;
        auto& to = undo ? redoStates : undoStates;
        if (from.empty()) return "nothing to undo or redo";
        to.push_back({scan(nullptr), owner->layout()->SerializeAsString()});
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
    std::string thinContainer;
    std::vector<std::pair<Leaves, std::string>> undoStates, redoStates;
};

}  // namespace

// Thousands of random edits through the drop zones and the layout manager, seeded and counted
// (never timed), the layout's invariants checked after every step.
TEST(DropProperty, RandomEditsKeepTheLayoutWhole) {
    int steps = 0, drops = 0, undos = 0;
    for (unsigned seed = 1; seed <= 21; ++seed) {
        Walk walk(seed);
        walk.check("generation");
        for (int i = 0; i < 100 && !::testing::Test::HasFailure(); ++i, ++steps) {
            const std::string what = walk.step();
            walk.check("seed " + std::to_string(seed) + " step " + std::to_string(i) + ": " + what);
        }
        drops += walk.drops;
        undos += walk.undos;
    }
    EXPECT_GE(steps, 2000);
    EXPECT_GT(drops, steps / 5);
    EXPECT_GT(undos, steps / 10);
}
