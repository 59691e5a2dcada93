// Launch to a painted home gallery with 500 posts in the library. Goal: under 1 s. Each run
// starts the application as main() does (the delegate's start-up, migration, library load, the
// session's start against a service that does not answer, the main window) and stops the clock
// when the home grid has painted its first tiles (the log line the application writes then).
// Counters: "tiles" painted at that moment, "previews_ms" until their previews are decoded too.
#include "PLYBenchMain.h"

#include "AppDelegate.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYExportManager.h"
#include "PLYImageManager.h"
#include "PLYLaunchClock.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTcpServer>

namespace {

constexpr int kPosts = 500;
const QString kEmail = QStringLiteral("ada@bench.example.org");

// A library of 500 posts, each with a layout of a dozen blocks and its preview, made once.
QString library() {
    static QTemporaryDir dir;
    static bool made = false;
    if (made) return dir.path();
    made = true;
    PLYCoreManager::resetGlobalManager(dir.path());
    const auto store = PLYCoreManager::persistantStore();
    store->setUp(false);
    const auto account = store->signInUser(kEmail);
    account->setFirstName(QStringLiteral("Ada"));
    account->setLastName(QStringLiteral("Lovelace"));
    QImage preview(600, 900, QImage::Format_RGB32);
    using namespace PLYTestLayouts;
    for (int i = 0; i < kPosts; ++i) {
        const auto post = account->createNewPost(QStringLiteral("Post %1 of a long season on the coast").arg(i));
        const auto ref = [i](int k) { return QStringLiteral("%1-%2-image").arg(i).arg(k).toStdString(); };
        *post->layout() = layout(10, {section("s", {text("t", "A title", PLYTextStyle_Title), image("a", ref(0)),
                                                   container("r", false, {image("b", ref(1)), image("c", ref(2))}),
                                                   text("p", "Notes from the road, written in the evenings.", PLYTextStyle_Body),
                                                   container("q", false, {image("d", ref(3)), image("e", ref(4)), image("f", ref(5))}),
                                                   image("g", ref(6)), blank("h", 8.0f), image("i", ref(7))})});
        if (i % 3 == 0) post->setRemoteIdentifier(QString::number(1000 + i));
        post->save();
        preview.fill(QColor::fromHsv((i * 37) % 360, 90, 200));
        post->setLayoutPreview(preview);
    }
    store->save();
    PLYCoreManager::resetGlobalManager();
    return dir.path();
}

void BM_LaunchToPaintedHomeWith500Posts(benchmark::State& state) {
    const QString root = library();
    // The session looks for its service on a port where nothing answers, as when offline.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    PLYWebServiceHost::setCustomHostName(QStringLiteral("127.0.0.1"));
    PLYWebServiceHost::setCustomPort(QString::number(port));
    PLYWebServiceHost::setCustomHTTPS(false);
    PLYWebServiceHost::setCurrentHostType(QString::fromLatin1(PLYWebServiceHost::HostTypeCustom));
    PLYWebServiceHost::currentHost()->setEmail(kEmail, true);

    qint64 painted = -1;
    int tiles = 0;
    const QRegularExpression line(QStringLiteral("Home gallery painted: (\\d+) tiles"));
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& text) {
        const auto match = line.match(text);
        if (match.hasMatch() && painted < 0) {
            painted = PLYLaunchClock::elapsedMs();
            tiles = match.captured(1).toInt();
        }
    });
    double previewsMs = 0;
    qint64 posts = 0;
    for (auto _ : state) {
        painted = -1;
        PLYCoreManager::resetGlobalManager(root);
        AppDelegate::Options options;
        options.log.systemLog = false;
        options.log.terminal = false;
        options.handleTerminationSignals = false;
        options.quit = [] {};
        options.installWebService = AppDelegate::defaultOptions().installWebService;
        options.shutdownWebService = AppDelegate::defaultOptions().shutdownWebService;

        PLYLaunchClock::restart();
        auto delegate = std::make_unique<AppDelegate>(options);
        delegate->applicationWillFinishLaunching({QStringLiteral("pellory")});
        QMetaObject::invokeMethod(delegate.get(), &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
        QDeadlineTimer deadline(20000);
        while (painted < 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(double(painted) / 1000.0);
        PLYDecodedImageCache::sharedCache()->waitForIdle();
        if (const auto account = PLYCoreManager::persistantStore()->currentAccount()) posts = account->currentPosts().size();
        previewsMs += double(PLYLaunchClock::elapsedMs());

        state.PauseTiming();
        delegate.reset();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
        PLYExportManager::resetSharedManager();
        state.ResumeTiming();
    }
    PLYLog::removeObserver(token);
    state.counters["tiles"] = tiles;
    state.counters["posts"] = posts;
    state.counters["previews_ms"] = previewsMs / double(state.iterations());
    PLYCoreManager::resetGlobalManager();
}
BENCHMARK(BM_LaunchToPaintedHomeWith500Posts)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir settings;
    // A full-HD screen, so the window and its grid have their everyday size.
    QFile screens(settings.path() + QStringLiteral("/screens.json"));
    if (screens.open(QIODevice::WriteOnly))
        screens.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName()).toUtf8());
    qputenv("XDG_DATA_HOME", (settings.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (settings.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    PLYUserDefaults::resetStandardUserDefaults(settings.path() + QStringLiteral("/defaults.ini"));
    AppDelegate::registerLayerServices();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
