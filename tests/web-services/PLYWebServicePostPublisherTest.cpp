#include "PLYWebServiceTestSupport.h"

#include "PLYCoreManager.h"
#include "PLYImageManager.h"
#include "PLYLog.h"
#include "PLYOversizedAnswers.h"
#include "PelloryServices.h"
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
#include <QElapsedTimer>
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
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) { logLines << line; });
    }
    void TearDown() override {
        PLYLog::removeObserver(logToken);
        PelloryServices::setRequestTimeout(60);
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
    // `prepare` may change the photos in their folder before the post watches it.
    void makePost(int count, const std::function<void(const QString& folder)>& prepare = {}) {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QString("img%1.jpg").arg(i)), 60, 40,
                                                 QColor(20 * i, 100, 200)));
        if (prepare) prepare(folder);
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

    bool settlesIn(const QString& state, int ms = 30000) {
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
    bool logged(const QString& text) const {
        for (const QString& line : logLines)
            if (line.contains(text)) return true;
        return false;
    }
    int postReads() { return requests("GET", "/api/me/posts/" + post->remoteIdentifier()).size(); }
    // The states seen since `from`, with repeats of one state (upload progress) folded.
    QStringList road(qsizetype from = 0) const {
        QStringList folded;
        for (qsizetype i = from; i < states.size(); ++i)
            if (folded.isEmpty() || folded.last() != states[i]) folded << states[i];
        return folded;
    }
    // Drops the publisher and makes a new one for the same post, as a restart would.
    void restartPublisher() {
        publisher->removeStateChangeNotificationHandler(this);
        publisher.reset();
        session->delegates.clear();
        states.clear();
        startPublisher();
    }

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
    QStringList logLines;
    int logToken = 0;
};

// Runs `during` while the first alert is up, as if the world moved under the modal run.
class AlertsWithSomethingMeanwhile : public PLYScriptedAlertPresenter {
public:
    std::function<void()> during;
    qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) override {
        if (auto hook = std::exchange(during, {})) hook();
        return PLYScriptedAlertPresenter::runModal(alert, parent);
    }
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

TEST_F(PostPublisherTest, ThePublishedLayoutCarriesOnlyWebAndMailLinksWhileTheFileKeepsItsOwn) {
    makePost(1);
    // Links the file may hold from elsewhere: only the web and mail ones go out as links.
    PLYBlock block = PLYLayoutManager::newBlock_Text();
    block.mutable_text()->set_value("one two three four");
    const std::vector<std::pair<int, std::string>> links{
        {0, "javascript:alert(1)"}, {4, "https://example.invalid/a"}, {8, "file:///etc/hostname"}, {14, "mailto:a@example.invalid"}};
    for (const auto& [at, link] : links) {
        PLYTextRun* run = block.mutable_text()->add_runs();
        run->set_location(at);
        run->set_length(3);
        run->add_properties(PLYTextProperty_Underline);
        run->add_properties(PLYTextProperty_Link);
        run->set_link(link);
    }
    ASSERT_TRUE(postManager->layoutManager()->addBlock(block, nullptr, post->layout()->mutable_sections(0)));
    ASSERT_TRUE(post->save());
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();

    const QVariantMap created = requests("POST", "/api/me/posts").value(0).json().toMap();
    PLYLayout sent;
    ASSERT_TRUE(PLYLayoutSerialization::parseBase64(created.value("post_revision").toMap().value("blob").toString(), sent));
    QStringList sentLinks;
    int underlined = 0;
    for (const PLYSection& section : sent.sections())
        for (const PLYBlock& b : section.blocks())
            for (const PLYTextRun& run : b.text().runs()) {
                if (!run.link().empty()) sentLinks << QString::fromStdString(run.link());
                for (int property : run.properties()) {
                    if (property == PLYTextProperty_Underline) ++underlined;
                    if (property == PLYTextProperty_Link) {
                        EXPECT_FALSE(run.link().empty());
                    }
                }
            }
    EXPECT_EQ(sentLinks, (QStringList{"https://example.invalid/a", "mailto:a@example.invalid"}));
    EXPECT_EQ(underlined, 4) << "a refused link leaves its words and other styles";
    EXPECT_FALSE(publisher->isPublishedBlobBehindCurrent()) << "what was sent is what is compared";

    auto reloaded = PLYPersistantPost::load(post->folderPath(), store);
    ASSERT_TRUE(reloaded);
    QStringList stored;
    for (const PLYSection& section : reloaded->constLayout().sections())
        for (const PLYBlock& b : section.blocks())
            for (const PLYTextRun& run : b.text().runs()) stored << QString::fromStdString(run.link());
    EXPECT_EQ(stored.size(), 4) << "the file keeps every link it had";
    EXPECT_TRUE(stored.contains("javascript:alert(1)"));
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
    // The uploads stay unanswered until the service is lost.
    dev->fakeService().holdReplies("POST", "/api/me/images");
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return requests("POST", "/api/me/images").size() >= 3; }));
    session->setState("NO_INTERNET");
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE");
    dev->fakeService().releaseHeldReplies();
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

    dev->fakeService().holdReplies("POST", "/api/me/images");
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("UPLOADING_IMAGES"));
    EXPECT_FALSE(publisher->deletePost(never.block())) << "refused while uploading";
    dev->fakeService().releaseHeldReplies();
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

// A JPEG cut short decodes without an error, the rest of the picture grey: it is refused by name
// with the other unusable images, before anything is sent.
TEST_F(PostPublisherTest, ACutShortJpegIsRefusedByNameBeforeAnythingIsSent) {
    makePost(2, [](const QString& folder) {
        const QString path = QDir(folder).filePath("img1.jpg");
        ASSERT_TRUE(PLYTestImages::writePhotoJpeg(path, 600, 400, 3));
        QFile file(path);
        ASSERT_TRUE(file.resize(file.size() * 6 / 10));
    });
    startPublisher();
    EXPECT_FALSE(publisher->createOrUpdatePublishedPost());
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented()[0].messageText, "Missing Images");
    EXPECT_TRUE(alerts->presented()[0].informativeText.contains("img1.jpg: ")) << alerts->presented()[0].informativeText.toStdString();
    EXPECT_FALSE(alerts->presented()[0].informativeText.contains("img0.jpg"));
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED");
    EXPECT_TRUE(requests("POST", "/api/me/posts").isEmpty());
}

TEST_F(PostPublisherTest, CancelMidUploadCleansUpAndSendsNothingMore) {
    makePost(4);
    // The uploads stay unanswered until the cancel has settled.
    dev->fakeService().holdReplies("POST", "/api/me/images");
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return !requests("POST", "/api/me/images").isEmpty(); }));
    ASSERT_TRUE(publisher->cancelPublishing());
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED")) << states.join(",").toStdString();
    const int sent = requests("POST", "/api/me/images").size();
    dev->fakeService().releaseHeldReplies();
    pause(400);
    EXPECT_EQ(requests("POST", "/api/me/images").size(), sent);
    EXPECT_TRUE(progress.isEmpty()) << "late completions report nothing";
    EXPECT_EQ(requests("POST", "/api/me/posts/*/clean").size(), 1);
    EXPECT_TRUE(post->remoteIdentifier().isEmpty()) << "the never-built post was purged";
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED");
    EXPECT_FALSE(publisher->cancelPublishing());
}


// ---- When the service misbehaves ----

TEST_F(PostPublisherTest, FailedImagesEndInUploadIncompleteAndARetrySendsOnlyWhatTheServiceLacks) {
    makePost(4);
    PelloryServices::setRequestTimeout(1.0);
    // One image refused, one whose transfer stalls, one sent with a token that expired meanwhile;
    // none of them reaches the service. The fourth goes through.
    auto& fake = dev->fakeService();
    fake.enqueueReply("POST", "/api/me/images", PLYFakeReply::json(500, QVariantMap{{"code", 500}}));
    fake.enqueueReply("POST", "/api/me/images", PLYFakeReply::stalled(PLYFakeReply::json(201, QVariantMap{{"data", QVariantMap()}}), 2));
    fake.enqueueReply("POST", "/api/me/images", PLYFakeReply::json(401, QVariantMap{{"code", 10000}}));
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("UPLOAD_INCOMPLETE")) << road().join(",").toStdString();
    EXPECT_FALSE(states.contains("SERVER_BUILDING")) << "the service never builds while images are pending";
    EXPECT_EQ(publisher->imageUploadFailed(), 3);
    EXPECT_EQ(publisher->imageUploadCount(), 1);
    const QStringList failed = publisher->failedImageIdentifiers();
    EXPECT_EQ(failed.size(), 3);
    EXPECT_TRUE(logged("Image failed: img")) << "the log names the image's export name";
    EXPECT_FALSE(logged("Image failed: " + imageIds[0]));
    EXPECT_FALSE(publisher->updating());

    // Nothing polls while the user decides; entering the state again is refused.
    const int reads = postReads();
    pause(300);
    EXPECT_EQ(postReads(), reads);
    EXPECT_FALSE(publisher->createOrUpdatePublishedPost());
    EXPECT_TRUE(publisher->canCancelPublishing());

    // The retry asks the service what it lacks and sends exactly that, then the post builds.
    const int sentBefore = requests("POST", "/api/me/images").size();
    ASSERT_TRUE(publisher->retryFailedImages());
    ASSERT_TRUE(publishedAndSettled()) << road().join(",").toStdString();
    QStringList resent = uploadedRefs(sentBefore);
    resent.sort();
    QStringList expected = failed;
    expected.sort();
    EXPECT_EQ(resent, expected);
    EXPECT_EQ(publisher->imageUploadFailed(), 0);
    EXPECT_FALSE(publisher->canRetryFailedImages());
    EXPECT_FALSE(publisher->retryFailedImages());
    ASSERT_TRUE(publisher->liveRevision());
    EXPECT_EQ(publisher->liveRevision()->blobHash(), layoutBlob());
}

// An upload answered past the size bound (20 MB of small objects) is refused before it is read
// out or parsed, and the image is sent again.
TEST_F(PostPublisherTest, AnUploadAnswerPastTheBoundIsRefusedUnreadAndTheImageSentAgain) {
    const qint64 bound = PelloryServices::maximumResponseBodySize();
    makePost(2);
    dev->fakeService().enqueueReply(
        "POST", "/api/me/images",
        PLYFakeReply::text(201, PLYOversizedJSON("\"data\": {},", 20 * 1000 * 1000, true), "application/json"));
    startPublisher();
    PLYResetPeakMemory();
    const qint64 before = PLYProcessStatusBytes("VmRSS");
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled()) << states.join(",").toStdString();
    const qint64 peak = PLYProcessStatusBytes("VmHWM");
    EXPECT_TRUE(logged("The response is larger than " + QString::number(bound) + " bytes"));
    EXPECT_EQ(requests("POST", "/api/me/images").size(), 3) << "the refused upload is sent again";
    EXPECT_EQ(publisher->imageUploadFailed(), 0);
    // The fake service on loopback holds and sends its own copies of the answer in this process.
    EXPECT_LT(peak - before, 6 * bound) << "peak grew by " << (peak - before) / (1024 * 1024) << " MiB";
}

TEST_F(PostPublisherTest, ABuildWaitingForImagesNobodyUploadsGivesUpAndTheWaitTakesCancelAndDelete) {
    makePost(2);
    // The service says yes to both uploads but never takes the images in.
    for (int i = 0; i < 2; ++i)
        dev->fakeService().enqueueReply("POST", "/api/me/images", PLYFakeReply::json(201, QVariantMap{{"data", QVariantMap()}}));
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("UPLOAD_INCOMPLETE")) << road().join(",").toStdString();
    EXPECT_EQ(road().mid(road().indexOf("SERVER_BUILDING")), (QStringList{"SERVER_BUILDING", "UPLOAD_INCOMPLETE"}));
    EXPECT_EQ(publisher->imageUploadFailed(), 2);
    const int reads = postReads();
    EXPECT_EQ(reads, Publisher::MaxStalledBuildChecks) << "a bounded number of checks";
    pause(400);
    EXPECT_EQ(postReads(), reads) << "never an endless poll";

    // Cancelled from there, the never-built post is cleaned away.
    ASSERT_TRUE(publisher->cancelPublishing());
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED")) << road().join(",").toStdString();
    EXPECT_EQ(requests("POST", "/api/me/posts/*/clean").size(), 1);
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());

    // Published again while the service takes its time to build: the wait takes a delete.
    dev->setBuildsHeld(true);
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("SERVER_BUILDING"));
    EXPECT_TRUE(publisher->canCancelPublishing());
    PLYCompletionRecord deleted;
    ASSERT_TRUE(publisher->deletePost(deleted.block()));
    ASSERT_TRUE(deleted.wait());
    EXPECT_TRUE(deleted.success);
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED")) << road().join(",").toStdString();
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    const int allReads = requests("GET", "/api/me/posts/*").size();
    pause(300);
    EXPECT_EQ(requests("GET", "/api/me/posts/*").size(), allReads) << "the build poll ended with the wait";
    dev->setBuildsHeld(false);
}

TEST_F(PostPublisherTest, ADeleteAnsweredWhileGatheringEndsTheGatherInNotPublished) {
    makePost(1);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    // A restart: the gathering is still reading the revisions when the delete is answered.
    dev->fakeService().holdReplies("GET", "/api/me/posts/*/pending-revision");
    const int pendingBefore = requests("GET", "/api/me/posts/*/pending-revision").size();
    restartPublisher();
    ASSERT_TRUE(waitUntil([&] { return requests("GET", "/api/me/posts/*/pending-revision").size() > pendingBefore; }));
    ASSERT_EQ(publisher->currentStateName(), "FETCHING_INFO");
    const int pendingReads = requests("GET", "/api/me/posts/*/pending-revision").size();
    const int liveReads = requests("GET", "/api/me/posts/*/live-revision").size();
    PLYCompletionRecord deleted;
    ASSERT_TRUE(publisher->deletePost(deleted.block()));
    ASSERT_TRUE(deleted.wait());
    EXPECT_TRUE(deleted.success);
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED")) << road().join(",").toStdString();
    dev->fakeService().releaseHeldReplies();
    pause(400);  // the gathering's late answers arrive now and change nothing
    EXPECT_EQ(publisher->currentStateName(), "NOT_PUBLISHED");
    EXPECT_EQ(requests("GET", "/api/me/posts/*/pending-revision").size(), pendingReads);
    EXPECT_EQ(requests("GET", "/api/me/posts/*/live-revision").size(), liveReads) << "nothing read on from the gone post";
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_FALSE(publisher->publishingPost());
}

TEST_F(PostPublisherTest, OnlyTheAnswerToTheLatestRequestIsTakenAfterACancel) {
    makePost(1);
    startPublisher();
    auto& fake = dev->fakeService();
    fake.setHandlerDelay("POST", "/api/me/posts", 300);
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publisher->cancelPublishing());
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
    // The user's latest choice: publish to the blog in "Travel".
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Travel", false));
    ASSERT_TRUE(publishedAndSettled()) << road().join(",").toStdString();
    ASSERT_EQ(requests("POST", "/api/me/posts").size(), 2);
    const auto cleans = requests("POST", "/api/me/posts/*/clean");
    ASSERT_EQ(cleans.size(), 1) << "the first post is cleaned away";
    EXPECT_NE(cleans[0].captures.value(0), post->remoteIdentifier());
    EXPECT_NE(cleans[0].path, "/api/me/posts/" + post->remoteIdentifier() + "/clean");
    ASSERT_TRUE(publisher->livePublishRevision());
    EXPECT_EQ(publisher->livePublishRevision()->category(), "Travel") << "what is live is what the user chose last";
    fake.setHandlerDelay("POST", "/api/me/posts", 0);

    // An update answered after its cancel is dropped; the next update's answer is taken.
    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(settlesIn("UPDATE_AVAILABLE"));
    fake.setHandlerDelay("POST", "/api/me/posts/*/postrevisions", 300);
    const qsizetype mark = states.size();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publisher->cancelPublishing());
    ASSERT_TRUE(settlesIn("UPDATE_AVAILABLE"));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return road(mark).endsWith("IDLE") && road(mark).contains("SERVER_BUILDING"); }))
        << road(mark).join(",").toStdString();
    const QStringList updateRoad = road(mark);
    EXPECT_EQ(updateRoad.mid(0, 6), (QStringList{"UPDATING_POST", "CANCELLING", "FETCHING_INFO", "UPDATE_AVAILABLE",
                                                 "UPDATING_POST", "UPDATED_POST"}));
    EXPECT_EQ(updateRoad.count("UPDATED_POST"), 1);
}

TEST_F(PostPublisherTest, APhantomPendingRevisionOrABuildNewsDuringTheGatherNeverHidesAnUpdate) {
    makePost(1);
    startPublisher();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(post->save());
    ASSERT_TRUE(settlesIn("UPDATE_AVAILABLE"));

    // A 2xx pending-revision answer without a revision object, and build news from the
    // channel while the gathering reads the live revision.
    auto& fake = dev->fakeService();
    for (int i = 0; i < 2; ++i)
        fake.enqueueReply("GET", "/api/me/posts/*/pending-revision", PLYFakeReply::json(200, QVariantMap{{"data", "none"}}));
    fake.setHandlerDelay("GET", "/api/me/posts/*/live-revision", 200);
    const int liveBefore = requests("GET", "/api/me/posts/*/live-revision").size();
    restartPublisher();
    ASSERT_TRUE(waitUntil([&] { return requests("GET", "/api/me/posts/*/live-revision").size() > liveBefore; }));
    ASSERT_EQ(publisher->currentStateName(), "FETCHING_INFO");
    ASSERT_TRUE(session->delegates.contains(post->remoteIdentifier())) << "the gathering registered for the channel";
    session->deliver("revision_active", {{"post", post->remoteIdentifier().toLongLong()}});
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() != "FETCHING_INFO"; }));
    pause(300);
    EXPECT_EQ(publisher->currentStateName(), "UPDATE_AVAILABLE") << road().join(",").toStdString();
    EXPECT_FALSE(states.contains("UPDATED_POST"));
    EXPECT_FALSE(states.contains("SERVER_BUILDING"));
    EXPECT_FALSE(publisher->pendingRevision());
}

TEST_F(PostPublisherTest, TheBlogAlertContinuesOnlyWhereItWasRaised) {
    makePost(1);
    auto hooked = std::make_shared<AlertsWithSomethingMeanwhile>();
    PLYAlertPresenter::setShared(hooked);
    startPublisher();
    dev->fakeService().enqueueReply("POST", "/api/me/posts", PLYFakeReply::json(502, QVariantMap{
        {"code", 502}, {"info", QVariantMap{{"status", 4}}}}));
    hooked->during = [&] { session->setState("NO_INTERNET"); };  // the service goes while the alert shows
    hooked->scriptButtonIndex(0);                              // "Continue manually"
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Stories", false));
    ASSERT_TRUE(waitUntil([&] { return hooked->presented().size() == 1; }));
    pause(100);
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE");
    EXPECT_EQ(requests("POST", "/api/me/posts").size(), 1) << "nothing continued from elsewhere";
    EXPECT_TRUE(logged("moved on while the alert showed"));
    session->setState("IDLE");
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
}

TEST_F(PostPublisherTest, TransportFailuresOfCreateAndUpdateBailAndTheUpdateRoadContinuesManually) {
    makePost(1);
    PelloryServices::setRequestTimeout(1.0);
    startPublisher();
    auto& fake = dev->fakeService();
    // The status line arrives, then the transfer stalls: a failure, not a created post.
    fake.enqueueReply("POST", "/api/me/posts", PLYFakeReply::stalled(PLYFakeReply::json(201, QVariantMap{{"post", QVariantMap{{"id", 1}}}}), 4));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return states.contains("NOT_PUBLISHED"); })) << road().join(",").toStdString();
    EXPECT_EQ(road(), (QStringList{"CREATING_POST", "FETCHING_INFO", "NOT_PUBLISHED"}));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());

    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(publishedAndSettled());
    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(settlesIn("UPDATE_AVAILABLE"));
    fake.enqueueReply("POST", "/api/me/posts/*/postrevisions", PLYFakeReply::cut(PLYFakeReply::json(201, QVariantMap{{"post_revision", QVariantMap{{"id", 5}}}}), 3));
    qsizetype mark = states.size();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return road(mark).size() >= 3; })) << road(mark).join(",").toStdString();
    EXPECT_EQ(road(mark), (QStringList{"UPDATING_POST", "FETCHING_INFO", "UPDATE_AVAILABLE"}));

    // The blog fails the update: "Continue manually" sends it again without the blog.
    fake.enqueueReply("POST", "/api/me/posts/*/postrevisions", PLYFakeReply::json(502, QVariantMap{
        {"code", 502}, {"info", QVariantMap{{"status", 4}}}}));
    alerts->scriptButtonIndex(0);
    mark = states.size();
    const int revisionsBefore = requests("POST", "/api/me/posts/*/postrevisions").size();
    ASSERT_TRUE(publisher->createOrUpdatePublishedPostWithPublishCategory("Stories", true));
    ASSERT_TRUE(waitUntil([&] { return road(mark).endsWith("IDLE") && road(mark).contains("SERVER_BUILDING"); }))
        << road(mark).join(",").toStdString();
    EXPECT_EQ(states.mid(mark, 2), (QStringList{"UPDATING_POST", "UPDATING_POST"}));
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_TRUE(alerts->presented()[0].informativeText.contains("or update using manual mode"));
    const auto revisions = requests("POST", "/api/me/posts/*/postrevisions");
    ASSERT_EQ(revisions.size(), revisionsBefore + 2);
    EXPECT_TRUE(revisions[revisionsBefore].json().toMap().value("publish").toBool());
    EXPECT_FALSE(revisions.last().json().toMap().value("publish").toBool());
    EXPECT_FALSE(revisions.last().json().toMap().contains("publish_revision"));
}

TEST_F(PostPublisherTest, ARestartMidBuildWaitsOnOnePollAndTheChannelAndOutOfDateMeansUnavailable) {
    constexpr int pollMs = 200;
    Publisher::setBuildPollIntervalForTesting(pollMs);
    session->state = "OUT_OF_DATE_VERSION";
    makePost(1);
    startPublisher();
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE") << "a client too old cannot publish";
    session->setState("IDLE");
    ASSERT_TRUE(settlesIn("NOT_PUBLISHED"));
    dev->setBuildsHeld(true);
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(settlesIn("SERVER_BUILDING"));
    session->setState("OUT_OF_DATE_VERSION");
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE");

    // As after a restart: a new publisher finds the revision building and listens for its news.
    restartPublisher();
    EXPECT_EQ(publisher->currentStateName(), "WAITING_FOR_SERVICE");
    session->setState("IDLE");
    ASSERT_TRUE(settlesIn("SERVER_BUILDING")) << road().join(",").toStdString();
    EXPECT_EQ(road(), (QStringList{"FETCHING_INFO", "UPDATED_POST", "SERVER_BUILDING"}));
    ASSERT_TRUE(session->delegates.contains(post->remoteIdentifier()));

    // Build news that finds the build still running checks once more, without a second poll.
    // Each message brings a read; the poll goes on beside them. One poll ticks no more often than
    // its interval (a coarse timer at most 5% early), so however slow the machine, the reads are
    // at most the ticks the time allowed (one more for a tick already under way), plus one per
    // message. A second poll would read about twice as often.
    QElapsedTimer clock;
    clock.start();
    const int before = postReads();
    for (int i = 0; i < 3; ++i) {
        const int reads = postReads();
        session->deliver("revision_active", {{"post", post->remoteIdentifier()}});
        ASSERT_TRUE(waitUntil([&] { return postReads() > reads; }));
    }
    ASSERT_TRUE(waitUntil([&] { return postReads() - before >= 8; }));
    const int during = postReads() - before;
    const qint64 mostTicks = clock.elapsed() / (pollMs * 95 / 100) + 2;
    EXPECT_LE(during, mostTicks + 3) << "one poll plus one check per message, in " << clock.elapsed() << " ms";

    dev->setBuildsHeld(false);
    session->deliver("revision_active", {{"post", post->remoteIdentifier()}});
    ASSERT_TRUE(publishedAndSettled()) << road().join(",").toStdString();
    const int settled = postReads();
    pause(500);
    EXPECT_EQ(postReads(), settled) << "leaving the build ended its poll";
}

}  // namespace

#endif
