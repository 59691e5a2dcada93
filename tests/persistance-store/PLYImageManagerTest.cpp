#include "PLYAtomicFile.h"
#include "PLYImageManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYProcessMemory.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestMount.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

QSize sizeOf(const QString& path) { return QImageReader(path).size(); }

class ImageManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        cache = PLYImageManager::sharedManager();
        folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        bag.add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), nullptr, [this](const PLYNotification& n) {
            created << n.objectAs<PLYSourceImage>()->identifier();
        });
    }
    void TearDown() override {
        bag.clear();
        PLYImageManager::resetSharedManager();
    }
    std::shared_ptr<PLYSourceImage> image(const QString& name) {
        return std::make_shared<PLYSourceImage>(name.toUpper(), QDir(folder).filePath(name), nullptr);
    }

    PLYImageManager* cache = nullptr;
    QString folder;
    PLYObserverBag bag;
    QStringList created;
};

}  // namespace

TEST_F(ImageManagerTest, LargeImagesAreReducedAndSmallOnesNeverUpscaled) {
    auto big = image(QStringLiteral("big.jpg"));
    auto small = image(QStringLiteral("small.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(big->path(), 3000, 2000));
    ASSERT_TRUE(PLYTestImages::writeJpeg(small->path(), 150, 100));
    cache->requestRenditions(big);
    cache->requestRenditions(small);
    EXPECT_TRUE(cache->isPending(big->identifier()));
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2; }));

    EXPECT_EQ(sizeOf(cache->exportPathForIdentifier(big->identifier())), QSize(1500, 1000));
    EXPECT_EQ(sizeOf(cache->previewPathForIdentifier(big->identifier())), QSize(200, 133));
    EXPECT_EQ(sizeOf(cache->exportPathForIdentifier(small->identifier())), QSize(150, 100));
    EXPECT_EQ(sizeOf(cache->previewPathForIdentifier(small->identifier())), QSize(150, 100));
    EXPECT_EQ(cache->previewImageForIdentifier(big->identifier()).width(), 200);
    EXPECT_TRUE(cache->exportDataForIdentifier(big->identifier()).startsWith("\xff\xd8"));
    EXPECT_EQ(cache->exportImageForIdentifier(big->identifier()).size(), QSize(1500, 1000));
    EXPECT_TRUE(cache->exportDataForIdentifier(QStringLiteral("UNKNOWN")).isEmpty());
    EXPECT_FALSE(cache->isPending(big->identifier()));
}

TEST_F(ImageManagerTest, OrientationIsAppliedBeforeSizing) {
    auto portrait = image(QStringLiteral("turned.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(portrait->path(), 2000, 1000));
    ASSERT_TRUE(PLYTestImages::setExifOrientation(portrait->path(), 6));  // shown turned a quarter
    cache->requestRenditions(portrait);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 1; }));
    EXPECT_EQ(sizeOf(cache->exportPathForIdentifier(portrait->identifier())), QSize(1000, 2000));
    EXPECT_EQ(sizeOf(cache->previewPathForIdentifier(portrait->identifier())), QSize(200, 400));
}

TEST_F(ImageManagerTest, OneNotificationPerImageAndNoWorkWhenTheCacheIsCurrent) {
    QList<std::shared_ptr<PLYSourceImage>> images;
    for (int i = 0; i < 8; ++i) {
        images << image(QStringLiteral("p%1.jpg").arg(i));
        ASSERT_TRUE(PLYTestImages::writeJpeg(images.last()->path(), 400, 300));
    }
    for (const auto& im : images) {
        cache->requestRenditions(im);
        cache->requestRenditions(im);  // a repeated request while pending changes nothing
    }
    ASSERT_TRUE(waitUntil([&] { return created.size() == 8; }));
    cache->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(created.size(), 8);
    EXPECT_EQ(QSet<QString>(created.cbegin(), created.cend()).size(), 8);
    cache->requestRenditions(images.first());
    EXPECT_FALSE(cache->isPending(images.first()->identifier()));
}

TEST_F(ImageManagerTest, AnUndecodableFileFailsAndShowsThePlaceholder) {
    auto broken = image(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(broken->path()));
    cache->requestRenditions(broken);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 1; }));
    EXPECT_TRUE(cache->isFailed(broken->identifier()));
    EXPECT_FALSE(cache->isPending(broken->identifier()));
    EXPECT_FALSE(cache->hasRenditions(broken->identifier()));
    const QImage shown = cache->previewImageForIdentifier(broken->identifier());
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown, PLYImageManager::placeholderImage());
    EXPECT_TRUE(cache->exportDataForIdentifier(broken->identifier()).isEmpty());

    // Fixed on disk, it is made again on the next request.
    ASSERT_TRUE(PLYTestImages::writeJpeg(broken->path(), 300, 200));
    cache->requestRenditions(broken, true);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2; }));
    EXPECT_FALSE(cache->isFailed(broken->identifier()));
    EXPECT_TRUE(cache->hasRenditions(broken->identifier()));
}

// A frame header followed by a hole of gigabytes: the decoder looks for picture data among the
// zeros for as long as it is let, holding a rendition thread and the quit that waits for it. One
// decode reads no more than the size its header gives can take, a decode asked to stop (the quit)
// stops at once, and neither writes a rendition.
TEST_F(ImageManagerTest, ADecodeOfAHeaderFollowedByAHoleIsBoundedAndStopsWhenAsked) {
    const QString sparse = QDir(folder).filePath(QStringLiteral("sparse.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpegHeaderThenHole(sparse, 64, 48, qint64(8) * 1024 * 1024 * 1024));
    const QString preview = QDir(folder).filePath(QStringLiteral("preview.jpg"));
    const QString exported = QDir(folder).filePath(QStringLiteral("export.jpg"));
    constexpr qint64 MiB = 1024 * 1024;

    const qint64 before = PLYBytesReadByThisThread();
    ASSERT_GE(before, 0) << "the kernel keeps no read count here";
    PLYError error;
    EXPECT_FALSE(PLYImageManager::renderRenditions(sparse, preview, exported, &error));
    EXPECT_NE(error.code, PLYImageManager::CannotWrite) << "unreadable, not a passing failure: " << error.toString().toStdString();
    EXPECT_LT(PLYBytesReadByThisThread() - before, 64 * MiB) << "a few header bounds, never the hole";
    EXPECT_FALSE(QFile::exists(exported));

    int asked = 0;
    const qint64 before2 = PLYBytesReadByThisThread();
    EXPECT_FALSE(PLYImageManager::renderRenditions(sparse, preview, exported, &error, nullptr,
                                                   PLYImageManager::DefaultSingleDecodeLimit, [&] { return ++asked > 2; }));
    EXPECT_GT(asked, 2);
    EXPECT_LT(PLYBytesReadByThisThread() - before2, 1 * MiB);
    EXPECT_FALSE(QFile::exists(exported));
    EXPECT_FALSE(QFile::exists(preview));
}

TEST_F(ImageManagerTest, ImagesFoundByALocationGetTheirRenditions) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("library"));
    auto store = PLYPersistantStore::create(root);
    store->setUp(false);
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("one.jpg")), 500, 400));
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(QDir(folder).filePath(QStringLiteral("two.jpg"))));
    auto location = store->startWatchingPath(folder, {});
    location->startWatching();
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2; }));
    int made = 0, failed = 0;
    for (const auto& im : location->watchedImages()) {
        made += cache->hasRenditions(im->identifier()) ? 1 : 0;
        failed += cache->isFailed(im->identifier()) ? 1 : 0;
    }
    EXPECT_EQ(made, 1);
    EXPECT_EQ(failed, 1);
    EXPECT_FALSE(PLYImageManager::placeholderImage().isNull());
}

TEST_F(ImageManagerTest, AfterARestartNoImageStaysPending) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("library"));
    const QString cacheFolder = cache->cacheDirectory();
    auto store = PLYPersistantStore::create(root);
    store->setUp(false);
    auto post = store->signInUser(QStringLiteral("a@b.c"))->createNewPost(QStringLiteral("P"));
    post->layout()->add_sections()->mutable_stacked();
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("one.jpg")), 500, 400));
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(QDir(folder).filePath(QStringLiteral("two.jpg"))));
    auto location = store->startWatchingPath(folder, {});
    post->addSourceLocation(location->identifier());
    location->startWatching();
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2 && location->state() == PLYSourceDirectory::Ready; }));
    ASSERT_TRUE(store->save());
    QString one;
    for (const auto& im : location->watchedImages())
        if (im->path().endsWith(QStringLiteral("one.jpg"))) one = im->identifier();
    location.reset();
    store.reset();

    // The next run: the cache forgot which files failed, and one rendition file was lost.
    PLYImageManager::resetSharedManager(cacheFolder);
    cache = PLYImageManager::sharedManager();
    ASSERT_TRUE(QFile::remove(cache->previewPathForIdentifier(one)));
    created.clear();
    store = PLYPersistantStore::create(root);
    store->setUp(true);
    post = store->signInUser(QStringLiteral("a@b.c"))->currentPosts().value(0);
    ASSERT_TRUE(post);
    ASSERT_TRUE(waitUntil([&] { return post->imagesCountWithCachePercent(false).first == 0; }))
        << "pending: " << post->imagesCountWithCachePercent(false).first;
    EXPECT_EQ(post->imagesCountWithCachePercent(false).second, 2);
    EXPECT_TRUE(cache->hasRenditions(one));
    EXPECT_EQ(created.size(), 2);
}

TEST_F(ImageManagerTest, ARequestWhileOneRunsIsDoneAfterItSoTheNewestFileWins) {
    auto im = image(QStringLiteral("old.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(im->path(), 4000, 3000));
    const QString newer = QDir(folder).filePath(QStringLiteral("new.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(newer, 300, 200));
    cache->requestRenditions(im);
    // The file was replaced (renamed over and edited) while its renditions were being made.
    im->setPath(newer);
    cache->requestRenditions(im, true);
    EXPECT_TRUE(cache->isPending(im->identifier()));
    ASSERT_TRUE(waitUntil([&] { return !cache->isPending(im->identifier()); }));
    cache->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(created.size(), 1) << "one announcement, once the newest renditions are written";
    EXPECT_EQ(QImageReader(cache->exportPathForIdentifier(im->identifier())).size(), QSize(300, 200));
}

TEST_F(ImageManagerTest, ARenditionCutShortIsMadeAgainAndNoTemporaryFileStays) {
    auto im = image(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(im->path(), 640, 480));
    cache->requestRenditions(im);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 1; }));
    ASSERT_TRUE(cache->hasRenditions(im->identifier()));
    const QDir folder = QFileInfo(cache->exportPathForIdentifier(im->identifier())).dir();
    EXPECT_EQ(folder.entryList(QDir::Files).size(), 2) << folder.entryList(QDir::Files).join(u' ').toStdString();

    // What a system crash can leave of a rendition that was never synced to disk, and the
    // temporary file of a rendition whose job was killed.
    QFile cut(cache->exportPathForIdentifier(im->identifier()));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cut.close();
    QFile leftover(PLYAtomicFile::temporaryTemplate(cache->exportPathForIdentifier(im->identifier())).replace(QStringLiteral("XXXXXX"), QStringLiteral("aB3xY9")));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    EXPECT_FALSE(cache->hasRenditions(im->identifier()));
    cache->requestRenditions(im);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2; }));
    EXPECT_EQ(QImageReader(cache->exportPathForIdentifier(im->identifier())).size(), QSize(640, 480));
    EXPECT_EQ(folder.entryList(QDir::Files).size(), 2) << folder.entryList(QDir::Files).join(u' ').toStdString();
}

// An identifier names a cache folder only when it is one safe path component: letters, digits,
// '.', '_' and '-', starting with a letter or digit, at most 128 characters.
TEST_F(ImageManagerTest, OnlyIdentifiersThatAreOneSafeFolderNameGetCachePaths) {
    for (const QString& good : {QStringLiteral("A"), QStringLiteral("9f0e-Ab_c.d"), QString(128, u'x')})
        EXPECT_FALSE(cache->exportPathForIdentifier(good).isEmpty()) << good.toStdString();
    for (const QString& bad : {QString(), QStringLiteral(".."), QStringLiteral(".hidden"), QStringLiteral("-x"),
                               QStringLiteral("_x"), QStringLiteral("a/b"), QStringLiteral("a\n"), QStringLiteral("a b"),
                               QStringLiteral("caf\u00e9"), QString(129, u'x'), QStringLiteral("a\\b"), QStringLiteral("a:b")}) {
        EXPECT_TRUE(cache->exportPathForIdentifier(bad).isEmpty()) << bad.toStdString();
        EXPECT_TRUE(cache->previewPathForIdentifier(bad).isEmpty()) << bad.toStdString();
        EXPECT_FALSE(cache->hasRenditions(bad)) << bad.toStdString();
    }
}

// Renditions that could not be written for want of space are made once writing works again: the
// next save of the library that succeeds tries them again. A photo that cannot be decoded is not
// tried again: only a change of its file would help it.
TEST_F(ImageManagerTest, RenditionsThatFailedOnAFullDiskAreMadeOnceASaveSucceedsAgain) {
    PLYTestMount disk(4 * 1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no full file system can be made: " << disk.problem().toStdString();
    const QString library = disk.path() + QStringLiteral("/Pellory");
    PLYImageManager::resetSharedManager(library + QStringLiteral("/ImageCache"));
    cache = PLYImageManager::sharedManager();
    auto store = PLYPersistantStore::create(library);
    store->setUp(false);
    store->signInUser(QStringLiteral("full@example.com"))->createNewPost(QStringLiteral("P"));
    ASSERT_TRUE(store->save());

    auto photo = image(QStringLiteral("photo.jpg"));
    auto broken = image(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(photo->path(), 800, 600));
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(broken->path()));
    const QString filler = disk.fill();
    ASSERT_FALSE(filler.isEmpty());
    cache->requestRenditions(photo);
    cache->requestRenditions(broken);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 2; }));
    ASSERT_TRUE(cache->isFailed(photo->identifier())) << "the renditions were written on a full disk";
    ASSERT_TRUE(cache->isFailed(broken->identifier()));

    ASSERT_TRUE(QFile::remove(filler));
    created.clear();
    ASSERT_TRUE(store->save());
    ASSERT_TRUE(waitUntil([&] { return cache->hasRenditions(photo->identifier()) && !cache->isPending(photo->identifier()); }))
        << "the photo stays broken though there is room again";
    cache->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(cache->isFailed(photo->identifier()));
    EXPECT_EQ(cache->previewImageForIdentifier(photo->identifier()).width(), PLYImageManager::PreviewWidth);
    EXPECT_TRUE(cache->isFailed(broken->identifier()));
    EXPECT_EQ(created, QStringList{photo->identifier()}) << "an undecodable photo was decoded again";
}

// A rendition written shows that writing works again: those that could not be written are made
// then too, without waiting for a save.
TEST_F(ImageManagerTest, RenditionsThatFailedOnAFullDiskAreMadeOnceAnotherIsWritten) {
    PLYTestMount disk(4 * 1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no full file system can be made: " << disk.problem().toStdString();
    PLYImageManager::resetSharedManager(disk.path() + QStringLiteral("/ImageCache"));
    cache = PLYImageManager::sharedManager();
    auto first = image(QStringLiteral("first.jpg"));
    auto second = image(QStringLiteral("second.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(first->path(), 800, 600));
    ASSERT_TRUE(PLYTestImages::writeJpeg(second->path(), 600, 400));
    const QString filler = disk.fill();
    ASSERT_FALSE(filler.isEmpty());
    cache->requestRenditions(first);
    ASSERT_TRUE(waitUntil([&] { return created.size() == 1; }));
    ASSERT_TRUE(cache->isFailed(first->identifier()));

    ASSERT_TRUE(QFile::remove(filler));
    cache->requestRenditions(second);
    ASSERT_TRUE(waitUntil([&] {
        return cache->hasRenditions(second->identifier()) && cache->hasRenditions(first->identifier()) &&
               !cache->isPending(first->identifier());
    }));
    EXPECT_FALSE(cache->isFailed(first->identifier()));
}
