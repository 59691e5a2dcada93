#include <gtest/gtest.h>

#include "PLYAlertPresenter.h"
#include "PLYDesktopServices.h"
#include "PLYFileDialogs.h"
#include "PLYModalRunner.h"
#include "PLYQtModalRunner.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYScriptedModalRunner.h"
#include "PLYScriptedUserNotifier.h"
#include "PLYUserNotifier.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

TEST(Presentation, ReplaceableAlertPresenterAnswersByButtonIndex) {
    auto real = PLYAlertPresenter::shared();
    auto scripted = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(scripted);
    scripted->scriptButtonIndex(1);
    scripted->scriptButtonIndex(2);
    PLYAlertRequest alert{PLYAlertRequest::Style::Critical, "Delete?", "It cannot be undone.", {"Delete", "Cancel", "Help"}};
    EXPECT_EQ(PLYAlertPresenter::shared()->runModal(alert), 1001);
    EXPECT_EQ(PLYAlertPresenter::shared()->runModal(alert), 1002);
    EXPECT_EQ(PLYAlertPresenter::shared()->runModal(alert), 1000);
    ASSERT_EQ(scripted->presented().size(), 3);
    EXPECT_EQ(scripted->presented()[0].informativeText, QStringLiteral("It cannot be undone."));
    PLYAlertPresenter::setShared(nullptr);
    EXPECT_NE(PLYAlertPresenter::shared(), scripted);
    EXPECT_TRUE(real);
}

TEST(Presentation, QtModalRunEndsWithTheStopCode) {
    PLYQtModalRunner runner;
    QWidget window;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(runner.isRunning());
        runner.stopModalWithCode(PLYModalRunner::Continue);
    });
    EXPECT_EQ(runner.runModalForWindow(&window), -1002);
    EXPECT_FALSE(runner.isRunning());
    EXPECT_FALSE(window.isVisible());

    QTimer::singleShot(0, [&] { window.close(); });  // the user closes it: stop
    EXPECT_EQ(runner.runModalForWindow(&window), -1000);
}

// A parentless window run modally appears over the window in front, not at the screen's corner.
TEST(Presentation, AModalWindowAppearsOverTheWindowInFront) {
    QWidget main;
    main.setGeometry(100, 50, 600, 500);
    main.show();
    QApplication::setActiveWindow(&main);
    PLYQtModalRunner runner;
    QWidget sheet;
    sheet.resize(300, 200);
    QPoint centre;
    QTimer::singleShot(0, [&] {
        centre = sheet.frameGeometry().center();
        runner.stopModalWithCode(PLYModalRunner::Continue);
    });
    runner.runModalForWindow(&sheet);
    EXPECT_LE((centre - main.frameGeometry().center()).manhattanLength(), 2);
}

TEST(Presentation, ScriptedModalRunnerAndOtherDoubles) {
    auto modal = std::make_shared<PLYScriptedModalRunner>();
    PLYModalRunner::setShared(modal);
    modal->setWhileRunning([](QWidget*) { PLYModalRunner::shared()->stopModalWithCode(PLYModalRunner::Continue); });
    QWidget window;
    EXPECT_EQ(PLYModalRunner::shared()->runModalForWindow(&window), PLYModalRunner::Continue);
    modal->setWhileRunning(nullptr);
    EXPECT_EQ(PLYModalRunner::shared()->runModalForWindow(&window), PLYModalRunner::Stop);
    EXPECT_EQ(modal->windows().size(), 2);
    PLYModalRunner::setShared(nullptr);

    auto dialogs = std::make_shared<PLYScriptedFileDialogs>();
    PLYFileDialogs::setShared(dialogs);
    dialogs->scriptFolder("/tmp/photos");
    EXPECT_EQ(PLYFileDialogs::shared()->chooseFolder(nullptr, "Choose"), QStringLiteral("/tmp/photos"));
    EXPECT_TRUE(PLYFileDialogs::shared()->chooseFolder(nullptr, "Again").isEmpty());  // cancelled
    EXPECT_EQ(dialogs->titles(), (QStringList{"Choose", "Again"}));
    PLYFileDialogs::setShared(nullptr);

    auto desktop = std::make_shared<PLYScriptedDesktopServices>();
    PLYDesktopServices::setShared(desktop);
    EXPECT_TRUE(PLYDesktopServices::shared()->startDetached("/bin/sh", {"-c", "exec \"$1\"", "sh", "/path with 'quotes'"}));
    ASSERT_EQ(desktop->launches().size(), 1);
    EXPECT_EQ(desktop->launches()[0].arguments.last(), QStringLiteral("/path with 'quotes'"));
    PLYDesktopServices::setShared(nullptr);

    auto notifier = std::make_shared<PLYScriptedUserNotifier>();
    PLYUserNotifier::setShared(notifier);
    PLYUserNotifier::shared()->deliver("Published", "Your post is live.");
    ASSERT_EQ(notifier->delivered().size(), 1);
    PLYUserNotifier::setShared(nullptr);
}

TEST(Presentation, QtModalRunEndsWhenTheWindowIsDestroyed) {
    PLYQtModalRunner runner;
    auto* window = new QWidget;
    // A window that goes away without being closed (its owner deletes it) ends the run.
    QTimer::singleShot(0, [window] { delete window; });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool hung = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        runner.stopModalWithCode(PLYModalRunner::Abort);
    });
    watchdog.start(2000);
    EXPECT_EQ(runner.runModalForWindow(window), PLYModalRunner::Stop);
    EXPECT_FALSE(hung);
    EXPECT_FALSE(runner.isRunning());
}
