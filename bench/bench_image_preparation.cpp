// Preparing a new post's folder of small photos: from watching the folder to the end of the
// preparation (every image read, its two renditions made and counted). Goal: time per photo
// ("ms_per_photo") about the same at 1,000, 5,000 and 20,000 photos, i.e. the whole grows
// linearly with the folder.
#include "PLYBenchMain.h"
#include "PLYImageManager.h"
#include "PLYImagePreparation.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYSourceDirectory.h"
#include "PLYTestImages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {

void BM_PrepareFolder(benchmark::State& state) {
    const int photos = int(state.range(0));
    for (auto _ : state) {
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("photos"));
        QDir().mkpath(folder);
        const QString first = QDir(folder).filePath(QStringLiteral("IMG_00000.jpg"));
        PLYTestImages::writePhotoJpeg(first, 64, 48, 1, 80);
        for (int i = 1; i < photos; ++i)
            QFile::copy(first, QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));

        PLYSourceDirectory::setDefaultLatencyMs(100);
        PLYImageManager::resetSharedManager(root.filePath(QStringLiteral("cache")));
        auto store = PLYPersistantStore::create(root.filePath(QStringLiteral("library")));
        store->setUp(false);
        auto post = store->signInUser(QStringLiteral("bench@example.com"))->createNewPost(QStringLiteral("Bench"));

        QElapsedTimer clock;
        clock.start();
        auto location = store->startWatchingPath(folder, {});
        post->addSourceLocation(location->identifier());
        location->startWatching();
        PLYImagePreparation preparation(post);
        preparation.start();
        const QDeadlineTimer deadline(30 * 60 * 1000);
        while (!preparation.isFinished() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        if (!preparation.isFinished() || preparation.progress().total() != photos) {
            state.SkipWithError("the preparation did not end with every photo");
            return;
        }
        state.counters["ms_per_photo"] = seconds * 1000.0 / photos;
        location->stopWatching();
        PLYImageManager::sharedManager()->waitForDone();
        QCoreApplication::processEvents();
        PLYImageManager::resetSharedManager();
    }
    state.counters["photos"] = photos;
}
BENCHMARK(BM_PrepareFolder)->Arg(1000)->Arg(5000)->Arg(20000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
