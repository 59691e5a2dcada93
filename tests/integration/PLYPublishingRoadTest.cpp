// The whole publishing road through the real objects: the application's own web-service
// installation, the session manager, the post library, the image cache, the layout manager and
// the post publisher, against the development service running in this process.

#include "../web-services/PLYSessionTestSupport.h"

#include "AppDelegate.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYMigrator.h"
#include "PLYPostManager.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceUser.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherServices.h"
#include "PLYWebServicePostRevision.h"

#include <QDir>

#ifdef PELLORY_HAS_DEVSERVICE
#include "../web-services/PLYDevServiceRoad.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;

// The application's web-service side, installed as start-up installs it, against a
// development service on an ephemeral port, with connectivity injected and short waits.
class PublishingRoad : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) { logLines << line; });
        PLYMigrator::clearRegisteredSteps();
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory("cache"));
        storeRoot = PLYTestEnvironment::makeTempDirectory("library");
        PLYCoreManager::resetGlobalManager(storeRoot);

        PLYDevService::Options options;
        // Long enough that the check on entering SERVER_BUILDING finds the build still running.
        options.buildSeconds = 0.3;
        // Only the channel's "revision_active" can end a build here.
        ASSERT_TRUE(dev.start(options, {.buildPollMs = 60000, .fetchRetryMs = 100, .uploadRetryMs = 20}));
    }

    void TearDown() override {
        if (publisher) publisher->removeStateChangeNotificationHandler(this);
        if (logToken) PLYLog::removeObserver(logToken);
        publisher.reset();
        postManager.reset();
        post.reset();
        delegate.reset();
        Manager::shutdown();
        PLYDevServiceRoad::restoreSession();
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
        PLYMigrator::clearRegisteredSteps();
        dev.stop();
    }

    static void installWebServiceAsTheApplicationDoes() { AppDelegate::defaultOptions().installWebService(); }

    Manager* manager() { return Manager::globalManager(); }
    PLYWebServiceHost* host() { return PLYWebServiceHost::currentHost(); }

    // Idle, with the channel joined on the account's topic.
    bool serviceIdleOnTheChannel() {
        if (!waitUntil([&] { return manager()->currentStateName() == Manager::StateIdle; })) return false;
        const auto account = manager()->remoteAccount();
        if (!account) return false;
        const QString topic = "account:" + account->identifierString();
        return waitUntil([&] { return host()->joinedChannelTopic() == topic; });
    }

    // A post of three generated JPEGs watched in a folder, their renditions cached, all three
    // in the layout, saved.
    void makePostWithThreeImages() {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QString("img%1.jpg").arg(i)), 60, 40,
                                                 QColor(60 * i, 100, 200)));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle("Trip"));
        post = postManager->representedPost();
        PLYCoreManager::globalManager()->setCurrentPostManager(postManager);
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] { return post->images().size() == 3; }));
        for (const auto& image : post->images()) imageIds << image->identifier();
        ASSERT_TRUE(waitUntil([&] {
            for (const QString& id : imageIds)
                if (!PLYImageManager::sharedManager()->hasRenditions(id)) return false;
            return true;
        }));
        ASSERT_EQ(postManager->layoutManager()->createAndAddBlocksForImages(imageIds).size(), 3);
        ASSERT_TRUE(post->save());
    }

    // Start-up of the library with the web service installed, a sign-up through the manager,
    // and the blog's address set as the account-details window would set it.
    void signUpThroughTheManager() {
        installWebServiceAsTheApplicationDoes();
        PLYCoreManager::globalManager()->startManager();
        ASSERT_TRUE(waitUntil([&] { return manager()->currentStateName() == Manager::StateNoAccount; }))
            << manager()->currentStateName().toStdString();
        ASSERT_TRUE(manager()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
        ASSERT_TRUE(serviceIdleOnTheChannel()) << manager()->currentStateName().toStdString();
        ASSERT_TRUE(PLYCoreManager::persistantStore()->currentAccount());
        EXPECT_EQ(PLYCoreManager::persistantStore()->currentAccount()->email(), "ada@dev.example.org");
        ASSERT_TRUE(manager()->updateAccount("blog.example.org"));
        ASSERT_TRUE(waitUntil([&] {
            return manager()->currentStateName() == Manager::StateIdle && manager()->remoteAccount()->host() == "blog.example.org";
        }));
    }

    // Waits until the road since `mark` went through the build and back to IDLE.
    bool builtSince(qsizetype mark) {
        return waitUntil([&] {
            return road(mark).contains(Publisher::StateServerBuilding) && road(mark).endsWith(Publisher::StateIdle) &&
                   publisher->liveRevision() && publisher->liveRevision()->blobHash() == blob();
        });
    }
    bool logged(const QString& text) const {
        for (const QString& line : logLines)
            if (line.contains(text)) return true;
        return false;
    }

    void followPublisher() {
        publisher = manager()->publisherForPostAs<Publisher>(post);
        ASSERT_TRUE(publisher);
        publisher->addStateChangeNotificationHandler(this, [this](const PLYNotification& note) {
            states << publisher->currentStateName();
            if (note.userInfo.contains(Publisher::ProgressUploadedKey))
                progress << qMakePair(note.userInfo.value(Publisher::ProgressUploadedKey).toLongLong(),
                                      note.userInfo.value(Publisher::ProgressRequiredKey).toLongLong());
        });
    }

    bool settlesIn(const QString& state) {
        return waitUntil([&] { return publisher->currentStateName() == state; });
    }
    // The states seen since `from`, with repeats of one state (upload progress) folded.
    QStringList road(qsizetype from) const {
        QStringList folded;
        for (qsizetype i = from; i < states.size(); ++i)
            if (folded.isEmpty() || folded.last() != states[i]) folded << states[i];
        return folded;
    }
    QString blob() const { return PLYLayoutSerialization::base64(*post->layout()); }

    // Whether the development service still has the post, asked with the session's token.
    std::optional<int> remoteStatus(const QString& remoteId) {
        PLYWebServiceModelObject::Request request;
        request.method = "GET";
        request.url = host()->serviceMeURLWithPaths({"posts", remoteId});
        std::optional<PLYWebServiceModelObject::Response> response;
        if (!PLYWebServiceModelObject::send(request, [&](const auto& r) { response = r; })) return std::nullopt;
        if (!waitUntil([&] { return response.has_value(); })) return std::nullopt;
        return response->status;
    }

    int logToken = 0;
    QStringList logLines;
    QString storeRoot;
    PLYDevServiceRoad dev;
    std::unique_ptr<AppDelegate> delegate;
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<Publisher> publisher;
    QStringList imageIds;
    QStringList states;
    QList<QPair<qint64, qint64>> progress;
};

TEST_F(PublishingRoad, SignUpPublishEditUndoUpdateAndDeleteThroughTheRealObjects) {
    signUpThroughTheManager();
    makePostWithThreeImages();
    followPublisher();
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished)) << road(0).join(",").toStdString();

    // First publication: create, upload the three images, build, idle on the channel's word.
    qsizetype mark = states.size();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(builtSince(mark)) << road(mark).join(",").toStdString();
    ASSERT_TRUE(waitUntil([&] { return road(mark).size() == 7; })) << road(mark).join(",").toStdString();
    EXPECT_EQ(road(mark), (QStringList{"CREATING_POST", "CREATED_POST", "UPLOADING_IMAGES", "SERVER_BUILDING", "IDLE",
                                       "FETCHING_INFO", "IDLE"}));
    ASSERT_GE(progress.size(), 3);
    EXPECT_EQ(progress.mid(0, 3), (QList<QPair<qint64, qint64>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_TRUE(logged("GOT EVENT: revision_active")) << "the build ended on the channel's word";
    ASSERT_FALSE(post->remoteIdentifier().isEmpty());
    EXPECT_EQ(dev->fakeService().requestsMatching("POST", "/api/me/images").size(), 3);
    EXPECT_EQ(remoteStatus(post->remoteIdentifier()), 200);

    // An edit puts the published version behind; taking it back puts it level again.
    auto layout = postManager->layoutManager();
    const QString published = blob();
    PLYBlock* text = layout->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(text);
    const QString textId = QString::fromStdString(text->id());
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable));
    layout->removeBlock(layout->blockForRef(textId), false);
    ASSERT_EQ(blob(), published);
    ASSERT_TRUE(settlesIn(Publisher::StateIdle));

    // The edit again, published as an update: no image is missing, so the build follows.
    ASSERT_TRUE(layout->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0)));
    ASSERT_TRUE(post->save());
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable));
    mark = states.size();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(builtSince(mark)) << road(mark).join(",").toStdString();
    ASSERT_TRUE(waitUntil([&] { return road(mark).size() == 7; })) << road(mark).join(",").toStdString();
    // The service asks for every image of a new revision again.
    EXPECT_EQ(road(mark), (QStringList{"UPDATING_POST", "UPDATED_POST", "UPLOADING_IMAGES", "SERVER_BUILDING", "IDLE",
                                       "FETCHING_INFO", "IDLE"}));
    EXPECT_EQ(dev->fakeService().requestsMatching("POST", "/api/me/posts/*/postrevisions").size(), 1);

    // Deleting the post removes the published copy first, then the local one.
    const QString remoteId = post->remoteIdentifier();
    int updates = 0;
    const auto token = PLYNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr, [&](const PLYNotification&) { ++updates; });
    PLYCoreManager::globalManager()->deletePost(post);
    ASSERT_TRUE(waitUntil([&] { return updates > 0; }));
    PLYNotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_FALSE(PLYCoreManager::persistantStore()->currentAccount()->postForIdentifier(post->identifier()));
    EXPECT_EQ(remoteStatus(remoteId), 404);
    EXPECT_TRUE(publisher->isDetached());

    // The deleted post's publisher is dropped the next time the manager hands one out.
    const auto second = PLYCoreManager::persistantStore()->currentAccount()->createNewPost(QStringLiteral("Second"));
    ASSERT_TRUE(manager()->publisherForPost(second));
    for (const auto& kept : manager()->currentPublishers()) EXPECT_FALSE(kept->isDetached());

    // The session ends with its publishers, and none starts again while it goes.
    publisher->removeStateChangeNotificationHandler(this);
    publisher.reset();
    ASSERT_FALSE(manager()->currentPublishers().isEmpty());
    Manager::shutdown();
    EXPECT_EQ(Manager::existingManager(), nullptr);
}

// A published post, then the application quits and starts again: start-up with the stored
// token walks the service machine to IDLE without a new sign-in, and the publisher that the
// manager makes for the stored post finds it up to date.
TEST_F(PublishingRoad, ApplicationStartUpWithAStoredTokenReachesIdleAndFindsThePublishedPost) {
    signUpThroughTheManager();
    makePostWithThreeImages();
    followPublisher();
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(builtSince(0)) << road(0).join(",").toStdString();
    const QString postId = post->identifier();
    const QString published = blob();
    ASSERT_TRUE(PLYCoreManager::persistantStore()->save());
    const QString jwt = host()->jwt();
    ASSERT_FALSE(jwt.isEmpty());

    // Quit: the session goes, the library is dropped; the keychain keeps the credentials.
    publisher->removeStateChangeNotificationHandler(this);
    publisher.reset();
    postManager.reset();
    post.reset();
    Manager::shutdown();
    PLYWebServiceHost::resetForTesting();
    PLYCoreManager::resetGlobalManager(storeRoot);
    const qsizetype logIns = dev->fakeService().requestsMatching("POST", "/api/log-in").size();

    AppDelegate::Options options = AppDelegate::defaultOptions();
    options.log.systemLog = false;
    options.log.terminal = false;
    options.log.fileDirectory = PLYTestEnvironment::logDirectory();
    options.handleTerminationSignals = false;
    options.quit = [] {};
    options.currentModifierFlags = [] { return quint64(0); };
    delegate = std::make_unique<AppDelegate>(options);
    delegate->applicationWillFinishLaunching({QStringLiteral("pellory")});
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));

    ASSERT_TRUE(serviceIdleOnTheChannel()) << manager()->currentStateName().toStdString();
    EXPECT_EQ(host()->jwt(), jwt) << "the stored token was used";
    EXPECT_EQ(dev->fakeService().requestsMatching("POST", "/api/log-in").size(), logIns);
    const auto account = PLYCoreManager::persistantStore()->currentAccount();
    ASSERT_TRUE(account);
    EXPECT_EQ(account->email(), "ada@dev.example.org");
    post = account->postForIdentifier(postId);
    ASSERT_TRUE(post);

    // The manager makes the stored post's publisher shortly after IDLE; it finds the post built.
    ASSERT_TRUE(waitUntil([&] { return manager()->currentPublishers().size() == 1; }));
    publisher = manager()->publisherForPostAs<Publisher>(post);
    ASSERT_TRUE(publisher);
    EXPECT_EQ(publisher, std::dynamic_pointer_cast<Publisher>(manager()->currentPublishers().first()));
    ASSERT_TRUE(settlesIn(Publisher::StateIdle)) << publisher->currentStateName().toStdString();
    ASSERT_TRUE(publisher->liveRevision());
    EXPECT_EQ(publisher->liveRevision()->blobHash(), published);

    // Its edits still reach the publisher through the post's layout manager.
    postManager = PLYCoreManager::globalManager()->postManagerForPostID(postId);
    ASSERT_TRUE(postManager);
    ASSERT_TRUE(postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Blank(), nullptr,
                                                       post->layout()->mutable_sections(0)));
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable));
}

}  // namespace
#endif
