#include <gtest/gtest.h>

#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"

#include <QMap>
#include <limits>
#include <QStringList>

namespace {

// A post stand-in: holds the layout and counts image uses.
class TestOwner : public PLYLayoutOwner {
public:
    PLYLayout layoutData;
    QMap<QString, qint64> counts;
    PLYLayout* layout() override { return &layoutData; }
    qint64 inUseCountForImage(const QString& id) const override { return counts.value(id); }
    void incrementInUseCountForImage(const QString& id) override { ++counts[id]; }
    void decrementInUseCountForImage(const QString& id) override { --counts[id]; }
};

QString idOf(const PLYBlock* b) { return b ? QString::fromStdString(b->id()) : QStringLiteral("-"); }

QString idsOf(const QList<PLYBlock*>& blocks) {
    QStringList ids;
    for (auto* b : blocks) ids << idOf(b);
    return ids.join(',');
}

PLYBlock block(const char* id, PLYBlock prototype = PLYLayoutManager::newBlock_Blank()) {
    prototype.set_id(id);
    return prototype;
}

PLYBlock image(const char* id, const char* ref) {
    PLYBlock b = PLYLayoutManager::newBlock_Image();
    b.set_id(id);
    b.mutable_image()->set_img_ref(ref);
    return b;
}

PLYBlock container(const char* id, bool vert, std::vector<PLYBlock> children) {
    PLYBlock c = PLYLayoutManager::newBlock_Container();
    c.set_id(id);
    c.mutable_container()->set_vert(vert);
    for (auto& child : children) *c.mutable_container()->add_sub_blocks() = child;
    return c;
}

// "a,b,[c,d]" for a list of blocks; containers show as [..] (vertical) or (..) (side by side).
QString shape(const google::protobuf::RepeatedPtrField<PLYBlock>& blocks) {
    QStringList parts;
    for (const PLYBlock& b : blocks) {
        if (b.type_case() == PLYBlock::kContainer) {
            const QString inner = shape(b.container().sub_blocks());
            parts << (b.container().vert() ? "[" + inner + "]" : "(" + inner + ")");
        } else {
            parts << QString::fromStdString(b.id());
        }
    }
    return parts.join(',');
}

class RecordingViewProxy : public PLYLayoutViewProxyBase {
public:
    QStringList* log;
    QString name;
    bool live = true;
    std::function<void()> onTeardown;
    RecordingViewProxy(QStringList* l, QString n) : log(l), name(std::move(n)) {}
    bool isLive() const override { return live; }
    void layoutManagerDidChangeSection(PLYLayoutManager*, PLYSection* s) override {
        *log << name + ":change:" + QString::fromStdString(s->id());
    }
    void layoutManagerWillRemoveBlock(PLYLayoutManager*, PLYBlock* b) override { *log << name + ":remove:" + idOf(b); }
    void layoutManagerTeardownEditViews(PLYLayoutManager*, PLYBlock* b) override {
        *log << name + ":teardown:" + idOf(b);
        if (onTeardown) onTeardown();
    }
};

class RecordingInteractionProxy : public PLYLayoutManagerInteractionProxy {
public:
    QStringList* log;
    QString name;
    std::function<void()> onSelect;
    RecordingInteractionProxy(QStringList* l, QString n) : log(l), name(std::move(n)) {}
    void layoutManagerDidSetHoverSection(PLYLayoutManager*, PLYSection* s) override {
        *log << name + ":hoverSection:" + (s ? QString::fromStdString(s->id()) : "-");
    }
    void layoutManagerDidSetHoverBlock(PLYLayoutManager*, PLYBlock* b) override { *log << name + ":hover:" + idOf(b); }
    void layoutManagerDidSelectBlocks(PLYLayoutManager*, const QList<PLYBlock*>& blocks) override {
        *log << name + ":select:" + idsOf(blocks);
        if (onSelect) onSelect();
    }
    void layoutManagerDidSetEditBlock(PLYLayoutManager*, PLYBlock* b) override { *log << name + ":edit:" + idOf(b); }
};

class LayoutManagerTest : public ::testing::Test {
protected:
    std::shared_ptr<TestOwner> owner = std::make_shared<TestOwner>();
    std::shared_ptr<PLYLayoutManager> manager;
    QStringList events;
    QStringList errors;
    int announcements = 0;
    PLYObserverBag bag;
    int logToken = 0;

    void SetUp() override {
        PLYSection* s = owner->layoutData.add_sections();
        *s = PLYLayoutManager::newSection_Stacked();
        s->set_id("S1");
        manager = PLYLayoutManager::managerWithOwner(owner);
        bag.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), manager.get(),
                [this](const PLYNotification& n) {
                    EXPECT_EQ(n.object, manager.get());
                    ++announcements;
                });
        logToken = PLYLog::addObserver([this](PLYLog::Level level, const QString& line) {
            if (level == PLYLog::Level::Error) errors << line;
        });
    }
    void TearDown() override {
        PLYLog::removeObserver(logToken);
        PLYLayoutManager::setImageModificationDateLookup({});
    }
    PLYSection* section() { return owner->layoutData.mutable_sections(0); }
    QString sectionShape() { return shape(section()->blocks()); }
    QByteArray bytes() { return PLYLayoutSerialization::serialize(owner->layoutData); }
};

}  // namespace

TEST(LayoutManagerFactories, NewBlocksHaveFreshIdentifiersAndTheirInitialContents) {
    PLYBlock text = PLYLayoutManager::newBlock_Text();
    PLYBlock blank = PLYLayoutManager::newBlock_Blank();
    PLYBlock button = PLYLayoutManager::newBlock_DownloadButton();
    PLYBlock box = PLYLayoutManager::newBlock_Container();
    PLYBlock picture = PLYLayoutManager::newBlock_Image();
    PLYSection stacked = PLYLayoutManager::newSection_Stacked();

    EXPECT_EQ(text.text().value(), "Double click to edit text");
    EXPECT_FLOAT_EQ(blank.aspect_ratio(), 1.5f);
    EXPECT_EQ(blank.type_case(), PLYBlock::kBlank);
    EXPECT_EQ(button.download_button().title(), "DOWNLOAD IMAGES");
    EXPECT_TRUE(box.container().vert());
    EXPECT_EQ(picture.type_case(), PLYBlock::kImage);
    EXPECT_EQ(stacked.kind_case(), PLYSection::kStacked);

    QSet<QString> ids;
    for (const std::string& id : {text.id(), blank.id(), button.id(), box.id(), picture.id(), stacked.id()}) {
        const QString q = QString::fromStdString(id);
        EXPECT_EQ(q.size(), 36) << id;
        EXPECT_FALSE(q.contains('{'));
        ids.insert(q);
    }
    EXPECT_EQ(ids.size(), 6);
}

TEST(LayoutManagerFactories, TextWidthPresetsAndBackgroundColour) {
    const QList<QPair<qint64, double>> table{{0, 0.3}, {1, 0.5}, {2, 0.7}, {3, 1.0}, {4, -1.0}, {5, 1.0}, {99, 1.0}, {-1, 1.0}};
    for (auto [preset, width] : table) EXPECT_DOUBLE_EQ(PLYLayoutManager::widthValueForTextWidth(preset), width) << preset;

    PLYLayout layout;
    EXPECT_EQ(PLYLayoutManager::backgroundColourForLayout(layout), QColor(0, 0, 0));
    layout.mutable_background_colour()->set_r(255);
    layout.mutable_background_colour()->set_g(51);
    layout.mutable_background_colour()->set_b(0);
    const QColor c = PLYLayoutManager::backgroundColourForLayout(layout);
    EXPECT_DOUBLE_EQ(c.redF(), 1.0);
    EXPECT_NEAR(c.greenF(), 0.2, 1e-6);
    EXPECT_DOUBLE_EQ(c.alphaF(), 1.0);

    // A damaged file may hold any float: the colour stays a valid, opaque one.
    layout.mutable_background_colour()->set_r(std::numeric_limits<float>::quiet_NaN());
    layout.mutable_background_colour()->set_g(std::numeric_limits<float>::infinity());
    const QColor damaged = PLYLayoutManager::backgroundColourForLayout(layout);
    EXPECT_TRUE(damaged.isValid());
    EXPECT_EQ(damaged, QColor::fromRgbF(0.0, 1.0, damaged.blueF()));
    EXPECT_DOUBLE_EQ(damaged.redF(), 0.0);
    EXPECT_DOUBLE_EQ(damaged.greenF(), 1.0);
    EXPECT_DOUBLE_EQ(damaged.alphaF(), 1.0);
}

TEST_F(LayoutManagerTest, InsertKeepsOrderAppendsPastTheEndAndClampsNegativeIndexes) {
    manager->addBlocks({block("a"), block("b")}, nullptr, section());
    manager->insertBlocks({block("x"), block("y")}, nullptr, section(), 1);
    EXPECT_EQ(sectionShape(), "a,x,y,b");
    manager->insertBlocks({block("z")}, nullptr, section(), 99);
    EXPECT_EQ(sectionShape(), "a,x,y,b,z");
    manager->insertBlocks({block("n")}, nullptr, section(), -3);
    EXPECT_EQ(sectionShape(), "n,a,x,y,b,z");
    EXPECT_EQ(announcements, 4);
}

TEST_F(LayoutManagerTest, AddedBlocksAreCopiesReachableByIdentifier) {
    PLYBlock given = block("a");
    PLYBlock* added = manager->addBlock(given, nullptr, section());
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, &given);
    EXPECT_EQ(manager->blockForRef("a"), added);

    // The same block again, and one without identifier, get fresh identifiers.
    PLYBlock* again = manager->addBlock(given, nullptr, section());
    PLYBlock anonymous = block("");
    PLYBlock* unnamed = manager->addBlock(anonymous, nullptr, section());
    EXPECT_NE(again->id(), "a");
    EXPECT_FALSE(unnamed->id().empty());
    EXPECT_EQ(manager->blockForRef(idOf(again)), again);
}

TEST_F(LayoutManagerTest, AddingIntoANonContainerIsRefusedAndChangesNothing) {
    QStringList viewEvents;
    RecordingViewProxy view(&viewEvents, "v");
    manager->addLayoutViewProxy(&view);
    manager->addBlocks({image("a", "img1"), block("b")}, nullptr, section());
    viewEvents.clear();
    const QByteArray before = bytes();
    const int announcedBefore = announcements;

    EXPECT_TRUE(manager->addBlocks({image("c", "img2")}, manager->blockForRef("a"), section()).isEmpty());
    EXPECT_TRUE(manager->insertBlocks({image("c", "img2")}, manager->blockForRef("b"), section(), 0).isEmpty());

    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(announcements, announcedBefore);
    EXPECT_EQ(owner->counts.value("img2"), 0);
    EXPECT_TRUE(viewEvents.isEmpty());
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains("cannot add blocks to a blocck that is not a container: \n")) << errors[0].toStdString();
    manager->removeLayoutViewProxy(&view);
}

TEST_F(LayoutManagerTest, AddingToASectionOutsideTheLayoutIsRefused) {
    PLYSection stray = PLYLayoutManager::newSection_Stacked();
    const QByteArray before = bytes();
    EXPECT_EQ(manager->addBlock(block("a"), nullptr, &stray), nullptr);
    EXPECT_EQ(manager->addBlock(block("a"), nullptr, nullptr), nullptr);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(errors.size(), 2);
}

TEST_F(LayoutManagerTest, WrapInASectionPlacesTheBlocksSideBySide) {
    manager->addBlocks({block("a"), block("b"), block("c")}, nullptr, section());
    PLYBlock* b = manager->blockForRef("b");
    PLYBlock* wrapper = manager->wrapBlock(b, nullptr, section(), {block("x"), block("y")}, 1);
    EXPECT_EQ(sectionShape(), "a,(b,x,y),c");
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(manager->parentBlockForBlock(manager->blockForRef("x"), section()), wrapper);
    EXPECT_EQ(manager->blockForRef("b"), b) << "the wrapped block keeps its place in memory";

    manager->wrapBlock(manager->blockForRef("c"), nullptr, section(), {block("p"), block("q")}, 0);
    EXPECT_EQ(sectionShape(), "a,(b,x,y),(p,q,c)");
    EXPECT_EQ(announcements, 3);
}

TEST_F(LayoutManagerTest, WrapInsideAContainerRunsAcrossItsDirection) {
    manager->addBlock(container("row", false, {block("a"), block("b")}), nullptr, section());
    manager->wrapBlock(manager->blockForRef("b"), manager->blockForRef("row"), section(), {block("x")}, 0);
    EXPECT_EQ(sectionShape(), "(a,[x,b])");

    manager->wrapBlock(manager->blockForRef("x"), nullptr, section(), {block("y")}, 1);
    EXPECT_EQ(sectionShape(), "(a,[(x,y),b])") << "the real parent decides, not the caller's hint";
}

TEST_F(LayoutManagerTest, WrappedBlocksCountTheirImages) {
    manager->addBlock(image("a", "img1"), nullptr, section());
    manager->wrapBlock(manager->blockForRef("a"), nullptr, section(),
                       {image("b", "img1"), container("c", true, {image("d", "img2")})}, 1);
    EXPECT_EQ(owner->counts.value("img1"), 2);
    EXPECT_EQ(owner->counts.value("img2"), 1);
}

TEST_F(LayoutManagerTest, RemovingLeavesAOneChildContainerReplacedByItsChild) {
    manager->addBlocks({block("a"), container("row", false, {block("b"), container("col", true, {block("c"), block("d")})})},
                       nullptr, section());
    manager->removeBlock(manager->blockForRef("b"), false);
    EXPECT_EQ(sectionShape(), "a,[c,d]");
    EXPECT_EQ(manager->blockForRef("row"), nullptr);

    manager->removeBlock(manager->blockForRef("c"), true);
    EXPECT_EQ(sectionShape(), "a,[d]") << "preventPurge keeps the container";
}

TEST_F(LayoutManagerTest, RemovingTheLastChildRemovesEmptyContainersUpwards) {
    manager->addBlock(container("outer", true, {block("a"), container("mid", false, {container("inner", true, {block("b")})})}),
                      nullptr, section());
    manager->removeBlock(manager->blockForRef("b"), false);
    // "inner" is left empty and goes; "mid" is then empty and goes; "outer" keeps one child and
    // is replaced by it.
    EXPECT_EQ(sectionShape(), "a");

    manager->addBlock(container("keep", true, {block("z")}), nullptr, section());
    manager->removeBlock(manager->blockForRef("z"), true);
    EXPECT_EQ(sectionShape(), "a,[]") << "preventPurge keeps even an emptied container";
}

TEST_F(LayoutManagerTest, UseCountsFollowImagesThroughNestedContainers) {
    manager->addBlock(container("row", false, {image("a", "img1"), container("col", true, {image("b", "img1"), image("c", "img2")})}),
                      nullptr, section());
    manager->createAndAddBlocksForImages({"img2"});
    EXPECT_EQ(owner->counts.value("img1"), 2);
    EXPECT_EQ(owner->counts.value("img2"), 2);

    manager->removeBlock(manager->blockForRef("col"), false);
    EXPECT_EQ(owner->counts.value("img1"), 1);
    EXPECT_EQ(owner->counts.value("img2"), 1);
    EXPECT_EQ(manager->blockForRef("a")->image().img_ref(), "img1") << "row was dissolved into a";

    manager->removeBlocks(manager->allLeafsForBlock(manager->blockForRef("a")) << section()->mutable_blocks(1));
    EXPECT_EQ(owner->counts.value("img1"), 0);
    EXPECT_EQ(owner->counts.value("img2"), 0);
    EXPECT_EQ(section()->blocks_size(), 0);
}

TEST_F(LayoutManagerTest, RemoveBlocksSurvivesContainersDissolvedByEarlierRemovals) {
    manager->addBlock(container("row", false, {image("a", "i"), container("col", true, {image("b", "i"), image("c", "i")})}),
                      nullptr, section());
    QList<PLYBlock*> doomed{manager->blockForRef("a"), manager->blockForRef("col"), manager->blockForRef("b")};
    manager->removeBlocks(doomed);
    // Removing a dissolves row into col; col then goes with b and c; b is already gone.
    EXPECT_EQ(sectionShape(), "");
    EXPECT_EQ(owner->counts.value("i"), 0);
    EXPECT_EQ(announcements, 2) << "one for the add, one for the batch";
}

TEST_F(LayoutManagerTest, RemoveBlocksTakesAContainerWholeEvenWhenOneOfItsChildrenComesFirst) {
    manager->addBlock(block("keep"), nullptr, section());
    manager->addBlock(container("row", false, {image("a", "i"), image("b", "j")}), nullptr, section());
    // The selection names a child before its container: removing the child first would
    // dissolve the container into b, and b would then survive a delete that named it.
    manager->removeBlocks({manager->blockForRef("a"), manager->blockForRef("row")});
    EXPECT_EQ(sectionShape(), "keep");
    EXPECT_EQ(owner->counts.value("i"), 0);
    EXPECT_EQ(owner->counts.value("j"), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(LayoutManagerTest, RemovingABlockNotInTheLayoutChangesNothing) {
    manager->addBlock(block("a"), nullptr, section());
    PLYBlock stranger = block("zz");
    const QByteArray before = bytes();
    manager->removeBlock(&stranger, false);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(LayoutManagerTest, RemovalIsMirroredIntoTheViewsBeforeAndAfter) {
    QStringList viewEvents;
    RecordingViewProxy view(&viewEvents, "v");
    manager->addLayoutViewProxy(&view);
    manager->addBlock(container("row", false, {block("a"), block("b")}), nullptr, section());
    EXPECT_EQ(viewEvents, QStringList{"v:change:S1"});
    viewEvents.clear();
    manager->removeBlock(manager->blockForRef("a"), false);
    EXPECT_EQ(viewEvents, (QStringList{"v:remove:a", "v:remove:row", "v:change:S1"}));
    manager->removeLayoutViewProxy(&view);
}

TEST_F(LayoutManagerTest, CopyOfAnIdentifierHeldByTheCallerStillRemoves) {
    manager->addBlock(image("a", "i"), nullptr, section());
    PLYBlock copy = *manager->blockForRef("a");
    manager->removeBlock(&copy, false);
    EXPECT_EQ(section()->blocks_size(), 0);
    EXPECT_EQ(owner->counts.value("i"), 0);
}

TEST_F(LayoutManagerTest, CreateImageBlocksUsesTheModificationDateAndAnnouncesOnce) {
    PLYLayoutManager::setImageModificationDateLookup([](const QString& id) -> std::optional<QDateTime> {
        if (id == "known") return QDateTime::fromMSecsSinceEpoch(1'500'000'000'999, Qt::UTC);
        return std::nullopt;
    });
    owner->layoutData.add_sections()->set_id("S2");
    const QList<PLYBlock*> added = manager->createAndAddBlocksForImages({"known", "unknown"});
    ASSERT_EQ(added.size(), 2);
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(owner->layoutData.sections(1).blocks_size(), 2) << "the last section receives them";
    EXPECT_EQ(added[0]->image().img_ref(), "known");
    EXPECT_EQ(added[0]->image().source_last_updated(), "1500000000");
    EXPECT_EQ(added[1]->image().source_last_updated(), "0");
    EXPECT_EQ(owner->counts.value("known"), 1);
}

TEST(LayoutManagerImages, ModificationDatesBeyond32BitsWrapLikeTheStoredFormat) {
    PLYLayoutManager::setImageModificationDateLookup(
        [](const QString&) -> std::optional<QDateTime> { return QDateTime::fromSecsSinceEpoch(4'294'967'296LL + 5); });
    EXPECT_EQ(PLYLayoutManager::sourceLastUpdatedForImage("x"), "5");
    PLYLayoutManager::setImageModificationDateLookup({});
    EXPECT_EQ(PLYLayoutManager::sourceLastUpdatedForImage("x"), "0");
}

TEST_F(LayoutManagerTest, LayoutWithoutSectionsIgnoresImageAdds) {
    owner->layoutData.clear_sections();
    EXPECT_TRUE(manager->createAndAddBlocksForImages({"i"}).isEmpty());
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(owner->counts.value("i"), 0);
}

TEST_F(LayoutManagerTest, QueriesWalkNestedContainers) {
    manager->addBlocks({block("a"), container("row", false, {block("b"), container("col", true, {block("c"), block("d")})})},
                       nullptr, section());
    PLYBlock* c = manager->blockForRef("c");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(idsOf(manager->pathFromSectionToBlock(c)), "row,col,c");
    EXPECT_TRUE(manager->pathFromSectionToBlock(manager->blockForRef("a")).isEmpty());
    EXPECT_EQ(idOf(manager->parentBlockForBlock(c, section())), "col");
    EXPECT_EQ(manager->parentBlockForBlock(manager->blockForRef("row"), section()), nullptr);
    EXPECT_EQ(idsOf(manager->allLeafsForBlock(manager->blockForRef("row"))), "b,c,d");
    EXPECT_EQ(idsOf(manager->allLeafsForBlock(c)), "c");
    EXPECT_EQ(manager->sectionForBlock(c), section());
    EXPECT_EQ(manager->blockForRef("nope"), nullptr);
    EXPECT_EQ(manager->blockForRef(""), nullptr);
}

TEST_F(LayoutManagerTest, ValidateRemovesEmptyContainersAtAnyDepth) {
    manager->addBlocks({container("e1", true, {}), container("row", false, {block("a"), container("e2", true, {container("e3", false, {})})})},
                       nullptr, section());
    const int before = announcements;
    manager->validateLayoutModel();
    EXPECT_EQ(sectionShape(), "(a)");
    EXPECT_EQ(announcements, before + 1);
    manager->validateLayoutModel();
    EXPECT_EQ(announcements, before + 1) << "nothing to do, nothing announced";
}

TEST(LayoutManagerIdentifiers, UnidentifiedAndDuplicateItemsGetFreshIdentifiers) {
    auto owner = std::make_shared<TestOwner>();
    PLYSection* s = owner->layoutData.add_sections();
    *s->add_blocks() = block("dup");
    *s->add_blocks() = block("dup");
    *s->add_blocks() = block("");
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    EXPECT_FALSE(s->id().empty());
    EXPECT_EQ(s->blocks(0).id(), "dup");
    EXPECT_NE(s->blocks(1).id(), "dup");
    EXPECT_FALSE(s->blocks(2).id().empty());
}

TEST_F(LayoutManagerTest, SelectionIsHeldByIdentifierAndToldToInteractionProxies) {
    RecordingInteractionProxy inspector(&events, "i");
    manager->addInteractionProxy(&inspector);
    manager->addInteractionProxy(&inspector);
    manager->addBlocks({block("a"), block("b"), block("c")}, nullptr, section());

    manager->selectBlock(manager->blockForRef("a"));
    manager->addSelectedBlock(manager->blockForRef("b"));
    manager->addSelectedBlock(manager->blockForRef("a"));
    manager->deSelectBlock(manager->blockForRef("a"));
    manager->selectBlocks({manager->blockForRef("c"), manager->blockForRef("a"), manager->blockForRef("c")});
    // Inserting before the selection moves the messages; the selection still resolves.
    manager->insertBlocks({block("n")}, nullptr, section(), 0);
    EXPECT_EQ(idsOf(manager->currentSelectedBlocks()), "c,a");
    manager->deSelectAllBlocks();
    EXPECT_EQ(events, (QStringList{"i:select:a", "i:select:a,b", "i:select:a,b", "i:select:b", "i:select:c,a", "i:select:"}));
    manager->removeInteractionProxy(&inspector);
}

TEST_F(LayoutManagerTest, RemovingClearsSelectionHoverAndEditStateOfTheSubtree) {
    QStringList viewEvents;
    RecordingViewProxy view(&viewEvents, "v");
    RecordingInteractionProxy inspector(&viewEvents, "i");
    manager->addLayoutViewProxy(&view);
    manager->addBlocks({block("a"), container("col", true, {block("b"), block("c")})}, nullptr, section());
    manager->selectBlocks({manager->blockForRef("a"), manager->blockForRef("b")});
    manager->setHoverBlock(manager->blockForRef("b"));
    manager->setEditBlock(manager->blockForRef("b"));
    manager->addInteractionProxy(&inspector);
    viewEvents.clear();

    // Moving b: removed, then a copy with the same identifier comes back.
    PLYBlock moved = *manager->blockForRef("b");
    manager->removeBlock(manager->blockForRef("b"), false);
    EXPECT_EQ(viewEvents, (QStringList{"v:teardown:b", "i:edit:-", "i:select:a", "i:hover:-", "v:remove:b", "v:remove:col",
                                       "v:change:S1"}));
    manager->addBlock(moved, nullptr, section());
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_EQ(manager->currentHoverBlock(), nullptr);
    EXPECT_EQ(idsOf(manager->currentSelectedBlocks()), "a");
    manager->removeInteractionProxy(&inspector);
    manager->removeLayoutViewProxy(&view);
}

TEST_F(LayoutManagerTest, EditBlockChangeTearsDownEveryViewFirst) {
    QStringList log;
    RecordingViewProxy first(&log, "v1"), second(&log, "v2");
    RecordingInteractionProxy inspector(&log, "i");
    manager->addLayoutViewProxy(&first);
    manager->addLayoutViewProxy(&second);
    manager->addInteractionProxy(&inspector);
    manager->addBlocks({block("a"), block("b")}, nullptr, section());
    log.clear();

    manager->setEditBlock(manager->blockForRef("a"));
    EXPECT_EQ(log, QStringList{"i:edit:a"}) << "no previous edit block, nothing to tear down";
    log.clear();
    manager->setEditBlock(manager->blockForRef("b"));
    EXPECT_EQ(log, (QStringList{"v1:teardown:a", "v2:teardown:a", "i:edit:b"}));
    log.clear();
    manager->editBlockDidChangeStructure();
    EXPECT_EQ(log, (QStringList{"v1:teardown:b", "v2:teardown:b", "i:edit:b"}));
    log.clear();
    manager->setEditBlock(nullptr);
    EXPECT_EQ(log, (QStringList{"v1:teardown:b", "v2:teardown:b", "i:edit:-"}));
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    manager->removeInteractionProxy(&inspector);
    manager->removeLayoutViewProxy(&first);
    manager->removeLayoutViewProxy(&second);
}

TEST_F(LayoutManagerTest, HoverIsToldAndResolvedOnRead) {
    RecordingInteractionProxy overlay(&events, "o");
    manager->addInteractionProxy(&overlay);
    manager->addBlock(block("a"), nullptr, section());
    manager->setHoverSection(section());
    manager->setHoverBlock(manager->blockForRef("a"));
    EXPECT_EQ(manager->currentHoverSection(), section());
    EXPECT_EQ(idOf(manager->currentHoverBlock()), "a");
    manager->setHoverSection(nullptr);
    EXPECT_EQ(events, (QStringList{"o:hoverSection:S1", "o:hover:a", "o:hoverSection:-"}));
    owner->layoutData.clear_sections();
    EXPECT_EQ(manager->currentHoverBlock(), nullptr);
    manager->removeInteractionProxy(&overlay);
}

TEST_F(LayoutManagerTest, ProxiesRemovedDuringACallAreNotCalledAfterwards) {
    RecordingInteractionProxy first(&events, "1"), second(&events, "2");
    first.onSelect = [&] { manager->removeInteractionProxy(&second); };
    manager->addInteractionProxy(&first);
    manager->addInteractionProxy(&second);
    manager->addBlock(block("a"), nullptr, section());
    manager->selectBlock(manager->blockForRef("a"));
    manager->selectBlock(nullptr);
    EXPECT_EQ(events, (QStringList{"1:select:a", "1:select:"}));

    QStringList log;
    RecordingViewProxy v1(&log, "v1"), v2(&log, "v2");
    v1.onTeardown = [&] { manager->removeLayoutViewProxy(&v1); manager->removeLayoutViewProxy(&v2); };
    manager->addLayoutViewProxy(&v1);
    manager->addLayoutViewProxy(&v2);
    manager->setEditBlock(manager->blockForRef("a"));
    manager->setEditBlock(nullptr);
    EXPECT_EQ(log, QStringList{"v1:teardown:a"});
    EXPECT_TRUE(manager->layoutViewProxies().isEmpty());
    manager->removeInteractionProxy(&first);
}

TEST_F(LayoutManagerTest, LiveLayoutViewProxyIsTheFirstLiveOne) {
    QStringList log;
    RecordingViewProxy dead(&log, "d"), live(&log, "l");
    dead.live = false;
    EXPECT_EQ(manager->liveLayoutViewProxy(), nullptr);
    manager->addLayoutViewProxy(&dead);
    manager->addLayoutViewProxy(&live);
    EXPECT_EQ(manager->liveLayoutViewProxy(), &live);
    manager->removeLayoutViewProxy(&live);
    EXPECT_EQ(manager->liveLayoutViewProxy(), nullptr);
    manager->removeLayoutViewProxy(&dead);
}

TEST_F(LayoutManagerTest, AnnounceChangePostsWithTheManagerAsObject) {
    manager->announceChange();
    EXPECT_EQ(announcements, 1);
    auto other = PLYLayoutManager::managerWithOwner(std::make_shared<TestOwner>());
    other->announceChange();
    EXPECT_EQ(announcements, 1) << "observers of one manager do not hear another";
}

TEST(LayoutManagerImages, ImageRefsInLayoutCoversEveryDepth) {
    PLYLayout layout;
    PLYSection* s = layout.add_sections();
    *s->add_blocks() = image("a", "1");
    *s->add_blocks() = container("c", true, {block("b"), container("d", false, {image("e", "2"), image("f", "1")})});
    *layout.add_sections()->add_blocks() = image("g", "3");
    EXPECT_EQ(PLYLayoutManager::imageRefsInLayout(layout), (QStringList{"1", "2", "1", "3"}));
}
