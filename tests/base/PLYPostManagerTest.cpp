#include "PLYCoreManager.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {
class PostManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("core")));
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    }
    void TearDown() override {
        store.reset();
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
    }
    std::shared_ptr<PLYPersistantStore> store;
    QString folder;
};
}  // namespace

TEST_F(PostManagerTest, NewPostNeedsASignedInAccountAndGetsOneStackedSection) {
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    EXPECT_FALSE(manager->createNewPostWithTtitle(QStringLiteral("Nobody")));
    EXPECT_FALSE(manager->representedPost());
    EXPECT_FALSE(manager->layoutManager());

    auto account = store->signInUser(QStringLiteral("a@b.c"));
    ASSERT_TRUE(manager->createNewPostWithTtitle(QStringLiteral("Trip")));
    auto post = manager->representedPost();
    ASSERT_TRUE(post);
    EXPECT_EQ(post->name(), QStringLiteral("Trip"));
    EXPECT_EQ(account->currentPosts().size(), 1);
    ASSERT_EQ(post->constLayout().sections_size(), 1);
    EXPECT_TRUE(post->constLayout().sections(0).has_stacked());
    EXPECT_EQ(post->constLayout().sections(0).id().size(), 36u);
    EXPECT_FALSE(QDir(post->folderPath()).exists()) << "not saved by creation";

    auto layoutManager = manager->layoutManager();
    ASSERT_TRUE(layoutManager);
    EXPECT_EQ(manager->layoutManager(), layoutManager);
    EXPECT_EQ(layoutManager->representedLayout(), post->layout());
    EXPECT_EQ(layoutManager->postManager(), manager);
}

TEST_F(PostManagerTest, LayoutManagersComeOnlyFromTheRegisteredMaker) {
    store->signInUser(QStringLiteral("a@b.c"));
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    ASSERT_TRUE(manager->createNewPostWithTtitle(QStringLiteral("Trip")));
    // The layout layer has not registered: the post is there, without a layout manager.
    PLYPostManager::setLayoutManagerMaker({});
    EXPECT_FALSE(manager->layoutManager());
    PLYLayoutManager::install();
    PLYLayoutManager::install();
    auto layoutManager = manager->layoutManager();
    ASSERT_TRUE(layoutManager);
    EXPECT_EQ(layoutManager->postManager(), manager);
    EXPECT_EQ(layoutManager->representedLayout(), manager->representedPost()->layout());
}

TEST_F(PostManagerTest, WatchLocationIsMadeOnceThenMoved) {
    store->signInUser(QStringLiteral("a@b.c"));
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    ASSERT_TRUE(manager->createNewPostWithTtitle(QStringLiteral("P")));
    auto post = manager->representedPost();
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("a.jpg")), 40, 30));
    QStringList addedLocations;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYPersistantPost::SourceAddedNotification), post.get(),
            [&](const PLYNotification& n) { addedLocations << n.userInfo.value(QStringLiteral("sourceLocation")).toString(); });

    manager->setWatchLocation(QUrl::fromLocalFile(folder));
    auto main = post->mainSourceDirectory();
    ASSERT_TRUE(main);
    EXPECT_TRUE(main->isWatching());
    EXPECT_EQ(main->bookmarkData(), QFile::encodeName(folder));
    EXPECT_EQ(addedLocations, QStringList{main->identifier()});
    ASSERT_TRUE(waitUntil([&] { return main->state() == PLYSourceDirectory::Ready; }));
    EXPECT_EQ(main->watchedImages().size(), 1);

    const QString other = PLYTestEnvironment::makeTempDirectory(QStringLiteral("other"));
    manager->setWatchLocation(QUrl::fromLocalFile(other), QByteArray("given"));
    EXPECT_EQ(post->sourceLocations().size(), 1);
    EXPECT_EQ(post->mainSourceDirectory(), main);
    EXPECT_EQ(main->path(), other);
    EXPECT_EQ(main->bookmarkData(), QByteArray("given"));
    ASSERT_TRUE(waitUntil([&] { return main->state() == PLYSourceDirectory::Ready; }));
    EXPECT_TRUE(main->isWatching());
}

TEST_F(PostManagerTest, AddWatchImageTakesSupportedFilesOnly) {
    store->signInUser(QStringLiteral("a@b.c"));
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    ASSERT_TRUE(manager->createNewPostWithTtitle(QStringLiteral("P")));
    auto post = manager->representedPost();
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("a.jpg")), 40, 30));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("b.png")), 40, 30));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("c.cr2")), 40, 30));

    manager->addWatchImage(QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("c.cr2"))));
    EXPECT_TRUE(post->sourceLocations().isEmpty());
    manager->addWatchImage(QUrl::fromLocalFile(folder));
    ASSERT_EQ(post->sourceLocations().size(), 2);
    manager->addWatchImage(QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("a.jpg"))));
    EXPECT_EQ(post->sourceLocations().size(), 2) << "the same file is not added twice";
    EXPECT_FALSE(post->mainSourceDirectory()) << "single files are not folder locations";
    ASSERT_TRUE(waitUntil([&] { return post->images().size() == 2; }));
}
