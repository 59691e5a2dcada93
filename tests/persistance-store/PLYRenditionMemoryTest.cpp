// Memory of the rendition jobs: what a picture's header says before anything is decoded, the
// budget the jobs share, and folders of hostile pictures (tiny files whose headers claim
// 45000 x 45000) that must not push the process's peak memory past the budget.
#include "PLYImageHeader.h"
#include "PLYImageManager.h"
#include "PLYLog.h"
#include "PLYMemoryBudget.h"
#include "PLYSourceImage.h"
#include "PLYProcessMemory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <QFileInfo>

#include <atomic>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// A real small JPEG whose frame header is rewritten to claim another size: libjpeg takes the
// claim and decodes a picture that size from a few hundred bytes.
bool writeHeaderBomb(const QString& path, int claimedWidth, int claimedHeight, bool progressive = false) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(90, 140, 60));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image)) return false;
    const QByteArray frame = progressive ? QByteArray("\xFF\xC2", 2) : QByteArray("\xFF\xC0", 2);
    const qsizetype at = bytes.indexOf(frame);
    if (at < 0) return false;
    // FF Cx, length (2), precision (1), height (2), width (2).
    bytes[at + 5] = char(claimedHeight >> 8);
    bytes[at + 6] = char(claimedHeight & 0xFF);
    bytes[at + 7] = char(claimedWidth >> 8);
    bytes[at + 8] = char(claimedWidth & 0xFF);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class RenditionMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        cache = PLYImageManager::sharedManager();
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) {
            std::lock_guard lock(logMutex);
            logLines << line;
        });
    }
    void TearDown() override {
        PLYLog::removeObserver(logToken);
        cache->waitForDone();
        QCoreApplication::processEvents();
        PLYImageManager::resetSharedManager();
    }
    std::shared_ptr<PLYSourceImage> image(const QString& name) {
        auto made = std::make_shared<PLYSourceImage>(QStringLiteral("id-") + QString(name).remove(QLatin1Char('.')),
                                                     QDir(folder).filePath(name), nullptr);
        images << made;
        return made;
    }
    void requestAllAndWait() {
        for (const auto& i : std::as_const(images)) cache->requestRenditions(i);
        cache->waitForDone();
        QCoreApplication::processEvents();
        ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] {
            for (const auto& i : std::as_const(images))
                if (cache->isPending(i->identifier())) return false;
            return true;
        }));
    }
    bool logged(const QString& part) {
        std::lock_guard lock(logMutex);
        for (const QString& line : std::as_const(logLines))
            if (line.contains(part)) return true;
        return false;
    }

    QString folder;
    PLYImageManager* cache = nullptr;
    QList<std::shared_ptr<PLYSourceImage>> images;
    std::mutex logMutex;
    QStringList logLines;
    int logToken = 0;
};

}  // namespace

// ---- the header -----------------------------------------------------------------------------

TEST(ImageHeader, AJpegSizeIsReadFromItsFrameHeader) {
    const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("header"));
    const QString photo = QDir(folder).filePath(QStringLiteral("p.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(photo, 640, 480));
    const PLYImageHeader header = PLYImageHeader::read(photo);
    EXPECT_TRUE(header.isJpeg);
    EXPECT_FALSE(header.progressive);
    EXPECT_EQ(header.size, QSize(640, 480));
    EXPECT_EQ(header.components, 3);
}

TEST(ImageHeader, ABombIsKnownFromItsHeaderAndCostsWhatLibjpegWouldTake) {
    const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("header"));
    const QString bomb = QDir(folder).filePath(QStringLiteral("bomb.jpg"));
    ASSERT_TRUE(writeHeaderBomb(bomb, 45000, 45000));
    EXPECT_LT(QFileInfo(bomb).size(), 2000);
    const PLYImageHeader header = PLYImageHeader::read(bomb);
    EXPECT_EQ(header.size, QSize(45000, 45000));
    // Decoded at 1/8: 5625 x 5625 of four bytes, then the 1500-pixel picture and its copy.
    EXPECT_EQ(header.decodeBytes(1500, false), 5625LL * 5625 * 4 + 1500LL * 1500 * 4 * 2);

    const QString progressive = QDir(folder).filePath(QStringLiteral("progressive.jpg"));
    ASSERT_TRUE(writeHeaderBomb(progressive, 45000, 45000, true));
    const PLYImageHeader deep = PLYImageHeader::read(progressive);
    EXPECT_TRUE(deep.progressive);
    EXPECT_GT(deep.decodeBytes(1500, false), 45000LL * 45000 * 2 * 3) << "every coefficient is kept";
}

TEST(ImageHeader, OtherFormatsDecodeWholeAndUnreadableFilesSayWhy) {
    const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("header"));
    const QString png = QDir(folder).filePath(QStringLiteral("p.png"));
    ASSERT_TRUE(QImage(3000, 200, QImage::Format_RGB32).save(png));
    const PLYImageHeader header = PLYImageHeader::read(png);
    EXPECT_FALSE(header.isJpeg);
    EXPECT_EQ(header.size, QSize(3000, 200));
    EXPECT_EQ(header.decodeBytes(1500, false), 3000LL * 200 * 4 + 1500LL * 100 * 4 * 2);

    const QString cut = QDir(folder).filePath(QStringLiteral("cut.jpg"));
    QFile file(cut);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\xFF\xD8\xFF\xE1\x40\x00", 6));  // a marker announcing more than there is
    file.close();
    const PLYImageHeader none = PLYImageHeader::read(cut);
    EXPECT_FALSE(none.isValid());
    EXPECT_FALSE(none.reason.isEmpty());
    EXPECT_EQ(none.decodeBytes(1500, false), 0);
    EXPECT_FALSE(PLYImageHeader::read(QDir(folder).filePath(QStringLiteral("gone.jpg"))).isValid());
}

// ---- the budget -----------------------------------------------------------------------------

TEST(MemoryBudget, WhatCanNeverFitIsRefusedAtOnceAndHoldsNothing) {
    PLYMemoryBudget budget(100);
    EXPECT_FALSE(budget.acquire(101));
    EXPECT_EQ(budget.inUse(), 0);
    {
        PLYMemoryBudget::Hold hold(budget, 100);
        EXPECT_TRUE(hold.isHeld());
        EXPECT_EQ(budget.inUse(), 100);
    }
    EXPECT_EQ(budget.inUse(), 0);
}

TEST(MemoryBudget, MoreThanTheCapacityRunsAloneWhenAskedTo) {
    PLYMemoryBudget budget(100);
    PLYMemoryBudget::Hold alone(budget, 250, true);
    EXPECT_TRUE(alone.isHeld());
    EXPECT_EQ(budget.inUse(), 100) << "it holds all of the budget";
}

TEST(MemoryBudget, ThreadsTogetherNeverHoldMoreThanTheCapacityAndLargeOnesRunAlone) {
    const quint32 seed = QRandomGenerator::global()->generate();
    std::cout << "seed " << seed << std::endl;
    constexpr qint64 kCapacity = 1000;
    PLYMemoryBudget budget(kCapacity);
    std::atomic<qint64> held{0};
    std::atomic<int> holders{0};
    std::atomic<bool> overrun{false};
    std::atomic<bool> notAlone{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            QRandomGenerator random(seed + quint32(t));
            for (int step = 0; step < 300; ++step) {
                // One request in ten is larger than the whole budget. None asks for nothing: a
                // job that needs no bytes may rightly run beside one that runs alone.
                const qint64 bytes = random.bounded(10) == 0 ? kCapacity + 1 + random.bounded(kCapacity) : 1 + random.bounded(kCapacity);
                PLYMemoryBudget::Hold hold(budget, bytes, true);
                ASSERT_TRUE(hold.isHeld());
                const qint64 counted = std::min(bytes, kCapacity);
                const int others = holders.fetch_add(1);
                if (held.fetch_add(counted) + counted > kCapacity) overrun = true;
                if (bytes > kCapacity && others > 0) notAlone = true;
                std::this_thread::yield();
                if (bytes > kCapacity && holders.load() > 1) notAlone = true;
                held.fetch_sub(counted);
                holders.fetch_sub(1);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(overrun.load());
    EXPECT_FALSE(notAlone.load());
    EXPECT_LE(budget.peakInUse(), kCapacity);
    EXPECT_EQ(budget.inUse(), 0);
}

// ---- the rendition jobs ---------------------------------------------------------------------

TEST_F(RenditionMemoryTest, EightHeaderBombsStayWithinTheBudgetAndTheOtherPhotosAreMade) {
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(writeHeaderBomb(QDir(folder).filePath(QStringLiteral("bomb%1.jpg").arg(i)), 45000, 45000));
        image(QStringLiteral("bomb%1.jpg").arg(i));
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i)), 2000, 1500));
        image(QStringLiteral("p%1.jpg").arg(i));
    }
    PLYResetPeakMemory();
    const qint64 before = PLYProcessStatusBytes("VmHWM");
    ASSERT_GT(before, 0);
    requestAllAndWait();
    const qint64 growth = PLYProcessStatusBytes("VmHWM") - before;
    std::cout << "peak resident memory grew by " << growth / MiB << " MiB" << std::endl;

    const qint64 budget = cache->renditionBudget().capacity();
    EXPECT_LE(cache->renditionBudget().peakInUse(), budget);
    // Five bombs decoded at once took about 630 MiB; the budget lets one through at a time.
    EXPECT_LT(growth, budget + 96 * MiB) << "peak grew by " << growth / MiB << " MiB";
    for (const auto& i : std::as_const(images)) {
        if (QFileInfo(i->path()).fileName().startsWith(QLatin1Char('p'))) {
            EXPECT_TRUE(cache->hasRenditions(i->identifier())) << i->path().toStdString();
        }
    }
}

TEST_F(RenditionMemoryTest, APictureBeyondTheWholeBudgetIsDecodedAlone) {
    // Each bomb needs about 140 MiB, more than this budget: they take turns, one at a time.
    cache->renditionBudget().setCapacity(64 * MiB);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(writeHeaderBomb(QDir(folder).filePath(QStringLiteral("bomb%1.jpg").arg(i)), 45000, 45000));
        image(QStringLiteral("bomb%1.jpg").arg(i));
    }
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("fine.jpg")), 800, 600));
    image(QStringLiteral("fine.jpg"));
    PLYResetPeakMemory();
    const qint64 before = PLYProcessStatusBytes("VmHWM");
    requestAllAndWait();
    const qint64 growth = PLYProcessStatusBytes("VmHWM") - before;
    std::cout << "peak resident memory grew by " << growth / MiB << " MiB" << std::endl;
    EXPECT_LT(growth, 300 * MiB) << "two bombs at once would take about 280 MiB, five about 700";
    EXPECT_LE(cache->renditionBudget().peakInUse(), 64 * MiB);
    for (const auto& i : std::as_const(images)) {
        EXPECT_FALSE(cache->isFailed(i->identifier())) << i->path().toStdString();
        EXPECT_TRUE(cache->hasRenditions(i->identifier())) << i->path().toStdString();
    }
}

TEST_F(RenditionMemoryTest, APictureBeyondTheSingleLimitIsRefusedWithItsNameLogged) {
    // A progressive JPEG keeps every coefficient of the whole picture: 45000 x 45000 claims 12 GB.
    ASSERT_TRUE(writeHeaderBomb(QDir(folder).filePath(QStringLiteral("deep.jpg")), 45000, 45000, true));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(QStringLiteral("fine.jpg")), 800, 600));
    const auto deep = image(QStringLiteral("deep.jpg"));
    const auto fine = image(QStringLiteral("fine.jpg"));
    PLYResetPeakMemory();
    const qint64 before = PLYProcessStatusBytes("VmHWM");
    requestAllAndWait();
    // And with a lower limit, a baseline bomb too.
    cache->setSingleDecodeLimit(64 * MiB);
    ASSERT_TRUE(writeHeaderBomb(QDir(folder).filePath(QStringLiteral("bomb.jpg")), 45000, 45000));
    const auto bomb = image(QStringLiteral("bomb.jpg"));
    requestAllAndWait();

    EXPECT_LT(PLYProcessStatusBytes("VmHWM") - before, 64 * MiB) << "nothing of the refused pictures was decoded";
    EXPECT_TRUE(cache->isFailed(deep->identifier()));
    EXPECT_TRUE(cache->isFailed(bomb->identifier()));
    EXPECT_FALSE(cache->hasRenditions(bomb->identifier()));
    EXPECT_TRUE(cache->hasRenditions(fine->identifier()));
    EXPECT_TRUE(logged(bomb->path())) << "the refused picture is named in the log";
    EXPECT_TRUE(logged(deep->path()));
    EXPECT_TRUE(logged(QStringLiteral("45000 x 45000")));
}
