#include "PLYInteractionZone.h"

#include "PLYGeometry.h"

QList<PLYInteractionRegionRef> PLYInteractionZone::regionsWithDepth(qint64 depth,
                                                                  const QList<PLYInteractionRegionRef>& source) {
    QList<PLYInteractionRegionRef> regions;
    for (const PLYInteractionRegionRef& region : source)
        if (region && region->depthIndex() == depth)
            regions.append(region);
    return regions;
}

void PLYInteractionZone::buildInteractionRows() {
    const double c = m_centreValue;
    const double s = m_majorRegion ? m_majorRegion->minorAxisStart() : 0.0;
    const double length = m_majorRegion ? m_majorRegion->minorAxisEnd() - s : 0.0;
    // A band whose major-axis position is `at`.
    auto band = [&](double at) {
        return m_vertical ? QRectF(at, s, kRowThickness, length) : QRectF(s, at, length, kRowThickness);
    };
    m_centreRow = PLYInteractionRow(band(c - kRowStep), m_majorRegion ? QList{m_majorRegion} : QList<PLYInteractionRegionRef>{});
    m_trailingRows.clear();
    m_leadingRows.clear();
    for (qint64 d = 1;; ++d) {
        const QList<PLYInteractionRegionRef> regions = regionsWithDepth(d, m_trailing);
        if (regions.isEmpty())
            break;
        m_trailingRows.append(PLYInteractionRow(band(c + kRowStep * double(d)), regions));
    }
    for (qint64 d = 1;; ++d) {
        const QList<PLYInteractionRegionRef> regions = regionsWithDepth(d, m_leading);
        if (regions.isEmpty())
            break;
        m_leadingRows.append(PLYInteractionRow(band(c - kRowStep * double(d) - kRowThickness), regions));
    }
}

PLYInteractionRegionRef PLYInteractionZone::activeRegionInRow(const PLYInteractionRow& row, const QPointF& point,
                                                              bool vertical) {
    const double q = vertical ? point.y() : point.x();
    for (const PLYInteractionRegionRef& region : row.currentRegions())
        if (region->minorAxisStart() <= q && q <= region->minorAxisEnd())
            return region;
    return nullptr;
}

PLYInteractionRegionRef PLYInteractionZone::findActiveRegionInRows(const QList<PLYInteractionRow>& rows,
                                                                   const QPointF& point, const PLYInteractionZone& zone,
                                                                   bool* rowFound) {
    for (const PLYInteractionRow& row : rows) {
        if (PLYGeometry::pointInRect(point, row.activationRect())) {
            if (rowFound)
                *rowFound = true;
            return activeRegionInRow(row, point, zone.vertical());
        }
    }
    if (rowFound)
        *rowFound = false;
    return nullptr;
}

PLYInteractionRegionRef PLYInteractionZone::activeRegionForPoint(const QPointF& point) const {
    if (m_leading.isEmpty() && m_trailing.isEmpty())
        return m_majorRegion;
    if (PLYGeometry::pointInRect(point, m_centreRow.activationRect()))
        return m_majorRegion;
    bool found = false;
    PLYInteractionRegionRef region = findActiveRegionInRows(m_trailingRows, point, *this, &found);
    if (found)
        return region;
    region = findActiveRegionInRows(m_leadingRows, point, *this, &found);
    if (found)
        return region;
    // Beyond every row: the deepest row on the pointer's side of the line.
    const double v = m_vertical ? point.x() : point.y();
    const QList<PLYInteractionRow>& side = v > m_centreValue ? m_trailingRows : m_leadingRows;
    if (side.isEmpty())
        return m_majorRegion;
    return activeRegionInRow(side.last(), point, m_vertical);
}
