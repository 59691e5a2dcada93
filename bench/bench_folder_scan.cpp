// A full look at folders the library already knows, whose photos have current renditions: what
// each location does at launch when its watch starts, and on every rescan.
//
// BM_RescanKnownFolders/N rescans N locations, each a folder of 24 photos (hard links to a few
// small JPEGs) that an earlier scan read and whose renditions the image cache holds, made after
// the photos. Nothing changed, so a scan only lists each folder, looks at each file, and checks
// that its renditions are current: no metadata is read and no rendition is made (checked after
// the loop). "ns_per_photo" is the main-thread time per photo of one full pass over all N.
//
// BM_EndOfScanSave/N is what the end of a scan that changed something costs the main thread, for a
// location of N photos: the location file is written on a worker, and the main thread only takes
// what the file will hold. The window must not stall for more than 100 ms at 20,000 photos. Each
// write is waited for outside the timing. BM_LocationFileWrite/N is the whole write of the same
// file on the calling thread, as the end of a scan used to do it on the main thread.
//
// Run it with TZ unset, as a desktop session has it: any conversion of a file time to local time
// then makes the C library look at /etc/localtime again.
#include "PLYBenchMain.h"
#include "PLYBenchPhotos.h"

#include "PLYImageManager.h"
#include "PLYPropertyList.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kPhotosPerFolder = 24;
constexpr int kDistinctPhotos = 6;

struct Library {
    std::vector<std::shared_ptr<PLYSourceDirectory>> locations;
    int photos = 0;
};

struct Fixture {
    QTemporaryDir dir;
    std::map<int, Library> libraries;
    std::map<int, std::shared_ptr<PLYSourceDirectory>> known;

    // A location that knows N photos from its file, as after a restart; the photos need not exist
    // for its file to be written.
    PLYSourceDirectory& knownLocation(int photos) {
        auto& location = known[photos];
        if (location) return *location;
        QVariantList images;
        for (int i = 0; i < photos; ++i) {
            QVariantMap m;
            m.insert(QStringLiteral("identifier"), QStringLiteral("6F1C2A9E-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0')));
            m.insert(QStringLiteral("path"), QStringLiteral("/home/someone/Pictures/Trip/Day %1/IMG_%2.jpg").arg(i / 250).arg(i, 5, 10, QLatin1Char('0')));
            m.insert(QStringLiteral("device"), qint64(2049));
            m.insert(QStringLiteral("inode"), qint64(1000000 + i));
            m.insert(QStringLiteral("width"), qint64(6000));
            m.insert(QStringLiteral("height"), qint64(4000));
            if (i % 3 == 0) m.insert(QStringLiteral("star_rating"), qint64(i % 6));
            m.insert(QStringLiteral("colour_rating"), qint64(i % 8));
            m.insert(QStringLiteral("modified"), qint64(1700000000000LL + i));
            m.insert(QStringLiteral("file_created"), qint64(1700000000000LL + i));
            m.insert(QStringLiteral("file_modified"), qint64(1700000000000LL + i));
            m.insert(QStringLiteral("deleted"), false);
            images.append(m);
        }
        QVariantMap map;
        map.insert(QStringLiteral("identifier"), QStringLiteral("BENCH-LOCATION-%1").arg(photos));
        map.insert(QStringLiteral("location"), QStringLiteral("/home/someone/Pictures/Trip"));
        map.insert(QStringLiteral("folder"), true);
        map.insert(QStringLiteral("images"), images);
        const QString path = dir.filePath(QStringLiteral("known-%1/BENCH-LOCATION-%1.plylocation").arg(photos));
        QDir().mkpath(QFileInfo(path).path());
        if (!PLYPropertyList::writeFile(path, map)) qFatal("Could not write the benchmark location file");
        location = PLYSourceDirectory::loadFromFile(path);
        if (!location || location->watchedImages().size() != photos) qFatal("Could not read the benchmark location file");
        return *location;
    }

    Fixture() {
        PLYImageManager::resetSharedManager(dir.filePath(QStringLiteral("ImageCache")));
    }

    // N known folders with their renditions, made once per N.
    Library& library(int folders) {
        auto found = libraries.find(folders);
        if (found != libraries.end()) return found->second;
        Library& made = libraries[folders];
        const QList<PLYBenchPhoto> photos = plyBenchPhotos(dir.path(), kDistinctPhotos, [](const QString& path, int i) {
            return PLYTestImages::writeJpeg(path, 320, 240 + i * 8, QColor(30 * i, 90, 160));
        });
        const QString storage = dir.filePath(QStringLiteral("locations-%1").arg(folders));
        QDir().mkpath(storage);
        QHash<QString, int> photoOf;
        for (int i = 0; i < folders; ++i) {
            const QDir folder(dir.filePath(QStringLiteral("photos-%1/folder-%2").arg(folders).arg(i)));
            plyBenchLinkPhotoFolder(folder, kPhotosPerFolder, photos, i, photoOf);
            auto location = PLYSourceDirectory::create(QUrl::fromLocalFile(folder.path()), {}, storage);
            location->setKnownIdentifiersProvider({});
            location->rescan();
            made.locations.push_back(location);
        }
        // The first look reads every photo's metadata (off the main thread) and asks for renditions.
        const auto scanned = [&made] {
            for (const auto& location : made.locations)
                if (location->state() == PLYSourceDirectory::Scanning) return false;
            return true;
        };
        QDeadlineTimer deadline(300000);
        while (!scanned() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!scanned()) qFatal("The benchmark folders were not scanned within 300 s");
        // Their renditions are linked in rather than decoded once per photo.
        PLYImageManager* cache = PLYImageManager::sharedManager();
        cache->shutdown();
        PLYImageManager::resetSharedManager(cache->cacheDirectory());
        cache = PLYImageManager::sharedManager();
        for (const auto& location : made.locations) {
            if (location->imageList().size() != kPhotosPerFolder) qFatal("A benchmark folder holds the wrong number of photos");
            for (const auto& image : location->imageList()) {
                if (!plyBenchLinkRenditions(photos.at(photoOf.value(image->path())),
                                            cache->previewPathForIdentifier(image->identifier()),
                                            cache->exportPathForIdentifier(image->identifier())))
                    qFatal("Could not put the renditions of %s in the image cache", qPrintable(image->path()));
            }
            ++made.photos;
        }
        made.photos *= kPhotosPerFolder;
        return made;
    }
};

void BM_RescanKnownFolders(benchmark::State& state) {
    Library& library = plyBenchFixture<Fixture>().library(int(state.range(0)));
    for (auto _ : state) {
        for (const auto& location : library.locations) location->rescan();
    }
    PLYImageManager* cache = PLYImageManager::sharedManager();
    for (const auto& location : library.locations) {
        if (location->state() != PLYSourceDirectory::Stopped) {
            state.SkipWithError("a rescan of an unchanged folder did not finish at once");
            return;
        }
        for (const auto& image : location->imageList())
            if (cache->isPending(image->identifier())) {
                state.SkipWithError("a rescan of an unchanged folder asked for renditions again");
                return;
            }
    }
    state.counters["photos"] = library.photos;
    state.counters["ns_per_photo"] = benchmark::Counter(double(library.photos) * 1e-9,
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_RescanKnownFolders)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_EndOfScanSave(benchmark::State& state) {
    PLYSourceDirectory& location = plyBenchFixture<Fixture>().knownLocation(int(state.range(0)));
    for (auto _ : state) {
        location.saveInBackground();
        state.PauseTiming();
        location.waitForPendingSave();
        state.ResumeTiming();
    }
    if (location.needsSave()) state.SkipWithError("the location file was not written");
    state.counters["photos"] = double(state.range(0));
}
// A fixed count: each write, waited for untimed, takes far longer than the part that is timed.
BENCHMARK(BM_EndOfScanSave)->Arg(200)->Arg(2000)->Arg(20000)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_LocationFileWrite(benchmark::State& state) {
    PLYSourceDirectory& location = plyBenchFixture<Fixture>().knownLocation(int(state.range(0)));
    for (auto _ : state) {
        if (!location.save()) {
            state.SkipWithError("the location file could not be written");
            return;
        }
    }
    state.counters["photos"] = double(state.range(0));
}
BENCHMARK(BM_LocationFileWrite)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_LIBRARY(Fixture)
