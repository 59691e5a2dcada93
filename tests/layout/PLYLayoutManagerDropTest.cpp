#include <gtest/gtest.h>

#include "PLYInteractionEdge.h"
#include "PLYLayoutManager.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"

using namespace PLYTestLayouts;

namespace {

// A manager over `layout` whose use counts start equal to the layout's image references.
struct Fixture {
    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    explicit Fixture(PLYLayout layout) : owner(std::make_shared<PLYTestLayoutOwner>(std::move(layout))) {
        for (const QString& ref : PLYLayoutManager::imageRefsInLayout(*owner->layout()))
            owner->incrementInUseCountForImage(ref);
        manager = PLYLayoutManager::managerWithOwner(owner);
    }
    QString shape() const { return PLYTestLayouts::shape(owner->layout()->sections(0)); }
    std::string bytes() const { return owner->layout()->SerializeAsString(); }
    qint64 count(const char* ref) const { return owner->inUseCountForImage(ref); }
    // Every image's use count equals its number of references.
    bool countsMatchReferences() const {
        QHash<QString, qint64> refs;
        for (const QString& r : PLYLayoutManager::imageRefsInLayout(*owner->layout())) ++refs[r];
        for (const char* r : {"p1", "p2", "p3", "n1", "n2"})
            if (owner->inUseCountForImage(r) != refs.value(r)) return false;
        return true;
    }
};

QList<PLYDropItem> moving(std::initializer_list<const char*> ids) {
    QList<PLYDropItem> items;
    for (const char* id : ids) items << PLYDropItem::moving(id);
    return items;
}

PLYLayout fiveBlocks() {
    return layout(10, {section("s", {image("a", "p1"), image("b", "p2"),
                                     container("X", false, {image("x1", "p1"), blank("x2")}), blank("d"),
                                     image("e", "p3")})});
}

}  // namespace

// Each moved block that sat before the slot in the same list shifts it, and the blocks land in
// the order they were dragged, keeping their identifiers.
TEST(LayoutManagerDrop, MovesAdjustPerBlockAndLandInTheOrderDragged) {
    Fixture forward(fiveBlocks());
    Fixture backward(fiveBlocks());
    // Before "e" (slot 4 of the section as it is now): "b" and "d" sit before it, "x1" in a container.
    const PLYDropPlacement beforeE = PLYDropPlacement::insert("s", {}, 4);
    ASSERT_TRUE(forward.manager->dropBlocks(moving({"b", "x1", "d"}), beforeE));
    ASSERT_TRUE(backward.manager->dropBlocks(moving({"d", "x1", "b"}), beforeE));
    EXPECT_EQ(forward.shape(), "a,x2,b,x1,d,e");
    EXPECT_EQ(backward.shape(), "a,x2,d,x1,b,e");
    EXPECT_TRUE(backward.countsMatchReferences());
    EXPECT_TRUE(forward.countsMatchReferences());

    // The record: three moves, X dissolved into x2, no use-count change.
    const PLYLayoutEdit& edit = forward.manager->lastEdit();
    ASSERT_EQ(edit.removed.size(), 3);
    EXPECT_TRUE(edit.removed[0].moved);
    ASSERT_EQ(edit.dissolved.size(), 1);
    EXPECT_EQ(edit.dissolved[0].containerId, "X");
    EXPECT_EQ(edit.dissolved[0].replacedById, "x2");
    EXPECT_TRUE(edit.useCountChanges.isEmpty());

    // Moving a block downward within its list lands where the zone showed, not one further.
    Fixture down(fiveBlocks());
    ASSERT_TRUE(down.manager->dropBlocks(moving({"a"}), PLYDropPlacement::insert("s", {}, 3)));
    EXPECT_EQ(down.shape(), "b,(x1,x2),a,d,e");
}

// Dropping a child into its own container keeps the container (no purge dissolves the target);
// a container can never be dropped into itself or beside its own child.
TEST(LayoutManagerDrop, TargetsSurviveTheMoveAndNothingEntersItself) {
    Fixture f(fiveBlocks());
    ASSERT_TRUE(f.manager->dropBlocks(moving({"x1"}), PLYDropPlacement::insert("s", "X", PLYDropPlacement::End)));
    EXPECT_EQ(f.shape(), "a,b,(x2,x1),d,e");

    const std::string before = f.bytes();
    EXPECT_FALSE(f.manager->dropBlocks(moving({"X"}), PLYDropPlacement::insert("s", "X", 0)));
    EXPECT_FALSE(f.manager->dropBlocks(moving({"X", "a"}), PLYDropPlacement::wrap("s", "x2", true)));
    EXPECT_FALSE(f.manager->dropBlocks(moving({"a"}), PLYDropPlacement::insert("s", "a", 0)));  // not a container
    EXPECT_FALSE(f.manager->dropBlocks(moving({"a"}), PLYDropPlacement::wrap("s", "gone", true)));
    EXPECT_FALSE(f.manager->dropBlocks(moving({"gone"}), PLYDropPlacement::insert("s", {}, 0)));  // nothing to drop
    EXPECT_EQ(f.bytes(), before);
    EXPECT_FALSE(f.manager->lastEdit().changed());

    // A block selected together with its container travels inside it, once.
    ASSERT_TRUE(f.manager->dropBlocks(moving({"x1", "X"}), PLYDropPlacement::insert("s", {}, 0)));
    EXPECT_EQ(f.shape(), "(x2,x1),a,b,d,e");
}

// Selecting every child of a container drags the container; adding another block drags all of
// them, and dropping them loses none.
TEST(LayoutManagerDrop, SelectingAllChildrenPlusAnotherBlockMovesAllOfThem) {
    Fixture f(layout(10, {section("s", {container("X", false, {image("x1", "p1"), blank("x2")}), blank("a"),
                                        container("Y", true, {blank("y1"), blank("y2")})})}));
    EXPECT_EQ(f.manager->dragBlockRefsForSelection({"x2", "x1"}), QStringList{"X"});
    EXPECT_EQ(f.manager->dragBlockRefsForSelection({"x1"}), QStringList{"x1"});
    EXPECT_EQ(f.manager->dragBlockRefsForSelection({"x1", "y1"}), (QStringList{"x1", "y1"}));
    const QStringList dragged = f.manager->dragBlockRefsForSelection({"x1", "x2", "a"});
    EXPECT_EQ(dragged, (QStringList{"x1", "x2", "a"}));

    QList<PLYDropItem> items;
    for (const QString& id : dragged) items << PLYDropItem::moving(id);
    ASSERT_TRUE(f.manager->dropBlocks(items, PLYDropPlacement::insert("s", "Y", 1)));
    EXPECT_EQ(f.shape(), "[y1,x1,x2,a,y2]");
    EXPECT_TRUE(f.countsMatchReferences());
}

// Two images dropped on a seam between stacked blocks stack; with Command they arrive side by
// side in a new container. Beside a block they wrap it side by side; with Command they arrive as
// one stacked column beside it.
TEST(LayoutManagerDrop, GroupingFollowsTheDropLineAndCommand) {
    using Edge = PLYInteractionEdge;
    auto newImages = [] {
        PLYBlock n1 = PLYLayoutManager::newBlock_ImageForIdentifier("n1");
        PLYBlock n2 = PLYLayoutManager::newBlock_ImageForIdentifier("n2");
        n1.set_id("n1");
        n2.set_id("n2");
        return QList<PLYDropItem>{PLYDropItem::introducing(n1), PLYDropItem::introducing(n2)};
    };
    struct Case {
        qint64 edge;
        bool command;
        PLYDropPlacement placement;
        const char* shape;
    };
    const Case cases[] = {
        {Edge::SeamStacked, false, PLYDropPlacement::insert("s", {}, 1), "a,n1,n2,b"},
        {Edge::SeamStacked, true, PLYDropPlacement::insert("s", {}, 1), "a,(n1,n2),b"},
        {Edge::Left, false, PLYDropPlacement::wrap("s", "b", false), "a,(n1,n2,b)"},
        {Edge::Left, true, PLYDropPlacement::wrap("s", "b", false), "a,([n1,n2],b)"},
    };
    for (const Case& c : cases) {
        Fixture f(layout(10, {section("s", {blank("a"), blank("b")})}));
        // The drag images stand as the zone asks, flipped while Command is held.
        const bool imagesVertical = Edge::forceOrientationVertical(c.edge) != c.command;
        PLYDropPlacement placement = c.placement;
        placement.groupVertical = Edge::groupDirectionForDrop(c.edge, 2, imagesVertical);
        ASSERT_TRUE(f.manager->dropBlocks(newImages(), placement));
        EXPECT_EQ(f.shape(), c.shape) << c.edge << " " << c.command;
        EXPECT_EQ(f.count("n1"), 1);
        EXPECT_EQ(f.count("n2"), 1);
    }
    // An empty section takes the drop whole: stacked, or side by side with Command.
    EXPECT_FALSE(Edge::groupDirectionForSectionDrop(2, true).has_value());
    EXPECT_EQ(Edge::groupDirectionForSectionDrop(2, false), std::optional<bool>(false));
    EXPECT_FALSE(Edge::groupDirectionForDrop(Edge::Left, 1, true).has_value());
}

// Undo of a delete and of a drop puts back exactly the earlier bytes and use counts in one
// step; redo does the edit again; the closures outlive nothing they point at.
TEST(LayoutManagerDrop, UndoRestoresBytesAndUseCountsInOneStep) {
    Fixture f(layout(10, {section("s", {image("a", "p1"), container("X", true, {image("x1", "p1"), image("x2", "p2")}),
                                        image("c", "p3")}),
                          section("t", {image("t1", "p2")})}));
    PLYUndoManager undo;
    const std::string original = f.bytes();

    f.manager->selectBlocks({f.manager->blockForRef("x1"), f.manager->blockForRef("c")});
    f.manager->removeBlocks(f.manager->currentSelectedBlocks());
    f.manager->registerUndoForEdit(&undo, f.manager->lastEdit(), "Undo Block Delete");
    EXPECT_EQ(f.shape(), "a,x2");
    EXPECT_EQ(f.count("p1"), 1);
    EXPECT_EQ(f.count("p3"), 0);
    const std::string deleted = f.bytes();

    // A drop that moves a block into another section and adds two images: one step.
    PLYBlock n1 = PLYLayoutManager::newBlock_ImageForIdentifier("p1");
    QList<PLYDropItem> items = moving({"t1"});
    items << PLYDropItem::introducing(n1);
    ASSERT_TRUE(f.manager->dropBlocks(items, PLYDropPlacement::insert("s", {}, 1)));
    f.manager->registerUndoForEdit(&undo, f.manager->lastEdit(), "Delete Blocks");
    EXPECT_EQ(f.owner->layout()->sections(1).blocks_size(), 0);
    EXPECT_EQ(f.manager->lastEdit().useCountChanges.value("p1"), 1);
    const std::string dropped = f.bytes();
    ASSERT_EQ(undo.undoCount(), 2);

    undo.undo();
    EXPECT_EQ(f.bytes(), deleted);
    EXPECT_TRUE(f.countsMatchReferences());
    undo.undo();
    EXPECT_EQ(f.bytes(), original);
    EXPECT_TRUE(f.countsMatchReferences());
    EXPECT_TRUE(f.manager->currentSelectedBlocks().isEmpty());
    undo.redo();
    undo.redo();
    EXPECT_EQ(f.bytes(), dropped);
    EXPECT_TRUE(f.countsMatchReferences());

    // A record whose section is gone, or whose bytes are damaged, changes nothing.
    PLYLayoutEdit damaged = f.manager->lastEdit();
    damaged.sections[0].before = "\xff\xff\xff";
    EXPECT_FALSE(f.manager->revertEdit(damaged));
    EXPECT_EQ(f.bytes(), dropped);

    // The edit of an image block in edit mode: crop and ratio come back, then go again.
    PLYBlock* x2 = f.manager->blockForRef("x2");
    const QByteArray beforeEdit = QByteArray::fromStdString(x2->SerializeAsString());
    x2->mutable_image()->mutable_position()->set_x(0.25f);
    x2->set_aspect_ratio(2.0f);
    const QByteArray afterEdit = f.manager->restoreBlockProperties("x2", beforeEdit);
    EXPECT_FALSE(f.manager->blockForRef("x2")->image().has_position());
    EXPECT_EQ(f.manager->blockForRef("x2")->aspect_ratio(), 0.0f);
    f.manager->restoreBlockProperties("x2", afterEdit);
    EXPECT_EQ(f.manager->blockForRef("x2")->image().position().x(), 0.25f);
    EXPECT_TRUE(f.manager->restoreBlockProperties("gone", afterEdit).isEmpty());
}
