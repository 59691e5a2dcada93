// One drag update of the editing overlay over a section of 300, 1,000 and 3,000 blocks, through
// the real views: hover hit-testing, the section's zone lookup, the block's drop test and the
// feedback bookkeeping. It runs on every pointer move of a drag (goal: under 50 µs at 3,000
// blocks, growing no faster than the log of the count).
#include "PLYBenchMain.h"
#include "PLYPasteboard.h"
#include "PLYTestLayouts.h"
#include "PLYTestOverlayCanvas.h"

#include <QMimeData>

using namespace PLYTestLayouts;

namespace {

// The overlay over a section of `blocks` picture blocks in rows, and a drag of two images.
struct Canvas : PLYTestOverlayCanvas {
    explicit Canvas(int blocks) : PLYTestOverlayCanvas(PLYTestLayouts::picturesInRows(blocks)) {
        PLYPasteboard board({PLYPasteboardItem("com.pellory.image.ref", "landscape"),
                             PLYPasteboardItem("com.pellory.image.ref", "portrait")},
                            PLYPasteboard::nextSequenceNumber());
        board.writeTo(&data);
    }
    int topLevelBlocks() const { return manager->representedLayout()->sections(0).blocks_size(); }
    // The top of top-level block `index`, with the view scrolled there.
    QPointF seamAbove(int index) {
        const PLYBlock& block = manager->representedLayout()->sections(0).blocks(index);
        const QRectF frame = proxy->geometry().frameForBlock(QString::fromStdString(block.id()));
        const QPointF p(frame.center().x(), frame.top() + 1);
        view.centerOn(p);
        overlay->syncWithScrollView();
        return p;
    }

    QMimeData data;
};

// The pointer moves inside the zone of a seam in the middle of the section: the zone is kept and
// its active region chosen again, the common case.
void BM_DragUpdateInsideAZone(benchmark::State& state) {
    Canvas canvas(int(state.range(0)));
    const QPointF seam = canvas.seamAbove(canvas.topLevelBlocks() / 2);
    if (canvas.overlay->draggingEntered({&canvas.data, seam, 0}) != 16) state.SkipWithError("no zone at the seam");
    int i = 0;
    for (auto _ : state) {
        const QPointF p = seam + QPointF((i * 37) % 200 - 100, (i * 7) % 12 - 6);
        benchmark::DoNotOptimize(canvas.overlay->draggingUpdated({&canvas.data, p, 0}));
        ++i;
    }
}
BENCHMARK(BM_DragUpdateInsideAZone)->Arg(300)->Arg(1000)->Arg(3000)->Unit(benchmark::kMicrosecond);

// The pointer jumps between two seams near the end of the section, both in view at a small
// zoom: each update leaves the current zone and walks the section for the other.
void BM_DragUpdateAcrossTheSection(benchmark::State& state) {
    Canvas canvas(int(state.range(0)));
    canvas.view.setMagnification(0.1);
    const QPointF early = canvas.seamAbove(canvas.topLevelBlocks() - 4);
    const QPointF late = canvas.seamAbove(canvas.topLevelBlocks() - 2);
    if (canvas.overlay->draggingEntered({&canvas.data, late, 0}) != 16 ||
        canvas.overlay->draggingUpdated({&canvas.data, early, 0}) != 16)
        state.SkipWithError("no zones at the seams");
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(canvas.overlay->draggingUpdated({&canvas.data, (i++ % 2) ? late : early, 0}));
    }
}
BENCHMARK(BM_DragUpdateAcrossTheSection)->Arg(300)->Arg(1000)->Arg(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

PLY_BENCHMARK_MAIN_WITH_APPLICATION()
