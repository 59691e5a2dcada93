// The real executable, started offscreen in throw-away folders, quit under load.
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestMount.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
// The real executable, offscreen, with its data, settings and caches under `home` (its data
// folder, which holds the library, in `data` when given); the terminal's lines and Qt's messages
// come merged on its output.
void startPellory(QProcess& pellory, const QString& home, const QString& data = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* folder : {"DATA", "CONFIG", "CACHE"})
        env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(folder)), home + QLatin1Char('/') + QString::fromLatin1(folder).toLower());
    if (!data.isEmpty()) env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    pellory.setProcessEnvironment(env);
    pellory.setProcessChannelMode(QProcess::MergedChannels);
    pellory.start(QStringLiteral(PELLORY_EXECUTABLE), {});
}

// Reads the output until the start either came up or was refused; answers everything read.
QByteArray untilUpOrRefused(QProcess& pellory) {
    QByteArray out;
    PLYTestEnvironment::waitUntil([&] {
        out += pellory.readAll();
        return out.contains("main window is up") || out.contains("Not starting") || pellory.state() == QProcess::NotRunning;
    }, 30000);
    return out;
}

// A refused instance waits on its alert (no one clicks offscreen): it is killed once it said why.
void killRefused(QProcess& pellory) {
    pellory.kill();
    pellory.waitForFinished(30000);
}

// Quits through SIGTERM, as a session ending does; answers whether it saved and exited cleanly.
bool quitCleanly(QProcess& pellory) {
    pellory.terminate();
    const bool ended = pellory.waitForFinished(30000);
    if (!ended) pellory.kill();
    return ended && pellory.exitStatus() == QProcess::NormalExit && pellory.exitCode() == 0;
}

// Every file and folder under `root` with its size.
QStringList listing(const QString& root) {
    QStringList out;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();) {
        const QFileInfo info(it.next());
        out << QStringLiteral("%1 %2").arg(info.filePath()).arg(info.isDir() ? -1 : info.size());
    }
    out.sort();
    return out;
}
}  // namespace

// The library's folder deleted under a running Pellory does not let a second one in; the first
// quitting leaves the next one its lock, which a fourth then finds held.
TEST(AppProcessTest, ASecondPelloryIsRefusedWhileOneRunsEvenWhenTheLibraryFolderIsDeleted) {
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("twice"));
    QProcess first;
    startPellory(first, home);
    QByteArray out = untilUpOrRefused(first);
    ASSERT_TRUE(out.contains("main window is up")) << out.toStdString();

    ASSERT_TRUE(QDir(home + QStringLiteral("/data/Pellory")).removeRecursively());
    QProcess second;
    startPellory(second, home);
    out = untilUpOrRefused(second);
    killRefused(second);
    EXPECT_TRUE(out.contains("Not starting")) << "a second Pellory came up on the same library:\n" << out.toStdString();
    EXPECT_FALSE(out.contains("main window is up"));

    ASSERT_TRUE(quitCleanly(first));
    QProcess third;
    startPellory(third, home);
    out = untilUpOrRefused(third);
    ASSERT_TRUE(out.contains("main window is up")) << "the lock outlived its holder:\n" << out.toStdString();

    QProcess fourth;
    startPellory(fourth, home);
    out = untilUpOrRefused(fourth);
    killRefused(fourth);
    EXPECT_TRUE(out.contains("Not starting")) << "the third lost its lock:\n" << out.toStdString();
    EXPECT_TRUE(quitCleanly(third));
}

// A full disk does not cost the lock: the second Pellory on it is refused.
TEST(AppProcessTest, OnAFullDiskASecondPelloryIsStillRefused) {
    PLYTestMount disk(16 * 1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << disk.problem().toStdString();
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("fulltwice"));
    ASSERT_FALSE(disk.fill().isEmpty());
    QProcess first;
    startPellory(first, home, disk.path());
    QByteArray out = untilUpOrRefused(first);
    ASSERT_TRUE(out.contains("main window is up")) << out.toStdString();

    QProcess second;
    startPellory(second, home, disk.path());
    out = untilUpOrRefused(second);
    killRefused(second);
    EXPECT_TRUE(out.contains("Not starting")) << "a second Pellory came up on the same library:\n" << out.toStdString();
    EXPECT_TRUE(quitCleanly(first));
}

// Where no lock can be had at all (not one more file fits), Pellory says why and leaves the
// library as it is rather than work on it unguarded.
TEST(AppProcessTest, WithNoLockPossiblePelloryRefusesToStartAndSaysWhy) {
    PLYTestMount disk(16 * 1024 * 1024, 64);
    if (!disk.isMounted()) GTEST_SKIP() << disk.problem().toStdString();
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("nolock"));
    ASSERT_TRUE(QDir().mkpath(disk.path() + QStringLiteral("/Pellory")));
    ASSERT_TRUE(disk.fillWithFiles());
    const QStringList before = listing(disk.path());

    QProcess pellory;
    startPellory(pellory, home, disk.path());
    const QByteArray out = untilUpOrRefused(pellory);
    const QStringList after = listing(disk.path());
    killRefused(pellory);
    EXPECT_TRUE(out.contains("Not starting")) << out.toStdString();
    EXPECT_TRUE(out.contains("No space left on device")) << "the refusal does not say why:\n" << out.toStdString();
    EXPECT_FALSE(out.contains("main window is up"));
    EXPECT_EQ(after, before) << "the library was written without a lock";
}

// Hundreds of renditions are queued when SIGTERM comes: the queue is dropped, the running ones
// finish, the library is saved and the process ends by itself. How fast is measured by
// bench_image_cache (BM_ShutdownWithQueuedRenditions), not here: a loaded machine would make
// any bound here fail by chance.
TEST(AppProcessTest, SigtermWithHundredsOfQueuedRenditionsSavesAndExitsZeroPromptly) {
    constexpr int kPhotos = 300;
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("process"));
    const QString library = home + QStringLiteral("/data/Pellory");
    const QString photos = home + QStringLiteral("/Photos");
    ASSERT_TRUE(QDir().mkpath(photos));
    ASSERT_TRUE(PLYTestImages::writePhotoJpeg(photos + QStringLiteral("/photo0.jpg"), 3000, 2000, 7));
    for (int i = 1; i < kPhotos; ++i)
        ASSERT_TRUE(QFile::copy(photos + QStringLiteral("/photo0.jpg"), photos + QStringLiteral("/photo%1.jpg").arg(i)));
    {
        const auto store = PLYPersistantStore::create(library);
        store->setUp(false);
        const auto location = store->startWatchingPath(photos, {});
        ASSERT_TRUE(location);
        // Only locations that a post uses are watched at start.
        const auto post = store->signInUser(QStringLiteral("load@example.org"))->createNewPost(QStringLiteral("Load"));
        post->addSourceLocation(location->identifier());
        ASSERT_TRUE(store->save());
    }
    const auto renditions = [&] {
        return QDir(library + QStringLiteral("/ImageCache")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    };

    QProcess pellory;
    startPellory(pellory, home);
    QByteArray log;
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return (log += pellory.readAll()).contains("main window is up"); }, 30000))
        << log.toStdString();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return renditions() > 0; }, 30000));

    QElapsedTimer clock;
    clock.start();
    pellory.terminate();
    // The limit only ends a run that has already failed (a quit that never ends); a quit that
    // waited for the whole queue shows in the count of renditions below.
    const bool ended = pellory.waitForFinished(90000);
    const qint64 elapsed = clock.elapsed();
    log += pellory.readAll();
    if (!ended) pellory.kill();
    ASSERT_TRUE(ended) << "still running 90 s after SIGTERM";
    EXPECT_EQ(pellory.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(pellory.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("saving now")) << log.toStdString();
    EXPECT_LT(renditions(), kPhotos) << "the quit did not cut the queue short";
    RecordProperty("exit_ms", int(elapsed));
}

// A process killed outright (as a crash ends it) leaves its log file whole: every line it had
// written to the terminal before the kill is in the file, the last one included.
TEST(AppProcessTest, AKilledProcessLeavesEveryLogLineItWroteInTheFile) {
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("killed"));
    QProcess pellory;
    startPellory(pellory, home);
    QByteArray terminal;
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return (terminal += pellory.readAll()).contains("main window is up"); }, 30000))
        << terminal.toStdString();
    pellory.kill();
    ASSERT_TRUE(pellory.waitForFinished(30000));
    ASSERT_EQ(pellory.exitStatus(), QProcess::CrashExit);

    QByteArray file;
    const QDir logs(home + QStringLiteral("/data/Pellory/logs"));
    for (const QString& name : logs.entryList({QStringLiteral("*.log")}, QDir::Files)) {
        QFile f(logs.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        file += f.readAll();
    }
    ASSERT_FALSE(file.isEmpty()) << "no log line on disk in " << logs.path().toStdString();
    int compared = 0;
    for (const QByteArray& line : terminal.split('\n')) {
        // The logger's own lines (Qt's messages go to the terminal only).
        if (!(line.contains("[info]") || line.contains("[warning]") || line.contains("[error]")) || !line.contains(" | "))
            continue;
        ++compared;
        EXPECT_TRUE(file.contains(line)) << "missing from the file after the kill: " << line.toStdString();
    }
    EXPECT_GE(compared, 1) << terminal.toStdString();
    EXPECT_TRUE(file.contains("main window is up")) << "the last line before the kill is lost";
}
