// Export of a 30-block post at 1500 pixels: every top-level block rendered and encoded as
// JPEG, as the export does on its worker thread.
#include "PLYBenchMain.h"
#include "PLYExportManager.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutRenderer.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace PLYTestLayouts;

namespace {

void BM_ExportThirtyBlocks(benchmark::State& state) {
    PLYTestImageSource images;
    images.addImage("landscape", QSize(3000, 2000), Qt::red);
    images.addImage("portrait", QSize(2000, 3000), Qt::blue);
    PLYSection s = section("s", {});
    for (int i = 0; i < 30; ++i) {
        const std::string id = "b" + std::to_string(i);
        if (i % 3 == 0)
            *s.add_blocks() = container(id, false, {image(id + "l", "portrait"), image(id + "r", "landscape")});
        else
            *s.add_blocks() = image(id, i % 2 ? "landscape" : "portrait");
    }
    const PLYLayout l = layout(10, {s});
    for (auto _ : state) {
        const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(l, &images);
        qint64 bytes = 0;
        for (const PLYBlock& block : l.sections(0).blocks()) {
            const QImage image = PLYLayoutRenderer::renderBlock(l, QString::fromStdString(block.id()), 1500, &images,
                                                                &geometry);
            bytes += PLYLayoutRenderer::jpegData(image, PLYExportManager::kExportQuality).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ExportThirtyBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
