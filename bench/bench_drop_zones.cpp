// Drop zones of a 300-block section: the lookup runs on every pointer move of a drag (goal:
// under 50 µs), the frames are rebuilt after every layout change (goal: under 2 ms).
#include "PLYLayoutGeometry.h"
#include "PLYStackedDropZones.h"
#include "PLYTestLayouts.h"

#include <benchmark/benchmark.h>

using namespace PLYTestLayouts;

namespace {

QSize imageSize(const QString& ref) { return ref == "portrait" ? QSize(2000, 3000) : QSize(3000, 2000); }


struct Section {
    PLYLayout layout = PLYTestLayouts::picturesInRows(300);
    PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(layout, imageSize);
    PLYInteractionFrames frames() const { return PLYInteractionFrames::fromSection(layout.sections(0), geometry, 10); }
};

// Inside the zone on the seam above the middle row: the current zone is kept and only its active
// region is chosen again, the common case while the pointer moves.
void BM_ActiveRegionLookupInCurrentZone(benchmark::State& state) {
    const Section s;
    PLYStackedDropZones zones(s.frames());
    // A row holding a column, below a row of three: deeper regions on both sides of the seam.
    const size_t half = zones.frames().topLevel().size() / 2;
    const int middle = zones.frames().topLevel()[half - half % 3 + 2];
    const QRectF row = zones.frames().node(middle).frame;
    const PLYInteractionZoneRef zone = zones.interactionZoneAtPoint({row.center().x(), row.top() + 1}, {});
    if (!zone || zone->leadingRegions().isEmpty() || zone->trailingRegions().isEmpty())
        state.SkipWithError("no seam zone with deeper regions");
    const QRectF area = zone ? zone->activationRect() : QRectF();
    int i = 0;
    for (auto _ : state) {
        const QPointF p(area.left() + (i * 37) % int(area.width()), area.top() + (i * 7) % int(area.height()));
        benchmark::DoNotOptimize(zones.interactionZoneAtPoint(p, {}));
        ++i;
    }
}
BENCHMARK(BM_ActiveRegionLookupInCurrentZone);

// The pointer leaves the current zone at the bottom of the section: the walk passes all blocks.
void BM_ZoneWalkToTheLastBlock(benchmark::State& state) {
    const Section s;
    PLYStackedDropZones zones(s.frames());
    const QRectF last = zones.frames().node(zones.frames().topLevel().back()).frame;
    for (auto _ : state) {
        zones.resetZones();
        benchmark::DoNotOptimize(zones.interactionZoneAtPoint({last.center().x(), last.bottom() - 1}, {}));
    }
}
BENCHMARK(BM_ZoneWalkToTheLastBlock);

// After a layout change: the section's frames from the new geometry, and the first lookup.
void BM_ZonesAfterLayoutChange(benchmark::State& state) {
    const Section s;
    const QRectF last = s.geometry.frameForBlock(QString::fromStdString(s.layout.sections(0).blocks().rbegin()->id()));
    for (auto _ : state) {
        PLYStackedDropZones zones(s.frames());
        benchmark::DoNotOptimize(zones.interactionZoneAtPoint({last.center().x(), last.bottom() - 1}, {}));
    }
}
BENCHMARK(BM_ZonesAfterLayoutChange);

// The same with the layout geometry itself, which the view proxy recomputes on every change.
void BM_GeometryAndZonesAfterLayoutChange(benchmark::State& state) {
    const Section s;
    for (auto _ : state) {
        const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(s.layout, imageSize);
        PLYStackedDropZones zones(PLYInteractionFrames::fromSection(s.layout.sections(0), geometry, 10));
        benchmark::DoNotOptimize(zones.interactionZoneAtPoint({10, geometry.totalHeight - 1}, {}));
    }
}
BENCHMARK(BM_GeometryAndZonesAfterLayoutChange);

}  // namespace

BENCHMARK_MAIN();
