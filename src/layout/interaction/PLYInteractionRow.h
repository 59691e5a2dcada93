#pragma once

#include "PLYInteractionRegion.h"

#include <QList>
#include <QRectF>

// One 16-point band of a zone, parallel to its line, holding regions of one depth.
class PLYInteractionRow {
public:
    PLYInteractionRow() = default;
    PLYInteractionRow(const QRectF& rect, QList<PLYInteractionRegionRef> regions)
        : m_rect(rect), m_regions(std::move(regions)) {}
    static PLYInteractionRow rowWithRect(const QRectF& rect, const QList<PLYInteractionRegionRef>& regions) {
        return PLYInteractionRow(rect, regions);
    }

    const QRectF& activationRect() const { return m_rect; }
    const QList<PLYInteractionRegionRef>& currentRegions() const { return m_regions; }

private:
    QRectF m_rect;
    QList<PLYInteractionRegionRef> m_regions;
};
