// Export of a 30-block post at 1500 pixels: every top-level block rendered and encoded as JPEG,
// as the export does on its worker thread, with its pictures read from real renditions on disk
// (1500-pixel exports of 3000 x 2000 and 2000 x 3000 photo-like pictures, a different file for
// each of the 40 pictures) through the snapshot of the image source that the export uses.
#include "PLYBenchMain.h"
#include "PLYExportManager.h"
#include "PLYImageManager.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutImageSource_Snapshot.h"
#include "PLYLayoutRenderer.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace PLYTestLayouts;

namespace {

struct Renditions {
    QTemporaryDir dir;
    PLYLayoutImageSource_Snapshot images;
    QStringList landscapes, portraits;
    bool ready = true;

    Renditions() {
        for (int orientation = 0; orientation < 2; ++orientation) {
            const bool landscape = orientation == 0;
            const QString source = dir.filePath(landscape ? QStringLiteral("l.jpg") : QStringLiteral("p.jpg"));
            const QString preview = dir.filePath(QStringLiteral("preview-%1.jpg").arg(orientation));
            const QString exported = dir.filePath(QStringLiteral("export-%1.jpg").arg(orientation));
            ready = ready && PLYTestImages::writePhotoJpeg(source, landscape ? 3000 : 2000, landscape ? 2000 : 3000, orientation + 1) &&
                    PLYImageManager::renderRenditions(source, preview, exported);
            for (int i = 0; i < 20; ++i) {
                const QString id = QStringLiteral("%1-%2").arg(landscape ? "landscape" : "portrait").arg(i);
                PLYLayoutImageSource_Snapshot::Entry entry;
                entry.pixelSize = landscape ? QSize(3000, 2000) : QSize(2000, 3000);
                entry.previewPath = dir.filePath(id + QStringLiteral("-preview.jpg"));
                entry.exportPath = dir.filePath(id + QStringLiteral("-export.jpg"));
                ready = ready && QFile::copy(preview, entry.previewPath) && QFile::copy(exported, entry.exportPath);
                images.addImage(id, entry);
                (landscape ? landscapes : portraits) << id;
            }
        }
    }
};

void BM_ExportThirtyBlocks(benchmark::State& state) {
    static Renditions renditions;
    if (!renditions.ready) {
        state.SkipWithError("the renditions were not made");
        return;
    }
    PLYSection s = section("s", {});
    int next = 0;
    const auto picture = [&](bool landscape) {
        const QStringList& ids = landscape ? renditions.landscapes : renditions.portraits;
        return ids.at(next++ % ids.size()).toStdString();
    };
    for (int i = 0; i < 30; ++i) {
        const std::string id = "b" + std::to_string(i);
        if (i % 3 == 0)
            *s.add_blocks() = container(id, false, {image(id + "l", picture(false)), image(id + "r", picture(true))});
        else
            *s.add_blocks() = image(id, picture(i % 2 != 0));
    }
    const PLYLayout l = layout(10, {s});
    qint64 bytes = 0;
    for (auto _ : state) {
        const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(l, &renditions.images);
        bytes = 0;
        for (const PLYBlock& block : l.sections(0).blocks()) {
            const QImage image = PLYLayoutRenderer::renderBlock(l, QString::fromStdString(block.id()), 1500,
                                                                &renditions.images, &geometry);
            bytes += PLYLayoutRenderer::jpegData(image, PLYExportManager::kExportQuality).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["jpeg_MiB"] = double(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportThirtyBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
