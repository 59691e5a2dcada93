// The publish panel on the publishing road through the real objects: the session manager and
// the post publisher against the development service in this process, driven by clicks on the
// panel. A blog post through failed images, a retry and the build to its page; a post without
// a blog through an update, a cancelled build and a copied link; and the panel's refusals.
#include "../web-services/PLYSessionTestSupport.h"

#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYPostManager.h"
#include "PLYPublishButton.h"
#include "PLYPublishViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedUserNotifier.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherManagerServices.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublisher.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#ifdef PELLORY_HAS_DEVSERVICE
#include "../web-services/PLYDevServiceRoad.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;

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
        Manager::install();
        PLYWebServicePostPublisherManagerServices::install();
    }

    void TearDown() override {
        panel.reset();
        publisher.reset();
        postManager.reset();
        post.reset();
        Manager::shutdown();
        PLYDevServiceRoad::restoreSession();
        PLYAlertPresenter::setShared(nullptr);
        PLYDesktopServices::setShared(nullptr);
        PLYUserNotifier::setShared(nullptr);
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
        dev.stop();
    }

    Manager* manager() { return Manager::globalManager(); }

    // Signed up through the session, with the blog's address set; with a blog publisher when asked.
    void signUp(bool withBlog) {
        PLYCoreManager::globalManager()->startManager();
        ASSERT_TRUE(waitUntil([&] { return manager()->currentStateName() == Manager::StateNoAccount; }));
        ASSERT_TRUE(manager()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
        ASSERT_TRUE(waitUntil([&] { return manager()->currentStateName() == Manager::StateIdle; }));
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

    // A post of `count` generated photos, all in its layout, saved; and the panel following it.
    void makePostAndPanel(int count) {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QString("img%1.jpg").arg(i)), 60, 40,
                                                 QColor(60 * i, 100, 200)));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle("Trip"));
        post = postManager->representedPost();
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] { return post->images().size() == count; }));
        QStringList ids;
        for (const auto& image : post->images()) ids << image->identifier();
        ASSERT_TRUE(waitUntil([&] {
            for (const QString& id : ids)
                if (!PLYImageManager::sharedManager()->hasRenditions(id)) return false;
            return true;
        }));
        ASSERT_EQ(postManager->layoutManager()->createAndAddBlocksForImages(ids).size(), count);
        ASSERT_TRUE(post->save());

        panel = std::make_unique<PLYPublishViewController>();
        panel->resize(300, 500);
        panel->show();
        panel->setPostManager(postManager);
        publisher = panel->postPublisher();
        ASSERT_TRUE(publisher);
        // After the panel's own observer: each reading sees what the panel just showed.
        publisher->addStateChangeNotificationHandler(this, [this](const PLYNotification&) {
            QMetaObject::invokeMethod(
                panel.get(), [this] { lines << label("statusInfoLabel")->text(); }, Qt::QueuedConnection);
        });
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

    PLYDevServiceRoad dev;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedDesktopServices> desktop = std::make_shared<PLYScriptedDesktopServices>();
    std::shared_ptr<PLYScriptedUserNotifier> notifier = std::make_shared<PLYScriptedUserNotifier>();
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<Publisher> publisher;
    std::unique_ptr<PLYPublishViewController> panel;
    QStringList lines;  // the state view's line after each state change
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
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("data-post=\"" + post->remoteIdentifier() + "\""));
    const PLYUserNotification told = notifier->notifications().first();
    EXPECT_EQ(told.identifier, "pellory.copylink." + post->remoteIdentifier());
    EXPECT_EQ(told.title, "Pellory");
    EXPECT_EQ(told.subtitle, "Link Copied to Clipboard");
    EXPECT_EQ(told.informativeText, "Post \"Trip\"");
    EXPECT_TRUE(desktop->openedURLs().isEmpty());
}

#endif
