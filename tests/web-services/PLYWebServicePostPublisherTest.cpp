#include "PLYWebServiceTestSupport.h"

#include "PLYCoreManager.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYWebServiceGateway.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherServices.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublishRevision.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <QWebSocket>

#ifdef PELLORY_HAS_DEVSERVICE
#include "PLYDevService.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Publisher = PLYWebServicePostPublisher;

// Lets the event loop run for a while (to see that nothing more happens).
void pause(int ms) { waitUntil([] { return false; }, ms); }

// The session as the publishers see it, driven by the test.
class TestSession : public PLYWebServicePostPublisherServices {
public:
    QString state = QStringLiteral("IDLE");
    QString host = QStringLiteral("blog.example.org");
    std::optional<qint64> publisherStatusValue;
    int refreshCount = 0;
    QList<QPair<bool, bool>> accountDetailsCalls;
    QList<bool> accountDetailsAnswers;  // in turn; false once they run out
    QMap<QString, std::weak_ptr<Publisher>> delegates;
    QMap<const void*, PLYNotificationCenter::Handler> observers;
    int delivered = 0;

    QString serviceStateName() const override { return state; }
    void addServiceStateObserver(const void* owner, PLYNotificationCenter::Handler handler) override { observers[owner] = handler; }
    void removeServiceStateObserver(const void* owner) override { observers.remove(owner); }
    QString accountHost() const override { return host; }
    std::optional<qint64> publisherStatus() const override { return publisherStatusValue; }
    void refreshInfo() override { ++refreshCount; }
    void presentAccountDetails(bool atPublisher, bool atRPC, std::function<void(bool)> completion) override {
        accountDetailsCalls << qMakePair(atPublisher, atRPC);
        const bool answer = accountDetailsAnswers.isEmpty() ? false : accountDetailsAnswers.takeFirst();
        completion(answer);
    }
    void presentEmailVerify(std::function<void(bool)> completion) override { completion(false); }
    void addMessageDelegate(const std::shared_ptr<Publisher>& publisher, const QVariant& postId) override {
        delegates[postId.toString()] = publisher;
    }

    void setState(const QString& name) {
        state = name;
        for (const auto& handler : observers.values()) handler(PLYNotification{});
    }
    void deliver(const QString& event, const QVariantMap& payload) {
        if (auto publisher = delegates.value(payload.value("post").toString()).lock()) {
            ++delivered;
            publisher->webServiceHostDidRecieveEvent(nullptr, event, payload);
        }
    }
};

class PostPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory("cache"));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("core"));
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        store->signInUser("ada@example.org");

        PLYDevService::Options options;
        options.buildSeconds = 0.05;
        dev = std::make_unique<PLYDevService>(options);
        ASSERT_TRUE(dev->start(0));
        PLYUseLocalService(dev->port());
        signUp();

        session = std::make_shared<TestSession>();
        PLYWebServicePostPublisherServices::setShared(session);
        alerts = std::make_shared<PLYScriptedAlertPresenter>();
        PLYAlertPresenter::setShared(alerts);
        Publisher::setBuildPollIntervalForTesting(100);
        Publisher::setFetchRetryIntervalForTesting(100);
        Publisher::setUploadRetryDelayForTesting(20);
    }
    void TearDown() override {
        if (publisher) publisher->removeStateChangeNotificationHandler(this);
        publisher.reset();
        PLYCoreManager::setWebServiceGateway(nullptr);
        PLYWebServicePostPublisherServices::setShared(nullptr);
        PLYAlertPresenter::setShared(nullptr);
        Publisher::setBuildPollIntervalForTesting(-1);
        Publisher::setFetchRetryIntervalForTesting(-1);
        Publisher::setUploadRetryDelayForTesting(-1);
        post.reset();
        postManager.reset();
        store.reset();
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
        PLYWebServiceHost::resetForTesting();
    }

    void signUp() {
        PLYWebServiceModelObject::Request request;
        request.method = "POST";
        request.url = PLYWebServiceHost::currentHost()->serviceApiURLWithPaths({"user"});
        request.authenticated = false;
        request.jsonBody = QVariantMap{{"user", QVariantMap{{"f_name", "Ada"}, {"l_name", "L"}, {"email", "ada@example.org"},
                                                            {"password_raw", "secret1"}}}};
        std::optional<PLYWebServiceModelObject::Response> response;
        ASSERT_TRUE(PLYWebServiceModelObject::send(request, [&](const auto& r) { response = r; }));
        ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
        const QVariantMap body = response->body.toMap();
        PLYWebServiceHost::currentHost()->setJWT(body.value("jwt").toString());
        accountId = body.value("account").toMap().value("id").toString();
    }

    // A saved post whose layout shows `count` generated images, their renditions cached.
    void makePost(int count) {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QString("img%1.jpg").arg(i)), 60, 40,
                                                 QColor(20 * i, 100, 200)));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle("Trip"));
        post = postManager->representedPost();
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] { return post->images().size() == count; }));
        for (const auto& image : post->images()) imageIds << image->identifier();
        ASSERT_TRUE(waitUntil([&] {
            for (const QString& id : imageIds)
                if (PLYImageManager::sharedManager()->exportDataForIdentifier(id).isEmpty()) return false;
            return true;
        }));
        postManager->layoutManager()->createAndAddBlocksForImages(imageIds);
        ASSERT_TRUE(post->save());
    }

    void startPublisher() {
        publisher = Publisher::initWithPost(post);
        ASSERT_TRUE(publisher);
        publisher->addStateChangeNotificationHandler(this, [this](const PLYNotification& n) {
            states << publisher->currentStateName();
            if (states.last() == "UPLOADING_IMAGES" && n.userInfo.contains("uploaded")) progress << qMakePair(n.userInfo.value("uploaded").toLongLong(),
                                                                       n.userInfo.value("required").toLongLong());
        });
    }

    bool settlesIn(const QString& state, int ms = 5000) {
        return waitUntil([&] { return publisher->currentStateName() == state; }, ms);
    }
    // Waits for the build to end and the re-read that follows it.
    bool publishedAndSettled() {
        return waitUntil([&] {
            return states.size() >= 2 && states.mid(states.size() - 2) == QStringList{"FETCHING_INFO", "IDLE"};
        });
    }

    QList<PLYFakeRequest> requests(const QByteArray& method, const QString& pattern) {
        return dev->fakeService().requestsMatching(method, pattern);
    }
    QStringList uploadedRefs(int from = 0) {
        QStringList refs;
        const auto images = requests("POST", "/api/me/images");
        for (int i = from; i < images.size(); ++i)
            refs << images[i].json().toMap().value("image").toMap().value("ref_id").toString();
        return refs;
    }
    QString layoutBlob() const { return PLYLayoutSerialization::base64(*post->layout()); }

    void connectChannel() {
        QObject::connect(&channel, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QVariantMap frame = QJsonDocument::fromJson(text.toUtf8()).toVariant().toMap();
            if (frame.value("event") != "phx_reply") session->deliver(frame.value("event").toString(), frame.value("payload").toMap());
        });
        channel.open(PLYWebServiceHost::currentHost()->socketURL());
        ASSERT_TRUE(waitUntil([&] { return channel.state() == QAbstractSocket::ConnectedState; }));
        channel.sendBinaryMessage(QJsonDocument::fromVariant(QVariantMap{
            {"topic", "account:" + accountId}, {"event", "phx_join"}, {"payload", QVariantMap()}, {"ref", 1}}).toJson());
    }

    std::shared_ptr<PLYPersistantStore> store;
    std::unique_ptr<PLYDevService> dev;
    std::shared_ptr<TestSession> session;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts;
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<Publisher> publisher;
    QStringList imageIds;
    QStringList states;
    QList<QPair<qint64, qint64>> progress;
    QString accountId;
    QWebSocket channel;
};

// The core manager deletes a published post through the gateway; the publisher then lets go.
class PublisherGateway : public PLYWebServiceGateway {
public:
    std::shared_ptr<Publisher> publisher;
    void beginManager() override {}
    void clearStoredKeys() override {}
    QString storedEmail() const override { return {}; }
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>&, std::function<void(bool)> completion) override {
        if (!publisher->deletePost([completion](bool ok, const QVariant&, const auto&, const auto&) { completion(ok); }))
            completion(false);
    }
};

TEST_F(PostPublisherTest, FirstPublicationCreatesUploadsAndBuildsThroughTheChannel) {
    Publisher::setBuildPollIntervalForTesting(60000);  // only the channel can end the build here
    makePost(3);
    connectChannel();
    startPublisher();
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED") << "no remote post: no request";
    EXPECT_TRUE(requests("", "/api/me/posts/*").isEmpty());

    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();
    EXPECT_EQ(states, (QStringList{"CREATING_POST", "CREATED_POST", "UPLOADING_IMAGES", "UPLOADING_IMAGES", "UPLOADING_IMAGES",
                                   "UPLOADING_IMAGES", "SERVER_BUILDING", "IDLE", "FETCHING_INFO", "IDLE"}));
    EXPECT_EQ(progress, (QList<QPair<qint64, qint64>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_GE(session->delivered, 1) << "the channel's revision_active ended the build";
    EXPECT_GE(session->refreshCount, 1);

    const QVariantMap created = requests("POST", "/api/me/posts").value(0).json().toMap();
    EXPECT_EQ(created.value("name").toString(), "Trip");
    EXPECT_FALSE(created.value("publish").toBool());
    EXPECT_FALSE(created.contains("publish_revision"));
    EXPECT_EQ(created.value("post_revision").toMap().value("blob").toString(), layoutBlob());
    EXPECT_EQ(created.value("post_revision").toMap().value("keywords").toList(), QVariantList());
    QStringList sent = uploadedRefs();
    sent.sort();
    QStringList expected = imageIds;
    expected.sort();
    EXPECT_EQ(sent, expected);
    const QVariantMap image = requests("POST", "/api/me/images").value(0).json().toMap().value("image").toMap();
    EXPECT_FALSE(QByteArray::fromBase64(image.value("blob").toString().toLatin1()).isEmpty());
    EXPECT_TRUE(image.value("name").toString().startsWith("img"));

    EXPECT_FALSE(post->remoteIdentifier().isEmpty());
    auto reloaded = PLYPersistantPost::load(post->folderPath(), store);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->remoteIdentifier(), post->remoteIdentifier()) << "the remote identifier is saved";
    ASSERT_TRUE(publisher->liveRevision());
    EXPECT_FALSE(publisher->isPublishedBlobBehindCurrent());
    EXPECT_FALSE(publisher->pendingRevision());
}

TEST_F(PostPublisherTest, EditMakesAnUpdateAvailableAndUndoingItTakesItBack) {
    makePost(1);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());

    auto layoutManager = postManager->layoutManager();
    PLYBlock* text = layoutManager->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(text);
    EXPECT_EQ(publisher->currentStateName(), "UPDATE_AVAILABLE");
    EXPECT_TRUE(publisher->isPublishedBlobBehindCurrent());
    layoutManager->removeBlock(layoutManager->blockForRef(QString::fromStdString(text->id())), false);
    EXPECT_EQ(publisher->currentStateName(), "IDLE");
}

TEST_F(PostPublisherTest, UpdateSendsANewRevisionAndBuildsByPolling) {
    makePost(2);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    const QString remote = post->remoteIdentifier();
    const int uploadsBefore = requests("POST", "/api/me/images").size();

    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_EQ(publisher->currentStateName(), "UPDATE_AVAILABLE");
    states.clear();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Travel", true));
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();
    EXPECT_EQ(states.mid(0, 3), (QStringList{"UPDATING_POST", "UPDATED_POST", "UPLOADING_IMAGES"}));
    EXPECT_TRUE(states.contains("SERVER_BUILDING"));
    EXPECT_EQ(post->remoteIdentifier(), remote) << "an update keeps the remote post";

    const auto revisions = requests("POST", "/api/me/posts/*/postrevisions");
    ASSERT_EQ(revisions.size(), 1);
    EXPECT_EQ(revisions[0].path, "/api/me/posts/" + remote + "/postrevisions");
    const QVariantMap body = revisions[0].json().toMap();
    EXPECT_FALSE(body.contains("name"));
    EXPECT_TRUE(body.value("publish").toBool());
    EXPECT_EQ(body.value("publish_revision").toMap(), (QVariantMap{{"auto_publish", true}, {"category", "Travel"}}));
    EXPECT_EQ(body.value("post_revision").toMap().value("blob").toString(), layoutBlob());
    EXPECT_EQ(requests("POST", "/api/me/images").size(), uploadsBefore + 2);
    EXPECT_GE(requests("GET", "/api/me/posts/" + remote).size(), 3) << "build checks and re-reads";
    EXPECT_FALSE(publisher->isPublishedBlobBehindCurrent());
    ASSERT_TRUE(publisher->livePublishRevision());
    EXPECT_EQ(publisher->livePublishRevision()->category(), "Travel");
}

TEST_F(PostPublisherTest, ServiceLostMidUploadResumesWithOnlyTheMissingImages) {
    makePost(8);
    dev->fakeService().setHandlerDelay("POST", "/api/me/images", 300);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return requests("POST", "/api/me/images").size() >= 3; }));
    session->setState("NO_INTERNET");
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE");
    pause(400);
    const int firstBatch = requests("POST", "/api/me/images").size();
    ASSERT_LT(firstBatch, 8);
    EXPECT_TRUE(progress.isEmpty()) << "aborted uploads report nothing";

    states.clear();
    session->setState("IDLE");
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();
    EXPECT_EQ(states.mid(0, 3), (QStringList{"FETCHING_INFO", "UPDATED_POST", "UPLOADING_IMAGES"}));
    QStringList all = uploadedRefs();
    EXPECT_EQ(all.size(), 8) << "every image reached the service exactly once";
    all.removeDuplicates();
    EXPECT_EQ(all.size(), 8);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().second, 8 - firstBatch) << "only the missing images were required";
}

TEST_F(PostPublisherTest, PostGoneOnTheServiceBecomesUnpublished) {
    makePost(1);
    post->setRemoteIdentifier("424242");
    ASSERT_TRUE(post->save());
    startPublisher();
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_FALSE(publisher->publishingPost());
    auto reloaded = PLYPersistantPost::load(post->folderPath(), store);
    ASSERT_TRUE(reloaded);
    EXPECT_TRUE(reloaded->remoteIdentifier().isEmpty()) << "the cleared identifier is saved";
}

TEST_F(PostPublisherTest, DeleteRemovesTheRemotePostAndIsRefusedWhenUnpublishedOrUploading) {
    makePost(1);
    startPublisher();
    PLYCompletionRecord never;
    EXPECT_FALSE(publisher->deletePost(never.block())) << "never published";

    dev->fakeService().setHandlerDelay("POST", "/api/me/images", 300);
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("UPLOADING_IMAGES"));
    EXPECT_FALSE(publisher->deletePost(never.block())) << "refused while uploading";
    dev->fakeService().setHandlerDelay("POST", "/api/me/images", 0);
    ASSERT_TRUE(publishedAndSettled());

    PLYCompletionRecord deleted;
    ASSERT_TRUE(publisher->deletePost(deleted.block()));
    ASSERT_TRUE(deleted.wait());
    EXPECT_TRUE(deleted.success);
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_FALSE(never.called);
}

TEST_F(PostPublisherTest, ACreatedPostWithoutAnIdentifierIsNotTakenForPublished) {
    makePost(1);
    startPublisher();
    dev->fakeService().enqueueReply("POST", "/api/me/posts", PLYFakeReply::json(201, QVariantMap{
        {"post", QVariantMap{{"name", "Trip"}}}, {"post_revision", QVariantMap{{"id", 99}, {"pending", QVariantList{imageIds[0]}}}}}));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return states.contains("NOT_PUBLISHED"); })) << states.join(",").toStdString();
    EXPECT_EQ(states, (QStringList{"CREATING_POST", "FETCHING_INFO", "NOT_PUBLISHED"}));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_TRUE(requests("POST", "/api/me/images").isEmpty()) << "nothing is uploaded for a post nobody can address";
}

TEST_F(PostPublisherTest, AnUnusableRemoteIdentifierIsNeverSentInAnAddress) {
    makePost(1);
    post->setRemoteIdentifier("7/../../publisher");
    ASSERT_TRUE(post->save());
    dev->fakeService().clearRequests();
    startPublisher();
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
    auto reloaded = PLYPersistantPost::load(post->folderPath(), store);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->remoteIdentifier(), "7/../../publisher") << "reading leaves the file as it was";

    // A local delete of such a post goes through: the identifier is forgotten, nothing is sent.
    PublisherGateway gateway;
    gateway.publisher = publisher;
    PLYCoreManager::setWebServiceGateway(&gateway);
    const QString folder = post->folderPath();
    PLYCoreManager::globalManager()->deletePost(post);
    ASSERT_TRUE(waitUntil([&] { return !QDir(folder).exists(); })) << "the post is removed locally";
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_TRUE(publisher->isDetached());
    EXPECT_TRUE(dev->fakeService().httpRequests().isEmpty()) << "above all no DELETE of another resource";
}

TEST_F(PostPublisherTest, APassingServiceFailureWhileReadingTheRemotePostIsRetried) {
    makePost(1);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    const QString remote = post->remoteIdentifier();
    publisher->removeStateChangeNotificationHandler(this);
    publisher.reset();
    states.clear();

    dev->fakeService().enqueueReply("GET", "/api/me/posts/*", PLYFakeReply::json(503, QVariantMap{{"code", 503}}));
    const int before = requests("GET", "/api/me/posts/" + remote).size();
    startPublisher();
    ASSERT_TRUE(settlesIn("IDLE")) << states.join(",").toStdString();
    EXPECT_EQ(requests("GET", "/api/me/posts/" + remote).size(), before + 2);
    EXPECT_EQ(post->remoteIdentifier(), remote);
}

TEST_F(PostPublisherTest, APostDeletedElsewhereWhileBuildingEndsUnpublished) {
    makePost(1);
    startPublisher();
    // The first build check hears that the post is gone.
    dev->fakeService().enqueueReply("GET", "/api/me/posts/*", PLYFakeReply::json(404, QVariantMap{{"code", 301}}));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return states.contains("NOT_PUBLISHED"); })) << states.join(",").toStdString();
    EXPECT_EQ(states.mid(states.indexOf("SERVER_BUILDING")),
              (QStringList{"SERVER_BUILDING", "IDLE", "FETCHING_INFO", "NOT_PUBLISHED"}));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    auto reloaded = PLYPersistantPost::load(post->folderPath(), store);
    ASSERT_TRUE(reloaded);
    EXPECT_TRUE(reloaded->remoteIdentifier().isEmpty());
}

TEST_F(PostPublisherTest, DeletingThePostLocallyDetachesItsPublisher) {
    makePost(1);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    PublisherGateway gateway;
    gateway.publisher = publisher;
    PLYCoreManager::setWebServiceGateway(&gateway);
    const QString folder = post->folderPath();
    PLYCoreManager::globalManager()->deletePost(post);
    ASSERT_TRUE(waitUntil([&] { return publisher->isDetached(); }));
    const int before = dev->fakeService().requests().size();
    pause(300);
    EXPECT_EQ(dev->fakeService().requests().size(), before) << "no further requests";
    EXPECT_FALSE(QDir(folder).exists()) << "the deleted post is not saved back";
}

TEST_F(PostPublisherTest, WordpressErrorOffersToContinueWithoutPublishingToTheBlog) {
    makePost(1);
    startPublisher();
    dev->fakeService().enqueueReply("POST", "/api/me/posts", PLYFakeReply::json(502, QVariantMap{
        {"code", 502}, {"error", "publisher failed"}, {"info", QVariantMap{{"status", 4}}}}));
    alerts->scriptButtonIndex(0);  // "Continue manually"
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Stories", false));
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented()[0].messageText, "Wordpress Issue");
    EXPECT_TRUE(alerts->presented()[0].informativeText.contains("'Password is incorrect'"));
    EXPECT_TRUE(alerts->presented()[0].informativeText.contains("or publish using manual mode"));
    EXPECT_EQ(alerts->presented()[0].buttonTitles, (QStringList{"Continue manually", "Open Wordpress setttings"}));
    const auto creates = requests("POST", "/api/me/posts");
    ASSERT_EQ(creates.size(), 2);
    EXPECT_TRUE(creates[0].json().toMap().value("publish").toBool());
    EXPECT_FALSE(creates[1].json().toMap().value("publish").toBool());
    EXPECT_FALSE(creates[1].json().toMap().contains("publish_revision"));
    EXPECT_EQ(states.mid(0, 2), (QStringList{"CREATING_POST", "CREATING_POST"}));
}

TEST_F(PostPublisherTest, BlogRpcUnavailableGoesToTheAccountWindowAndBailsWhenCancelled) {
    makePost(1);
    session->publisherStatusValue = 6;
    startPublisher();
    dev->fakeService().enqueueReply("POST", "/api/me/posts", PLYFakeReply::json(502, QVariantMap{{"code", 502}}));
    session->accountDetailsAnswers = {false};
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Stories", false));
    ASSERT_TRUE(waitUntil([&] { return states.contains("NOT_PUBLISHED"); }));
    EXPECT_TRUE(alerts->presented().isEmpty());
    EXPECT_EQ(session->accountDetailsCalls, (QList<QPair<bool, bool>>{{false, true}}));
    EXPECT_EQ(states, (QStringList{"CREATING_POST", "FETCHING_INFO", "NOT_PUBLISHED"}));
}

TEST_F(PostPublisherTest, EntryChecksTheHostAndTheImages) {
    makePost(1);
    startPublisher();
    session->host = "";
    session->accountDetailsAnswers = {false};
    EXPECT_FALSE(publisher->createOrUpdatePublishedPost());
    EXPECT_EQ(session->accountDetailsCalls.size(), 1);
    pause(50);
    EXPECT_EQ(session->accountDetailsCalls.size(), 1) << "a cancelled window does not start again";

    session->host = "blog.example.org";
    QFile::remove(post->images().value(0)->path());
    ASSERT_TRUE(waitUntil([&] { return !post->doesLayoutHaveAllRequiredImagesToDraw(); }));
    EXPECT_FALSE(publisher->createOrUpdatePublishedPost());
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented()[0].messageText, "Missing Images");
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED");
    EXPECT_TRUE(requests("POST", "/api/me/posts").isEmpty());
}

TEST_F(PostPublisherTest, CancelMidUploadCleansUpAndSendsNothingMore) {
    makePost(4);
    dev->fakeService().setHandlerDelay("POST", "/api/me/images", 300);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return !requests("POST", "/api/me/images").isEmpty(); }));
    ASSERT_TRUE(publisher->cancelPublishing());
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED")) << states.join(",").toStdString();
    const int sent = requests("POST", "/api/me/images").size();
    pause(400);
    EXPECT_EQ(requests("POST", "/api/me/images").size(), sent);
    EXPECT_TRUE(progress.isEmpty()) << "late completions report nothing";
    EXPECT_EQ(requests("POST", "/api/me/posts/*/clean").size(), 1);
    EXPECT_TRUE(post->remoteIdentifier().isEmpty()) << "the never-built post was purged";
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED");
    EXPECT_FALSE(publisher->cancelPublishing());
}

}  // namespace

#endif
