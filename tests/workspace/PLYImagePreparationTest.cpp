// Preparing a new post's images: the counts the display shows, and the road to its end with all,
// some and none of the images cached, with no images, with an image that cannot be decoded and
// with a folder that has gone. The display must end exactly once and never wait forever.
#include "PLYImageManager.h"
#include "PLYImagePreparation.h"
#include "PLYMemoryBudget.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPrepProgress.h"
#include "PLYSourceImage.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestPostLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

using PLYTestEnvironment::waitUntil;

namespace {

class ImagePreparationTest : public PLYPostLibraryTest {
protected:
    void SetUp() override {
        setUpLibrary(QStringLiteral("Trip"));
    }
    void TearDown() override {
        preparation.reset();
        if (location) location->stopWatching();
        PLYImageManager::sharedManager()->waitForDone();
        QCoreApplication::processEvents();
        PLYImageManager::resetSharedManager();
    }
    void writePhotos(int from, int count) {
        for (int i = from; i < from + count; ++i)
            ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i)), 320, 240));
    }
    void watch() {
        location = store->startWatchingPath(folder, {});
        post->addSourceLocation(location->identifier());
        location->startWatching();
    }
    bool allCached() const { return post->imagesCountWithCachePercent(false).first == 0; }
    // A preparation whose every report is recorded.
    void prepare() {
        preparation = std::make_unique<PLYImagePreparation>(post);
        QObject::connect(preparation.get(), &PLYImagePreparation::progressChanged,
                         [this](const PLYPrepProgress& p) { reports << p; });
        QObject::connect(preparation.get(), &PLYImagePreparation::finished, [this] { ++finishes; });
        preparation->start();
    }
    void postStrayCacheNews() {
        PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYImageManager::CacheCreatedNotification));
    }

    std::shared_ptr<PLYSourceDirectory> location;
    std::unique_ptr<PLYImagePreparation> preparation;
    QList<PLYPrepProgress> reports;
    int finishes = 0;
};

}  // namespace

TEST_F(ImagePreparationTest, AllCachedEndsAtTheFirstCountThoughNoNewsWillCome) {
    writePhotos(0, 3);
    watch();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && allCached(); }));

    prepare();
    EXPECT_TRUE(preparation->isFinished()) << "ended inside start()";
    EXPECT_EQ(finishes, 1);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.last().labelText(), QStringLiteral("Preparing Images (3/3)"));

    // Late news reach nothing: the registrations went with the end.
    postStrayCacheNews();
    location->rescan();
    preparation->checkPrepFinished();
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(ImagePreparationTest, SomeCachedStartsFromThemAndEndsOnceWithTheLast) {
    writePhotos(0, 9);
    watch();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && allCached(); }));
    writePhotos(9, 3);
    location->rescan();  // the three new files are listed at once; their renditions come later

    prepare();
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.first().labelText(), QStringLiteral("Preparing Images (9/12)"));
    EXPECT_DOUBLE_EQ(reports.first().fraction(), 0.75);
    EXPECT_FALSE(preparation->isFinished());

    ASSERT_TRUE(waitUntil([&] { return finishes > 0; }));
    EXPECT_EQ(reports.last(), PLYPrepProgress::fromCounts(0, 12));
    for (int i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].prepared(), reports[i - 1].prepared()) << "the count only goes up";
    postStrayCacheNews();
    preparation->checkPrepFinished();
    EXPECT_EQ(finishes, 1);
}

TEST_F(ImagePreparationTest, NothingCachedYetAndAnImageThatFailsStillEnds) {
    writePhotos(0, 2);
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(QDir(folder).filePath(QStringLiteral("broken.jpg"))));
    watch();

    prepare();
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.first(), PLYPrepProgress::fromCounts(3, 3));
    ASSERT_TRUE(waitUntil([&] { return finishes > 0; })) << "waited for the image that cannot be decoded";
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(reports.last().labelText(), QStringLiteral("Preparing Images (3/3)"));
}

TEST_F(ImagePreparationTest, AnEmptyFolderEndsAtOnce) {
    watch();
    prepare();
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(reports.value(0).labelText(), QStringLiteral("Preparing Images (0/0)"));
    EXPECT_DOUBLE_EQ(reports.value(0).fraction(), 1.0) << "no division by zero";
}

TEST_F(ImagePreparationTest, AFolderThatGoesAwayIsNotWaitedFor) {
    writePhotos(0, 2);
    watch();
    prepare();
    EXPECT_FALSE(preparation->isFinished());
    // Before any rendition is made, the folder is moved away (an unplugged disk).
    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral("-away")));
    location->rescan();
    EXPECT_EQ(location->state(), PLYSourceDirectory::Missing);
    EXPECT_EQ(finishes, 1) << "the change of state recounts, and a missing folder's images are not pending";
    EXPECT_EQ(reports.last().total(), 2);
}

TEST_F(ImagePreparationTest, ThousandsOfSmallPhotosEndWithEveryOneCounted) {
    // Every rendition made used to count all images again, reading two files each: a few
    // thousand photos then took minutes. The count now follows each piece of news.
    constexpr int kPhotos = 2500;
    for (int i = 0; i < kPhotos; ++i)
        ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("s%1.jpg").arg(i)), 8, 8));
    watch();
    prepare();
    ASSERT_TRUE(waitUntil([&] { return finishes > 0; }, 240000)) << reports.value(reports.size() - 1).labelText().toStdString();
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(reports.last(), PLYPrepProgress::fromCounts(0, kPhotos));
    EXPECT_TRUE(allCached()) << "the end agrees with a full count";
    for (int i = 1; i < reports.size(); ++i)
        ASSERT_GE(reports[i].prepared(), reports[i - 1].prepared()) << "the count only goes up, at report " << i;
}

TEST_F(ImagePreparationTest, CancelStopsReportingWhileTheCacheGoesOn) {
    writePhotos(0, 12);
    watch();
    prepare();
    ASSERT_FALSE(preparation->isFinished());
    const qsizetype before = reports.size();
    preparation->cancel();
    EXPECT_TRUE(preparation->isCancelled());
    EXPECT_FALSE(preparation->isFinished());

    // The renditions are still made, but the preparation hears of none of them.
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && allCached(); }));
    postStrayCacheNews();
    location->rescan();
    preparation->checkPrepFinished();
    EXPECT_EQ(reports.size(), before);
    EXPECT_EQ(finishes, 0);
    preparation->cancel();  // twice is harmless
    EXPECT_EQ(finishes, 0);
}

TEST_F(ImagePreparationTest, AnImageAddedOrDeletedDuringPreparationIsCountedOnce) {
    writePhotos(0, 3);
    watch();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    QStringList firstThree;
    for (const auto& image : post->images()) firstThree << image->identifier();
    ASSERT_EQ(firstThree.size(), 3);
    {
        // While the test holds all the memory the renditions share, their jobs start but cannot
        // finish: the three are asked for, and none is done yet.
        PLYMemoryBudget::Hold all(cache->renditionBudget(), cache->renditionBudget().capacity());
        ASSERT_TRUE(all.isHeld());
        prepare();
        ASSERT_FALSE(reports.isEmpty());
        EXPECT_EQ(reports.last(), PLYPrepProgress::fromCounts(3, 3));
        ASSERT_TRUE(waitUntil([&] {
            return std::all_of(firstThree.cbegin(), firstThree.cend(), [&](const QString& id) { return cache->isPending(id); });
        }));
    }
    // The three are made now, and their news is queued before the folder even lists the two new
    // photos: the preparation hears that the three are done before it hears of the two, which the
    // folder tells of only once their metadata is read.
    cache->waitForDone();
    writePhotos(3, 2);
    location->rescan();
    // One deleted leaves the pending ones without ever being waited for.
    ASSERT_TRUE(QFile::remove(QDir(folder).filePath(QStringLiteral("p0.jpg"))));
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return finishes > 0; }));
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(reports.last(), PLYPrepProgress::fromCounts(0, 5)) << reports.last().labelText().toStdString();
    EXPECT_TRUE(allCached()) << "the end came before the new photos had their renditions";
}
