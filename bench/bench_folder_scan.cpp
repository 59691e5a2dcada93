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

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kPhotosPerFolder = 24;
constexpr int kDistinctPhotos = 6;

bool linkFile(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 || QFile::copy(from, to);
}

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
        QStringList photos, previews, exports;
        for (int i = 0; i < kDistinctPhotos; ++i) {
            const QString stem = dir.filePath(QStringLiteral("photo-%1").arg(i));
            photos << stem + QStringLiteral(".jpg");
            previews << stem + QStringLiteral("-preview.jpg");
            exports << stem + QStringLiteral("-export.jpg");
            if (QFile::exists(exports.last())) continue;
            if (!PLYTestImages::writeJpeg(photos.last(), 320, 240 + i * 8, QColor(30 * i, 90, 160)))
                qFatal("Could not write a benchmark photo");
            PLYError error;
            if (!PLYImageManager::renderRenditions(photos.last(), previews.last(), exports.last(), &error))
                qFatal("Could not make the renditions of a benchmark photo: %s", qPrintable(error.toString()));
        }
        const QString storage = dir.filePath(QStringLiteral("locations-%1").arg(folders));
        QDir().mkpath(storage);
        QHash<QString, int> photoOf;
        for (int i = 0; i < folders; ++i) {
            const QDir folder(dir.filePath(QStringLiteral("photos-%1/folder-%2").arg(folders).arg(i)));
            folder.mkpath(QStringLiteral("."));
            for (int k = 0; k < kPhotosPerFolder; ++k) {
                const QString file = folder.filePath(QStringLiteral("IMG_%1.jpg").arg(k, 4, 10, QLatin1Char('0')));
                photoOf.insert(file, (i + k) % kDistinctPhotos);
                if (!linkFile(photos.at(photoOf.value(file)), file)) qFatal("Could not make %s", qPrintable(file));
            }
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
                const QString preview = cache->previewPathForIdentifier(image->identifier());
                const QString exported = cache->exportPathForIdentifier(image->identifier());
                QDir().mkpath(QFileInfo(exported).path());
                QFile::remove(preview);
                QFile::remove(exported);
                const int k = photoOf.value(image->path());
                if (!linkFile(previews.at(k), preview) || !linkFile(exports.at(k), exported))
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
