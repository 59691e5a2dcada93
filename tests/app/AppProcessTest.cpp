// The real executable, started offscreen in throw-away folders: how it ends under load, and what
// a second instance on the same library does.
#include "PLYPersistantStore.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// One instance of Pellory on the library under `home`, its terminal log collected.
class PelloryProcess {
public:
    explicit PelloryProcess(const QString& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(PELLORY_EXECUTABLE), {});
    }
    ~PelloryProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool waitForOutput(const QString& text, int ms = 30000) {
        return PLYTestEnvironment::waitUntil(
            [&] {
                m_output += m_process.readAll();
                return m_output.contains(text.toUtf8()) || m_process.state() == QProcess::NotRunning;
            },
            ms) &&
               output().contains(text);
    }
    QString output() {
        m_output += m_process.readAll();
        return QString::fromUtf8(m_output);
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
};

QString libraryRoot(const QString& home) { return home + QStringLiteral("/data/Pellory"); }

int renditionFolders(const QString& home) {
    return int(QDir(libraryRoot(home) + QStringLiteral("/ImageCache")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

}  // namespace

// Hundreds of renditions are queued when the quit comes: the queued ones are dropped, the running
// ones finish, the library is saved and the process is gone well inside the bound.
TEST(AppProcessTest, SigtermWithHundredsOfQueuedRenditionsSavesAndExitsZeroPromptly) {
    constexpr int kPhotos = 300;
    const QString home = PLYTestEnvironment::makeTempDirectory(QStringLiteral("process"));
    const QString photos = home + QStringLiteral("/Photos");
    ASSERT_TRUE(QDir().mkpath(photos));
    const QString first = photos + QStringLiteral("/photo0.jpg");
    ASSERT_TRUE(PLYTestImages::writePhotoJpeg(first, 3000, 2000, 7));
    for (int i = 1; i < kPhotos; ++i) ASSERT_TRUE(QFile::copy(first, photos + QStringLiteral("/photo%1.jpg").arg(i)));
    {
        const auto store = PLYPersistantStore::create(libraryRoot(home));
        store->setUp(false);
        store->startWatchingPath(photos, {});
        ASSERT_TRUE(store->save());
    }

    PelloryProcess pellory(home);
    ASSERT_TRUE(pellory.waitForOutput(QStringLiteral("the main window is up"))) << pellory.output().toStdString();
    // Work is under way: the first renditions are being written.
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return renditionFolders(home) > 0; }, 30000));

    QElapsedTimer clock;
    clock.start();
    pellory.process().terminate();
    ASSERT_TRUE(pellory.process().waitForFinished(10000)) << "still running after 10 s";
    const qint64 elapsed = clock.elapsed();
    const QString log = pellory.output();
    EXPECT_EQ(pellory.process().exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(pellory.process().exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("saving now"))) << log.toStdString();
    // Generous against a busy machine; the application's own goal is 2 s.
    EXPECT_LT(elapsed, 5000) << log.toStdString();
    // The quit really cut the queue short.
    EXPECT_LT(renditionFolders(home), kPhotos);
    RecordProperty("exit_ms", int(elapsed));
}
