// Image cache throughput: renditions per second over 40 generated 24-megapixel photo-like JPEGs
// (detail and grain everywhere, which decode and encode like real photos; flat colours decode
// several times faster) with the cache's five workers: enough images that the figure is the
// workers' steady rate, not the tail of the last few. And the cost of one image's preview +
// export pair against a single reduced-scale decode of the same file (goal: at most 1.2x). And
// how long the cache takes to stop at quit with most of those photos still queued: the queue is
// dropped and only the running renditions finish (the whole quit's goal is 2 s).
#include "PLYBenchMain.h"
#include "PLYImageManager.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kImageCount = 40;
constexpr int kDistinctImages = 6;

struct Fixture {
    QTemporaryDir dir;
    QStringList sources;
    Fixture() {
        // A few distinct pictures (each takes seconds to generate), each file its own copy.
        for (int i = 0; i < kImageCount; ++i) {
            const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
            if (i < kDistinctImages)
                PLYTestImages::writePhotoJpeg(path, 6000, 4000, i + 1);
            else
                QFile::copy(sources.at(i % kDistinctImages), path);
            sources << path;
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

QImage reducedDecode(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize raw = reader.size();
    const double scale = double(PLYImageManager::ExportWidth) / raw.width();
    reader.setScaledSize(QSize(qRound(raw.width() * scale), qRound(raw.height() * scale)));
    return reader.read();
}

void BM_RenditionsPerSecond(benchmark::State& state) {
    Fixture& f = fixture();
    QTemporaryDir cacheDir;
    PLYImageManager cache(cacheDir.path());
    QList<std::shared_ptr<PLYSourceImage>> images;
    for (int i = 0; i < f.sources.size(); ++i)
        images << std::make_shared<PLYSourceImage>(QStringLiteral("IMG%1").arg(i), f.sources[i], nullptr);
    for (auto _ : state) {
        for (const auto& image : images) cache.requestRenditions(image, true);
        cache.waitForDone();
        QCoreApplication::processEvents();  // lets the finished renditions report in
    }
    state.SetItemsProcessed(state.iterations() * images.size());
}
BENCHMARK(BM_RenditionsPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PairCostOverOneDecode(benchmark::State& state) {
    Fixture& f = fixture();
    QTemporaryDir out;
    const QString source = f.sources.first();
    double decodeNs = 0, pairNs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(reducedDecode(source));
        decodeNs += double(t.nsecsElapsed());
        t.restart();
        PLYImageManager::renderRenditions(source, out.filePath(QStringLiteral("p.jpg")), out.filePath(QStringLiteral("e.jpg")));
        pairNs += double(t.nsecsElapsed());
    }
    state.counters["pair_over_decode"] = decodeNs > 0 ? pairNs / decodeNs : 0;
    state.counters["decode_ms"] = decodeNs / 1e6 / double(state.iterations());
    state.counters["pair_ms"] = pairNs / 1e6 / double(state.iterations());
}
BENCHMARK(BM_PairCostOverOneDecode)->Unit(benchmark::kMillisecond);

void BM_ShutdownWithQueuedRenditions(benchmark::State& state) {
    Fixture& f = fixture();
    QList<std::shared_ptr<PLYSourceImage>> images;
    for (int i = 0; i < f.sources.size(); ++i)
        images << std::make_shared<PLYSourceImage>(QStringLiteral("IMG%1").arg(i), f.sources[i], nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir cacheDir;
        PLYImageManager cache(cacheDir.path());
        for (const auto& image : images) cache.requestRenditions(image, true);
        state.ResumeTiming();
        cache.shutdown();
    }
}
BENCHMARK(BM_ShutdownWithQueuedRenditions)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
