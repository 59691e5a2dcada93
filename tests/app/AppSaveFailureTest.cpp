// Saves that fail on a real read-only library: shown once, the edits kept and saved again
// later, and no quit loses them without asking.
#include "PLYAppTestSupport.h"
#include "PLYReadOnlyLibrary.h"

#include "PLYAlertPresenter.h"
#include "PLYBaseViewController.h"
#include "PLYBaseWindowController.h"
#include "PLYHomeCollectionView.h"
#include "PLYHomeViewController.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYRecentCollectionViewItem.h"
#include "PLYScriptedAlertPresenter.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

using PLYTestEnvironment::waitUntil;

namespace {

class AppSaveFailureTest : public AppDelegateFixture {
protected:
    void SetUp() override {
        AppDelegateFixture::SetUp();
        disk = std::make_unique<PLYTestMount>(16 * 1024 * 1024);
        if (!disk->isMounted()) GTEST_SKIP() << "no read-only library can be made: " << disk->problem().toStdString();
        storeRoot = disk->path() + QStringLiteral("/Pellory");
        PLYCoreManager::resetGlobalManager(storeRoot);
        PLYAlertPresenter::setShared(alerts);
        failuresToken = PLYLog::addObserver([this](PLYLog::Level level, const QString& line) {
            if (level == PLYLog::Level::Error && line.contains(QLatin1String("Saving failed"))) ++failures;
        });
    }
    void TearDown() override {
        PLYLog::removeObserver(failuresToken);
        AppDelegateFixture::TearDown();
        PLYAlertPresenter::setShared(nullptr);
        if (disk) libraryReadOnly(false);
        disk.reset();
    }

    // A launched delegate whose post "Draft" is on disk.
    AppDelegate& launchWithSavedPost(int autosaveMs) {
        AppDelegate::Options options = testOptions();
        options.autosaveIntervalMs = autosaveMs;
        AppDelegate& d = launch(options);
        post = PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ro@example.com"))->createNewPost(QStringLiteral("Draft"));
        EXPECT_TRUE(d.performSave(AppDelegate::SaveReasonAutosave));
        return d;
    }
    bool libraryReadOnly(bool readOnly) { return PLYSetLibraryReadOnly(*disk, storeRoot, readOnly); }
    // The library turns read-only, then the post is renamed: an edit that cannot be saved.
    bool editOnReadOnlyLibrary(const QString& name) {
        if (!libraryReadOnly(true)) return false;
        post->setName(name);
        return true;
    }
    QString nameOnDisk() const { return PLYPostNameOnDisk(*post); }
    int alertsTitled(const QString& title) const {
        int n = 0;
        for (const PLYAlertRequest& a : alerts->presented()) n += a.messageText == title;
        return n;
    }

    std::unique_ptr<PLYTestMount> disk;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYPersistantPost> post;
    int failures = 0;
    int failuresToken = 0;
};

const QString kFailed = QStringLiteral("Pellory Could Not Save Your Changes");
const QString kQuitAnyway = QStringLiteral("Quit anyway?");

}  // namespace

TEST_F(AppSaveFailureTest, AFailingAutosaveAlertsOnceKeepsTheEditsAndSavesThemOnceItCan) {
    AppDelegate& d = launchWithSavedPost(30);
    ASSERT_EQ(nameOnDisk(), QStringLiteral("Draft"));
    ASSERT_TRUE(libraryReadOnly(true));
    const int savedBefore = saves;
    post->setName(QStringLiteral("Edited"));

    ASSERT_TRUE(waitUntil([&] { return failures >= 4; }, 30000)) << "the autosave did not keep trying";
    ASSERT_EQ(alertsTitled(kFailed), 1) << "a failing autosave alerts once, not at every try";
    const PLYAlertRequest& alert = alerts->presented().first();
    EXPECT_EQ(alert.style, PLYAlertRequest::Style::Critical);
    EXPECT_TRUE(alert.informativeText.contains(QDir::toNativeSeparators(storeRoot))) << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Could not write ") + storeRoot + QStringLiteral("/Accounts/")))
        << "what failed is named: " << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Reason: Read-only file system")))
        << "why is said: " << alert.informativeText.toStdString();
    EXPECT_TRUE(d.saveOutcome().hasUnsavedFailure());
    EXPECT_EQ(post->name(), QStringLiteral("Edited")) << "the edit is kept in memory";
    EXPECT_EQ(nameOnDisk(), QStringLiteral("Draft")) << "the old save is untouched";
    EXPECT_EQ(saves, savedBefore) << "a failed save was logged as a success";

    // File > Save is asked for by the user: it answers each time.
    d.menuAction(QStringLiteral("saveApplication"))->trigger();
    EXPECT_EQ(alertsTitled(kFailed), 2);

    ASSERT_TRUE(libraryReadOnly(false));
    ASSERT_TRUE(waitUntil([&] { return nameOnDisk() == QStringLiteral("Edited"); }, 30000)) << "the next autosave did not retry";
    EXPECT_FALSE(d.saveOutcome().hasUnsavedFailure());

    // A new failure after a success is shown again, once.
    ASSERT_TRUE(libraryReadOnly(true));
    post->setName(QStringLiteral("Edited twice"));
    const int before = failures;
    ASSERT_TRUE(waitUntil([&] { return failures >= before + 3; }, 30000));
    EXPECT_EQ(alertsTitled(kFailed), 3);
    EXPECT_EQ(alertsTitled(kQuitAnyway), 0);
}

TEST_F(AppSaveFailureTest, QuittingWithAnUnsavedFailureAsksFirstAndStaysWhenTold) {
    AppDelegate& d = launchWithSavedPost(AppDelegate::AutosaveIntervalMs);
    ASSERT_TRUE(editOnReadOnlyLibrary(QStringLiteral("Edited")));

    // The Quit item: "Don't Quit" keeps Pellory running with the edit.
    alerts->scriptButtonIndex(0);
    d.menuAction(QStringLiteral("quit"))->trigger();
    EXPECT_EQ(quitRequests, 0);
    ASSERT_EQ(alertsTitled(kQuitAnyway), 1);
    EXPECT_EQ(alertsTitled(kFailed), 0) << "the question says it all at quit";
    const PLYAlertRequest& question = alerts->presented().last();
    EXPECT_EQ(question.buttonTitles.value(1), QStringLiteral("Quit Anyway"));
    EXPECT_TRUE(question.informativeText.contains(QDir::toNativeSeparators(storeRoot)));
    EXPECT_TRUE(d.autosaveTimer().isActive()) << "the edits are still saved again later";

    // Closing the main window asks too, and the window stays.
    alerts->scriptButtonIndex(0);
    QWidget* window = d.baseWindowController();
    ASSERT_TRUE(window);
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the main window closed with unsaved edits";
    EXPECT_EQ(alertsTitled(kQuitAnyway), 2);
    EXPECT_EQ(quitRequests, 0);

    // Once the library can be written, a quit asks nothing and saves the edit.
    ASSERT_TRUE(libraryReadOnly(false));
    d.menuAction(QStringLiteral("quit"))->trigger();
    EXPECT_EQ(quitRequests, 1);
    EXPECT_EQ(alertsTitled(kQuitAnyway), 2);
    EXPECT_EQ(nameOnDisk(), QStringLiteral("Edited"));
}

TEST_F(AppSaveFailureTest, QuitAnywayQuitsAndTheSaveAtQuitShowsNothingMore) {
    AppDelegate& d = launchWithSavedPost(AppDelegate::AutosaveIntervalMs);
    ASSERT_TRUE(editOnReadOnlyLibrary(QStringLiteral("Lost")));
    alerts->scriptButtonIndex(1);
    d.menuAction(QStringLiteral("quit"))->trigger();
    EXPECT_EQ(quitRequests, 1);
    const int shown = int(alerts->presented().size());
    const int failed = failures;
    d.applicationWillTerminate();
    EXPECT_GT(failures, failed) << "the save at quit still tries and logs its failure";
    EXPECT_EQ(int(alerts->presented().size()), shown) << "nothing more is shown once the user chose to quit";
    EXPECT_EQ(nameOnDisk(), QStringLiteral("Draft"));
}

TEST_F(AppSaveFailureTest, DeletingAPostThatCannotBeRemovedSaysSoAndKeepsItListed) {
    AppDelegate& d = launchWithSavedPost(AppDelegate::AutosaveIntervalMs);
    auto* window = qobject_cast<PLYBaseWindowController*>(d.baseWindowController());
    ASSERT_NE(window, nullptr);
    PLYHomeViewController* home = window->baseViewController()->homeViewController();
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
    const auto tile = [&]() -> PLYRecentCollectionViewItem* {
        for (PLYRecentCollectionViewItem* item : home->postCollectionView()->visibleItems())
            if (item->representedPost() == post) return item;
        return nullptr;
    };
    ASSERT_TRUE(waitUntil([&] { return tile() != nullptr; })) << "the post has no tile at home";
    const auto account = PLYCoreManager::persistantStore()->currentAccount();
    const QString folder = post->folderPath();
    ASSERT_TRUE(libraryReadOnly(true));

    // "Yes, delete this blog": the folder cannot go, so neither does the post, and that is said.
    alerts->scriptButtonIndex(0);
    tile()->deleteMenuItem()->trigger();
    ASSERT_EQ(alerts->presented().size(), 2) << "the deletion that did not happen went unsaid";
    const PLYAlertRequest& alert = alerts->presented().last();
    EXPECT_EQ(alert.style, PLYAlertRequest::Style::Critical);
    EXPECT_EQ(alert.messageText, QStringLiteral("The Blog Could Not Be Deleted"));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("\"Draft\""))) << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(folder)) << "what: " << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Library folder: ") + QDir::toNativeSeparators(storeRoot)))
        << "where: " << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Reason: Read-only file system")))
        << "why: " << alert.informativeText.toStdString();
    EXPECT_FALSE(post->isRemoved());
    EXPECT_EQ(account->postForIdentifier(post->identifier()), post) << "the post left memory";
    EXPECT_EQ(home->postCollectionView()->posts().size(), 1) << "the post left home";
    EXPECT_NE(tile(), nullptr);
    EXPECT_EQ(nameOnDisk(), QStringLiteral("Draft"));

    // Writable again, the same choice deletes it.
    ASSERT_TRUE(libraryReadOnly(false));
    alerts->scriptButtonIndex(0);
    tile()->deleteMenuItem()->trigger();
    EXPECT_EQ(alerts->presented().size(), 3);
    EXPECT_TRUE(post->isRemoved());
    EXPECT_FALSE(account->postForIdentifier(post->identifier()));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QDir(account->folderPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .filter(QFileInfo(folder).fileName()).isEmpty())
        << "the post's files are left in the account folder";
    EXPECT_TRUE(home->postCollectionView()->posts().isEmpty());
}
