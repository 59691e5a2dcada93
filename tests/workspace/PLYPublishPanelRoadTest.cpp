// The publish panel on the publishing road through the real objects: the session manager and
// the post publisher against the development service in this process, driven by clicks on the
// panel. A blog post through failed images, a retry and the build to its page; a post without
// a blog through an update, a cancelled build and a copied link; and the panel's refusals.
// The panel tells what the service was asked for: the first publication right after the blog's
// set-up, the user's blog choices across changes of state, photos that cannot be published,
// feedback where the desktop shows none, and the channel following a change of the service's
// address.
#include "../integration/PLYAccountWizardScript.h"
#include "../web-services/PLYSessionTestSupport.h"

#include "PLYAccountScenes.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYPostManager.h"
#include "PLYPublishButton.h"
#include "PLYPublishViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedModalRunner.h"
#include "PLYScriptedUserNotifier.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceHostViewController.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherManagerServices.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublishRevision.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServiceSessionPresenter_Windows.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#ifdef PELLORY_HAS_DEVSERVICE
#include "../web-services/PLYDevServiceRoad.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;

// A second port onto the same service: every connection is relayed both ways.
class PortRelay : public QObject {
public:
    bool start(quint16 target) {
        m_target = target;
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* in = m_server.nextPendingConnection()) {
                ++m_connections;
                auto* out = new QTcpSocket(in);
                out->connectToHost(QHostAddress::LocalHost, m_target);
                connect(in, &QTcpSocket::readyRead, out, [in, out] { out->write(in->readAll()); });
                connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
                connect(out, &QTcpSocket::connected, in, [in, out] { out->write(in->readAll()); });
                connect(in, &QTcpSocket::disconnected, in, [in, out] { out->disconnectFromHost(); in->deleteLater(); });
                connect(out, &QTcpSocket::disconnected, in, [in] { in->disconnectFromHost(); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }

private:
    QTcpServer m_server;
    quint16 m_target = 0;
    int m_connections = 0;
};

class PublishPanelRoad : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory("cache"));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("library"));
        PLYDevService::Options options;
        options.buildSeconds = 0.2;
        ASSERT_TRUE(dev.start(options, {.buildPollMs = 100, .fetchRetryMs = 100, .uploadRetryMs = 20}));
        PLYAlertPresenter::setShared(alerts);
        PLYDesktopServices::setShared(desktop);
        PLYUserNotifier::setShared(notifier);
        PLYModalRunner::setShared(runner);
        // The account windows as the application shows them, run by the scripted user.
        PLYWebServiceSessionPresenter::setShared(std::make_shared<PLYWebServiceSessionPresenter_Windows>());
        PLYAccountScenes::registerMissingScenes();
        Manager::install();
        PLYWebServicePostPublisherManagerServices::install();
    }

    void TearDown() override {
        if (publisher) publisher->removeStateChangeNotificationHandler(this);
        panel.reset();
        publisher.reset();
        postManager.reset();
        post.reset();
        Manager::shutdown();
        PLYDevServiceRoad::restoreSession();
        PLYAlertPresenter::setShared(nullptr);
        PLYDesktopServices::setShared(nullptr);
        PLYUserNotifier::setShared(nullptr);
        PLYModalRunner::setShared(nullptr);
        PLYWebServiceSessionPresenter::setShared(nullptr);
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
        dev.stop();
    }

    Manager* manager() { return Manager::globalManager(); }

    // A new user signed up through the session: no blog address yet.
    void signUpWithoutHost() {
        PLYCoreManager::globalManager()->startManager();
        ASSERT_TRUE(waitUntil([&] { return manager()->currentStateName() == Manager::StateNoAccount; }));
        ASSERT_TRUE(manager()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
        ASSERT_TRUE(waitUntil([&] { return manager()->currentStateName() == Manager::StateIdle; }));
    }

    // Signed up through the session, with the blog's address set; with a blog publisher when asked.
    void signUp(bool withBlog) {
        signUpWithoutHost();
        ASSERT_TRUE(manager()->updateAccount("blog.example.org"));
        ASSERT_TRUE(waitUntil([&] {
            return manager()->currentStateName() == Manager::StateIdle && manager()->remoteAccount()->host() == "blog.example.org";
        }));
        if (!withBlog) return;
        ASSERT_TRUE(manager()->createPublisher(PLYWebServicePublisher::TypeWordpress, "ada", "wp-secret"));
        ASSERT_TRUE(waitUntil([&] {
            return manager()->currentStateName() == Manager::StateIdle && manager()->remotePublisher() &&
                   !manager()->remotePublisher()->categories().isEmpty();
        }));
    }

    // A blog whose default is "Travel", saving drafts or not.
    void signUpWithTravelBlog(bool drafts) {
        signUp(true);
        ASSERT_TRUE(manager()->updatePublisher({}, {}, "Travel", !drafts));
        ASSERT_TRUE(waitUntil([&] {
            return manager()->currentStateName() == Manager::StateIdle &&
                   manager()->remotePublisher()->defaultCategory() == "Travel";
        }));
    }

    // A post over a folder of `count` generated photos and the files in `extra` (name, bytes),
    // every picture in its layout, saved; and the panel following it.
    void makePostAndPanel(int count, const QList<QPair<QString, QByteArray>>& extra = {}) {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QString("img%1.jpg").arg(i)), 60, 40,
                                                 QColor(60 * i, 100, 200)));
        for (const auto& [name, bytes] : extra) {
            QFile file(QDir(folder).filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const int total = count + int(extra.size());
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle("Trip"));
        post = postManager->representedPost();
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] { return post->images().size() == total; })) << post->images().size();
        QStringList ids;
        for (const auto& image : post->images()) ids << image->identifier();
        // Every picture prepared, or given up on.
        ASSERT_TRUE(waitUntil([&] {
            for (const QString& id : ids)
                if (!PLYImageManager::sharedManager()->hasRenditions(id) && !PLYImageManager::sharedManager()->isFailed(id))
                    return false;
            return true;
        }));
        const auto blocks = postManager->layoutManager()->createAndAddBlocksForImages(ids);
        ASSERT_EQ(blocks.size(), total);
        for (int i = 0; i < total; ++i) blockOfImage.insert(ids[i], QString::fromStdString(blocks[i]->id()));
        ASSERT_TRUE(post->save());

        panel = std::make_unique<PLYPublishViewController>();
        panel->resize(300, 500);
        panel->show();
        panel->setPostManager(postManager);
        publisher = panel->postPublisher();
        ASSERT_TRUE(publisher);
        // After the panel's own observer: each reading sees what the panel just showed.
        publisher->addStateChangeNotificationHandler(this, [this](const PLYNotification&) {
            states << publisher->currentStateName();
            QMetaObject::invokeMethod(
                panel.get(), [this] { lines << label("statusInfoLabel")->text(); }, Qt::QueuedConnection);
        });
    }
    // The publisher's states so far, for the failure messages.
    std::string road() const { return states.join(",").toStdString(); }

    // A refresh of the session, and the publisher's re-read that follows it, settled in `state`.
    bool refreshedInto(const char* state) {
        const qsizetype mark = states.size();
        manager()->refreshInfo();
        return waitUntil([&] {
            return manager()->currentStateName() == Manager::StateIdle && states.mid(mark).contains(Publisher::StateFetchingInfo) &&
                   publisher->currentStateName() == QLatin1String(state);
        });
    }

    // A post of `count` photos (and `extra` files) not published yet, its blog view showing.
    void readyToPublish(int count, const QList<QPair<QString, QByteArray>>& extra = {}) {
        makePostAndPanel(count, extra);
        ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
        ASSERT_TRUE(waitUntil([&] { return shows("publishWordpressView"); }));
    }

    template <class T = QWidget>
    T* child(const char* name) {
        T* found = panel->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QLabel* label(const char* name) { return child<QLabel>(name); }
    bool shows(const char* name) { return !child(name)->isHidden(); }
    bool settlesIn(const char* state) {
        return waitUntil([&] { return publisher->currentStateName() == QLatin1String(state); });
    }
    // Published and re-read: the build went live.
    bool live() {
        return waitUntil([&] {
            return publisher->currentStateName() == Publisher::StateIdle && publisher->liveRevision() &&
                   publisher->liveRevision()->blobHash() == PLYLayoutSerialization::base64(*post->layout());
        });
    }
    int postRequests() {
        return dev->fakeService().requestsMatching("POST", "/api/me/posts").size() +
               dev->fakeService().requestsMatching("POST", "/api/me/posts/*/postrevisions").size();
    }
    void clickPublish() {
        auto* button = child<PLYPublishButton>("PLYPublishButton");
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    static void pickTitle(QComboBox* popUp, const QString& title) { popUp->setCurrentIndex(popUp->findText(title)); }
    QList<PLYFakeRequest> creates() { return dev->fakeService().requestsMatching("POST", "/api/me/posts"); }
    QList<PLYFakeRequest> revisions() { return dev->fakeService().requestsMatching("POST", "/api/me/posts/*/postrevisions"); }
    // Picked as a user picks: the pop-up opened from the keyboard, the title chosen.
    static void pick(QComboBox* popUp, const QString& title) {
        const int index = popUp->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        popUp->setFocus();
        while (popUp->currentIndex() < index) QTest::keyClick(popUp, Qt::Key_Down);
        while (popUp->currentIndex() > index) QTest::keyClick(popUp, Qt::Key_Up);
        ASSERT_EQ(popUp->currentText(), title);
    }
    static void setBox(QCheckBox* box, bool checked) {
        if (box->isChecked() != checked) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        ASSERT_EQ(box->isChecked(), checked);
    }
    // A post live beside the blog sent on to it in `category` with Update, and live there.
    void updateOntoTheBlog(const QString& category) {
        pick(child<QComboBox>("wordpressInfoCategoryPopUpButton"), category);
        auto* update = child<QPushButton>("statusUpdateButton");
        ASSERT_TRUE(waitUntil([&] { return update->isEnabled(); }));
        QTest::mouseClick(update, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return publisher->livePublishRevision() != nullptr; }));
        ASSERT_TRUE(live());
    }
    // The blog view of the published post: its category and its draft box.
    QString infoCategory() { return child<QComboBox>("wordpressInfoCategoryPopUpButton")->currentText(); }
    bool infoDraft() { return child<QCheckBox>("wordpressDraftButton")->isChecked(); }


    PLYDevServiceRoad dev;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedDesktopServices> desktop = std::make_shared<PLYScriptedDesktopServices>();
    std::shared_ptr<PLYScriptedUserNotifier> notifier = std::make_shared<PLYScriptedUserNotifier>();
    std::shared_ptr<PLYScriptedModalRunner> runner = std::make_shared<PLYScriptedModalRunner>();
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<Publisher> publisher;
    std::unique_ptr<PLYPublishViewController> panel;
    QStringList lines;  // the state view's line after each state change
    QStringList states;  // the publisher's states, in order
    QHash<QString, QString> blockOfImage;  // image identifier -> its block's identifier
};

}  // namespace

TEST_F(PublishPanelRoad, BlogPostThroughFailedImagesAndARetryToItsPageThenDeleted) {
    signUp(true);
    makePostAndPanel(3);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    ASSERT_TRUE(waitUntil([&] { return shows("publishContainerView"); }));
    EXPECT_FALSE(shows("publishHeaderView"));
    EXPECT_TRUE(shows("publishWordpressView"));
    auto* categories = child<QComboBox>("publishWordpressCategoryPopUpButton");
    QStringList titles;
    for (int i = 0; i < categories->count(); ++i) titles << categories->itemText(i);
    EXPECT_EQ(titles, (QStringList{"Uncategorized", "Stories", "Travel", "", "Don't Publish"}));
    EXPECT_EQ(categories->currentText(), "Uncategorized") << "the blog's default";
    EXPECT_TRUE(child<QCheckBox>("publishWordpressDraftButton")->isChecked()) << "the blog does not auto-publish";

    // The service refuses one of the three images; a second click while sending does nothing.
    dev->fakeService().enqueueReply("POST", "/api/me/images", PLYFakeReply::json(500, QVariantMap{{"code", 500}}));
    pickTitle(categories, "Travel");
    child<QCheckBox>("publishWordpressDraftButton")->setChecked(false);
    clickPublish();
    clickPublish();
    ASSERT_TRUE(settlesIn(Publisher::StateUploadIncomplete));
    ASSERT_TRUE(waitUntil([&] { return label("statusInfoLabel")->text().startsWith("1 of 3 images could not be uploaded: img"); }));
    EXPECT_TRUE(label("statusInfoLabel")->text().endsWith("(refused by the service, status 500)"))
        << label("statusInfoLabel")->text().toStdString();
    EXPECT_EQ(postRequests(), 1);
    const QVariantMap created = dev->fakeService().requestsMatching("POST", "/api/me/posts").value(0).json().toMap();
    EXPECT_TRUE(created.value("publish").toBool());
    EXPECT_EQ(created.value("publish_revision").toMap(), (QVariantMap{{"category", "Travel"}, {"auto_publish", true}}));
    EXPECT_TRUE(shows("publishHeaderView"));
    EXPECT_TRUE(shows("statusRetryButton") && child<QPushButton>("statusRetryButton")->isEnabled());
    EXPECT_TRUE(shows("statusCancelUpdateButton") && child<QPushButton>("statusCancelUpdateButton")->isEnabled());
    EXPECT_FALSE(shows("statusUpdateButton") || shows("statusProgressIndicator"));
    EXPECT_EQ(label("infoStatusLabel")->text(), "Upload incomplete");
    // The line followed the upload; the count is the highest the transitions reported.
    EXPECT_TRUE(lines.contains("Uploading Images...")) << lines.join(" | ").toStdString();
    EXPECT_EQ(panel->uploadProgress().uploaded(), 2);
    EXPECT_EQ(panel->uploadProgress().required(), 3);

    // Retried, the post builds and goes live on the blog: the link visits the page.
    QTest::mouseClick(child<QPushButton>("statusRetryButton"), Qt::LeftButton);
    ASSERT_TRUE(live()) << publisher->currentStateName().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !shows("statusRetryButton") && shows("statusViewBlogButton"); }));
    EXPECT_TRUE(lines.contains("Building Blog"));
    auto* link = child<QPushButton>("statusViewBlogButton");
    EXPECT_EQ(link->text(), "Visit Page");
    EXPECT_FALSE(child<QPushButton>("statusUpdateButton")->isEnabled());
    EXPECT_EQ(label("infoPublishedDateLabel")->text(), PLYPublishPanelState::formatDate(publisher->publishingPost()->creationDate()));
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !desktop->openedURLs().isEmpty(); }));
    EXPECT_EQ(desktop->openedURLs().first(), QUrl("https://blog.example.org/?p=" + post->remoteIdentifier()));

    // Published and up to date: neither action makes a second remote post.
    panel->performUpdate();
    panel->buttonWasClicked(nullptr);
    QTest::qWait(150);
    EXPECT_EQ(postRequests(), 1);

    // Deleted from the web, after the question; the post stays and can be published again.
    auto* status = child<QComboBox>("infoStatusPopUpButton");
    status->setFocus();
    QTest::keyClick(status, Qt::Key_Down);
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented().first().style, PLYAlertRequest::Style::Warning);
    EXPECT_EQ(alerts->presented().first().buttonTitles.first(), "Delete");
    EXPECT_EQ(status->currentIndex(), 0);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    ASSERT_TRUE(waitUntil([&] { return shows("publishContainerView"); }));
    EXPECT_TRUE(post->remoteIdentifier().isEmpty());
    EXPECT_EQ(child<QComboBox>("publishWordpressCategoryPopUpButton")->currentText(), "Uncategorized");
}

TEST_F(PublishPanelRoad, WebsitePostPublishedUpdatedWithACancelledBuildAndItsLinkCopied) {
    signUp(false);
    // A post still to be made has no publisher; the session makes none for it.
    {
        PLYPublishViewController empty;
        const auto before = manager()->currentPublishers().size();
        empty.setPostManager(PLYCoreManager::globalManager()->postManagerEmpty());
        EXPECT_FALSE(empty.postPublisher());
        empty.setPostManager(nullptr);
        EXPECT_FALSE(empty.postPublisher());
        EXPECT_EQ(manager()->currentPublishers().size(), before);
        EXPECT_FALSE(empty.findChild<QWidget*>("fetchingStatusView")->isHidden());
    }
    makePostAndPanel(2);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    ASSERT_TRUE(waitUntil([&] { return shows("publishContainerView"); }));
    EXPECT_FALSE(shows("publishWordpressView"));
    EXPECT_TRUE(shows("publishGeneralHostView"));
    EXPECT_EQ(label("publishGeneralHostLabel")->text(), "blog.example.org");

    clickPublish();
    ASSERT_TRUE(live());
    ASSERT_TRUE(waitUntil([&] { return shows("statusViewBlogButton"); }));
    EXPECT_FALSE(shows("wordpressContainerView"));
    EXPECT_EQ(child<QPushButton>("statusViewBlogButton")->text(), "Copy Link");
    const QVariantMap created = dev->fakeService().requestsMatching("POST", "/api/me/posts").value(0).json().toMap();
    EXPECT_FALSE(created.value("publish").toBool());

    // An edit makes an update available; its build is held and then cancelled from the panel.
    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable));
    auto* update = child<QPushButton>("statusUpdateButton");
    ASSERT_TRUE(waitUntil([&] { return update->isEnabled(); }));
    dev->setBuildsHeld(true);
    QTest::mouseClick(update, Qt::LeftButton);
    ASSERT_TRUE(settlesIn(Publisher::StateServerBuilding));
    ASSERT_TRUE(waitUntil([&] { return label("statusInfoLabel")->text() == "Building Blog"; }));
    EXPECT_EQ(child<QProgressBar>("statusProgressIndicator")->value(), child<QProgressBar>("statusProgressIndicator")->maximum());
    EXPECT_FALSE(shows("statusUpdateButton"));
    EXPECT_EQ(postRequests(), 2);
    auto* cancel = child<QPushButton>("statusCancelUpdateButton");
    ASSERT_TRUE(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable)) << publisher->currentStateName().toStdString();
    EXPECT_EQ(dev->fakeService().requestsMatching("POST", "/api/me/posts/*/clean").size(), 1);
    dev->setBuildsHeld(false);

    // The link is copied, and the user told so.
    ASSERT_TRUE(waitUntil([&] { return shows("statusViewBlogButton"); }));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(child<QPushButton>("statusViewBlogButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !notifier->notifications().isEmpty(); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dev->fakeService().baseUrl().toString() + "/p/" + post->remoteIdentifier());
    const PLYUserNotification told = notifier->notifications().first();
    EXPECT_EQ(told.identifier, "pellory.copylink." + post->remoteIdentifier());
    EXPECT_EQ(told.title, "Pellory");
    EXPECT_EQ(told.subtitle, "Link Copied to Clipboard");
    EXPECT_EQ(told.informativeText, "Post \"Trip\"");
    EXPECT_TRUE(desktop->openedURLs().isEmpty());
}

// A new user clicks Publish; the blog is asked for and set up ("Travel", not as drafts). The
// post goes on to the blog as set up, with no further click, and the panel says so.
TEST_F(PublishPanelRoad, FirstPublicationAfterTheBlogSetUpReachesTheBlogAsSetUp) {
    signUpWithoutHost();
    makePostAndPanel(2);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    ASSERT_TRUE(waitUntil([&] { return shows("publishContainerView"); }));
    EXPECT_FALSE(shows("publishWordpressView")) << "no blog yet";

    int windows = 0;
    runner->setWhileRunning([&](QWidget* shown) {
        ++windows;
        PLYCompleteAccountWizardWithWordpress(shown, "blog.example.org", "Travel", false);
    });
    clickPublish();
    ASSERT_TRUE(live()) << publisher->currentStateName().toStdString();
    EXPECT_EQ(windows, 1);
    ASSERT_EQ(creates().size(), 1);
    const QVariantMap created = creates().first().json().toMap();
    EXPECT_TRUE(created.value("publish").toBool());
    EXPECT_EQ(created.value("publish_revision").toMap(), (QVariantMap{{"category", "Travel"}, {"auto_publish", true}}));
    ASSERT_TRUE(publisher->livePublishRevision());
    EXPECT_EQ(publisher->livePublishRevision()->category(), "Travel");

    // The panel shows what was sent.
    ASSERT_TRUE(waitUntil([&] { return shows("wordpressContainerView") && infoCategory() == "Travel"; })) << infoCategory().toStdString();
    EXPECT_FALSE(infoDraft());
    EXPECT_FALSE(child<QPushButton>("statusUpdateButton")->isEnabled()) << "nothing differs from what is live";
    EXPECT_EQ(child<QPushButton>("statusViewBlogButton")->text(), "Visit Page");
}

// A published post's blog choice, changed by the user, is kept through an edit of the layout
// (IDLE to UPDATE_AVAILABLE) and a refresh of the session, and is what Update sends; a choice
// that differs from the live one makes Update available by itself.
TEST_F(PublishPanelRoad, TheUsersBlogChoiceStaysUntilSentAndIsWhatUpdateSends) {
    signUpWithTravelBlog(true);
    readyToPublish(2);
    auto* publishCategory = child<QComboBox>("publishWordpressCategoryPopUpButton");
    auto* publishDraft = child<QCheckBox>("publishWordpressDraftButton");
    EXPECT_EQ(publishCategory->currentText(), "Travel") << "the blog's default";
    EXPECT_TRUE(publishDraft->isChecked()) << "the blog saves drafts";

    // Chosen before publishing, kept through a refresh of the session.
    pick(publishCategory, "Stories");
    setBox(publishDraft, false);
    ASSERT_TRUE(refreshedInto(Publisher::StateNotPublished)) << road();
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_EQ(publishCategory->currentText(), "Stories");
    EXPECT_FALSE(publishDraft->isChecked());
    clickPublish();
    ASSERT_TRUE(live());
    ASSERT_EQ(creates().size(), 1);
    EXPECT_EQ(creates().first().json().toMap().value("publish_revision").toMap(),
              (QVariantMap{{"category", "Stories"}, {"auto_publish", true}}));
    ASSERT_TRUE(waitUntil([&] { return infoCategory() == "Stories" && !infoDraft(); }));
    EXPECT_FALSE(child<QPushButton>("statusUpdateButton")->isEnabled());

    // Another category chosen on the published post: Update is available for it alone.
    pick(child<QComboBox>("wordpressInfoCategoryPopUpButton"), "Travel");
    ASSERT_TRUE(waitUntil([&] { return child<QPushButton>("statusUpdateButton")->isEnabled(); }));
    // Then a draft, then a photo's worth of edit: the choice stays through UPDATE_AVAILABLE.
    setBox(child<QCheckBox>("wordpressDraftButton"), true);
    postManager->layoutManager()->addBlock(PLYLayoutManager::newBlock_Text(), nullptr, post->layout()->mutable_sections(0));
    ASSERT_TRUE(settlesIn(Publisher::StateUpdateAvailable));
    ASSERT_TRUE(refreshedInto(Publisher::StateUpdateAvailable)) << road();
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_EQ(infoCategory(), "Travel");
    EXPECT_TRUE(infoDraft());
    auto* update = child<QPushButton>("statusUpdateButton");
    ASSERT_TRUE(waitUntil([&] { return update->isEnabled(); }));
    QTest::mouseClick(update, Qt::LeftButton);
    ASSERT_TRUE(live());
    ASSERT_EQ(revisions().size(), 1);
    const QVariantMap sent = revisions().first().json().toMap();
    EXPECT_TRUE(sent.value("publish").toBool());
    EXPECT_EQ(sent.value("publish_revision").toMap(), (QVariantMap{{"category", "Travel"}, {"auto_publish", false}}));
    ASSERT_TRUE(waitUntil([&] { return infoCategory() == "Travel" && infoDraft(); }));
    EXPECT_FALSE(update->isEnabled());

    // The choice alone, without an edit, goes as a new revision of the same remote post.
    pick(child<QComboBox>("wordpressInfoCategoryPopUpButton"), "Uncategorized");
    ASSERT_TRUE(waitUntil([&] { return update->isEnabled(); }));
    QTest::mouseClick(update, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return revisions().size() == 2; }));
    ASSERT_TRUE(live());
    EXPECT_EQ(creates().size(), 1) << "never a second remote post";
    EXPECT_EQ(revisions().last().json().toMap().value("publish_revision").toMap(),
              (QVariantMap{{"category", "Uncategorized"}, {"auto_publish", false}}));
    ASSERT_TRUE(waitUntil([&] { return infoCategory() == "Uncategorized"; }));
}

// Photos that cannot be published (an empty file, a file that is no image) are refused by name
// before anything is sent; once the blocks go, the post publishes.
TEST_F(PublishPanelRoad, UnusablePhotosAreRefusedByNameBeforeAnythingIsSent) {
    signUpWithTravelBlog(false);
    readyToPublish(1, {{"empty.jpg", QByteArray()}, {"notes.jpg", QByteArray("these are words, not a picture\n")}});

    clickPublish();
    ASSERT_EQ(alerts->presented().size(), 1);
    const PLYAlertRequest refused = alerts->presented().first();
    EXPECT_EQ(refused.messageText, "Missing Images");
    EXPECT_TRUE(refused.informativeText.contains("empty.jpg")) << refused.informativeText.toStdString();
    EXPECT_TRUE(refused.informativeText.contains("notes.jpg")) << refused.informativeText.toStdString();
    EXPECT_FALSE(refused.informativeText.contains("img0.jpg")) << refused.informativeText.toStdString();
    EXPECT_TRUE(creates().isEmpty()) << "nothing was sent";
    EXPECT_TRUE(dev->fakeService().requestsMatching("POST", "/api/me/images").isEmpty());
    EXPECT_EQ(publisher->currentStateName(), Publisher::StateNotPublished);

    // The broken blocks removed, the post publishes.
    auto layout = postManager->layoutManager();
    for (const Publisher::UnusableImage& image : publisher->unusableLayoutImages())
        layout->removeBlock(layout->blockForRef(blockOfImage.value(image.identifier)), false);
    ASSERT_TRUE(publisher->unusableLayoutImages().isEmpty());
    clickPublish();
    ASSERT_TRUE(live());
    EXPECT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(creates().size(), 1) << "the refused Publish sent nothing before this one";
}

// An upload left incomplete names the photo and why; an edit that removes it makes a fresh
// publication possible, and so does Cancel.
TEST_F(PublishPanelRoad, AnIncompleteUploadNamesItsPhotosAndAnEditOrCancelLeavesIt) {
    signUpWithTravelBlog(false);
    readyToPublish(2);

    // The service refuses one photo: the line names it, with the reason.
    dev->fakeService().enqueueReply("POST", "/api/me/images", PLYFakeReply::json(500, QVariantMap{{"code", 500}}));
    clickPublish();
    ASSERT_TRUE(settlesIn(Publisher::StateUploadIncomplete));
    ASSERT_EQ(publisher->failedImageDescriptions().size(), 1);
    const QString failed = publisher->failedImageDescriptions().first();
    EXPECT_TRUE(failed.startsWith("img0.jpg") || failed.startsWith("img1.jpg")) << failed.toStdString();
    EXPECT_TRUE(failed.contains("refused by the service, status 500")) << failed.toStdString();
    ASSERT_TRUE(waitUntil([&] { return label("statusInfoLabel")->text() == "1 of 2 images could not be uploaded: " + failed; }))
        << label("statusInfoLabel")->text().toStdString();

    // Cancel leaves a post that publishes again.
    QTest::mouseClick(child<QPushButton>("statusCancelUpdateButton"), Qt::LeftButton);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished)) << road();
    ASSERT_TRUE(waitUntil([&] { return shows("PLYPublishButton"); }));
    dev->fakeService().enqueueReply("POST", "/api/me/images", PLYFakeReply::json(500, QVariantMap{{"code", 500}}));
    clickPublish();
    ASSERT_TRUE(settlesIn(Publisher::StateUploadIncomplete));
    EXPECT_EQ(creates().size(), 2);

    // Removing the photo that failed is an edit that drops the incomplete upload; the post then
    // publishes from the layout as it is.
    const QString failedId = publisher->failedImageIdentifiers().value(0);
    ASSERT_FALSE(failedId.isEmpty());
    auto layout = postManager->layoutManager();
    layout->removeBlock(layout->blockForRef(blockOfImage.value(failedId)), false);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished)) << road();
    ASSERT_TRUE(waitUntil([&] { return shows("PLYPublishButton"); }));
    clickPublish();
    ASSERT_TRUE(live()) << publisher->currentStateName().toStdString();
    EXPECT_EQ(creates().size(), 3);
}

// Where the desktop shows no notifications, "Copy Link" says so in the panel; where no browser
// opens, "Visit Page" shows the address and says so.
TEST_F(PublishPanelRoad, FeedbackTheDesktopDoesNotShowAppearsInThePanel) {
    signUpWithTravelBlog(false);
    readyToPublish(1);
    pick(child<QComboBox>("publishWordpressCategoryPopUpButton"), "Don't Publish");
    clickPublish();
    ASSERT_TRUE(live());
    auto* link = child<QPushButton>("statusViewBlogButton");
    ASSERT_EQ(link->text(), "Copy Link");

    // With notifications shown, the panel stays quiet.
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return notifier->notifications().size() == 1; }));
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_FALSE(shows("publishFeedbackLabel"));

    notifier->setShowsMessages(false);
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return shows("publishFeedbackLabel"); }));
    EXPECT_EQ(label("publishFeedbackLabel")->text(), "Link Copied to Clipboard: Post \"Trip\"");

    // Published to the blog, the link visits the page; without a browser, the address shows.
    ASSERT_NO_FATAL_FAILURE(updateOntoTheBlog("Travel"));
    ASSERT_TRUE(waitUntil([&] { return link->text() == "Visit Page"; }));
    desktop->setSucceeds(false);
    QTest::mouseClick(link, Qt::LeftButton);
    const QString address = "https://blog.example.org/?p=" + post->remoteIdentifier();
    ASSERT_TRUE(waitUntil([&] { return label("publishFeedbackLabel")->text().contains(address); }))
        << label("publishFeedbackLabel")->text().toStdString();
    EXPECT_TRUE(label("publishFeedbackLabel")->text().contains("could not be opened"));
    EXPECT_TRUE(shows("publishFeedbackLabel"));
}

// "Published" is said of a post only once it is live, and only of what went where it was meant
// to: not while the first publication is on its way, nor of a post built with "Don't Publish"
// while the account has a blog.
TEST_F(PublishPanelRoad, ThePanelSaysPublishedOnlyOnceThePostIsLiveWhereItWasMeantToGo) {
    signUpWithTravelBlog(false);
    readyToPublish(1);
    // What the info view said after each change of state on the way.
    QStringList said;
    QObject observer;
    publisher->addStateChangeNotificationHandler(&observer, [&](const PLYNotification&) {
        const QString state = publisher->currentStateName();
        QMetaObject::invokeMethod(panel.get(), [&, state] {
            if (shows("infoContainerView"))
                said << state + (shows("infoPublishedDateLabel") ? ": Published row" : ": no Published row");
        }, Qt::QueuedConnection);
    });
    pick(child<QComboBox>("publishWordpressCategoryPopUpButton"), "Don't Publish");
    dev->setBuildsHeld(true);
    clickPublish();
    ASSERT_TRUE(settlesIn(Publisher::StateServerBuilding)) << road();
    ASSERT_TRUE(waitUntil([&] { return said.contains("SERVER_BUILDING: no Published row"); })) << said.join(", ").toStdString();
    EXPECT_FALSE(shows("infoPublishedTitleLabel"));
    EXPECT_TRUE(shows("infoStatusLabel"));
    for (const QString& line : said) EXPECT_TRUE(line.endsWith(": no Published row")) << line.toStdString();

    // Built without the blog: live, but not published.
    dev->setBuildsHeld(false);
    ASSERT_TRUE(live());
    auto* status = child<QComboBox>("infoStatusPopUpButton");
    ASSERT_TRUE(waitUntil([&] { return shows("infoStatusPopUpButton"); }));
    EXPECT_EQ(status->currentText(), "Not Published");
    EXPECT_FALSE(shows("infoPublishedDateLabel") || shows("infoPublishedTitleLabel"));

    // Sent on to the blog: published, since the post was first made.
    ASSERT_NO_FATAL_FAILURE(updateOntoTheBlog("Travel"));
    ASSERT_TRUE(waitUntil([&] { return status->currentText() == "Published"; })) << status->currentText().toStdString();
    EXPECT_TRUE(shows("infoPublishedDateLabel") && shows("infoPublishedTitleLabel"));
    EXPECT_EQ(label("infoPublishedDateLabel")->text(), PLYPublishPanelState::formatDate(publisher->publishingPost()->creationDate()));
    publisher->removeStateChangeNotificationHandler(&observer);
}

// "Copy Link" copies only a web address within its bound; any other answer of the service is
// said in the panel and leaves the clipboard as it was.
TEST_F(PublishPanelRoad, CopyLinkCopiesOnlyAWebAddressWithinItsBound) {
    signUp(false);
    makePostAndPanel(1);
    ASSERT_TRUE(settlesIn(Publisher::StateNotPublished));
    clickPublish();
    ASSERT_TRUE(live());
    auto* link = child<QPushButton>("statusViewBlogButton");
    ASSERT_TRUE(waitUntil([&] { return shows("statusViewBlogButton"); }));
    ASSERT_EQ(link->text(), "Copy Link");
    const QString stub = "/api/me/posts/*/link-stub";
    const QByteArray hostile[] = {
        "javascript:alert(document.cookie)",
        "<script src=\"https://evil.example.org/x.js\"></script>",
        "https://blog.example.org/" + QByteArray(4 * 1024 * 1024, 'a'),
    };
    QGuiApplication::clipboard()->setText("what the user had");
    int asked = 0;
    for (const QByteArray& answer : hostile) {
        SCOPED_TRACE(answer.left(40).toStdString());
        dev->fakeService().enqueueReply("GET", stub, PLYFakeReply::text(200, answer));
        child("publishFeedbackLabel")->hide();
        QTest::mouseClick(link, Qt::LeftButton);
        ++asked;
        ASSERT_TRUE(waitUntil([&] { return shows("publishFeedbackLabel"); }));
        EXPECT_EQ(dev->fakeService().requestsMatching("GET", stub).size(), asked);
        EXPECT_EQ(label("publishFeedbackLabel")->text(), "The service did not answer with a link to the post, so nothing was copied.");
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "what the user had");
        EXPECT_TRUE(notifier->notifications().isEmpty());
    }
    // The service's own answer is copied.
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return notifier->notifications().size() == 1; }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dev->fakeService().baseUrl().toString() + "/p/" + post->remoteIdentifier());
}

// The service's port changed in the host settings: the session follows it, and the real-time
// channel is opened again on the new port rather than left on the old one.
TEST_F(PublishPanelRoad, ChangingTheServicePortReopensTheChannelOnTheNewPort) {
    signUpWithoutHost();
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    const QString topic = "account:" + manager()->remoteAccount()->identifierString();
    ASSERT_TRUE(waitUntil([&] { return host->joinedChannelTopic() == topic; }));
    const quint16 oldPort = dev->port();
    ASSERT_EQ(host->webSocket()->requestUrl().port(), oldPort);

    PortRelay relay;
    ASSERT_TRUE(relay.start(oldPort));
    PLYWebServiceHostViewController settings;
    settings.show();
    auto* port = settings.findChild<QLineEdit*>("customPortTextField");
    ASSERT_TRUE(port);
    port->setFocus();
    port->selectAll();
    QTest::keyClicks(port, QString::number(relay.port()));
    QTest::keyClick(port, Qt::Key_Return);
    ASSERT_EQ(host->port(), QString::number(relay.port()));

    ASSERT_TRUE(waitUntil([&] {
        return host->webSocket() && host->webSocket()->requestUrl().port() == relay.port() &&
               host->joinedChannelTopic() == topic && manager()->currentStateName() == Manager::StateIdle;
    })) << manager()->currentStateName().toStdString();
    EXPECT_GT(relay.connections(), 0);
    EXPECT_TRUE(host->socketConnected());
}

#endif
