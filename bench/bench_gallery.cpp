// The gallery with 5,000 images. Goals: a rebuild (sort, filter, sections and row arrangement)
// under 30 ms; scrolling decodes only the previews of the items that come into view (counters
// "decodes_per_item_seen", "peak_resident_MiB" against "budget_MiB"); re-rating one image updates
// its item without a rebuild (counter "rebuilds" stays 0). "max_requested" is the most previews
// asked for at once: the visible items and half a screen above and below.
#include "PLYBenchMain.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDraggingDestinationScrollView.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryModel.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewLayout.h"
#include "PLYImageManager.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSourceDirectory.h"
#include "PLYTestImages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

constexpr int kImages = 5000;

QVector<PLYGalleryImageInfo> syntheticImages() {
    QVector<PLYGalleryImageInfo> images;
    QRandomGenerator random(7);
    for (int i = 0; i < kImages; ++i) {
        PLYGalleryImageInfo info;
        info.identifier = QStringLiteral("%1-image").arg(i, 5, 10, QLatin1Char('0'));
        info.fileName = QStringLiteral("DSC_%1.jpg").arg(random.bounded(100000), 5, 10, QLatin1Char('0'));
        info.creationTime = 1600000000000LL + random.bounded(100000000);
        info.modificationTime = info.creationTime + random.bounded(1000000);
        info.starRating = qint16(random.bounded(7) - 1);
        info.colourRating = random.bounded(8);
        info.hidden = random.bounded(20) == 0;
        info.useCount = random.bounded(10) == 0 ? 1 : 0;
        images.append(info);
    }
    return images;
}

// Sort, filter, sections and the row arrangement, as one rebuild does them.
void BM_GalleryRebuildDecisions(benchmark::State& state) {
    const QVector<PLYGalleryImageInfo> images = syntheticImages();
    PLYGalleryModel model;
    model.sortType = state.range(0);
    model.splitUsedImages = true;
    model.showHiddenImages = true;
    if (state.range(1)) model.filter = {2, 1, 0b0011011};
    PLYGalleryViewLayout layout;
    for (auto _ : state) {
        model.sortAndFilter(images);
        model.createIndexRanges();
        QVector<PLYGalleryViewLayout::SectionInput> sections;
        for (int s = 0; s < model.numberOfSections(); ++s) sections.append({s != 0, model.numberOfItemsInSection(s)});
        layout.prepareLayout(sections, 250);
        benchmark::DoNotOptimize(layout.layoutAttributesForElementsInRect(QRectF(0, 20000, 250, 700)));
    }
    state.counters["shown"] = double(model.orderedImages().size());
}
BENCHMARK(BM_GalleryRebuildDecisions)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

template <typename F>
void waitFor(F done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A real library: a post watching a folder of 5,000 photos with their renditions cached, and its
// gallery open in a 250 x 700 pane.
struct Library {
    QTemporaryDir root;
    std::shared_ptr<PLYPostManager> postManager;
    std::unique_ptr<PLYGalleryViewController> gallery;
    bool ready = false;

    Library() {
        PLYSourceDirectory::setDefaultLatencyMs(100);
        PLYImageManager::resetSharedManager(root.filePath(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(root.filePath(QStringLiteral("library")));
        auto store = PLYCoreManager::persistantStore();
        store->setUp(false);
        store->signInUser(QStringLiteral("bench@example.com"));
        const QString photos = root.filePath(QStringLiteral("photos"));
        QDir().mkpath(photos);
        const QString first = QDir(photos).filePath(QStringLiteral("IMG_00000.jpg"));
        PLYTestImages::writePhotoJpeg(first, 300, 200, 3, 80);
        for (int i = 1; i < kImages; ++i)
            QFile::copy(first, QDir(photos).filePath(QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        postManager->createNewPostWithTtitle(QStringLiteral("Bench"));
        postManager->setWatchLocation(QUrl::fromLocalFile(photos));
        const auto post = postManager->representedPost();
        waitFor([&] { return post->images().size() == kImages && post->imagesCountWithCachePercent(false).first == 0; },
                600000);
        gallery = std::make_unique<PLYGalleryViewController>();
        gallery->resize(250, 740);
        gallery->setPostManager(postManager);
        gallery->show();
        waitFor([] { return false; }, 300);
        ready = post->images().size() == kImages;
    }
};

Library& library() { return plyBenchFixture<Library>(); }

void BM_GalleryRebuild(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    for (auto _ : state) l.gallery->ensureImageStructure(true);
    state.counters["images"] = double(l.gallery->currentOrderedImages().size());
}
BENCHMARK(BM_GalleryRebuild)->Unit(benchmark::kMillisecond);

void BM_GalleryScrollThrough(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    QScrollBar* bar = l.gallery->scrollView()->verticalScrollBar();
    qint64 peak = 0;
    quint64 decodes = 0;
    qsizetype maxRequested = 0;
    QSet<QString> seen;
    for (auto _ : state) {
        cache->clear();
        bar->setValue(0);
        const quint64 before = cache->startedDecodes();
        seen.clear();
        for (int y = 0; y <= bar->maximum(); y += bar->pageStep() / 2) {
            bar->setValue(y);
            const QSet<QString> requested = l.gallery->galleryView()->requestedPreviews();
            maxRequested = std::max(maxRequested, requested.size());
            for (const QString& id : requested) seen.insert(id);
            // A user reads each screen for a moment: the visible previews decode meanwhile.
            QCoreApplication::processEvents();
            peak = std::max(peak, cache->residentBytes(PLYDecodedImageCache::Preview));
        }
        cache->waitForIdle();
        decodes += cache->startedDecodes() - before;
    }
    state.counters["items_seen"] = double(seen.size());
    // The visible items and half a screen above and below: 2 x 8 rows of 2 in a 700-point pane.
    state.counters["max_requested"] = double(maxRequested);
    state.counters["decodes_per_item_seen"] = double(decodes) / double(std::max<qsizetype>(1, seen.size())) / state.iterations();
    state.counters["peak_resident_MiB"] = double(peak) / (1024.0 * 1024.0);
    state.counters["budget_MiB"] = double(cache->budgetBytes(PLYDecodedImageCache::Preview)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_GalleryScrollThrough)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_GalleryRerateOneImage(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    l.gallery->ensureImageStructure(true);
    const auto post = l.postManager->representedPost();
    const auto image = l.gallery->currentOrderedImages().at(kImages / 2);
    PLYSourceDirectory* directory = image->sourceDirectory();
    const int rebuilds = l.gallery->rebuildCount();
    qint16 rating = 0;
    for (auto _ : state) {
        image->setStarRating(rating = qint16((rating + 1) % 6));
        // What the location reports once it has read the file's new XMP.
        l.gallery->sourceDirectoryUpdatedImage(directory, image->identifier());
    }
    state.counters["rebuilds"] = double(l.gallery->rebuildCount() - rebuilds);
}
BENCHMARK(BM_GalleryRerateOneImage)->Unit(benchmark::kMicrosecond);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_LIBRARY(Library)
