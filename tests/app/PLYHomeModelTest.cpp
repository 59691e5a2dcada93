// The home screen's decisions without widgets: order, filter, tile size, sort menu, account name.

#include "PLYHomeModel.h"
#include "PLYSideScrollLayout.h"

#include "PLYCoreManager.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYTestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

namespace {

QStringList names(const PLYHomeModel::PostList& posts) {
    QStringList out;
    for (const auto& post : posts) out << post->name();
    return out;
}

class HomeModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("library"));
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        account = store->signInUser("ada@example.org");
        // Made in this order, a moment apart: "Lofoten" first, "Camino" last.
        for (const char* name : {"Lofoten", "alpine Lakes", "Zanzibar", "Camino"}) {
            posts << account->createNewPost(QString::fromLatin1(name));
            ASSERT_TRUE(posts.last()->save());
            QThread::msleep(3);
        }
        // Touched last: the most recently modified.
        posts[1]->setName("Alpine Lakes");
        ASSERT_TRUE(posts[1]->save());
    }
    void TearDown() override { PLYCoreManager::resetGlobalManager(); }

    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYPersistantAccount> account;
    PLYHomeModel::PostList posts;
};

TEST_F(HomeModelTest, EachSortTypeAndDirectionOrdersThePosts) {
    PLYHomeModel model;
    model.sortType = PLYHomeModel::SortByCreationDate;
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.posts()), (QStringList{"Lofoten", "Alpine Lakes", "Zanzibar", "Camino"}));
    // Descending: the newest first; the direction stays when the type changes.
    model.sortOrder = 1;
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.posts()), (QStringList{"Camino", "Zanzibar", "Alpine Lakes", "Lofoten"}));
    model.sortType = PLYHomeModel::SortByUpdatedDate;
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.posts()).first(), "Alpine Lakes");
    model.sortType = PLYHomeModel::SortByName;
    model.sortOrder = 0;
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.posts()), (QStringList{"Alpine Lakes", "Camino", "Lofoten", "Zanzibar"}));

    // An unknown type keeps the order it had, without a post that went meanwhile.
    model.sortType = 7;
    account->removePost(posts[3]);
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.posts()), (QStringList{"Alpine Lakes", "Lofoten", "Zanzibar"}));
    model.ensureStructure(nullptr);
    EXPECT_TRUE(model.isEmpty());
}

TEST_F(HomeModelTest, PublishedMeansANonEmptyRemoteIdentifierInEveryList) {
    posts[0]->setRemoteIdentifier("101");
    posts[2]->setRemoteIdentifier("");  // once published, then forgotten
    PLYHomeModel model;
    model.sortType = PLYHomeModel::SortByName;
    model.ensureStructure(account.get());
    EXPECT_EQ(names(model.activePosts()), (QStringList{"Lofoten"}));
    EXPECT_EQ(names(model.nonActivePosts()), (QStringList{"Alpine Lakes", "Camino", "Zanzibar"}));
    // Any segment past the second shows the unpublished posts.
    EXPECT_EQ(&model.filteredPosts(9), &model.nonActivePosts());
    // Unpublished again: it moves over at the next rebuild, keeping the order.
    posts[0]->setRemoteIdentifier(QString());
    model.ensureStructure(account.get());
    EXPECT_TRUE(model.activePosts().isEmpty());
    EXPECT_EQ(names(model.nonActivePosts()), (QStringList{"Alpine Lakes", "Camino", "Lofoten", "Zanzibar"}));
}

TEST(HomeModelDecisions, TileSizesFillFourAcrossFrom850Points) {
    EXPECT_EQ(PLYHomeModel::itemSize(850), QSizeF(200, 200 * 41.0 / 24.0));
    EXPECT_NEAR(PLYHomeModel::itemSize(850).height(), 341.67, 0.01);
    EXPECT_NEAR(PLYHomeModel::itemSize(1050).width(), 250, 1e-9);
    EXPECT_NEAR(PLYHomeModel::itemSize(1050).height(), 427.08, 0.01);
    EXPECT_EQ(PLYHomeModel::itemSize(400).width(), 200);
    EXPECT_EQ(PLYHomeModel::itemSize(0).width(), 200);
    // Four tiles and their five gaps of 10 fill the width exactly.
    for (double width : {850.0, 1000.0, 1333.0}) EXPECT_NEAR(4 * PLYHomeModel::itemSize(width).width() + 50, width, 1e-9);
}

TEST(HomeModelDecisions, SortMenuTitlesFollowTheTypeAndTheAccountNameNeedsBothNames) {
    const PLYHomeModel::SortMenu created = PLYHomeModel::sortMenu(PLYHomeModel::SortByCreationDate, 1);
    EXPECT_EQ(created.checkedType, PLYHomeModel::SortByCreationDate);
    EXPECT_EQ(created.ascendingTitle, "Oldest to Newest");
    EXPECT_EQ(created.descendingTitle, "Newest to Oldest");
    EXPECT_FALSE(created.ascendingOn);
    EXPECT_TRUE(created.descendingOn);
    EXPECT_EQ(created.popUpTitle, PLYHomeModel::titleForSortType(PLYHomeModel::SortByCreationDate));
    const PLYHomeModel::SortMenu named = PLYHomeModel::sortMenu(PLYHomeModel::SortByName, 0);
    EXPECT_EQ(named.ascendingTitle, "Alphabetical Order");
    EXPECT_EQ(named.descendingTitle, "Reverse Alphabetical Order");
    EXPECT_TRUE(named.ascendingOn);
    const PLYHomeModel::SortMenu unknown = PLYHomeModel::sortMenu(5, 0);
    EXPECT_EQ(unknown.checkedType, -1);
    EXPECT_TRUE(unknown.popUpTitle.isEmpty());

    EXPECT_EQ(PLYHomeModel::accountName("Ada", "Lovelace"), "Ada Lovelace");
    EXPECT_TRUE(PLYHomeModel::accountName("Ada", "").isEmpty());
    EXPECT_TRUE(PLYHomeModel::accountName("", "Lovelace").isEmpty());
}

TEST(HomeModelDecisions, TheSideScrollLayoutPutsItsItemsInOneCentredRow) {
    PLYSideScrollLayout layout;
    layout.setItemSize(QSizeF(100, 60));
    layout.setMinimumLineSpacing(10);
    layout.prepareLayout(3, 200);
    EXPECT_EQ(layout.collectionViewContentSize(), QSizeF(340, 200));
    const QVector<QRectF> frames = layout.layoutAttributesForElementsInRect(QRectF(0, 0, 1, 1));
    ASSERT_EQ(frames.size(), 3) << "every item, whatever the rectangle";
    EXPECT_EQ(frames[0], QRectF(10, 70, 100, 60));
    EXPECT_EQ(frames[1].left(), 120);
    EXPECT_EQ(frames[2].left(), 230);
    EXPECT_TRUE(layout.frameForItem(3).isNull());
}

}  // namespace
