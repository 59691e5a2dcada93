// The export's progress window over a real window: it is window-modal, so each setValue runs the
// event loop, where the export's queued progress and its end arrive.
#include "PLYAlertPresenter.h"
#include "PLYExportManager.h"
#include "PLYExportPresenter_Dialogs.h"
#include "PLYFileDialogs.h"
#include "PLYLayoutManager.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYScriptedUserNotifier.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace PLYTestLayouts;

namespace {

// The real dialogs, watched: how deep in its own progress calls the presenter is when a
// progress dialog is deleted, and what reaches it after the export's end. Once the export shows
// its dialog (progress 1), it waits until the whole export is queued behind that call, so the
// next progress call meets the rest, end included, inside its setValue.
struct WatchedDialogs : PLYExportPresenter {
    explicit WatchedDialogs(QWidget* window) : dialogs(window), window(window) {}

    std::optional<int> chooseExportWidth(int) override { return 300; }
    QString chooseExportFolder() override { return folder; }
    void exportProgress(int done, int total) override {
        if (ended) ++progressAfterEnd;
        if (done == 1 && exporter) exporter->waitForExportWork();
        ++depth;
        dialogs.exportProgress(done, total);
        --depth;
        for (QProgressDialog* dialog : window->findChildren<QProgressDialog*>()) {
            if (watched.contains(dialog)) continue;
            watched << dialog;
            QObject::connect(dialog, &QObject::destroyed, [this] {
                ++dialogsDeleted;
                if (depth > 0) ++deletedInsideItsOwnCall;
            });
        }
    }
    void exportFinished(const QStringList& files, const QString& error) override {
        ended = true;
        written += int(files.size());
        dialogs.exportFinished(files, error);
    }

    PLYExportPresenter_Dialogs dialogs;
    QWidget* window;
    PLYExportManager* exporter = nullptr;
    QString folder;
    QList<QPointer<QProgressDialog>> watched;
    int depth = 0;
    bool ended = false;
    int written = 0;
    int dialogsDeleted = 0;
    int deletedInsideItsOwnCall = 0;
    int progressAfterEnd = 0;
};

// The desktop's notifications, recorded instead of shown (an export that ends well sends one).
struct RecordedNotifications {
    RecordedNotifications() { PLYUserNotifier::setShared(notifier); }
    ~RecordedNotifications() { PLYUserNotifier::setShared(nullptr); }
    std::shared_ptr<PLYScriptedUserNotifier> notifier = std::make_shared<PLYScriptedUserNotifier>();
};

}  // namespace

// An end queued behind progress updates arrives inside the dialog's own setValue: the dialog
// is closed then but deleted only after that call returned, and nothing of the ended export
// reaches the presenter afterwards.
TEST(ExportProgress, AnEndArrivingInsideTheDialogsOwnUpdateNeverDeletesItThere) {
    RecordedNotifications notifications;
    auto images = std::make_shared<PLYTestImageSource>();
    images->addImage("red", QSize(300, 200), QColor(220, 20, 20));
    auto owner = std::make_shared<PLYTestLayoutOwner>(
        layout(10, {section("s", {image("a", "red"), image("b", "red"), image("c", "red"), image("d", "red"),
                                  image("e", "red"), image("f", "red")})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    QWidget window;
    window.resize(600, 400);
    window.show();
    auto presenter = std::make_shared<WatchedDialogs>(&window);
    PLYExportManager exporter;
    presenter->exporter = &exporter;
    exporter.setPresenter(presenter);
    exporter.setImageSource(images);
    exporter.setSourceProvider([manager] { return PLYExportSource{manager, QStringLiteral("Story")}; });

    for (int round = 0; round < 10; ++round) {
        presenter->folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("progress"));
        presenter->ended = false;
        exporter.exportCurrentVisibleLayout();
        ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return presenter->ended; }, 20000)) << "round " << round;
        ASSERT_TRUE(PLYTestEnvironment::waitUntil(
            [&] { return presenter->dialogsDeleted == int(presenter->watched.size()); }, 20000))
            << "round " << round << ": the dialog goes once its calls have returned";
        EXPECT_EQ(presenter->deletedInsideItsOwnCall, 0) << "round " << round;
        EXPECT_EQ(presenter->progressAfterEnd, 0) << "round " << round;
        EXPECT_FALSE(exporter.isExporting());
    }
    EXPECT_EQ(presenter->written, 60);
    EXPECT_EQ(presenter->watched.size(), 10) << "one dialog per export";
}

// Progress that comes after the end (an update queued by the export that just ended) opens no
// new dialog; the next export's start does.
TEST(ExportProgress, ProgressAfterTheEndOpensNoDialog) {
    RecordedNotifications notifications;
    QWidget window;
    window.show();
    PLYExportPresenter_Dialogs dialogs(&window);
    auto shown = [&] {
        int visible = 0;
        for (QProgressDialog* dialog : window.findChildren<QProgressDialog*>()) visible += dialog->isVisible() ? 1 : 0;
        return visible;
    };
    dialogs.exportProgress(0, 3);
    dialogs.exportProgress(1, 3);
    EXPECT_EQ(shown(), 1);
    dialogs.exportFinished({"a.jpg"}, QString());
    EXPECT_EQ(shown(), 0) << "the end closes the dialog at once";
    dialogs.exportProgress(2, 3);
    EXPECT_EQ(shown(), 0);
    // Outside any event loop here: the deletion it left is carried out by hand.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<QProgressDialog*>().isEmpty());
    dialogs.exportProgress(0, 2);
    dialogs.exportProgress(1, 2);
    EXPECT_EQ(shown(), 1) << "a new export shows its own";
    dialogs.exportFinished({}, QString());
}

// An export that went well says where the files went: as a desktop notification, or in the
// window where the desktop shows none. The width is answered in its real prompt, with Return.
TEST(ExportProgress, AFinishedExportSaysWhereTheFilesWent) {
    auto images = std::make_shared<PLYTestImageSource>();
    images->addImage("red", QSize(300, 200), QColor(220, 20, 20));
    auto owner = std::make_shared<PLYTestLayoutOwner>(layout(10, {section("s", {image("a", "red"), image("b", "red")})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    QWidget window;
    window.resize(600, 400);
    window.show();
    auto dialogs = std::make_shared<PLYScriptedFileDialogs>();
    PLYFileDialogs::setShared(dialogs);
    auto alerts = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(alerts);
    RecordedNotifications notifications;
    const auto notifier = notifications.notifier;
    PLYExportManager exporter;
    exporter.setPresenter(std::make_shared<PLYExportPresenter_Dialogs>(&window));
    exporter.setImageSource(images);
    exporter.setSourceProvider([manager] { return PLYExportSource{manager, QStringLiteral("Story")}; });
    // The user accepts the proposed width with Return whenever the prompt is up.
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [] {
        if (auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
            QTest::keyClick(prompt->focusWidget() ? prompt->focusWidget() : prompt, Qt::Key_Return);
    });
    user.start();
    int finished = 0;
    QObject::connect(&exporter, &PLYExportManager::exportFinished, [&] { ++finished; });

    // A desktop that shows notifications: one says how many went where.
    const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("exported"));
    dialogs->scriptFolder(folder);
    exporter.exportCurrentVisibleLayout();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return finished == 1; }, 20000));
    ASSERT_EQ(notifier->notifications().size(), 1);
    const PLYUserNotification note = notifier->notifications().first();
    EXPECT_EQ(note.title, "Pellory");
    EXPECT_FALSE(note.subtitle.isEmpty());
    EXPECT_TRUE(note.informativeText.contains(QDir::toNativeSeparators(folder))) << note.informativeText.toStdString();
    EXPECT_TRUE(note.informativeText.contains("2")) << note.informativeText.toStdString();
    EXPECT_TRUE(alerts->presented().isEmpty()) << "said once";

    // No notifications on this desktop: the window says it.
    notifier->setShowsMessages(false);
    const QString second = PLYTestEnvironment::makeTempDirectory(QStringLiteral("exported"));
    dialogs->scriptFolder(second);
    exporter.exportCurrentVisibleLayout();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return finished == 2; }, 20000));
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_TRUE(alerts->presented().first().informativeText.contains(QDir::toNativeSeparators(second)));
    EXPECT_EQ(QDir(second).entryList(QDir::Files).size(), 2);

    user.stop();
    PLYAlertPresenter::setShared(nullptr);
    PLYFileDialogs::setShared(nullptr);
}
