// Decoded renditions for painting: off the main thread, visible work first, cancelled work never
// started, resident memory within its budget, and a new rendition replacing the old picture.
#include "PLYDecodedImageCache.h"
#include "PLYImageManager.h"
#include "PLYLayoutImageSource_Store.h"
#include "PLYNotificationCenter.h"
#include "PLYSourceImage.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

class DecodedImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        const QString source = QDir(PLYTestEnvironment::makeTempDirectory(QStringLiteral("src"))).filePath("p.jpg");
        ASSERT_TRUE(PLYTestImages::writePhotoJpeg(source, 600, 400));
        PLYImageManager* images = PLYImageManager::sharedManager();
        for (int i = 0; i < 10; ++i) {
            const QString id = QStringLiteral("img%1").arg(i);
            ASSERT_TRUE(PLYImageManager::renderRenditions(source, images->previewPathForIdentifier(id),
                                                          images->exportPathForIdentifier(id)));
        }
    }
    void TearDown() override {
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
    }
    static QString id(int i) { return QStringLiteral("img%1").arg(i); }
    int requester = 0;
};

TEST_F(DecodedImageCacheTest, VisibleRequestsGoFirstAndCancelledOnesAreNeverDecoded) {
    // A 200 x 133 preview is about 104 KiB decoded: room for three.
    PLYDecodedImageCache cache(3 * 200 * 134 * 4, 1);
    const auto P = PLYDecodedImageCache::Preview;
    EXPECT_TRUE(cache.imageForIdentifier(id(0), P, &requester, PLYDecodedImageCache::PriorityNearby).isNull())
        << "nothing is read on the calling thread";
    for (int i = 1; i < 4; ++i) cache.request(id(i), P, &requester, PLYDecodedImageCache::PriorityNearby);
    cache.request(id(4), P, &requester, PLYDecodedImageCache::PriorityVisible);
    for (int i = 5; i < 10; ++i) cache.request(id(i), P, &requester, PLYDecodedImageCache::PriorityNearby);
    int other = 0;
    cache.request(id(5), P, &other, PLYDecodedImageCache::PriorityNearby);
    EXPECT_EQ(cache.runningCount(), PLYDecodedImageCache::MaxConcurrentDecodes);
    // Scrolled away before any decode finished; another requester still wants image 5.
    cache.cancelAll(&requester);
    for (int i = 1; i < 5; ++i) cache.request(id(i), P, &requester, i == 4 ? PLYDecodedImageCache::PriorityVisible : 0);
    EXPECT_TRUE(cache.isQueued(id(5), P));
    EXPECT_FALSE(cache.isQueued(id(6), P));
    ASSERT_TRUE(waitUntil([&] { return cache.queuedCount() < 4; }));
    EXPECT_FALSE(cache.isQueued(id(4), P)) << "the visible picture starts before those queued earlier";
    cache.waitForIdle();
    EXPECT_EQ(cache.startedDecodes(), 6u);
    EXPECT_LE(cache.residentBytes(P), cache.budgetBytes(P));
    EXPECT_GT(cache.residentBytes(P), 0);
    int resident = 0;
    for (int i = 0; i < 10; ++i) resident += cache.isResident(id(i), P);
    EXPECT_EQ(resident, 3) << "the least recently used went first";

    // An export rendition larger than its budget is never kept and never decoded again.
    cache.request(id(0), PLYDecodedImageCache::Export, &requester, 0);
    cache.waitForIdle();
    const quint64 started = cache.startedDecodes();
    EXPECT_TRUE(cache.imageForIdentifier(id(0), PLYDecodedImageCache::Export, &requester, 0).isNull());
    EXPECT_EQ(cache.startedDecodes(), started);
}

TEST_F(DecodedImageCacheTest, NewRenditionsReplaceThePictureAndPaintingNeverWaits) {
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    PLYLayoutImageSource_Store source;
    int announced = 0;
    PLYObserverBag observers;
    observers.add(QString::fromLatin1(PLYDecodedImageCache::DecodedNotification), nullptr, [&](const PLYNotification& n) {
        if (n.userInfo.value("identifier").toString() == id(1)) ++announced;
    });
    EXPECT_TRUE(source.exportImageForIdentifier(id(1)).isNull()) << "a paint takes what is decoded";
    cache->waitForIdle();
    EXPECT_EQ(announced, 1);
    const QImage first = source.exportImageForIdentifier(id(1));
    ASSERT_EQ(first.width(), 600);

    // The image cache writes a new rendition: the old picture goes, the new one is decoded.
    PLYImageManager* images = PLYImageManager::sharedManager();
    ASSERT_TRUE(PLYTestImages::writeJpeg(images->exportPathForIdentifier(id(1)), 300, 200, Qt::red));
    PLYSourceImage image(id(1), QStringLiteral("/nowhere/p.jpg"), nullptr);
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), &image);
    EXPECT_FALSE(cache->isResident(id(1), PLYDecodedImageCache::Export));
    EXPECT_TRUE(source.exportImageForIdentifier(id(1)).isNull());
    cache->waitForIdle();
    EXPECT_EQ(source.exportImageForIdentifier(id(1)).width(), 300);

    // No rendition at all: looked for once, then not again until one is written.
    const quint64 started = cache->startedDecodes();
    EXPECT_TRUE(source.previewImageForIdentifier(QStringLiteral("none")).isNull());
    cache->waitForIdle();
    EXPECT_TRUE(cache->isMissing(QStringLiteral("none"), PLYDecodedImageCache::Preview));
    source.previewImageForIdentifier(QStringLiteral("none"));
    EXPECT_EQ(cache->startedDecodes(), started + 1);
    cache->shutdown();
    cache->request(id(2), PLYDecodedImageCache::Preview, &requester, 0);
    EXPECT_EQ(cache->queuedCount(), 0) << "a cache that shut down takes no work";
}

}  // namespace

// A picture drawn 205 pixels wide from a 1500-pixel export rendition is decoded at a quarter of
// its size; drawn wider, it is decoded again at the next size up, and a wider picture stays.
TEST_F(DecodedImageCacheTest, AnExportRenditionIsDecodedAtTheScaleItIsDrawn) {
    const QString source = QDir(PLYTestEnvironment::makeTempDirectory(QStringLiteral("wide"))).filePath("w.jpg");
    ASSERT_TRUE(PLYTestImages::writePhotoJpeg(source, 1800, 1200));
    PLYImageManager* images = PLYImageManager::sharedManager();
    const QString wide = QStringLiteral("wide");
    ASSERT_TRUE(PLYImageManager::renderRenditions(source, images->previewPathForIdentifier(wide),
                                                  images->exportPathForIdentifier(wide)));
    PLYDecodedImageCache cache;
    const auto E = PLYDecodedImageCache::Export;
    const int V = PLYDecodedImageCache::PriorityVisible;
    EXPECT_TRUE(cache.imageForIdentifier(wide, E, &requester, V, 205).isNull());
    cache.waitForIdle();
    QImage picture = cache.imageForIdentifier(wide, E, &requester, V, 205);
    EXPECT_EQ(picture.size(), QSize(375, 250));
    EXPECT_EQ(cache.residentBytes(E), 375 * 250 * 4);
    EXPECT_EQ(cache.startedDecodes(), 1u);

    // Narrower still: what is resident serves.
    EXPECT_EQ(cache.imageForIdentifier(wide, E, &requester, V, 300).width(), 375);
    EXPECT_EQ(cache.queuedCount() + cache.runningCount(), 0);
    // Wider: the narrow picture is painted meanwhile, and the next size up decoded.
    EXPECT_EQ(cache.imageForIdentifier(wide, E, &requester, V, 400).width(), 375);
    cache.waitForIdle();
    EXPECT_EQ(cache.startedDecodes(), 2u);
    EXPECT_EQ(cache.imageForIdentifier(wide, E, &requester, V, 205).width(), 750) << "the wider picture stays";
    EXPECT_EQ(cache.startedDecodes(), 2u);
    // The whole picture when no width is given.
    EXPECT_EQ(cache.imageForIdentifier(wide, E, &requester, V).width(), 750);
    cache.waitForIdle();
    EXPECT_EQ(cache.imageForIdentifier(wide, E, &requester, V).size(), QSize(1500, 1000));
    EXPECT_EQ(cache.startedDecodes(), 3u);
    // Reduced decodes only ever of the export rendition: the preview is decoded whole.
    cache.request(wide, PLYDecodedImageCache::Preview, &requester, V, 50);
    cache.waitForIdle();
    EXPECT_EQ(cache.cachedImage(wide, PLYDecodedImageCache::Preview).width(), PLYImageManager::PreviewWidth);
}

// While the rendition a drawing wants is on its way, the other one stands in if it is resident;
// it is never decoded only to stand in.
TEST_F(DecodedImageCacheTest, AStandInIsPaintedOnlyWhenAtHandAndNeverDecodedForThat) {
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    PLYLayoutImageSource_Store source;
    const double small = PLYLayoutImageSource::kPreviewRenditionLimit / 2;
    const double large = PLYLayoutImageSource::kPreviewRenditionLimit * 2;

    EXPECT_TRUE(source.imageForDrawnWidth(id(3), small).isNull());
    EXPECT_TRUE(source.imageForDrawnWidth(id(6), large).isNull());
    cache->waitForIdle();
    EXPECT_EQ(cache->startedDecodes(), 2u) << "one decode for each drawing, none for a stand-in";
    EXPECT_TRUE(cache->isResident(id(3), PLYDecodedImageCache::Preview));
    EXPECT_FALSE(cache->isResident(id(3), PLYDecodedImageCache::Export));
    EXPECT_TRUE(cache->isResident(id(6), PLYDecodedImageCache::Export));
    EXPECT_FALSE(cache->isResident(id(6), PLYDecodedImageCache::Preview));

    // Drawn the other way: the resident rendition is painted while the wanted one decodes.
    const QImage standIn = source.imageForDrawnWidth(id(3), large);
    EXPECT_EQ(standIn.width(), PLYImageManager::PreviewWidth);
    EXPECT_TRUE(cache->isQueued(id(3), PLYDecodedImageCache::Export) || cache->runningCount() > 0);
    const QImage other = source.imageForDrawnWidth(id(6), small);
    EXPECT_FALSE(other.isNull());
    cache->waitForIdle();
    EXPECT_EQ(cache->startedDecodes(), 4u);
    EXPECT_GE(source.imageForDrawnWidth(id(3), large).width(), int(large));
    EXPECT_EQ(source.imageForDrawnWidth(id(6), small).width(), PLYImageManager::PreviewWidth);
}
