// The post window with stand-in panes that record what they are handed: the new-post road
// (cancel, no folder, a folder being prepared), the hand-over order, collapsing from the visual
// state, a cached window shown again, and the onboarding popovers in order.
#include "PLYAlertPresenter.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYImageManager.h"
#include "PLYImageProcessView.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYOnboardingPopover.h"
#include "PLYOnboardingSequence.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYPostViewController.h"
#include "PLYPrepViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYUserDefaults.h"
#include "PLYVisualStateHandler.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

// Every call of every pane, in order, into one shared log.
// Each is a post pane like the real ones, handed the post as its represented object.
class RecordingPane : public PLYGenericPostViewController {
public:
    RecordingPane(QString name, QStringList* log) : m_name(std::move(name)), m_log(log) {}
    void setPostManager(std::shared_ptr<PLYPostManager> manager) override {
        m_log->append(m_name + (manager && manager->representedPost() ? QStringLiteral(":post") : QStringLiteral(":none")));
        PLYGenericPostViewController::setPostManager(std::move(manager));
    }
    void ensureEntrancePostion() { m_log->append(m_name + QStringLiteral(":hide")); }
    void performEntrance() { m_log->append(m_name + QStringLiteral(":entrance")); }
    void setZoom(qint64 percent) { m_log->append(m_name + QStringLiteral(":zoom%1").arg(percent)); }

private:
    QString m_name;
    QStringList* m_log;
};

class PostWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYOnboardingSequence::setPresentationDelaySeconds(0.02);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("core")));
        account = core()->store()->signInUser(QStringLiteral("a@b.c"));
        PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
        for (const char* key : {PLYVisualStateHandler::GalleryVisibleKey, PLYVisualStateHandler::InspectorVisibleKey})
            defaults.removeObjectForKey(QLatin1String(key));
        PLYVisualStateHandler::resetGlobalHandler();
        PLYDefaults::setOnBoardPresentationState(2);  // onboarding stays out of the way unless a test wants it
        PLYAlertPresenter::setShared(alerts);
        PLYFileDialogs::setShared(dialogs);
    }
    void TearDown() override {
        window.reset();
        PLYAlertPresenter::setShared(nullptr);
        PLYFileDialogs::setShared(nullptr);
        PLYImageManager::sharedManager()->waitForDone();
        QCoreApplication::processEvents();
        PLYCoreManager::resetGlobalManager();
        PLYImageManager::resetSharedManager();
        PLYOnboardingSequence::setPresentationDelaySeconds(PLYOnboardingSequence::DefaultPresentationDelaySeconds);
    }
    PLYCoreManager* core() { return PLYCoreManager::globalManager(); }

    void makeWindow(std::shared_ptr<PLYPostManager> manager) {
        window = std::make_unique<PLYPostViewController>();
        window->setPostManager(manager);
        window->setPanes(PLYPostWindowPane::of(new RecordingPane(QStringLiteral("gallery"), &log)),
                         PLYPostWindowLayoutPane::of(new RecordingPane(QStringLiteral("layout"), &log)),
                         PLYPostWindowPane::of(new RecordingPane(QStringLiteral("inspector"), &log)));
        window->resize(1200, 800);
        window->show();
    }
    // A new post's window showing its sheet.
    PLYPrepViewController* openNewPost() {
        manager = core()->postManagerEmpty();
        core()->setCurrentPostManager(manager);
        makeWindow(manager);
        window->presentInitialVisualState();
        return window->prepViewController();
    }
    void confirmSheet(const QString& title) {
        PLYPrepViewController* sheet = window->prepViewController();
        QTest::keyClicks(sheet->findChild<QLineEdit*>(QStringLiteral("titleTextField")), title);
        QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("doneButton")), Qt::LeftButton);
    }
    // The sheet answered with a folder of `count` photos of `size` and a title: preparation starts.
    void makeNewPostOfPhotos(const QString& title, int count, const QSize& size) {
        const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i)), size.width(), size.height()));
        openNewPost();
        dialogs->scriptFolder(folder);
        QTest::mouseClick(window->prepViewController()->findChild<QPushButton*>(QStringLiteral("chooseDirectoryButton")),
                          Qt::LeftButton);
        confirmSheet(title);
    }
    std::shared_ptr<PLYPostManager> openPost() {
        auto post = account->createNewPost(QStringLiteral("Existing"));
        post->layout()->add_sections()->mutable_stacked();
        return PLYPostManager::create(post);
    }
    void layoutEdit() {
        PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification));
    }
    QList<PLYOnboardingPopover*> visiblePopovers() const {
        QList<PLYOnboardingPopover*> shown;
        for (auto* p : window->findChildren<PLYOnboardingPopover*>())
            if (p->isVisible()) shown << p;
        return shown;
    }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
    std::shared_ptr<PLYPersistantAccount> account;
    std::shared_ptr<PLYPostManager> manager;
    std::unique_ptr<PLYPostViewController> window;
    QStringList log;
};

const QStringList kHandOver{QStringLiteral("inspector:post"), QStringLiteral("layout:post"), QStringLiteral("gallery:post")};

}  // namespace

TEST_F(PostWindowTest, ACancelledNewPostLeavesNoPostAndNothingToSave) {
    PLYPrepViewController* sheet = openNewPost();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    window->presentInitialVisualState();
    EXPECT_EQ(window->prepViewController(), sheet) << "shown again, still one sheet";

    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    EXPECT_FALSE(core()->currentPostManager()) << "the editor is left";
    EXPECT_FALSE(manager->representedPost());
    EXPECT_TRUE(account->currentPosts().isEmpty());
    EXPECT_TRUE(core()->openPostManagers().isEmpty());
    EXPECT_TRUE(log.isEmpty()) << log.join(u' ').toStdString();
    ASSERT_TRUE(core()->store()->save());
    EXPECT_TRUE(QDir(account->folderPath()).entryList({QStringLiteral("*.plypost")}, QDir::Dirs).isEmpty());
}

TEST_F(PostWindowTest, NoWatchFolderMakesThePostAndEndsPreparationAtOnce) {
    PLYPrepViewController* sheet = openNewPost();
    auto* padding = sheet->findChild<QLineEdit*>(QStringLiteral("horizontalPaddingField"));
    padding->selectAll();
    QTest::keyClicks(padding, QStringLiteral("30"));
    confirmSheet(QStringLiteral("Quiet Glens"));  // "No Watch Folder Set", answered "Yes"
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented().at(0).messageText, QStringLiteral("No Watch Folder Set"));

    const auto post = manager->representedPost();
    ASSERT_TRUE(post);
    EXPECT_EQ(post->name(), QStringLiteral("Quiet Glens"));
    EXPECT_EQ(post->constLayout().padding(), 30);
    EXPECT_EQ(post->constLayout().background_colour().r(), 255);
    EXPECT_TRUE(window->prepHasClosed());
    EXPECT_FALSE(window->imageProcessView()->isVisible());
    EXPECT_TRUE(QFileInfo::exists(QDir(post->folderPath()).filePath(QStringLiteral("info.plist")))) << "saved";
    EXPECT_EQ(log, kHandOver);
    EXPECT_TRUE(PLYVisualStateHandler::globalHandler()->postHeaderVisible());
    ASSERT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("layout:zoom0")); })) << "fitted after the panes show";
    window->closePrepDisplay();
    EXPECT_EQ(log.count(QStringLiteral("layout:post")), 1) << "a late close changes nothing";
}

TEST_F(PostWindowTest, AFolderOfPhotosShowsPreparingUntilCachedThenHandsThePanesOnce) {
    ASSERT_NO_FATAL_FAILURE(makeNewPostOfPhotos(QStringLiteral("Highlands"), 4, QSize(640, 480)));
    EXPECT_TRUE(alerts->presented().isEmpty());

    auto* label = window->imageProcessView()->findChild<QLabel*>(QStringLiteral("imageProcessLabel"));
    EXPECT_TRUE(window->imageProcessView()->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("Preparing Images (0/4)"));
    window->presentInitialVisualState();  // the editor shown again meanwhile
    EXPECT_TRUE(log.isEmpty()) << "the panes wait for the preparation";

    ASSERT_TRUE(waitUntil([&] { return window->prepHasClosed(); }));
    EXPECT_EQ(label->text(), QStringLiteral("Preparing Images (4/4)"));
    EXPECT_FALSE(window->imageProcessView()->isVisible());
    EXPECT_EQ(log, kHandOver);
}

TEST_F(PostWindowTest, CancelOnThePreparingCardKeepsThePostAndPreparesOnInTheBackground) {
    ASSERT_NO_FATAL_FAILURE(makeNewPostOfPhotos(QStringLiteral("Lochs"), 40, QSize(1600, 1200)));
    ASSERT_TRUE(window->imageProcessView()->isVisible());
    ASSERT_FALSE(window->prepHasClosed());

    auto* cancel = window->imageProcessView()->findChild<QPushButton*>(QStringLiteral("imageProcessCancelButton"));
    ASSERT_TRUE(cancel && cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);

    // The card goes at once, the post is saved and handed to the panes as at the end.
    EXPECT_TRUE(window->prepHasClosed());
    EXPECT_FALSE(window->imageProcessView()->isVisible());
    EXPECT_EQ(log, kHandOver);
    const auto post = manager->representedPost();
    ASSERT_TRUE(post);
    EXPECT_EQ(post->name(), QStringLiteral("Lochs"));
    EXPECT_TRUE(QFileInfo::exists(QDir(post->folderPath()).filePath(QStringLiteral("info.plist")))) << "saved";

    // Every photo still gets its renditions; the late news changes nothing in the window.
    ASSERT_TRUE(waitUntil([&] { return post->images().size() == 40 && post->imagesCountWithCachePercent(false).first == 0; }));
    window->checkPrepFinished();
    EXPECT_EQ(log.count(QStringLiteral("layout:post")), 1);
    EXPECT_FALSE(window->imageProcessView()->isVisible());
}

TEST_F(PostWindowTest, ACachedEditorShownAgainRegistersOnceAndFollowsTheVisualState) {
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    handler->setGalleryVisible(true);  // a set flag collapses its pane
    makeWindow(openPost());
    EXPECT_EQ(log, kHandOver) << "panes plugged into a window with a post get it at once";
    log.clear();
    window->presentInitialVisualState();
    EXPECT_EQ(log, (QStringList{QStringLiteral("inspector:post"), QStringLiteral("layout:post"),
                                QStringLiteral("gallery:post"), QStringLiteral("layout:hide"),
                                QStringLiteral("layout:entrance")}));
    EXPECT_FALSE(window->gallerySplitViewItem()->isVisible());
    EXPECT_TRUE(window->inspectorSplitViewItem()->isVisible());

    const int observers = PLYNotificationCenter::defaultCenter().observerCount();
    window->hide();
    window->show();
    window->presentInitialVisualState();
    EXPECT_EQ(handler->visualDelegates().count(window.get()), 1);
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), observers);
    EXPECT_EQ(log.count(QStringLiteral("gallery:post")), 2) << "each showing hands the post down again";

    handler->setGalleryVisible(false);
    handler->setInspectorVisible(true);
    EXPECT_TRUE(window->gallerySplitViewItem()->isVisible());
    EXPECT_FALSE(window->inspectorSplitViewItem()->isVisible());

    window.reset();
    EXPECT_TRUE(handler->visualDelegates().isEmpty());
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), observers - 1);
}

TEST(OnboardingSequence, EachPresentationChecksTheSharedStateAgainWhenDue) {
    using Popover = PLYOnboardingSequence::Popover;
    PLYDefaults::setOnBoardPresentationState(0);
    PLYOnboardingSequence first;
    PLYOnboardingSequence second;  // another post's window
    EXPECT_FALSE(first.shouldScheduleGallery(false)) << "not while the gallery is out of sight";
    EXPECT_TRUE(second.shouldScheduleGallery(true));
    first.dismissGallery();
    EXPECT_FALSE(second.shouldPresentGallery(true)) << "dismissed elsewhere while it waited";
    ASSERT_TRUE(first.scheduleInspectorOnLayoutChange(true, Popover::None));
    ASSERT_TRUE(second.scheduleInspectorOnLayoutChange(true, Popover::None));
    EXPECT_FALSE(first.presentScheduledInspector(false)) << "out of sight when due";
    EXPECT_TRUE(first.scheduleInspectorOnLayoutChange(true, Popover::None)) << "so a later edit tries again";
    EXPECT_TRUE(first.presentScheduledInspector(true));
    first.dismissInspector();
    EXPECT_FALSE(second.presentScheduledInspector(true));
    second.dismissGallery();
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("presented_onboard")), 2)
        << "never moves back";

    // Closed by a click elsewhere: not again in this window, and not dismissed.
    PLYDefaults::setOnBoardPresentationState(1);
    PLYOnboardingSequence third;
    third.closedWithoutDismissal(Popover::Inspector);
    EXPECT_FALSE(third.scheduleInspectorOnLayoutChange(true, Popover::None));
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 1);
}

TEST_F(PostWindowTest, OnboardingPopoversComeInOrderOneAtATime) {
    PLYDefaults::setOnBoardPresentationState(0);
    makeWindow(openPost());
    window->presentInitialVisualState();
    layoutEdit();  // before the gallery step: nothing for the inspector
    ASSERT_TRUE(waitUntil([&] { return window->onBoardPopOver() && window->onBoardPopOver()->isVisible(); }));
    PLYOnboardingPopover* gallery = window->onBoardPopOver();
    EXPECT_GE(gallery->mapToGlobal(QPoint(0, 0)).x(),
              window->gallerySplitViewItem()->mapToGlobal(QPoint(window->gallerySplitViewItem()->width(), 0)).x())
        << "beside the gallery, to its right";
    EXPECT_EQ(gallery->window(), window.get()) << "inside the window, not a window of its own";

    // Shown again: the new popover replaces the one on screen.
    window->presentInitialVisualState();
    ASSERT_TRUE(waitUntil([&] { return window->onBoardPopOver() != gallery && window->onBoardPopOver(); }));
    EXPECT_EQ(visiblePopovers().size(), 1);
    gallery = window->onBoardPopOver();

    QTest::mouseClick(gallery->findChild<QPushButton*>(QStringLiteral("dismissGalleryOnboardButton")), Qt::LeftButton);
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 1);
    EXPECT_TRUE(visiblePopovers().isEmpty());

    for (int i = 0; i < 3; ++i) layoutEdit();
    ASSERT_TRUE(waitUntil([&] { return window->onBoardPopOver() != nullptr; }));
    // Any presentation scheduled by the edits falls due before a delay started now.
    PLYTestEnvironment::waitForTimersDueWithin(int(PLYOnboardingSequence::presentationDelaySeconds() * 1000) + 1);
    EXPECT_EQ(visiblePopovers().size(), 1) << "three edits, one popover";
    PLYOnboardingPopover* inspector = window->onBoardPopOver();
    EXPECT_EQ(inspector->edge(), PLYOnboardingPopover::Edge::MinX);
    QTest::mouseClick(inspector->findChild<QPushButton*>(QStringLiteral("dismissInspectorOnboardButton")), Qt::LeftButton);
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 2);
    EXPECT_TRUE(visiblePopovers().isEmpty());
}
