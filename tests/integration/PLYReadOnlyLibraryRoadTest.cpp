// Signing out of home while the library cannot be written, against the development service in
// this process, on a real read-only mount: the failed save is said and the user chooses between
// keeping the edits signed in and losing them.

#include "../app/PLYReadOnlyLibrary.h"

#include "PLYAuthViewController.h"
#include "PLYBaseViewController.h"
#include "PLYBaseWindowController.h"
#include "PLYHomeViewController.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantStore.h"
#include "PLYTestWidgets.h"

#include <QAction>
#include <QPushButton>

#ifdef PELLORY_HAS_DEVSERVICE
#include "PLYServiceRoad.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using PLYTestWidgets::child;
using PLYTestWidgets::click;

class ReadOnlyLibraryRoad : public ServiceRoad {
protected:
    void SetUp() override {
        ServiceRoad::SetUp();
        if (HasFatalFailure()) return;
        disk = std::make_unique<PLYTestMount>(16 * 1024 * 1024);
        if (!disk->isMounted()) GTEST_SKIP() << "no read-only library can be made: " << disk->problem().toStdString();
        storeRoot = disk->path() + QStringLiteral("/Pellory");
        PLYCoreManager::resetGlobalManager(storeRoot);
    }
    void TearDown() override {
        ServiceRoad::TearDown();
        if (disk) PLYSetLibraryReadOnly(*disk, storeRoot, false);
        disk.reset();
    }
    bool libraryReadOnly(bool readOnly) { return PLYSetLibraryReadOnly(*disk, storeRoot, readOnly); }

    std::unique_ptr<PLYTestMount> disk;
};

TEST_F(ReadOnlyLibraryRoad, SigningOutWithEditsThatCannotBeSavedAsksAndStayingKeepsThem) {
    PLYBaseWindowController* main = launchApplication();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(sessionIn(Manager::StateNoAccount));
    ASSERT_TRUE(session()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@readonly.example.org", "secret12"));
    ASSERT_TRUE(sessionIn(Manager::StateIdle)) << session()->currentStateName().toStdString();
    if (PLYAuthViewController* login = main->authViewController()) login->finishCreation();
    PLYHomeViewController* home = main->baseViewController()->homeViewController();
    ASSERT_TRUE(waitUntil([&] { return child(home, "signOutButton")->isVisible(); }));
    const auto store = PLYCoreManager::persistantStore();
    const auto account = store->currentAccount();
    ASSERT_TRUE(account);
    const auto post = account->createNewPost(QStringLiteral("Draft"));
    ASSERT_TRUE(delegate->performSave(AppDelegate::SaveReasonAutosave));
    ASSERT_EQ(PLYPostNameOnDisk(*post), QStringLiteral("Draft"));

    // An edit that cannot be saved, then Sign Out: the failed save is said, and the first,
    // default answer keeps the account and its edit.
    ASSERT_TRUE(libraryReadOnly(true));
    post->setName(QStringLiteral("Edited"));
    alerts->scriptButtonIndex(0);
    click(home, "signOutButton");
    ASSERT_EQ(alerts->presented().size(), 1) << "the failed save at sign-out went unsaid";
    const PLYAlertRequest question = alerts->presented().last();
    EXPECT_EQ(question.style, PLYAlertRequest::Style::Warning);
    EXPECT_TRUE(question.informativeText.contains(QStringLiteral("Could not write ") + storeRoot + QStringLiteral("/Accounts/")))
        << "what: " << question.informativeText.toStdString();
    EXPECT_TRUE(question.informativeText.contains(QStringLiteral("Library folder: ") + QDir::toNativeSeparators(storeRoot)))
        << "where: " << question.informativeText.toStdString();
    EXPECT_TRUE(question.informativeText.contains(QStringLiteral("Reason: Read-only file system")))
        << "why: " << question.informativeText.toStdString();
    EXPECT_EQ(question.buttonTitles, (QStringList{"Stay Signed In", "Sign Out and Lose Changes"}));
    EXPECT_EQ(store->currentAccount(), account) << "signed out although the user stayed";
    EXPECT_EQ(session()->currentStateName(), Manager::StateIdle);
    EXPECT_FALSE(main->authViewController());
    EXPECT_EQ(post->name(), QStringLiteral("Edited"));

    // Quit still knows the edit is not saved.
    alerts->scriptButtonIndex(0);
    delegate->menuAction(QStringLiteral("quit"))->trigger();
    EXPECT_EQ(quitRequests, 0);
    EXPECT_EQ(alerts->presented().last().messageText, QStringLiteral("Quit anyway?"));

    // Writable again: the next save writes the edit.
    ASSERT_TRUE(libraryReadOnly(false));
    ASSERT_TRUE(delegate->performSave(AppDelegate::SaveReasonAutosave));
    EXPECT_EQ(PLYPostNameOnDisk(*post), QStringLiteral("Edited"));

    // Read-only again, and this time the user signs out: the account goes, the new edit with it.
    ASSERT_TRUE(libraryReadOnly(true));
    post->setName(QStringLiteral("Lost"));
    alerts->scriptButtonIndex(1);
    click(home, "signOutButton");
    ASSERT_EQ(alerts->presented().size(), 3);
    EXPECT_EQ(alerts->presented().last().buttonTitles, question.buttonTitles);
    ASSERT_TRUE(waitUntil([&] { return main->authViewController() != nullptr; }, 8000));
    EXPECT_FALSE(store->currentAccount());
    EXPECT_EQ(PLYPostNameOnDisk(*post), QStringLiteral("Edited"));
}

}  // namespace

#endif
