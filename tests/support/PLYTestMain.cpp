// Shared main of every test executable: an offscreen QApplication, and defaults, data folder,
// keychain and logs pointed at a temporary root so that no test touches the user's files.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "AppDelegate.h"
#include "PLYLog.h"
#include "PLYUserDefaults.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/pellory-test-XXXXXX"));
    root.setAutoRemove(qEnvironmentVariable("PELLORY_KEEP_TEST_FILES") != QLatin1String("1"));
    const QString r = root.path();
    qputenv("PELLORY_TEST_ROOT", r.toUtf8());
    qputenv("XDG_DATA_HOME", (r + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (r + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (r + QStringLiteral("/cache")).toUtf8());
    QDir().mkpath(r + QStringLiteral("/data"));
    QDir().mkpath(r + QStringLiteral("/config"));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    QApplication::setOrganizationName(QStringLiteral("Pellory"));

    PLYUserDefaults::resetStandardUserDefaults(r + QStringLiteral("/defaults.ini"));
    PLYLog::Options logOptions;
    logOptions.systemLog = false;
    logOptions.terminal = qEnvironmentVariable("PELLORY_TEST_LOG") == QLatin1String("1");
    logOptions.fileDirectory = r + QStringLiteral("/logs");
    PLYLog::install(logOptions);
    // The registrations the application makes at start-up, so that lower layers work as they do there.
    AppDelegate::registerLayerServices();

    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // As at the application's quit, the background workers (metadata reader, image cache,
    // export) stop while the application object still exists: a read still running on its
    // thread while the application and the statics go crashes the process at exit.
    AppDelegate::stopBackgroundWork();
    AppDelegate::releaseSharedServices();
    return rc;
}
