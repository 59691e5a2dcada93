// The gallery at 500, 5,000 and 20,000 images.
//
// BM_GalleryOpenCold/N: the gallery takes a post whose images it has never shown (nothing of its
// order and no file date known to it: as when a post is opened) and rebuilds: sort, filter,
// sections, the row arrangement and the visible items. Goal: under 10 ms at 20,000 images.
// BM_GalleryRebuild/N: the same rebuild again, the post unchanged (a filter or a location change).
// BM_GalleryRebuildDecisions: the sort, filter, sections and rows alone over synthetic images,
// for each sort and with and without a filter.
// BM_GalleryScrollThroughCold/N: from the top to the bottom by half a screen at a time, nothing
// decoded at the start; each step waits until every preview on screen is painted, as a user sees
// it. Counters: "screen_ms_mean" and "screen_ms_max", from the scroll to the paint with every
// visible preview; "decodes_per_item_seen", "peak_resident_MiB" against "budget_MiB";
// "max_requested", the most previews asked for at once (the visible items and half a screen
// above and below).
// BM_GalleryRerateOneImage: re-rating one image updates its item without a rebuild ("rebuilds"
// stays 0).
#include "PLYBenchMain.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDraggingDestinationScrollView.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryModel.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewItem.h"
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
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

QVector<PLYGalleryImageInfo> syntheticImages(int count) {
    QVector<PLYGalleryImageInfo> images;
    QRandomGenerator random(7);
    for (int i = 0; i < count; ++i) {
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

// Sort, filter, sections and the row arrangement, as one rebuild does them; each iteration
// starts from a model that has no order yet.
void BM_GalleryRebuildDecisions(benchmark::State& state) {
    const QVector<PLYGalleryImageInfo> images = syntheticImages(5000);
    PLYGalleryModel model;
    model.sortType = state.range(0);
    model.splitUsedImages = true;
    model.showHiddenImages = true;
    if (state.range(1)) model.filter = {2, 1, 0b0011011};
    PLYGalleryViewLayout layout;
    for (auto _ : state) {
        model.forgetOrder();
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

const QList<int> kSizes = {500, 5000, 20000};

// A real library: a post for each size, watching a folder of that many photos with their
// renditions cached, and one gallery in a 250 x 700 pane.
struct Library {
    QTemporaryDir root;
    QMap<int, std::shared_ptr<PLYPostManager>> posts;
    std::unique_ptr<PLYGalleryViewController> gallery;
    bool ready = false;

    Library() {
        PLYSourceDirectory::setDefaultLatencyMs(100);
        PLYImageManager::resetSharedManager(root.filePath(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(root.filePath(QStringLiteral("library")));
        auto store = PLYCoreManager::persistantStore();
        store->setUp(false);
        store->signInUser(QStringLiteral("bench@example.com"));
        ready = true;
        for (int size : kSizes) {
            const QString photos = root.filePath(QStringLiteral("photos-%1").arg(size));
            QDir().mkpath(photos);
            // Names in no particular order, so that the sort by name has work to do.
            QRandomGenerator random(size);
            const QString first = QDir(photos).filePath(QStringLiteral("first.jpg"));
            PLYTestImages::writePhotoJpeg(first, 240, 160, 3, 80);
            for (int i = 0; i < size; ++i)
                QFile::copy(first, QDir(photos).filePath(QStringLiteral("IMG_%1_%2.jpg").arg(random.bounded(100000), 5, 10, QLatin1Char('0')).arg(i)));
            QFile::remove(first);
            auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
            manager->createNewPostWithTtitle(QStringLiteral("Bench %1").arg(size));
            manager->setWatchLocation(QUrl::fromLocalFile(photos));
            const auto post = manager->representedPost();
            waitFor([&] { return post->images().size() == size && post->imagesCountWithCachePercent(false).first == 0; },
                    1200000);
            ready = ready && post->images().size() == size;
            posts.insert(size, manager);
        }
        gallery = std::make_unique<PLYGalleryViewController>();
        gallery->resize(250, 740);
        gallery->show();
        waitFor([] { return false; }, 300);
    }

    // The gallery shows the post of `size` images.
    void show(int size) {
        gallery->setPostManager(posts.value(size));
        waitFor([] { return false; }, 50);
    }
};

Library& library() { return plyBenchFixture<Library>(); }

void BM_GalleryOpenCold(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    const int size = int(state.range(0));
    const int other = size == kSizes.first() ? kSizes.last() : kSizes.first();
    for (auto _ : state) {
        state.PauseTiming();
        l.show(other);
        state.ResumeTiming();
        l.gallery->setPostManager(l.posts.value(size));
    }
    state.counters["images"] = double(l.gallery->currentOrderedImages().size());
}
BENCHMARK(BM_GalleryOpenCold)->Arg(500)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_GalleryRebuild(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    l.show(int(state.range(0)));
    for (auto _ : state) l.gallery->ensureImageStructure(true);
    state.counters["images"] = double(l.gallery->currentOrderedImages().size());
}
BENCHMARK(BM_GalleryRebuild)->Arg(500)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Every item on screen has its preview resident (or known to have none).
bool screenDecoded(Library& l) {
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    PLYGalleryCollectionView* view = l.gallery->galleryView();
    for (PLYGalleryViewItem* item : view->visibleItems()) {
        if (!item->view() || !item->view()->isVisible() || item->view()->visibleRegion().isEmpty()) continue;
        const QString id = l.gallery->identifierAtIndexPath(item->indexPath());
        if (!id.isEmpty() && !cache->isResident(id, PLYDecodedImageCache::Preview) &&
            !cache->isMissing(id, PLYDecodedImageCache::Preview))
            return false;
    }
    return true;
}

void BM_GalleryScrollThroughCold(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    l.show(int(state.range(0)));
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    QScrollBar* bar = l.gallery->scrollView()->verticalScrollBar();
    qint64 peak = 0;
    quint64 decodes = 0;
    qsizetype maxRequested = 0;
    QSet<QString> seen;
    double screenMsTotal = 0, screenMsMax = 0;
    int screens = 0;
    for (auto _ : state) {
        bar->setValue(0);
        cache->clear();
        const quint64 before = cache->startedDecodes();
        seen.clear();
        for (int y = 0; y <= bar->maximum(); y += bar->pageStep() / 2) {
            QElapsedTimer clock;
            clock.start();
            // The first screen as when the gallery opens on it, nothing decoded; then scrolls.
            if (y == 0)
                l.gallery->galleryView()->reloadData();
            else
                bar->setValue(y);
            const QSet<QString> requested = l.gallery->galleryView()->requestedPreviews();
            maxRequested = std::max(maxRequested, requested.size());
            for (const QString& id : requested) seen.insert(id);
            QDeadlineTimer deadline(10000);
            while (!screenDecoded(l) && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            // The paint that shows them.
            l.gallery->galleryView()->repaint();
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            screenMsTotal += ms;
            screenMsMax = std::max(screenMsMax, ms);
            ++screens;
            peak = std::max(peak, cache->residentBytes(PLYDecodedImageCache::Preview));
        }
        cache->waitForIdle();
        decodes += cache->startedDecodes() - before;
    }
    state.counters["items_seen"] = double(seen.size());
    state.counters["screens"] = double(screens) / double(state.iterations());
    state.counters["screen_ms_mean"] = screenMsTotal / double(std::max(1, screens));
    state.counters["screen_ms_max"] = screenMsMax;
    // The visible items and half a screen above and below: 2 x 8 rows of 2 in a 700-point pane.
    state.counters["max_requested"] = double(maxRequested);
    state.counters["decodes_per_item_seen"] = double(decodes) / double(std::max<qsizetype>(1, seen.size())) / state.iterations();
    state.counters["peak_resident_MiB"] = double(peak) / (1024.0 * 1024.0);
    state.counters["budget_MiB"] = double(cache->budgetBytes(PLYDecodedImageCache::Preview)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_GalleryScrollThroughCold)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_GalleryRerateOneImage(benchmark::State& state) {
    Library& l = library();
    if (!l.ready) {
        state.SkipWithError("the library was not made");
        return;
    }
    l.show(5000);
    l.gallery->ensureImageStructure(true);
    const auto image = l.gallery->currentOrderedImages().at(2500);
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
