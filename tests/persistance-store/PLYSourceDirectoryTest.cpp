#include "PLYImageManager.h"
#include "PLYImageMetaReader.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPropertyList.h"
#include "PLYProcessMemory.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceDirectoryDelegate.h"
#include "PLYSourceImage.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestMount.h"
#include "PLYWatchLimit.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimeZone>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QThread>

#include <sys/mount.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

class RecordingDelegate : public PLYSourceDirectoryDelegate {
public:
    void sourceDirectoryUpdatedState(PLYSourceDirectory*, int state) override {
        states << state;
        if (state == PLYSourceDirectory::Ready) reportsWhenReady = added.size() + updated.size();
    }
    void sourceDirectoryAddedNewImage(PLYSourceDirectory*, const QString& id) override { added << id; }
    void sourceDirectoryUpdatedImage(PLYSourceDirectory*, const QString& id) override { updated << id; }
    void sourceDirectoryDeletedImage(PLYSourceDirectory*, const QString& id) override { deleted << id; }
    bool sourceDirectoryShouldRemoveDeletedImage(PLYSourceDirectory*, const QString&) override { return allowRemoval; }
    QList<int> states;
    QStringList added, updated, deleted;
    bool allowRemoval = false;
    qsizetype reportsWhenReady = -1;
};

class SourceDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("library"));
        watched = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        staging = PLYTestEnvironment::makeTempDirectory(QStringLiteral("staging"));
        store = PLYPersistantStore::create(root);
        store->setUp(false);
    }
    void TearDown() override {
        if (location) location->removeDelegate(&delegate);
        store.reset();
        PLYImageManager::resetSharedManager();
    }

    // Written elsewhere and moved in, as a finished file arrives.
    QString addJpeg(const QString& relative, int w = 64, int h = 48) {
        const QString staged = QDir(staging).filePath(QFileInfo(relative).fileName());
        EXPECT_TRUE(PLYTestImages::writeJpeg(staged, w, h));
        const QString target = QDir(watched).filePath(relative);
        QDir().mkpath(QFileInfo(target).absolutePath());
        EXPECT_TRUE(QFile::rename(staged, target));
        return QDir::cleanPath(target);
    }

    void startWatching(bool includeSubFolders = true) {
        location = store->startWatchingPath(watched, {});
        // A post uses the location, so that it is watched again after a restart.
        auto post = store->signInUser(QStringLiteral("a@b.c"))->createNewPost(QStringLiteral("P"));
        post->layout()->add_sections()->mutable_stacked();
        post->addSourceLocation(location->identifier());
        location->setFolderLocation(true);
        location->setIncludeSubFolders(includeSubFolders);
        location->addDelegate(&delegate);
        location->startWatching();
        ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    }

    std::shared_ptr<PLYSourceImage> imageAt(const QString& path) const {
        for (const auto& image : location->watchedImages())
            if (image->path() == QDir::cleanPath(path)) return image;
        return nullptr;
    }

    QString root, watched, staging;
    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYSourceDirectory> location;
    RecordingDelegate delegate;
};

}  // namespace

TEST_F(SourceDirectoryTest, FirstScanReadsSizeRatingAndLabelAndRefusesRawFiles) {
    const QString a = addJpeg(QStringLiteral("a.jpg"), 120, 80);
    const QString b = addJpeg(QStringLiteral("b.jpg"), 30, 90);
    ASSERT_TRUE(PLYTestImages::setXmpRatingAndLabel(a, 4, QStringLiteral("Green")));
    ASSERT_TRUE(PLYTestImages::setXmpRatingAndLabel(b, -1, QStringLiteral("Orange")));
    const QString raw = addJpeg(QStringLiteral("c.nef"));  // decodable bytes, refused by extension
    QFile text(QDir(watched).filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    int notifications = 0;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYSourceDirectory::ChangedNotification), nullptr, [&](const PLYNotification&) { ++notifications; });

    startWatching();
    ASSERT_EQ(location->watchedImages().size(), 2);
    auto ia = imageAt(a), ib = imageAt(b);
    ASSERT_TRUE(ia && ib);
    EXPECT_EQ(ia->width(), 120);
    EXPECT_EQ(ia->height(), 80);
    EXPECT_EQ(ia->starRating(), 4);
    EXPECT_EQ(ia->colourRating(), 3);
    EXPECT_EQ(ib->starRating(), -1);
    EXPECT_EQ(ib->colourRating(), 2);
    EXPECT_EQ(ib->aspectRatio().factor(), 30.0 / 90.0);
    EXPECT_FALSE(imageAt(raw));
    // What the folder held when it was chosen is read, but it is not new.
    EXPECT_TRUE(delegate.added.isEmpty());
    EXPECT_EQ(delegate.updated.size(), 2);
    EXPECT_EQ(delegate.states.last(), PLYSourceDirectory::Ready);
    EXPECT_TRUE(delegate.states.contains(PLYSourceDirectory::Scanning));
    EXPECT_GE(notifications, 2);
    EXPECT_TRUE(location->locationExisits());
}

TEST_F(SourceDirectoryTest, AddedRenamedAndDeletedFilesAreFollowed) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    const QString idA = imageAt(a)->identifier();

    const QString b = addJpeg(QStringLiteral("b.jpg"));
    ASSERT_TRUE(waitUntil([&] { return imageAt(b) && delegate.added.contains(imageAt(b)->identifier()); }));

    const QString renamed = QDir(watched).filePath(QStringLiteral("renamed.jpg"));
    ASSERT_TRUE(QFile::rename(a, renamed));
    ASSERT_TRUE(waitUntil([&] { return imageAt(renamed) != nullptr; }));
    EXPECT_EQ(imageAt(renamed)->identifier(), idA) << "a rename keeps the identifier";
    EXPECT_FALSE(imageAt(renamed)->fileDeleted());
    EXPECT_FALSE(delegate.deleted.contains(idA));
    EXPECT_EQ(location->watchedImages().size(), 2);

    const QString idB = imageAt(b)->identifier();
    ASSERT_TRUE(QFile::remove(b));
    ASSERT_TRUE(waitUntil([&] { return delegate.deleted.contains(idB); }));
    ASSERT_TRUE(location->imageForIdentifier(idB));
    EXPECT_TRUE(location->imageForIdentifier(idB)->fileDeleted()) << "kept, marked, while no delegate lets it go";
    EXPECT_TRUE(store->imageForIdentifier(idB));

    delegate.allowRemoval = true;
    ASSERT_TRUE(QFile::remove(renamed));
    ASSERT_TRUE(waitUntil([&] { return !location->imageForIdentifier(idA); }));
}

TEST_F(SourceDirectoryTest, MovedIntoASubFolderKeepsTheIdentifier) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    QDir().mkpath(QDir(watched).filePath(QStringLiteral("sub")));
    startWatching(true);
    const QString idA = imageAt(a)->identifier();
    const QString moved = QDir(watched).filePath(QStringLiteral("sub/a.jpg"));
    ASSERT_TRUE(QFile::rename(a, moved));
    ASSERT_TRUE(waitUntil([&] { return imageAt(moved) != nullptr; }));
    EXPECT_EQ(imageAt(moved)->identifier(), idA);
}

TEST_F(SourceDirectoryTest, SubFoldersFollowTheLocationsSetting) {
    addJpeg(QStringLiteral("top.jpg"));
    const QString nested = addJpeg(QStringLiteral("sub/deeper/nested.jpg"));
    startWatching(false);
    EXPECT_EQ(location->watchedImages().size(), 1);
    EXPECT_FALSE(imageAt(nested));
    const QString later = addJpeg(QStringLiteral("sub/later.jpg"));
    addJpeg(QStringLiteral("top2.jpg"));
    ASSERT_TRUE(waitUntil([&] { return location->watchedImages().size() == 2; }));
    EXPECT_FALSE(imageAt(later));

    location->setIncludeSubFolders(true);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && location->watchedImages().size() == 4; }));
    EXPECT_TRUE(imageAt(nested));
    const QString newest = addJpeg(QStringLiteral("sub/new/newest.jpg"));
    ASSERT_TRUE(waitUntil([&] { return imageAt(newest) != nullptr; }));
}

TEST_F(SourceDirectoryTest, AVanishedFolderIsMissingUntilItComesBack) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    const QString idA = imageAt(a)->identifier();
    const QString away = watched + QStringLiteral("-away");
    ASSERT_TRUE(QDir().rename(watched, away));
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Missing; }));
    EXPECT_FALSE(location->locationExisits());
    EXPECT_TRUE(location->imageForIdentifier(idA)->fileDeleted());

    ASSERT_TRUE(QDir().rename(away, watched));
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    ASSERT_TRUE(location->imageForIdentifier(idA));
    EXPECT_FALSE(location->imageForIdentifier(idA)->fileDeleted());
    EXPECT_TRUE(location->locationExisits());
}

// The scan keeps each file's name and times, which the gallery sorts by without asking the file
// system again; the location file keeps them across a restart.
TEST_F(SourceDirectoryTest, TheScanKeepsEachFilesNameAndTimesAcrossARestart) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(1600000000123LL, QTimeZone::utc());
    {
        QFile file(a);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    startWatching();
    auto image = imageAt(a);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->fileName(), QStringLiteral("a.jpg"));
    EXPECT_EQ(image->fileModifiedTime(), modified.toMSecsSinceEpoch());
    const QDateTime birth = QFileInfo(a).birthTime();
    EXPECT_EQ(image->fileCreatedTime(), birth.isValid() ? birth.toMSecsSinceEpoch() : modified.toMSecsSinceEpoch());
    const qint64 created = image->fileCreatedTime();
    const QString locationId = location->identifier();
    ASSERT_TRUE(store->save());
    location->removeDelegate(&delegate);
    location.reset();
    image.reset();
    store.reset();

    store = PLYPersistantStore::create(root);
    store->setUp(false);
    location = store->sourceForIdentifier(locationId);
    ASSERT_TRUE(location);
    image = imageAt(a);
    ASSERT_TRUE(image) << "known from the location file before any scan";
    EXPECT_EQ(image->fileModifiedTime(), modified.toMSecsSinceEpoch());
    EXPECT_EQ(image->fileCreatedTime(), created);
}

TEST_F(SourceDirectoryTest, IdentifiersSurviveARestartAndAnOfflineRename) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    const QString b = addJpeg(QStringLiteral("b.jpg"));
    startWatching();
    const QString idA = imageAt(a)->identifier(), idB = imageAt(b)->identifier();
    const QString locationId = location->identifier();
    ASSERT_TRUE(store->save());
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();

    const QString renamed = QDir(watched).filePath(QStringLiteral("z.jpg"));
    ASSERT_TRUE(QFile::rename(b, renamed));
    store = PLYPersistantStore::create(root);
    store->setUp(true);
    location = store->sourceForIdentifier(locationId);
    ASSERT_TRUE(location);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    EXPECT_EQ(imageAt(a)->identifier(), idA);
    ASSERT_TRUE(imageAt(renamed));
    EXPECT_EQ(imageAt(renamed)->identifier(), idB);
    EXPECT_EQ(location->watchedImages().size(), 2);
}

TEST_F(SourceDirectoryTest, ANewFileThatGetsADeletedFilesInodeIsANewImage) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    const QString idA = imageAt(a)->identifier();
    const QString file = location->filePath();
    ASSERT_TRUE(store->save());
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();

    // While the application is closed a.jpg is deleted and another photo arrives; the file
    // system hands the new file the freed inode (set here in the location file, as the
    // kernel would have done).
    ASSERT_TRUE(QFile::remove(a));
    QThread::msleep(20);  // a different modification time, as any new file has
    const QString b = addJpeg(QStringLiteral("b.jpg"), 70, 50);
    QVariantMap map;
    ASSERT_TRUE(PLYPropertyList::readFile(file, &map));
    QVariantList images = map.value(QStringLiteral("images")).toList();
    ASSERT_EQ(images.size(), 1);
    QVariantMap entry = images.first().toMap();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(b).constData(), &st), 0);
    entry.insert(QStringLiteral("device"), qint64(st.st_dev));
    entry.insert(QStringLiteral("inode"), qint64(st.st_ino));
    images[0] = entry;
    map.insert(QStringLiteral("images"), images);
    ASSERT_TRUE(PLYPropertyList::writeFile(file, map));

    store = PLYPersistantStore::create(root);
    store->setUp(true);
    location = store->sourceForIdentifier(map.value(QStringLiteral("identifier")).toString());
    ASSERT_TRUE(location);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && imageAt(b); }));
    EXPECT_NE(imageAt(b)->identifier(), idA) << "the deleted photo's place in layouts went to another photo";
    ASSERT_TRUE(location->imageForIdentifier(idA));
    EXPECT_TRUE(location->imageForIdentifier(idA)->fileDeleted());
}

TEST_F(SourceDirectoryTest, ASingleFileLocationFollowsItsFile) {
    const QString a = addJpeg(QStringLiteral("single.jpg"));
    addJpeg(QStringLiteral("other.jpg"));
    location = store->startWatchingPath(a, {});
    location->setFolderLocation(false);
    location->addDelegate(&delegate);
    location->startWatching();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    ASSERT_EQ(location->watchedImages().size(), 1);
    const QString id = location->watchedImages().firstKey();
    addJpeg(QStringLiteral("third.jpg"));
    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Missing; }));
    EXPECT_EQ(location->watchedImages().size(), 1);
    EXPECT_TRUE(location->imageForIdentifier(id)->fileDeleted());
}

TEST_F(SourceDirectoryTest, HiddenFilesAreLeftOutWhetherSeenByScanOrByEvent) {
    addJpeg(QStringLiteral(".before.jpg"));
    QDir().mkpath(QDir(watched).filePath(QStringLiteral(".thumbnails")));
    startWatching();
    EXPECT_TRUE(location->watchedImages().isEmpty());
    // Each arrives as a single event, not through a full scan.
    addJpeg(QStringLiteral("._resource-fork.jpg"));
    addJpeg(QStringLiteral(".thumbnails/cached.jpg"));
    const QString visible = addJpeg(QStringLiteral("visible.jpg"));
    ASSERT_TRUE(waitUntil([&] { return imageAt(visible) != nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(location->watchedImages().size(), 1);
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    EXPECT_EQ(location->watchedImages().size(), 1);
    EXPECT_TRUE(delegate.deleted.isEmpty()) << "an image seen by an event must not vanish at the next full scan";
}

TEST_F(SourceDirectoryTest, ARestartedScanIsReadyOnlyWhenItsOwnReadsAreDone) {
    QStringList files;
    for (int i = 0; i < 12; ++i) files << addJpeg(QStringLiteral("p%1.jpg").arg(i), 600, 400);
    location = store->startWatchingPath(watched, {});
    location->setFolderLocation(true);
    location->addDelegate(&delegate);
    location->startWatching();
    location->setIncludeSubFolders(!location->includeSubFolders());  // stops and starts again at once
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    // The reader is serial: once a read queued now reports, every earlier one has.
    bool drained = false;
    PLYImageMetaReader::readAsync(files.first(), nullptr, [&](const PLYImageMeta&) { drained = true; });
    ASSERT_TRUE(waitUntil([&] { return drained; }));
    EXPECT_EQ(delegate.added.size() + delegate.updated.size(), delegate.reportsWhenReady)
        << "images were still being read after the location said it was ready";
    EXPECT_EQ(location->state(), PLYSourceDirectory::Ready);
}

TEST_F(SourceDirectoryTest, PathsWithSpacesAndNonAsciiLettersSurviveARestart) {
    watched = QDir(watched).filePath(QStringLiteral("Ferien Fotos \u00fc\u00e9 \u6771\u4eac"));
    ASSERT_TRUE(QDir().mkpath(watched));
    const QString a = addJpeg(QStringLiteral("Strand Bild \u00e9 #1 100%.jpg"), 90, 60);
    ASSERT_TRUE(PLYTestImages::setXmpRatingAndLabel(a, 3, QStringLiteral("Red")));
    startWatching();
    ASSERT_TRUE(imageAt(a));
    EXPECT_EQ(imageAt(a)->width(), 90);
    EXPECT_EQ(imageAt(a)->starRating(), 3);
    const QString id = imageAt(a)->identifier(), locationId = location->identifier();
    ASSERT_TRUE(store->save());
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();

    store = PLYPersistantStore::create(root);
    store->setUp(true);
    location = store->sourceForIdentifier(locationId);
    ASSERT_TRUE(location);
    EXPECT_EQ(location->path(), QDir::cleanPath(watched));
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    ASSERT_TRUE(imageAt(a));
    EXPECT_EQ(imageAt(a)->identifier(), id);
    EXPECT_FALSE(imageAt(a)->fileDeleted());
    EXPECT_EQ(imageAt(a)->colourRating(), 1);
}

TEST_F(SourceDirectoryTest, ImageHelpers) {
    PLYSourceImage image(QStringLiteral("X"), QStringLiteral("/tmp/photos/Sunset.Beach.jpg"), nullptr);
    image.setPixelSize(400, 200);
    EXPECT_EQ(image.exportNameWithFocusKeywords(), QStringLiteral("Sunset.Beach"));
    EXPECT_EQ(image.exportNameWithFocusKeywords(QStringList{QStringLiteral("sea"), QStringLiteral("sun")}),
              QStringLiteral("Sunset.Beach_sea_sun"));
    EXPECT_EQ(image.galleryDisplayFrameForLongestEdge(100), QSizeF(100, 50));
    EXPECT_EQ(image.aspectRatio().preset(), 9);  // 2:1
    EXPECT_FALSE(image.creationDate().isValid());
}

namespace {
quint64 inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}
}  // namespace

TEST_F(SourceDirectoryTest, RenamedAndRestoredFilesKeepTheirRenditions) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    const QString id = imageAt(a)->identifier();
    delegate.updated.clear();  // the first look read it
    PLYImageManager* cache = PLYImageManager::sharedManager();
    ASSERT_TRUE(waitUntil([&] { return cache->hasRenditions(id) && !cache->isPending(id); }));
    const quint64 rendition = inodeOf(cache->exportPathForIdentifier(id));

    const QString renamed = QDir(watched).filePath(QStringLiteral("renamed.jpg"));
    ASSERT_TRUE(QFile::rename(a, renamed));
    ASSERT_TRUE(waitUntil([&] { return imageAt(renamed) != nullptr; }));
    const QString away = QDir(staging).filePath(QStringLiteral("trash.jpg"));
    ASSERT_TRUE(QFile::rename(renamed, away));
    ASSERT_TRUE(waitUntil([&] { return location->imageForIdentifier(id)->fileDeleted(); }));
    ASSERT_TRUE(QFile::rename(away, renamed));
    ASSERT_TRUE(waitUntil([&] { return !location->imageForIdentifier(id)->fileDeleted(); }));
    cache->waitForDone();
    EXPECT_EQ(delegate.updated.count(id), 2) << "the rename and the return are announced";
    EXPECT_EQ(inodeOf(cache->exportPathForIdentifier(id)), rendition) << "the renditions were made again";
}

TEST_F(SourceDirectoryTest, ADamagedLocationFileIsRecoveredAndAFolderWatchedAgainKeepsItsIdentifiers) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    const QString id = imageAt(a)->identifier(), file = location->filePath(), locationId = location->identifier();
    ASSERT_TRUE(store->save());
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();
    {
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("<?xml version=\"1.0\"?><plist><dict><key>identifier</key><str");
    }
    store = PLYPersistantStore::create(root);
    store->setUp(true);
    location = store->sourceForIdentifier(locationId);
    ASSERT_TRUE(location) << "the last good copy was not used";
    EXPECT_TRUE(location->imageForIdentifier(id));
    EXPECT_EQ(QDir(QFileInfo(file).path()).entryList({QFileInfo(file).fileName() + QStringLiteral(".damaged-*")}).size(), 1);
    EXPECT_TRUE(PLYPropertyList::readFile(file, nullptr));

    // The same folder watched again, by a new location, keeps the identifiers layouts use.
    auto again = store->startWatchingPath(watched, {});
    again->startWatching();
    ASSERT_TRUE(waitUntil([&] { return again->state() == PLYSourceDirectory::Ready; }));
    EXPECT_EQ(again->watchedImages().keys(), QStringList{id});
}

TEST_F(SourceDirectoryTest, IdentifiersFromDiskNeverBecomePathsOutsideTheCache) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    const QString file = QDir(store->locationsDirectory()).filePath(QStringLiteral("LOC-1.plylocation"));
    QVariantList images;
    for (const char* id : {"../../../escape", "/etc/x", ".hidden", "GOOD-1"})
        images << QVariantMap{{QStringLiteral("identifier"), QString::fromLatin1(id)}, {QStringLiteral("path"), a}};
    ASSERT_TRUE(PLYPropertyList::writeFile(file, {{QStringLiteral("identifier"), QStringLiteral("LOC-1")},
                                                  {QStringLiteral("location"), watched}, {QStringLiteral("images"), images}}));
    ASSERT_TRUE(PLYPropertyList::writeFile(QDir(store->locationsDirectory()).filePath(QStringLiteral("x.plylocation")),
                                           {{QStringLiteral("identifier"), QStringLiteral("../x")}, {QStringLiteral("location"), watched}}));
    store = PLYPersistantStore::create(root);
    store->setUp(false);
    ASSERT_EQ(store->sourceLocations().size(), 1);
    EXPECT_EQ(store->sourceForIdentifier(QStringLiteral("LOC-1"))->watchedImages().keys(), QStringList{QStringLiteral("GOOD-1")});

    PLYImageManager* cache = PLYImageManager::sharedManager();
    const QString outside = QDir(cache->cacheDirectory()).filePath(QStringLiteral("../escape"));
    cache->requestRenditions(std::make_shared<PLYSourceImage>(QStringLiteral("../escape"), a, nullptr));
    cache->waitForDone();
    EXPECT_FALSE(QFileInfo::exists(outside));
    EXPECT_TRUE(cache->exportPathForIdentifier(QStringLiteral("..")).isEmpty());
    EXPECT_TRUE(cache->exportDataForIdentifier(QStringLiteral("../../etc/passwd")).isEmpty());
}

TEST_F(SourceDirectoryTest, AnUnmountedVolumeIsMissingAndPickedUpWhenMountedAgain) {
    const QString volume = PLYTestEnvironment::makeTempDirectory(QStringLiteral("volume"));
    const QString mountPoint = PLYTestEnvironment::makeTempDirectory(QStringLiteral("mnt"));
    if (::mount("tmpfs", QFile::encodeName(volume).constData(), "tmpfs", 0, "size=16m") != 0)
        GTEST_SKIP() << "mounting needs CAP_SYS_ADMIN: " << strerror(errno);
    struct Unmount {
        QByteArray a, b;
        ~Unmount() {
            ::umount2(a.constData(), MNT_DETACH);
            ::umount2(b.constData(), MNT_DETACH);
        }
    } unmount{QFile::encodeName(mountPoint), QFile::encodeName(volume)};
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(volume).filePath(QStringLiteral("a.jpg")), 64, 48));
    ASSERT_TRUE(QDir().mkpath(QDir(volume).filePath(QStringLiteral("Sub"))));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(volume).filePath(QStringLiteral("Sub/b.jpg")), 64, 48));
    auto bind = [&] { return ::mount(unmount.b.constData(), unmount.a.constData(), nullptr, MS_BIND, nullptr) == 0; };
    ASSERT_TRUE(bind());

    // One location is the volume's mount point, another a folder on the volume.
    watched = mountPoint;
    startWatching();
    auto sub = store->startWatchingPath(QDir(mountPoint).filePath(QStringLiteral("Sub")), {});
    sub->startWatching();
    ASSERT_TRUE(waitUntil([&] { return sub->state() == PLYSourceDirectory::Ready; }));
    const QString id = imageAt(QDir(mountPoint).filePath(QStringLiteral("a.jpg")))->identifier();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    ASSERT_TRUE(waitUntil([&] { return cache->hasRenditions(id) && !cache->isPending(id); }));
    cache->waitForDone();
    const quint64 rendition = inodeOf(cache->exportPathForIdentifier(id));

    ASSERT_EQ(::umount2(unmount.a.constData(), 0), 0) << strerror(errno);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Missing && sub->state() == PLYSourceDirectory::Missing; }));
    EXPECT_TRUE(location->imageForIdentifier(id)->fileDeleted());
    EXPECT_TRUE(delegate.deleted.isEmpty()) << "an unmounted volume is not a deleted photo";

    ASSERT_TRUE(bind());
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && sub->state() == PLYSourceDirectory::Ready; }));
    EXPECT_FALSE(location->imageForIdentifier(id)->fileDeleted());
    EXPECT_EQ(location->watchedImages().size(), 2);
    EXPECT_EQ(sub->watchedImages().size(), 1);
    cache->waitForDone();
    EXPECT_EQ(inodeOf(cache->exportPathForIdentifier(id)), rendition) << "the returning photos were decoded again";
}

// A name in bytes that are not UTF-8 cannot be opened by the name Qt gives it: such a photo was
// missing from the gallery without a word. Each one is now named in the log with the reason,
// once, whether the full scan or an event finds it; the other photos are listed as ever.
TEST_F(SourceDirectoryTest, PhotosWhoseNamesAreNotUtf8AreLoggedOnceEachWithTheReason) {
    QStringList lines;
    std::mutex linesMutex;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) {
        std::lock_guard lock(linesMutex);
        lines << line;
    });
    const auto writeRawName = [&](const QByteArray& name) {
        const QString staged = QDir(staging).filePath(QStringLiteral("raw.jpg"));
        ASSERT_TRUE(PLYTestImages::writeJpeg(staged, 32, 24));
        const QByteArray target = QFile::encodeName(watched) + '/' + name;
        ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), target.constData()), 0) << strerror(errno);
    };
    const auto countMentions = [&](const QString& part) {
        std::lock_guard lock(linesMutex);
        return std::count_if(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.contains(part); });
    };
    writeRawName(QByteArray("caf\xE9.jpg"));  // Latin-1 bytes
    const QString fine = addJpeg(QStringLiteral("fine.jpg"));
    startWatching();
    EXPECT_EQ(location->watchedImages().size(), 1);
    EXPECT_TRUE(imageAt(fine));
    EXPECT_EQ(countMentions(QStringLiteral("not valid UTF-8")), 1);
    EXPECT_EQ(countMentions(QStringLiteral("caf")), 1) << "the log names the file";

    // Another arrives by an event; a full scan again names neither a second time.
    writeRawName(QByteArray("\xFF\xFE-night.jpg"));
    ASSERT_TRUE(waitUntil([&] { return countMentions(QStringLiteral("-night.jpg")) == 1; }));
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    EXPECT_EQ(countMentions(QStringLiteral("not valid UTF-8")), 2);
    EXPECT_EQ(location->watchedImages().size(), 1);
    PLYLog::removeObserver(token);
}

namespace {

QStringList logLinesDuring(const std::function<void()>& work, const QString& mentioning) {
    QStringList lines;
    std::mutex linesMutex;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) {
        std::lock_guard lock(linesMutex);
        if (line.contains(mentioning)) lines << line;
    });
    work();
    PLYLog::removeObserver(token);
    return lines;
}

}  // namespace

// A location whose watch could not start kept its stream and said it was watching (and went
// Ready), so photos added later were never noticed and nothing told why.
TEST_F(SourceDirectoryTest, ALocationPastTheWatchLimitIsNotWatchingAndSaysWhyOnce) {
    if (const auto whyNot = PLYWatchLimit::rerunWithLimit(8)) {
        if (!whyNot->isEmpty()) GTEST_SKIP() << whyNot->toStdString();
        return;
    }
    const QString top = addJpeg(QStringLiteral("top.jpg"));
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(QDir().mkpath(QDir(watched).filePath(QStringLiteral("sub-%1").arg(i))));
    const QString deep = addJpeg(QStringLiteral("sub-3/deep.jpg"));
    location = store->startWatchingPath(watched, {});
    location->setFolderLocation(true);
    location->setIncludeSubFolders(true);
    location->addDelegate(&delegate);
    const QStringList said = logLinesDuring(
        [&] {
            location->startWatching();
            ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Stopped && delegate.states.contains(PLYSourceDirectory::Scanning); }, 30000));
        },
        QStringLiteral("watching ") + watched);
    EXPECT_FALSE(location->isWatching());
    EXPECT_FALSE(delegate.states.contains(PLYSourceDirectory::Ready)) << "Ready while nothing watches the folder";
    ASSERT_EQ(said.size(), 1) << said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(said.first().contains(QStringLiteral("Could not start watching")) &&
                said.first().contains(QStringLiteral("limit of watched folders is reached")))
        << said.first().toStdString();
    // What is there is still read once.
    EXPECT_TRUE(imageAt(top));
    EXPECT_TRUE(imageAt(deep));

    // Without its sub-folders the folder fits: the location, still asked to watch, starts.
    location->setIncludeSubFolders(false);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }, 30000));
    EXPECT_TRUE(location->isWatching());
    const QString added = addJpeg(QStringLiteral("added.jpg"));
    ASSERT_TRUE(waitUntil([&] { return imageAt(added) != nullptr; }, 30000));
}

// The folder came back with more sub-folders than can be watched: the location stops, never
// claiming Ready, and watches again once asked when the folder fits.
TEST_F(SourceDirectoryTest, AFolderThatReturnsPastTheWatchLimitLeavesTheLocationStopped) {
    if (const auto whyNot = PLYWatchLimit::rerunWithLimit(8)) {
        if (!whyNot->isEmpty()) GTEST_SKIP() << whyNot->toStdString();
        return;
    }
    const QString place = QDir(watched).filePath(QStringLiteral("later"));
    location = store->startWatchingPath(place, {});
    location->setFolderLocation(true);
    location->setIncludeSubFolders(true);
    location->addDelegate(&delegate);
    location->startWatching();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Missing; }, 30000));
    EXPECT_TRUE(location->isWatching()) << "a missing folder is watched for its return";

    for (int i = 0; i < 12; ++i) ASSERT_TRUE(QDir().mkpath(QDir(staging).filePath(QStringLiteral("back/sub-%1").arg(i))));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(staging).filePath(QStringLiteral("back/a.jpg")), 32, 24));
    delegate.states.clear();
    const QStringList said = logLinesDuring(
        [&] {
            ASSERT_TRUE(QDir().rename(QDir(staging).filePath(QStringLiteral("back")), place));
            ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Stopped; }, 30000));
        },
        QStringLiteral("watching ") + place);
    EXPECT_FALSE(location->isWatching());
    EXPECT_FALSE(delegate.states.contains(PLYSourceDirectory::Ready));
    ASSERT_EQ(said.size(), 1) << said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(said.first().contains(QStringLiteral("Stopped watching"))) << said.first().toStdString();
    EXPECT_EQ(location->watchedImages().size(), 1);

    for (int i = 0; i < 12; ++i) ASSERT_TRUE(QDir(QDir(place).filePath(QStringLiteral("sub-%1").arg(i))).removeRecursively());
    location->startWatching();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }, 30000));
    EXPECT_TRUE(location->isWatching());
}

namespace {
timespec modifiedOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mtim;
}
bool setModified(const QString& path, timespec when) {
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}
// Once the renditions asked for so far are written and announced, the identifier of each one
// announced from now on goes into `made`.
void recordRenditionsMadeFromNowOn(PLYObserverBag* bag, QStringList* made) {
    PLYImageManager::sharedManager()->waitForDone();
    QCoreApplication::processEvents();
    bag->add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), nullptr,
             [made](const PLYNotification& n) { made->append(n.objectAs<PLYSourceImage>()->identifier()); });
}
}  // namespace

// A full look at an unchanged folder asks the cache only for renditions that are not current:
// missing, cut short, or written before the photo they show was last changed (the application
// quit after it read the edited photo but before the new renditions were written). Those whose
// export was written at or after the photo's time are not decoded again.
TEST_F(SourceDirectoryTest, AFullScanOfAnUnchangedFolderRemakesOnlyTheRenditionsThatAreNotCurrent) {
    const QStringList names{QStringLiteral("current"), QStringLiteral("older"), QStringLiteral("no-preview"),
                            QStringLiteral("cut-short"), QStringLiteral("same-time")};
    QMap<QString, QString> pathOf;
    for (const QString& name : names) pathOf[name] = addJpeg(name + QStringLiteral(".jpg"));
    startWatching();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    QMap<QString, QString> idOf;
    for (const QString& name : names) idOf[name] = imageAt(pathOf[name])->identifier();
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(names.cbegin(), names.cend(), [&](const QString& n) {
            return cache->hasRenditions(idOf[n]) && !cache->isPending(idOf[n]);
        });
    }));
    QStringList made;
    PLYObserverBag bag;
    recordRenditionsMadeFromNowOn(&bag, &made);
    const auto exportOf = [&](const QString& name) { return cache->exportPathForIdentifier(idOf[name]); };
    QMap<QString, quint64> renditionInode;
    for (const QString& name : names) renditionInode[name] = inodeOf(exportOf(name));

    timespec before = modifiedOf(pathOf[QStringLiteral("older")]);
    before.tv_sec -= 2;
    ASSERT_TRUE(setModified(exportOf(QStringLiteral("older")), before));
    ASSERT_TRUE(QFile::remove(cache->previewPathForIdentifier(idOf[QStringLiteral("no-preview")])));
    ASSERT_TRUE(QFile::resize(exportOf(QStringLiteral("cut-short")), 0));
    ASSERT_TRUE(setModified(exportOf(QStringLiteral("same-time")), modifiedOf(pathOf[QStringLiteral("same-time")])));
    delegate.updated.clear();

    location->rescan();
    const QStringList remade{idOf[QStringLiteral("older")], idOf[QStringLiteral("no-preview")], idOf[QStringLiteral("cut-short")]};
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(remade.cbegin(), remade.cend(), [&](const QString& id) { return made.contains(id); });
    })) << made.join(u' ').toStdString();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    cache->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(made.size(), 3) << made.join(u' ').toStdString();
    for (const QString& name : {QStringLiteral("current"), QStringLiteral("same-time")}) {
        EXPECT_FALSE(made.contains(idOf[name])) << name.toStdString() << " was decoded again";
        EXPECT_EQ(inodeOf(exportOf(name)), renditionInode[name]) << name.toStdString();
    }
    for (const QString& name : {QStringLiteral("older"), QStringLiteral("no-preview"), QStringLiteral("cut-short")}) {
        EXPECT_TRUE(cache->hasRenditions(idOf[name])) << name.toStdString();
        EXPECT_NE(inodeOf(exportOf(name)), renditionInode[name]) << name.toStdString();
    }
    const timespec remadeAt = modifiedOf(exportOf(QStringLiteral("older")));
    const timespec source = modifiedOf(pathOf[QStringLiteral("older")]);
    EXPECT_TRUE(remadeAt.tv_sec > source.tv_sec || (remadeAt.tv_sec == source.tv_sec && remadeAt.tv_nsec >= source.tv_nsec));
    EXPECT_TRUE(delegate.updated.isEmpty()) << "no photo changed, so none is read again";
}

// A photo set back to an older time (restored from a backup, copied with its times) changed,
// though its renditions are newer than it: it is read and rendered again.
TEST_F(SourceDirectoryTest, APhotoSetBackToAnOlderTimeIsReadAndRenderedAgain) {
    const QString a = addJpeg(QStringLiteral("a.jpg"), 64, 48);
    startWatching();
    const QString id = imageAt(a)->identifier();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    ASSERT_TRUE(waitUntil([&] { return cache->hasRenditions(id) && !cache->isPending(id); }));
    QStringList made;
    PLYObserverBag bag;
    recordRenditionsMadeFromNowOn(&bag, &made);
    const quint64 rendition = inodeOf(cache->exportPathForIdentifier(id));
    delegate.updated.clear();

    // Another picture in its place, with a time a day before the first one's.
    const QString staged = QDir(staging).filePath(QStringLiteral("restored.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(staged, 40, 80));
    timespec dayBefore = modifiedOf(a);
    dayBefore.tv_sec -= 24 * 3600;
    ASSERT_TRUE(setModified(staged, dayBefore));
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(a).constData()), 0);
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return made.contains(id) && delegate.updated.contains(id) && !cache->isPending(id); }));
    cache->waitForDone();
    EXPECT_EQ(imageAt(a)->identifier(), id);
    EXPECT_EQ(imageAt(a)->width(), 40);
    EXPECT_EQ(imageAt(a)->height(), 80);
    EXPECT_NE(inodeOf(cache->exportPathForIdentifier(id)), rendition);
    EXPECT_EQ(QImageReader(cache->exportPathForIdentifier(id)).size(), QSize(40, 80));
}

// A photo whose renditions failed is tried again by the next full look, though it did not change
// since: the cache keeps no failed file to count as current.
TEST_F(SourceDirectoryTest, APhotoWhoseRenditionsFailedIsTriedAgainByTheNextScan) {
    const QString bad = QDir(watched).filePath(QStringLiteral("bad.jpg"));
    {
        const QString staged = QDir(staging).filePath(QStringLiteral("bad.jpg"));
        QFile file(staged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
        file.close();
        ASSERT_TRUE(QFile::rename(staged, bad));
    }
    startWatching();
    const QString id = imageAt(bad)->identifier();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    ASSERT_TRUE(waitUntil([&] { return cache->isFailed(id) && !cache->isPending(id); }));

    // The photo is made readable with its time kept, so that the scan sees it unchanged.
    const timespec was = modifiedOf(bad);
    const QString staged = QDir(staging).filePath(QStringLiteral("good.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(staged, 64, 48));
    ASSERT_TRUE(setModified(staged, was));
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(bad).constData()), 0);
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return cache->hasRenditions(id) && !cache->isPending(id); }));
    EXPECT_FALSE(cache->isFailed(id));
}

// The one pass over a folder's entries lists what the folder shows: a link to a photo counts as
// that photo, a folder named like a photo is entered, hidden folders and links to folders are
// not, and nothing is listed twice.
TEST_F(SourceDirectoryTest, TheScanListsLinkedPhotosAndEntersNeitherHiddenNorLinkedFolders) {
    const QString top = addJpeg(QStringLiteral("top.jpg"));
    const QString nested = addJpeg(QStringLiteral("Sub/Deeper/nested.jpg"));
    const QString inFolderNamedLikeAPhoto = addJpeg(QStringLiteral("album.jpg/inside.jpg"));
    addJpeg(QStringLiteral(".Hidden/secret.jpg"));
    const QString elsewhere = PLYTestEnvironment::makeTempDirectory(QStringLiteral("elsewhere"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(elsewhere).filePath(QStringLiteral("far.jpg")), 32, 24));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(elsewhere).filePath(QStringLiteral("target.jpg")), 32, 24));
    const QString linkedPhoto = QDir(watched).filePath(QStringLiteral("linked.jpg"));
    ASSERT_TRUE(QFile::link(QDir(elsewhere).filePath(QStringLiteral("target.jpg")), linkedPhoto));
    ASSERT_TRUE(QFile::link(elsewhere, QDir(watched).filePath(QStringLiteral("LinkedFolder"))));
    ASSERT_TRUE(QFile::link(QDir(watched).filePath(QStringLiteral("nowhere.jpg")), QDir(watched).filePath(QStringLiteral("broken.jpg"))));
    // A link back to the folder itself must not make the pass go round.
    ASSERT_TRUE(QFile::link(watched, QDir(watched).filePath(QStringLiteral("Sub/Loop"))));

    startWatching(true);
    QStringList paths;
    for (const auto& image : location->watchedImages()) paths << image->path();
    paths.sort();
    QStringList expected{top, nested, inFolderNamedLikeAPhoto, QDir::cleanPath(linkedPhoto)};
    expected.sort();
    EXPECT_EQ(paths, expected);

    location->setIncludeSubFolders(false);
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
    QStringList present;
    for (const auto& image : location->watchedImages())
        if (!image->fileDeleted()) present << image->path();
    present.sort();
    QStringList topOnly{top, QDir::cleanPath(linkedPhoto)};
    topOnly.sort();
    EXPECT_EQ(present, topOnly);
}

// The check compares the times as the file system keeps them, to the nanosecond: a rendition
// written a microsecond before its photo's time is not current. And a cache folder removed while
// the application runs leaves every photo without renditions: the next full look makes them all.
TEST_F(SourceDirectoryTest, RenditionsAMicrosecondOlderThanThePhotoOrWhoseCacheFolderWentAreMadeAgain) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    const QString b = addJpeg(QStringLiteral("b.jpg"));
    startWatching();
    const QString idA = imageAt(a)->identifier(), idB = imageAt(b)->identifier();
    PLYImageManager* cache = PLYImageManager::sharedManager();
    const auto bothMade = [&] {
        return cache->hasRenditions(idA) && cache->hasRenditions(idB) && !cache->isPending(idA) && !cache->isPending(idB);
    };
    ASSERT_TRUE(waitUntil(bothMade));
    QStringList made;
    PLYObserverBag bag;
    recordRenditionsMadeFromNowOn(&bag, &made);

    timespec justBefore = modifiedOf(a);
    justBefore.tv_nsec -= 1000;
    if (justBefore.tv_nsec < 0) {
        justBefore.tv_nsec += 1000000000;
        justBefore.tv_sec -= 1;
    }
    ASSERT_TRUE(setModified(cache->exportPathForIdentifier(idA), justBefore));
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return made.contains(idA) && !cache->isPending(idA); }));
    cache->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(made, QStringList{idA}) << "only the rendition older than its photo is made again";

    ASSERT_TRUE(QDir(cache->cacheDirectory()).removeRecursively());
    made.clear();
    location->rescan();
    ASSERT_TRUE(waitUntil([&] { return made.contains(idA) && made.contains(idB) && bothMade(); }));
}

// The library folder deleted while Pellory runs: the next save makes every folder again, the
// locations' too, so that the post still has its photos at the next start.
TEST_F(SourceDirectoryTest, ALibraryFolderDeletedWhileRunningIsMadeAgainLocationsIncluded) {
    const QString a = addJpeg(QStringLiteral("a.jpg"));
    const QString b = addJpeg(QStringLiteral("b.jpg"));
    startWatching();
    ASSERT_TRUE(store->save());
    const QString locationId = location->identifier();
    ASSERT_TRUE(QDir(root).removeRecursively());

    PLYError error;
    EXPECT_TRUE(store->save(&error)) << error.toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(location->filePath()));
    // A photo added later is saved with the others at the end of its scan.
    const QString c = addJpeg(QStringLiteral("c.jpg"));
    ASSERT_TRUE(waitUntil([&] { return imageAt(c) && imageAt(c)->width() > 0 && location->state() == PLYSourceDirectory::Ready; }));
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();

    store = PLYPersistantStore::create(root);
    store->setUp(false);
    const auto posts = store->signInUser(QStringLiteral("a@b.c"))->currentPosts();
    ASSERT_EQ(posts.size(), 1);
    ASSERT_EQ(posts.first()->sourceLocations(), QStringList{locationId});
    location = store->sourceForIdentifier(locationId);
    ASSERT_TRUE(location) << "the location file was not written again";
    EXPECT_EQ(posts.first()->images().size(), 3);
    for (const QString& path : {a, b, c}) EXPECT_TRUE(imageAt(path)) << path.toStdString();
}

namespace {
// What looking at the count itself reads.
constexpr qint64 kCountLook = 4096;
}  // namespace

// A "photo" that is a JPEG start marker and then 60 GB of nothing kept the one metadata reader
// reading zeros, so the good photos queued behind it had no size, and the quit waited for it.
// A header read now stops within its bound: the file is reported unreadable and the others are read.
TEST_F(SourceDirectoryTest, AHugeSparseFileNeitherHoldsTheOtherPhotosNorTheQuit) {
    QStringList good;
    for (int i = 0; i < 10; ++i) good << addJpeg(QStringLiteral("good-%1.jpg").arg(i), 40 + i, 30);
    const QString sparse = QDir(watched).filePath(QStringLiteral("sparse.jpg"));
    ASSERT_TRUE(PLYTestImages::writeHeadThenHole(sparse, QByteArray("\xFF\xD8", 2), 60LL * 1024 * 1024 * 1024));
    QStringList log;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { log << line; });

    startWatching();
    for (int i = 0; i < good.size(); ++i) {
        ASSERT_TRUE(imageAt(good[i]));
        EXPECT_EQ(imageAt(good[i])->width(), 40 + i) << good[i].toStdString();
    }
    ASSERT_TRUE(imageAt(sparse));
    EXPECT_EQ(imageAt(sparse)->width(), 0);
    ASSERT_TRUE(waitUntil([&] { return PLYImageManager::sharedManager()->isFailed(imageAt(sparse)->identifier()); }));
    PLYLog::removeObserver(token);
    EXPECT_TRUE(std::any_of(log.cbegin(), log.cend(), [&](const QString& l) {
        return l.contains(sparse) && l.contains(QStringLiteral("unreadable"));
    })) << log.join(u'\n').toStdString();

    // What one read of it takes is bounded in bytes, wherever the frame header is missing...
    const qint64 before = PLYBytesReadByThisThread();
    ASSERT_GE(before, 0) << "the kernel keeps no read count here";
    const PLYImageMeta meta = PLYImageMetaReader::read(sparse);
    EXPECT_FALSE(meta.readable);
    EXPECT_LE(PLYBytesReadByThisThread() - before, PLYImageMetaReader::MaxReadBytes + kCountLook);
    // ...or a frame header is followed by nothing: the decoder looks for the next marker in vain.
    const QString headOnly = QDir(staging).filePath(QStringLiteral("head-only.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpegHeaderThenHole(headOnly, 16, 16, 60LL * 1024 * 1024 * 1024));
    const qint64 before2 = PLYBytesReadByThisThread();
    EXPECT_FALSE(PLYImageMetaReader::read(headOnly).readable);
    EXPECT_LE(PLYBytesReadByThisThread() - before2, PLYImageMetaReader::MaxReadBytes + kCountLook);

    // A read in progress stops as soon as it is asked to, so that the quit never waits on one.
    int asked = 0;
    const qint64 before3 = PLYBytesReadByThisThread();
    const PLYImageMeta stopped = PLYImageMetaReader::read(headOnly, [&] { return ++asked > 2; });
    EXPECT_FALSE(stopped.readable);
    EXPECT_GT(asked, 2);
    EXPECT_LE(PLYBytesReadByThisThread() - before3, 2 * PLYImageMetaReader::ReadChunkBytes + kCountLook);
}

// The end of a scan writes the location file off the main thread. The location's end (the quit)
// waits for that write: the file holds every photo and no temporary file is left beside it.
TEST_F(SourceDirectoryTest, TheLocationFileWrittenAfterAScanIsWholeWhenTheLocationGoes) {
    for (int i = 0; i < 30; ++i) addJpeg(QStringLiteral("p%1.jpg").arg(i), 20 + i, 10);
    startWatching();
    const QString file = location->filePath();
    location->removeDelegate(&delegate);
    location.reset();
    store.reset();

    QVariantMap map;
    ASSERT_TRUE(PLYPropertyList::readFile(file, &map));
    const QVariantList images = map.value(QStringLiteral("images")).toList();
    ASSERT_EQ(images.size(), 30);
    for (const QVariant& image : images) EXPECT_GT(image.toMap().value(QStringLiteral("width")).toLongLong(), 0);
    const QStringList names = QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        EXPECT_TRUE(name.endsWith(QStringLiteral(".plylocation")) || name.endsWith(QStringLiteral(".plylocation.last-good")))
            << name.toStdString() << " was left behind";
}

// A write after a scan that fails (a read-only library) leaves the location to be saved: the next
// save writes it once it can.
TEST_F(SourceDirectoryTest, ALocationWhoseWriteAfterAScanFailedIsSavedAgain) {
    PLYTestMount disk(8 * 1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no read-only library can be made: " << disk.problem().toStdString();
    root = disk.path() + QStringLiteral("/library");
    store = PLYPersistantStore::create(root);
    store->setUp(false);
    addJpeg(QStringLiteral("a.jpg"));
    startWatching();
    ASSERT_TRUE(store->save());
    const QString locations = store->locationsDirectory();
    ASSERT_TRUE(disk.setFolderReadOnly(locations, true));

    const QString b = addJpeg(QStringLiteral("b.jpg"), 30, 20);
    ASSERT_TRUE(waitUntil([&] { return imageAt(b) && imageAt(b)->width() == 30 && location->state() == PLYSourceDirectory::Ready; }));
    location->waitForPendingSave();
    EXPECT_TRUE(location->needsSave()) << "a failed write was taken for a save";
    EXPECT_FALSE(store->save());

    ASSERT_TRUE(disk.setFolderReadOnly(locations, false));
    ASSERT_TRUE(store->save());
    EXPECT_FALSE(location->needsSave());
    QVariantMap map;
    ASSERT_TRUE(PLYPropertyList::readFile(location->filePath(), &map));
    EXPECT_EQ(map.value(QStringLiteral("images")).toList().size(), 2);
}
