// A full look at folders the library already knows, whose photos have current renditions: what
// each location does at launch when its watch starts, and on every rescan.
//
// BM_RescanKnownFolders/N rescans N locations, each a folder of 24 photos (hard links to a few
// small JPEGs) that an earlier scan read and whose renditions the image cache holds, made after
// the photos. Nothing changed, so a scan only lists each folder, looks at each file, and checks
// that its renditions are current: no metadata is read and no rendition is made (checked after
// the loop). "ns_per_photo" is the main-thread time per photo of one full pass over all N.
//
// Run it with TZ unset, as a desktop session has it: any conversion of a file time to local time
// then makes the C library look at /etc/localtime again.
#include "PLYBenchMain.h"
#include "PLYBenchPhotos.h"

#include "PLYImageManager.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
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

}  // namespace

PLY_BENCHMARK_MAIN_WITH_LIBRARY(Fixture)
