// Layout of a 1,000-block post: runs on every layout change (an edit, a live resize step of edit
// mode), not on pointer moves, so it must stay well inside a frame.
#include "PLYBenchMain.h"
#include "PLYLayoutGeometry.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace PLYTestLayouts;

namespace {

PLYLayout thousandBlockLayout(PLYTestImageSource& images, bool captionsInRows = false) {
    images.addImage("landscape", QSize(3000, 2000), Qt::red);
    images.addImage("portrait", QSize(2000, 3000), Qt::green);
    PLYSection s = section("s", {});
    int n = 0;
    auto id = [&n] { return "b" + std::to_string(n++); };
    while (n < 1000) {
        switch (n % 4) {
        case 0:
            *s.add_blocks() = image(id(), "landscape");
            break;
        case 1:
            if (captionsInRows && n % 20 == 1)
                *s.add_blocks() = container(id(), false, {image(id(), "portrait"), text(id(), "A caption beside it")});
            else
                *s.add_blocks() = container(id(), false, {image(id(), "portrait"), image(id(), "landscape")});
            break;
        case 2:
            *s.add_blocks() = container(
                id(), false,
                {image(id(), "landscape"), container(id(), true, {image(id(), "portrait"), blank(id(), 2.0f)})});
            break;
        default:
            *s.add_blocks() = n % 40 == 3 ? text(id(), "A caption for the next pictures") : blank(id());
            break;
        }
    }
    return layout(10, {s});
}

void BM_LayoutThousandBlocks(benchmark::State& state) {
    PLYTestImageSource images;
    const PLYLayout l = thousandBlockLayout(images);
    for (auto _ : state) {
        PLYLayoutGeometry g = PLYLayoutGeometry::layoutGeometry(l, &images);
        benchmark::DoNotOptimize(g.totalHeight);
    }
}
BENCHMARK(BM_LayoutThousandBlocks)->Unit(benchmark::kMillisecond);

// Text beside pictures is solved in rounds: the worst case for a drag over a long post.
void BM_LayoutThousandBlocksWithCaptionsInRows(benchmark::State& state) {
    PLYTestImageSource images;
    const PLYLayout l = thousandBlockLayout(images, true);
    for (auto _ : state) {
        PLYLayoutGeometry g = PLYLayoutGeometry::layoutGeometry(l, &images);
        benchmark::DoNotOptimize(g.totalHeight);
    }
}
BENCHMARK(BM_LayoutThousandBlocksWithCaptionsInRows)->Unit(benchmark::kMillisecond);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
