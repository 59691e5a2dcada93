#include "PLYCoreManager.h"
#include "PLYExportManager.h"
#include "PLYExportPresenter.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

using namespace PLYTestLayouts;

namespace {

struct ScriptedPresenter : PLYExportPresenter {
    std::optional<int> width = 1500;
    QString folder;
    int widthQuestions = 0;
    QList<std::pair<int, int>> progress;
    std::optional<QStringList> finishedFiles;
    QString finishedError;
    QStringList refusals;

    std::optional<int> chooseExportWidth(int proposed) override {
        ++widthQuestions;
        EXPECT_EQ(proposed, PLYExportManager::kDefaultExportWidth);
        return width;
    }
    QString chooseExportFolder() override { return folder; }
    void exportProgress(int done, int total) override { progress.append({done, total}); }
    void exportFinished(const QStringList& files, const QString& error) override {
        finishedFiles = files;
        finishedError = error;
    }
    void exportRefused(const QString& message) override { refusals << message; }
};

bool near(const QColor& a, const QColor& b) {
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

class Export : public ::testing::Test {
protected:
    void SetUp() override {
        images = std::make_shared<PLYTestImageSource>();
        images->addImage("red", QSize(3000, 2000), QColor(220, 20, 20));
        images->addImage("green", QSize(1000, 1000), QColor(20, 200, 20));
        images->addImage("blue", QSize(1000, 1000), QColor(20, 20, 220));
        owner = std::make_shared<PLYTestLayoutOwner>(layout(
            20,
            {section("s1", {image("r", "red"), text("t", "Not an image"),
                            container("row", false, {image("g", "green"), image("b", "blue")})}),
             section("s2", {image("later", "red")})},
            250, 240, 0));
        manager = PLYLayoutManager::managerWithOwner(owner);
        presenter = std::make_shared<ScriptedPresenter>();
        presenter->folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("export"));
        exporter = std::make_unique<PLYExportManager>();
        exporter->setPresenter(presenter);
        exporter->setImageSource(images);
        exporter->setSourceProvider([this] { return PLYExportSource{manager, QStringLiteral("My/Story")}; });
    }
    bool waitForFinish() {
        return PLYTestEnvironment::waitUntil([this] { return presenter->finishedFiles.has_value(); });
    }
    QStringList filesInFolder() {
        return QDir(presenter->folder).entryList(QDir::Files, QDir::Name);
    }

    std::shared_ptr<PLYTestImageSource> images;
    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    std::shared_ptr<ScriptedPresenter> presenter;
    std::unique_ptr<PLYExportManager> exporter;
};

TEST_F(Export, TheVisibleLayoutGivesOneJpegPerTopLevelImageOrContainerOfTheFirstSection) {
    exporter->exportCurrentVisibleLayout();
    ASSERT_TRUE(waitForFinish());
    EXPECT_TRUE(presenter->finishedError.isEmpty());
    EXPECT_EQ(filesInFolder(), QStringList({"My_Story 1.jpg", "My_Story 2.jpg"}));
    EXPECT_EQ(presenter->progress.first(), std::make_pair(0, 2));
    EXPECT_EQ(presenter->progress.last(), std::make_pair(2, 2));
    EXPECT_FALSE(exporter->isExporting());

    QImage first(QDir(presenter->folder).filePath("My_Story 1.jpg"));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(1500, 1000));
    EXPECT_TRUE(near(first.pixelColor(750, 500), QColor(220, 20, 20)));

    // The row: green square, 20-point gap in the background colour, blue square.
    QImage row(QDir(presenter->folder).filePath("My_Story 2.jpg"));
    ASSERT_FALSE(row.isNull());
    EXPECT_EQ(row.width(), 1500);
    EXPECT_EQ(row.height(), 740);  // (1500 - 20) / 2
    EXPECT_TRUE(near(row.pixelColor(370, 370), QColor(20, 200, 20)));
    EXPECT_TRUE(near(row.pixelColor(750, 370), QColor(250, 240, 0)));
    EXPECT_TRUE(near(row.pixelColor(1130, 370), QColor(20, 20, 220)));
}

TEST_F(Export, ExportsNeverOverwriteAndTakeTheChosenWidth) {
    exporter->exportCurrentVisibleLayout();
    ASSERT_TRUE(waitForFinish());
    QFile original(QDir(presenter->folder).filePath("My_Story 1.jpg"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    presenter->finishedFiles.reset();
    presenter->width = 300;
    exporter->exportCurrentVisibleLayout();
    ASSERT_TRUE(waitForFinish());
    EXPECT_EQ(filesInFolder(),
              QStringList({"My_Story 1 2.jpg", "My_Story 1.jpg", "My_Story 2 2.jpg", "My_Story 2.jpg"}));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), before);
    EXPECT_EQ(QImage(QDir(presenter->folder).filePath("My_Story 1 2.jpg")).size(), QSize(300, 200));
}

TEST_F(Export, SelectedBlocksAreExportedOnTheirOwn) {
    manager->selectBlocks({manager->blockForRef("b"), manager->blockForRef("t")});
    exporter->exportCurrentVisibleSelectedBlocks();
    ASSERT_TRUE(waitForFinish());
    EXPECT_EQ(filesInFolder(), QStringList({"My_Story 1.jpg"}));
    QImage image(QDir(presenter->folder).filePath("My_Story 1.jpg"));
    EXPECT_EQ(image.size(), QSize(1500, 1500));
    EXPECT_TRUE(near(image.pixelColor(10, 10), QColor(20, 20, 220)));
}

TEST_F(Export, CancelledOrBadChoicesExportNothing) {
    presenter->width.reset();
    exporter->exportCurrentVisibleLayout();
    presenter->width = 40;
    exporter->exportCurrentVisibleLayout();
    presenter->width = 1500;
    presenter->folder.clear();
    exporter->exportCurrentVisibleLayout();
    presenter->folder = QStringLiteral("/nonexistent/place");
    exporter->exportCurrentVisibleLayout();
    manager->deSelectAllBlocks();
    exporter->exportCurrentVisibleSelectedBlocks();
    EXPECT_EQ(presenter->refusals.size(), 3);  // bad width, missing folder, empty selection
    EXPECT_FALSE(presenter->finishedFiles.has_value());
    EXPECT_FALSE(exporter->isExporting());
}

// A block that cannot be rendered at the chosen width is never passed over in silence: the
// others are written and the user is told which image was not, and why.
TEST_F(Export, EveryImageNotWrittenIsAnErrorTheUserSeesAndTheOthersAreStillWritten) {
    ASSERT_TRUE(manager->setAspectRatio("r", PLYLayoutManager::MinimumAspectRatio));  // very tall
    presenter->width = PLYExportManager::kMaximumExportWidth;
    exporter->exportCurrentVisibleLayout();
    ASSERT_TRUE(waitForFinish());
    EXPECT_EQ(filesInFolder(), QStringList({"My_Story 2.jpg"}));
    ASSERT_EQ(presenter->finishedFiles->size(), 1);
    EXPECT_TRUE(presenter->finishedError.contains(QStringLiteral("Image 1 of 2 was not exported"))) << presenter->finishedError.toStdString();
    EXPECT_TRUE(presenter->finishedError.contains(QStringLiteral("too large"))) << presenter->finishedError.toStdString();
    EXPECT_EQ(presenter->progress.last(), std::make_pair(2, 2));

    // Once shut down (quit), nothing more is taken.
    exporter->shutdown();
    const int questions = presenter->widthQuestions;
    exporter->exportCurrentVisibleLayout();
    EXPECT_EQ(presenter->widthQuestions, questions);
    const QString accountFolder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("account"));
    EXPECT_FALSE(exporter->createPostPreview(PLYPersistantPost::create(QStringLiteral("Story"), accountFolder, {})));
}

TEST_F(Export, NamesAreClaimedSoNoFileIsEverReplaced) {
    const QString dir = PLYTestEnvironment::makeTempDirectory(QStringLiteral("unique"));
    EXPECT_EQ(PLYExportManager::reserveFilePath(dir, "a", "jpg"), QDir(dir).filePath("a.jpg"));
    // The first name is now taken by our own reservation.
    EXPECT_EQ(PLYExportManager::reserveFilePath(dir, "a", "jpg"), QDir(dir).filePath("a 2.jpg"));
    QFile other(QDir(dir).filePath("a 3.jpg"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("someone else's");
    other.close();
    EXPECT_EQ(PLYExportManager::reserveFilePath(dir, "a", "jpg"), QDir(dir).filePath("a 4.jpg"));
    QFile kept(QDir(dir).filePath("a 3.jpg"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("someone else's"));

    QString error;
    EXPECT_TRUE(PLYExportManager::reserveFilePath(QDir(dir).filePath("missing"), "a", "jpg", &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(Export, ALongNameOfThreeByteCharactersIsCutToWhatAFileNameMayTake) {
    // 120 characters of three bytes each: 360 bytes, over the 255 a file name may take.
    const QString name = QString(120, QChar(0x5C71));
    exporter->setSourceProvider([this, name] { return PLYExportSource{manager, name}; });
    exporter->exportCurrentVisibleLayout();
    ASSERT_TRUE(waitForFinish());
    EXPECT_TRUE(presenter->finishedError.isEmpty()) << presenter->finishedError.toStdString();
    const QStringList files = filesInFolder();
    ASSERT_EQ(files.size(), 2);
    for (const QString& file : files) {
        EXPECT_LE(QFile::encodeName(file).size(), 255) << file.toStdString();
        EXPECT_TRUE(file.startsWith(QString(40, QChar(0x5C71)))) << "the name is cut, not replaced";
        EXPECT_FALSE(file.contains(QChar::ReplacementCharacter)) << "no character is split";
    }
    EXPECT_TRUE(files.at(0).endsWith(QStringLiteral(" 1.jpg")));
    EXPECT_TRUE(files.at(1).endsWith(QStringLiteral(" 2.jpg")));

    // A claimed name of the full length still leaves room for the number that makes it unique.
    const QString dir = PLYTestEnvironment::makeTempDirectory(QStringLiteral("long"));
    const QString first = PLYExportManager::reserveFilePath(dir, name, "jpg");
    const QString second = PLYExportManager::reserveFilePath(dir, name, "jpg");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_LE(QFile::encodeName(QFileInfo(second).fileName()).size(), 255);
    EXPECT_TRUE(second.endsWith(QStringLiteral(" 2.jpg")));
}

TEST_F(Export, APostPreviewIsWrittenInTheBackgroundAndAnnounced) {
    const QString accountFolder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("account"));
    std::shared_ptr<PLYPersistantPost> post = PLYPersistantPost::create(QStringLiteral("Story"), accountFolder, {});
    ASSERT_TRUE(post);
    *post->layout() = *manager->representedLayout();
    void* announced = nullptr;
    PLYObserverBag observers;
    observers.add(PLYPersistantPost::PreviewCreatedNotification, nullptr,
                  [&](const PLYNotification& n) { announced = n.object; });
    ASSERT_TRUE(exporter->createPostPreview(post));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return announced != nullptr; }));
    EXPECT_EQ(announced, post.get());
    const QImage preview(QDir(post->folderPath()).filePath("preview.jpg"));
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.width(), PLYExportManager::kPreviewWidth);
    EXPECT_TRUE(near(preview.pixelColor(300, 100), QColor(220, 20, 20)));

    // Saving an unchanged layout renders nothing; a changed one renders again.
    EXPECT_FALSE(exporter->createPostPreview(post));
    post->layout()->set_padding(40);
    announced = nullptr;
    EXPECT_TRUE(exporter->createPostPreview(post));
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return announced != nullptr; }));
}

TEST_F(Export, AfterARestartOnlyPostsChangedSinceTheirPreviewAreRendered) {
    const QString accountFolder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("account"));
    std::shared_ptr<PLYPersistantPost> post = PLYPersistantPost::create(QStringLiteral("Story"), accountFolder, {});
    ASSERT_TRUE(post);
    *post->layout() = *manager->representedLayout();
    ASSERT_TRUE(post->save());
    bool announced = false;
    PLYObserverBag observers;
    observers.add(PLYPersistantPost::PreviewCreatedNotification, nullptr,
                  [&](const PLYNotification&) { announced = true; });
    ASSERT_TRUE(exporter->createPostPreview(post));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return announced; }));

    // A new run knows no hashes: the preview on disk is newer than the layout file, so it stays.
    PLYExportManager restarted;
    EXPECT_FALSE(restarted.createPostPreview(post));

    // A layout saved after the preview is rendered again.
    QThread::msleep(20);
    post->layout()->set_padding(33);
    ASSERT_TRUE(post->save());
    PLYExportManager restartedAgain;
    announced = false;
    EXPECT_TRUE(restartedAgain.createPostPreview(post));
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return announced; }));
}

TEST_F(Export, ThePostBeingEditedIsWhatTheCoreManagerCallsCurrent) {
    PLYExportManager fresh;
    auto scripted = std::make_shared<ScriptedPresenter>();
    fresh.setPresenter(scripted);
    // No post open: the user is told, nothing is asked.
    fresh.exportCurrentVisibleLayout();
    EXPECT_EQ(scripted->refusals.size(), 1);
    EXPECT_EQ(scripted->widthQuestions, 0);
    // The core manager hands out the export manager only once the export side registered it.
    PLYCoreManager::setExportManagerProvider({});
    EXPECT_EQ(PLYCoreManager::exportManager(), nullptr);
    PLYExportManager::install();
    PLYExportManager::install();
    EXPECT_EQ(PLYCoreManager::exportManager(), PLYExportManager::sharedManager());
}

}  // namespace
