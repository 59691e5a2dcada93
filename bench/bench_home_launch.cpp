// Launch to a painted home gallery. Goal: under 0.4 s with 2,000 posts, and a first paint that
// does not grow with the posts below the fold.
//
// BM_LaunchToPaintedHome/N starts the application in this process as main() does (the
// delegate's start-up, migration, library load, the session's start against a service that does
// not answer, the main window) with N posts, and stops the clock when the home grid has painted
// its first tiles (the log line the application writes then). Counters: "tiles" painted at that
// moment, "previews_ms" until their previews are decoded too; "watched_ms" until the library is
// read whole and every folder a post uses is watched and scanned, and "longest_hold_ms" the
// longest the event loop was held meanwhile (the worst wait of a click); "images" known to the
// store's locations then.
//
// BM_ProcessLaunchToPaintedHome/N runs the application program itself on the same library, from
// the start of the process to its "Home gallery painted" log line: loading the program and its
// libraries, the platform and fonts included. The program finds its signed-in user's e-mail in
// the keyring: run the benchmark under scripts/with-test-keyring, or this figure is skipped.
//
// The library is a real one's: every post watches its own folder of 24 photos, and its location
// file lists them with what their first scan read (sizes, ratings, file identities); the image
// cache holds their renditions, so a launch finds nothing to decode. Every post has a layout of a
// dozen blocks showing photos of its folder and a photo-like 600 x 900 preview (grain and detail
// that decode as a real photo's do).
#include "PLYBenchMain.h"
#include "PLYBenchPhotos.h"

#include "AppDelegate.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDefaults.h"
#include "PLYExportManager.h"
#include "PLYImageManager.h"
#include "PLYLaunchClock.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYRecentContainer.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const QString kEmail = QStringLiteral("ada@bench.example.org");

QTemporaryDir& settings() {
    static QTemporaryDir dir;
    return dir;
}

// The data folder (XDG_DATA_HOME) of a library of `posts` posts; the library is in its "Pellory".
QString dataHome(int posts) { return settings().filePath(QStringLiteral("data-%1").arg(posts)); }
QString libraryRoot(int posts) { return QDir(dataHome(posts)).filePath(QStringLiteral("Pellory")); }

// A port where nothing answers: the session looks for its service there, as when offline.
quint16 closedPort() {
    static quint16 port = [] {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 p = closed.serverPort();
        closed.close();
        return p;
    }();
    return port;
}

// The settings of the signed-in user, offline, in the defaults in use.
void rememberOfflineUser() {
    PLYWebServiceHost::setCustomHostName(QStringLiteral("127.0.0.1"));
    PLYWebServiceHost::setCustomPort(QString::number(closedPort()));
    PLYWebServiceHost::setCustomHTTPS(false);
    PLYWebServiceHost::setCurrentHostType(QString::fromLatin1(PLYWebServiceHost::HostTypeCustom));
    PLYWebServiceHost::currentHost()->setEmail(kEmail, true);
}

constexpr int kPhotosPerPost = 24;
// How many new posts watch their folders at once while the library is made: each watch holds
// an inotify instance, of which a user has few (128 by default).
constexpr int kPostsPerBatch = 32;

// A library of `posts` posts, made once, as the application makes it. Each post watches its own
// folder of 24 photos (hard links to a few photo-like JPEGs); its location file lists them with
// their metadata read, and the image cache holds their renditions, as after a first scan. Each
// post has a layout of a dozen blocks showing photos of its folder, and its preview.
QString library(int posts) {
    static QMap<int, QString> made;
    if (made.contains(posts)) return made.value(posts);
    QElapsedTimer setUpClock;
    setUpClock.start();
    const QString root = libraryRoot(posts);
    made.insert(posts, root);
    // A few photo-like previews, shared by the posts through hard links (copies where there are none).
    QStringList previews;
    for (int i = 0; i < 8; ++i) {
        previews << settings().filePath(QStringLiteral("preview-%1.jpg").arg(i));
        if (!QFileInfo::exists(previews.last()))
            PLYTestImages::writePhotoJpeg(previews.last(), 600, 900, i + 1, PLYImageManager::JpegQuality);
    }
    // A handful of photos, and their renditions.
    const QList<PLYBenchPhoto> photos = plyBenchPhotos(settings().path(), 6, [](const QString& path, int i) {
        return PLYTestImages::writePhotoJpeg(path, 1500, i % 2 ? 1000 : 2250, i + 11);
    });
    // The renditions are linked in below rather than decoded 24 times per post.
    PLYImageManager::shutdownSharedManager();
    PLYCoreManager::resetGlobalManager(root);
    const auto store = PLYCoreManager::persistantStore();
    store->setUp(false);
    const auto account = store->signInUser(kEmail);
    account->setFirstName(QStringLiteral("Ada"));
    account->setLastName(QStringLiteral("Lovelace"));
    const QString cache = QDir(root).filePath(QStringLiteral("ImageCache"));
    QDir().mkpath(cache);
    using namespace PLYTestLayouts;
    QHash<QString, int> photoOf;  // the photo each file of the folders is a link to
    for (int first = 0; first < posts; first += kPostsPerBatch) {
        QList<std::pair<int, std::shared_ptr<PLYPersistantPost>>> batch;
        for (int i = first; i < std::min(posts, first + kPostsPerBatch); ++i) {
            const QDir folder(settings().filePath(QStringLiteral("photos-%1/post-%2").arg(posts).arg(i)));
            plyBenchLinkPhotoFolder(folder, kPhotosPerPost, photos, i, photoOf);
            // The new-post road: a new location over the folder, the post's source, then its watch.
            const auto post = account->createNewPost(QStringLiteral("Post %1 of a long season on the coast").arg(i));
            const auto location = store->startWatchingPath(folder.path(), PLYRecentContainer::bookmarkDataForPath(folder.path()));
            location->setFolderLocation(true);
            post->addSourceLocation(location->identifier());
            // Each folder is new to the library, so the image identifiers that the other locations
            // know by path (gathered from every image of the library for each new location) would
            // find none of its files: not asking keeps the set-up linear in the posts.
            location->setKnownIdentifiersProvider({});
            location->startWatching();
            batch.append({i, post});
        }
        // Each location scans its folder and reads its photos' metadata, then saves its file.
        const auto scanned = [&batch] {
            for (const auto& entry : std::as_const(batch)) {
                const auto location = entry.second->mainSourceDirectory();
                if (!location || location->state() != PLYSourceDirectory::Ready) return false;
            }
            return true;
        };
        QDeadlineTimer deadline(120000);
        while (!scanned() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!scanned()) qFatal("The benchmark library's folders were not scanned within 120 s");
        for (const auto& [i, post] : std::as_const(batch)) {
            const auto location = post->mainSourceDirectory();
            location->stopWatching();
            const auto& images = location->imageList();
            if (images.size() != kPhotosPerPost) qFatal("A benchmark folder holds %d photos, not %d", int(images.size()), kPhotosPerPost);
            for (const auto& image : images) {
                const QDir at(QDir(cache).filePath(image->identifier()));
                if (!plyBenchLinkRenditions(photos.at(photoOf.value(image->path())), at.filePath(QStringLiteral("preview.jpg")),
                                            at.filePath(QStringLiteral("export.jpg"))))
                    qFatal("Could not put the renditions of %s in the image cache", qPrintable(image->path()));
            }
            const auto ref = [&images](int k) { return images.at(k)->identifier().toStdString(); };
            *post->layout() = layout(10, {section("s", {text("t", "A title", PLYTextStyle_Title), image("a", ref(0)),
                                                       container("r", false, {image("b", ref(1)), image("c", ref(2))}),
                                                       text("p", "Notes from the road, written in the evenings.", PLYTextStyle_Body),
                                                       container("q", false, {image("d", ref(3)), image("e", ref(4)), image("f", ref(5))}),
                                                       image("g", ref(6)), blank("h", 8.0f), image("i", ref(7))})});
            if (i % 3 == 0) post->setRemoteIdentifier(QString::number(1000 + i));
            post->save();
            if (!plyBenchLinkFile(previews.at(i % previews.size()), PLYPersistantPost::previewPathForFolder(post->folderPath())))
                qFatal("Could not give a benchmark post its preview");
        }
    }
    PLYError error;
    if (!store->save(&error)) qFatal("Could not save the benchmark library: %s", qPrintable(error.toString()));
    PLYCoreManager::resetGlobalManager();
    PLYImageManager::resetSharedManager();
    fprintf(stderr, "Made a library of %d posts watching %d photos each in %.1f s\n", posts, kPhotosPerPost,
            double(setUpClock.elapsed()) / 1000.0);
    return root;
}

void BM_LaunchToPaintedHome(benchmark::State& state) {
    const int count = int(state.range(0));
    const QString root = library(count);
    rememberOfflineUser();
    // The image cache is found under the data folder, as the program finds it beside its library.
    const QByteArray dataFolder = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome(count).toUtf8());

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
    double settledMs = 0;
    double longestHoldMs = 0;
    qint64 posts = 0;
    qint64 images = 0;
    for (auto _ : state) {
        painted = -1;
        PLYCoreManager::resetGlobalManager(root);
        // What the last launch left queued (its library's deferred deletions) is not this one's.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
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
        if (painted < 0) {
            state.SkipWithError("the home gallery was not painted within 20 s");
            break;
        }
        state.SetIterationTime(double(painted) / 1000.0);
        PLYDecodedImageCache::sharedCache()->waitForIdle();
        previewsMs += double(PLYLaunchClock::elapsedMs());

        // Behind the painted home: the posts and locations are read, then every folder a post uses
        // is watched and scanned. Until that is done, the longest time the event loop was held
        // (what a click or a redraw would wait for) and the time it all took.
        state.PauseTiming();
        const auto store = PLYCoreManager::persistantStore();
        qint64 longestHold = 0;
        QElapsedTimer sinceTurn;
        sinceTurn.start();
        QTimer turns;
        turns.setInterval(0);
        QObject::connect(&turns, &QTimer::timeout, [&] { longestHold = std::max(longestHold, sinceTurn.restart()); });
        turns.start();
        const auto settled = [&store] {
            if (store->isLoading()) return false;
            const QSet<QString> used = store->locationsInUse();
            for (const auto& location : store->sourceLocations())
                if (used.contains(location->identifier()) &&
                    (!location->isWatching() || location->state() == PLYSourceDirectory::Scanning))
                    return false;
            return true;
        };
        QDeadlineTimer settling(120000);
        while (!settled() && !settling.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        turns.stop();
        if (!settled()) {
            state.SkipWithError("the folders were not watched and scanned within 120 s");
            break;
        }
        longestHoldMs = std::max(longestHoldMs, double(longestHold));
        settledMs += double(PLYLaunchClock::elapsedMs());
        if (const auto account = store->currentAccount()) posts = account->currentPosts().size();
        images = 0;
        for (const auto& location : store->sourceLocations()) images += location->watchedImages().size();
        state.ResumeTiming();

        state.PauseTiming();
        delegate.reset();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
        PLYExportManager::resetSharedManager();
        state.ResumeTiming();
    }
    PLYLog::removeObserver(token);
    qputenv("XDG_DATA_HOME", dataFolder);
    state.counters["tiles"] = tiles;
    state.counters["posts"] = double(posts);
    state.counters["images"] = double(images);
    state.counters["previews_ms"] = previewsMs / double(std::max<qint64>(1, state.iterations()));
    state.counters["watched_ms"] = settledMs / double(std::max<qint64>(1, state.iterations()));
    state.counters["longest_hold_ms"] = longestHoldMs;
    PLYCoreManager::resetGlobalManager();
}
BENCHMARK(BM_LaunchToPaintedHome)->Arg(500)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ProcessLaunchToPaintedHome(benchmark::State& state) {
    const int count = int(state.range(0));
    library(count);
    // The program reads its defaults from its own configuration folder.
    const QString config = settings().filePath(QStringLiteral("config-process"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), settings().path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome(count));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), settings().filePath(QStringLiteral("cache-process")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM")));
    {
        const QString ini = QDir(config).filePath(QStringLiteral("Pellory/Pellory/defaults.ini"));
        PLYUserDefaults::resetStandardUserDefaults(ini);
        rememberOfflineUser();
        PLYUserDefaults::resetStandardUserDefaults(settings().filePath(QStringLiteral("defaults.ini")));
    }
    double tiles = 0;
    for (auto _ : state) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        program.start(QStringLiteral(PELLORY_EXECUTABLE), {});
        QByteArray output;
        qint64 painted = -1;
        QDeadlineTimer deadline(30000);
        while (painted < 0 && !deadline.hasExpired() && program.state() != QProcess::NotRunning) {
            program.waitForReadyRead(20);
            output += program.readAll();
            const int at = output.indexOf("Home gallery painted: ");
            if (at >= 0 && output.indexOf('\n', at) > at) {
                painted = clock.nsecsElapsed();
                tiles = output.mid(at + 22, output.indexOf(' ', at + 22) - at - 22).toDouble();
            }
        }
        program.terminate();
        if (!program.waitForFinished(10000)) program.kill();
        program.waitForFinished(5000);
        if (painted < 0) {
            state.SkipWithError(("the program did not paint its home gallery (is there a keyring? run under "
                                 "scripts/with-test-keyring): " + output.right(600)).constData());
            break;
        }
        state.SetIterationTime(double(painted) / 1e9);
    }
    state.counters["tiles"] = tiles;
    state.counters["posts"] = count;
}
BENCHMARK(BM_ProcessLaunchToPaintedHome)->Arg(500)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    // A full-HD screen, so the window and its grid have their everyday size.
    QFile screens(settings().filePath(QStringLiteral("screens.json")));
    if (screens.open(QIODevice::WriteOnly))
        screens.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName()).toUtf8());
    qputenv("XDG_DATA_HOME", settings().filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", settings().filePath(QStringLiteral("config")).toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    PLYUserDefaults::resetStandardUserDefaults(settings().filePath(QStringLiteral("defaults.ini")));
    AppDelegate::registerLayerServices();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
