#pragma once

#include "PLYDropPlacement.h"
#include "PLYDropRefs.h"
#include "PLYInteractionFrames.h"
#include "PLYInteractionZone.h"
#include "PLYRectIndex.h"

#include <QPointF>
#include <optional>

// The drop zones of a stacked section, from its block frames alone (section coordinates): the
// zone walk over the section's blocks (top, between, side, centre and bottom zones), the deeper
// regions inside containers, the sticky current zone, and the placement a drop on a region
// turns into.
//
// Blocks being dragged are never a target: no side zone is offered beside a dragged block,
// regions next to one cannot activate, and a dragged block and everything inside it get
// neither regions nor a centre zone, so a drop can never put a block inside itself.
class PLYStackedDropZones {
public:
    PLYStackedDropZones() = default;
    explicit PLYStackedDropZones(PLYInteractionFrames frames) : m_frames(std::move(frames)) {}

    // New frames (after a layout change) drop the current zone, which refers to the old ones.
    void setFrames(PLYInteractionFrames frames);
    const PLYInteractionFrames& frames() const { return m_frames; }

    // The zone under `point`, kept as the current zone: while the point stays inside the current
    // zone's activation rect that zone is given again with a fresh active region. A section
    // without blocks gives none and keeps the current zone; a walk that finds none clears it.
    PLYInteractionZoneRef interactionZoneAtPoint(const QPointF& point, const PLYDropRefs& refs);
    const PLYInteractionZoneRef& currentZone() const { return m_currentZone; }
    void resetZones() { m_currentZone.reset(); }

    // The walk alone, without the current zone: the first zone found, with its deeper regions,
    // rows and active region.
    PLYInteractionZoneRef zoneAtPoint(const QPointF& point, const PLYDropRefs& refs) const;
    // One turn of the walk: the zone that the `index`th top-level block offers at the point (the
    // top, the seam above it, its sides, the bottom after the last, its centre seams), finished;
    // none when it offers none there.
    PLYInteractionZoneRef zoneForTopLevelBlock(int index, const QPointF& point, const PLYDropRefs& refs) const;
    PLYInteractionZoneRef sideZoneForBlock(int block, const QPointF& point, const PLYDropRefs& refs) const;
    PLYInteractionZoneRef centreZoneForBlock(int block, const QPointF& point, const PLYDropRefs& refs) const;
    // Adds the regions inside container `block` along `edge` (1, 2, 4 or 8) at `depth` (1 to 3).
    void interactionRegionsForBlock(int block, qint64 edge, qint64 depth, PLYInteractionZone& zone,
                                    const PLYDropRefs& refs) const;

    // Where a drop on `region` lands: a slot of a list for seams, tops and bottoms and along a
    // container's axis; beside a block otherwise, which wraps the block, or goes into it when it
    // is a container whose children run across the drop line (so its first or last slot lies
    // at that line). Indices count the lists as they are now. None for a region whose block or
    // index is not in the section.
    std::optional<PLYDropPlacement> placementForRegion(const PLYInteractionRegion& region) const;

private:
    // The block is dragged, or lies inside a dragged block.
    bool isDragged(int block, const PLYDropRefs& refs) const;
    QRectF topStrip(int block) const;
    QRectF bottomStrip(int block) const;
    void finishZone(PLYInteractionZone& zone, const QPointF& point) const;
    // Per top-level block, the band of heights that every zone of its turn in the walk lies in
    // (its subtree's frames, their strips, and the seam with the block before it), so that a
    // walk visits only the blocks whose band holds the point. Made on the first walk.
    const PLYRectIndex& walkBands() const;

    PLYInteractionFrames m_frames;
    PLYInteractionZoneRef m_currentZone;
    mutable PLYRectIndex m_walkBands;
    mutable bool m_walkBandsValid = false;
};
