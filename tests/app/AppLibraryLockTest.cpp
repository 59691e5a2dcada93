// One Pellory per library, and a start that survives an unusable log folder.
#include "PLYAppTestSupport.h"

#include "PLYLibraryLock.h"
#include "PLYScriptedAlertPresenter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>

using PLYTestEnvironment::waitUntil;

namespace {
// Every file under `root` with its size and modification time.
QStringList snapshot(const QString& root) {
    QStringList out;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QFileInfo info(it.next());
        out << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}
}  // namespace

class AppLibraryLock : public AppDelegateFixture {
protected:
    void SetUp() override {
        AppDelegateFixture::SetUp();
        alerts = std::make_shared<PLYScriptedAlertPresenter>();
        PLYAlertPresenter::setShared(alerts);
    }
    void TearDown() override {
        PLYAlertPresenter::setShared(nullptr);
        AppDelegateFixture::TearDown();
    }
    QString lockPath() const { return PLYLibraryLock::lockFilePath(storeRoot); }
    std::shared_ptr<PLYScriptedAlertPresenter> alerts;
};

TEST_F(AppLibraryLock, ASecondPelloryOnTheSameLibrarySaysSoQuitsAndWritesNothing) {
    AppDelegate& first = launch();
    ASSERT_TRUE(QFileInfo::exists(lockPath()));
    first.performSave(AppDelegate::SaveReasonAutosave);
    const QStringList before = snapshot(storeRoot);

    int secondQuits = 0;
    AppDelegate::Options options = testOptions();
    options.quit = [&] { ++secondQuits; };
    {
        AppDelegate second(options);
        second.applicationWillFinishLaunching({QStringLiteral("pellory")});
        second.applicationDidFinishLaunching();
        EXPECT_TRUE(second.isRefused());
        ASSERT_TRUE(waitUntil([&] { return secondQuits == 1; }));
        ASSERT_EQ(alerts->presented().size(), 1);
        EXPECT_EQ(alerts->presented().first().messageText, QStringLiteral("Pellory Is Already Running"));
        EXPECT_TRUE(alerts->presented().first().informativeText.contains(QString::number(QCoreApplication::applicationPid())));
        EXPECT_EQ(second.baseWindowController(), nullptr);
        second.applicationWillTerminate();  // the quit it asked for
        EXPECT_EQ(snapshot(storeRoot), before) << "the second instance wrote into the library";
    }
    // The first keeps its lock and its library: the second, going, took nothing with it.
    EXPECT_TRUE(QFileInfo::exists(lockPath()));
    {
        AppDelegate third(options);
        third.applicationWillFinishLaunching({QStringLiteral("pellory")});
        EXPECT_TRUE(third.isRefused());
        third.applicationWillTerminate();
    }
    const int savesBefore = saves;
    first.performSave(AppDelegate::SaveReasonAutosave);
    EXPECT_EQ(saves, savesBefore + 1);
    EXPECT_FALSE(first.isRefused());
}

TEST_F(AppLibraryLock, ALockLeftByAProcessThatIsGoneIsTakenOver) {
    // What a crashed Pellory leaves: its lock file naming a process that has ended, and the lock
    // file earlier versions kept inside the library, in that format.
    QProcess gone;
    gone.start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(gone.waitForStarted(30000));
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(30000));
    QFile stale(lockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly) && stale.write(QByteArray::number(deadPid) + '\n') > 0);
    stale.close();
    const QString earlier = QDir(storeRoot).filePath(QStringLiteral(".pellory.lock"));
    QByteArray contents;
    {
        QLockFile probe(earlier);
        ASSERT_TRUE(probe.tryLock(0));
        QFile file(earlier);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    contents.replace(0, contents.indexOf('\n'), QByteArray::number(deadPid));
    QFile earlierStale(earlier);
    ASSERT_TRUE(earlierStale.open(QIODevice::WriteOnly) && earlierStale.write(contents) == contents.size());
    earlierStale.close();

    AppDelegate& d = launch();
    EXPECT_FALSE(d.isRefused());
    EXPECT_TRUE(alerts->presented().isEmpty());
    ASSERT_NE(d.baseWindowController(), nullptr);
    QFile file(lockPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
}

TEST_F(AppLibraryLock, AnUnusableLogFolderDoesNotStopTheStart) {
    const QString logs = PLYTestEnvironment::makeTempDirectory(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(logs + QStringLiteral("/pellory_") +
                              QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log")));
    AppDelegate::Options options = testOptions();
    options.log.fileDirectory = logs;
    AppDelegate& d = launch(options);
    EXPECT_NE(d.baseWindowController(), nullptr);
    EXPECT_FALSE(PLYLog::fileLoggingProblem().isEmpty());
    PLYLog::install(testOptions().log);
}
