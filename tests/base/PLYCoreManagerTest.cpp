#include "PLYCoreManager.h"
#include "PLYLibraryFiles.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYWebServiceGateway.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// Stands in for the web-service side: answers remote deletions as told.
class ScriptedGateway : public PLYWebServiceGateway {
public:
    void beginManager() override { ++begun; }
    void clearStoredKeys() override { ++cleared; }
    QString storedEmail() const override { return email; }
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>& post, std::function<void(bool)> done) override {
        deleted << post->identifier();
        done(remoteDeletionSucceeds);
    }
    int begun = 0;
    int cleared = 0;
    QString email;
    bool remoteDeletionSucceeds = true;
    QStringList deleted;
};

class CoreManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("core"));
        PLYCoreManager::resetGlobalManager(root);
        PLYCoreManager::setWebServiceGateway(&gateway);
        bag.add(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
                [this](const PLYNotification&) { ++postsUpdated; });
    }
    void TearDown() override {
        bag.clear();
        PLYCoreManager::setWebServiceGateway(nullptr);
        PLYCoreManager::resetGlobalManager();
    }
    PLYCoreManager* core() { return PLYCoreManager::globalManager(); }

    QString root;
    ScriptedGateway gateway;
    PLYObserverBag bag;
    int postsUpdated = 0;
};

}  // namespace

TEST_F(CoreManagerTest, StartSignsInTheHostsUserAndBeginsTheService) {
    gateway.email = QStringLiteral("Someone@Example.com");
    core()->startManager();
    ASSERT_TRUE(core()->store()->currentAccount());
    EXPECT_EQ(core()->store()->currentAccount()->email(), QStringLiteral("Someone@Example.com"));
    EXPECT_EQ(gateway.begun, 1);
    EXPECT_TRUE(QDir(core()->store()->accountsDirectory()).exists());
    EXPECT_EQ(PLYCoreManager::persistantStore(), core()->store());
}

TEST_F(CoreManagerTest, CurrentPostManagerIsAnnouncedEvenWhenUnchanged) {
    int changes = 0;
    PLYObserverBag local;
    local.add(QString::fromLatin1(PLYCoreManager::CurrentPostManagerChangedNotification), core(),
              [&](const PLYNotification&) { ++changes; });
    auto manager = core()->postManagerEmpty();
    core()->setCurrentPostManager(manager);
    core()->setCurrentPostManager(manager);
    core()->setCurrentPostManager(nullptr);
    EXPECT_EQ(changes, 3);
    EXPECT_FALSE(core()->currentPostManager());
    EXPECT_TRUE(core()->openPostManagers().isEmpty()) << "an empty manager is dropped when another becomes current";
}

TEST_F(CoreManagerTest, PostManagersAreFoundByPostAndKeptOpen) {
    core()->startManager();
    auto account = core()->store()->signInUser(QStringLiteral("a@b.c"));
    auto post = account->createNewPost(QStringLiteral("P"));
    auto first = core()->postManagerForPostID(post->identifier());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->representedPost(), post);
    EXPECT_EQ(core()->postManagerForPostID(post->identifier()), first);
    EXPECT_FALSE(core()->postManagerForPostID(QStringLiteral("nope")));

    auto fresh = core()->postManagerEmpty();
    ASSERT_TRUE(fresh->createNewPostWithTtitle(QStringLiteral("New")));
    EXPECT_EQ(core()->postManagerForPostID(fresh->representedPost()->identifier()), fresh);
}

TEST_F(CoreManagerTest, LocalPostIsDeletedAtOnce) {
    core()->startManager();
    auto account = core()->store()->signInUser(QStringLiteral("a@b.c"));
    postsUpdated = 0;  // the sign-in announced the account's posts
    auto post = account->createNewPost(QStringLiteral("P"));
    ASSERT_TRUE(core()->store()->save());
    const QString folder = post->folderPath();
    core()->deletePost(post);
    EXPECT_TRUE(account->currentPosts().isEmpty());
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_EQ(postsUpdated, 1);
    EXPECT_TRUE(gateway.deleted.isEmpty());
}

TEST_F(CoreManagerTest, ADeletedPostStillHeldByItsEditorIsNeverWrittenBack) {
    core()->startManager();
    auto account = core()->store()->signInUser(QStringLiteral("a@b.c"));
    postsUpdated = 0;  // the sign-in announced the account's posts
    auto manager = core()->postManagerEmpty();
    ASSERT_TRUE(manager->createNewPostWithTtitle(QStringLiteral("Doomed")));
    core()->setCurrentPostManager(manager);
    auto post = manager->representedPost();
    ASSERT_TRUE(core()->store()->save());
    const QString folder = post->folderPath();
    core()->deletePost(post);
    ASSERT_FALSE(QDir(folder).exists());

    // The editor, a publisher or a late preview still holds the post.
    post->layout()->set_padding(42);
    PLYError error;
    EXPECT_FALSE(post->save(&error));
    EXPECT_FALSE(error.description.isEmpty());
    QImage preview(40, 30, QImage::Format_RGB32);
    preview.fill(Qt::red);
    EXPECT_FALSE(post->setLayoutPreview(preview));
    EXPECT_TRUE(core()->store()->save());
    EXPECT_FALSE(QDir(folder).exists()) << "the deleted post would come back at the next start";

    PLYCoreManager::resetGlobalManager(root);
    core()->startManager();
    EXPECT_TRUE(core()->store()->signInUser(QStringLiteral("a@b.c"))->currentPosts().isEmpty());
}

TEST_F(CoreManagerTest, PublishedPostGoesOnlyWhenTheRemoteDeletionSucceeds) {
    core()->startManager();
    auto account = core()->store()->signInUser(QStringLiteral("a@b.c"));
    postsUpdated = 0;  // the sign-in announced the account's posts
    auto post = account->createNewPost(QStringLiteral("P"));
    post->setRemoteIdentifier(QStringLiteral("r1"));

    gateway.remoteDeletionSucceeds = false;
    core()->deletePost(post);
    EXPECT_EQ(account->currentPosts().size(), 1);
    EXPECT_EQ(postsUpdated, 0);

    gateway.remoteDeletionSucceeds = true;
    core()->deletePost(post);
    EXPECT_TRUE(account->currentPosts().isEmpty());
    EXPECT_EQ(postsUpdated, 1);
    EXPECT_EQ(gateway.deleted.size(), 2);
}

TEST_F(CoreManagerTest, RemoteDeletionAnnouncesWhateverTheResult) {
    auto post = core()->store()->signInUser(QStringLiteral("a@b.c"))->createNewPost(QStringLiteral("P"));
    postsUpdated = 0;  // the sign-in announced the account's posts
    gateway.remoteDeletionSucceeds = false;
    core()->deleteRemotePost(post);
    EXPECT_EQ(postsUpdated, 1);
    PLYCoreManager::setWebServiceGateway(nullptr);
    core()->deleteRemotePost(post);
    EXPECT_EQ(postsUpdated, 2);
    post->setRemoteIdentifier(QStringLiteral("r"));
    core()->deletePost(post);
    EXPECT_EQ(core()->store()->currentAccount()->currentPosts().size(), 1) << "no service: a published post stays";
}

TEST_F(CoreManagerTest, DeletedPostsReleaseTheirLocations) {
    core()->startManager();
    auto store = core()->store();
    store->signInUser(QStringLiteral("a@b.c"));
    QList<std::shared_ptr<PLYPersistantPost>> posts;
    for (const QString& name : {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}) {
        auto manager = core()->postManagerEmpty();
        ASSERT_TRUE(manager->createNewPostWithTtitle(name));
        manager->setWatchLocation(QUrl::fromLocalFile(PLYTestEnvironment::makeTempDirectory(name)));
        posts << manager->representedPost();
    }
    const QString one = posts[0]->sourceLocations().first(), two = posts[1]->sourceLocations().first();
    posts[1]->addSourceLocation(one);  // Two uses One's location as well
    ASSERT_TRUE(store->save());
    const QString oneFile = store->sourceForIdentifier(one)->filePath();
    const QString threeFile = store->sourceForIdentifier(posts[2]->sourceLocations().first())->filePath();

    core()->deletePost(posts[0]);
    ASSERT_TRUE(store->sourceForIdentifier(one)) << "Two still uses it";
    EXPECT_TRUE(store->sourceForIdentifier(one)->isWatching());
    core()->deletePost(posts[1]);
    EXPECT_FALSE(store->sourceForIdentifier(one));
    EXPECT_FALSE(store->sourceForIdentifier(two));
    EXPECT_FALSE(QFileInfo::exists(oneFile));
    EXPECT_FALSE(QFileInfo::exists(PLYLibraryFiles::lastGoodPath(oneFile)));

    // A location left behind by a post deleted earlier is neither watched nor written again.
    ASSERT_TRUE(QDir(posts[2]->folderPath()).removeRecursively());
    const QDateTime written = QFileInfo(threeFile).lastModified();
    PLYCoreManager::resetGlobalManager(root);
    core()->startManager();
    auto left = core()->store()->sourceForIdentifier(posts[2]->sourceLocations().first());
    ASSERT_TRUE(left);
    EXPECT_FALSE(left->isWatching());
    core()->store()->signInUser(QStringLiteral("a@b.c"));
    ASSERT_TRUE(core()->store()->save());
    EXPECT_EQ(QFileInfo(threeFile).lastModified(), written);
}
