// The export's progress window over a real window: it is window-modal, so each setValue runs the
// event loop, where the export's queued progress and its end arrive.
#include "PLYExportManager.h"
#include "PLYExportPresenter_Dialogs.h"
#include "PLYLayoutManager.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <QPointer>
#include <QProgressDialog>
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

}  // namespace

// An end queued behind progress updates arrives inside the dialog's own setValue: the dialog
// is closed then but deleted only after that call returned, and nothing of the ended export
// reaches the presenter afterwards.
TEST(ExportProgress, AnEndArrivingInsideTheDialogsOwnUpdateNeverDeletesItThere) {
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
