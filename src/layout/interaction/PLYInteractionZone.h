#pragma once

#include "PLYInteractionRegion.h"
#include "PLYInteractionRow.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <memory>

class PLYInteractionZone;
using PLYInteractionZoneRef = std::shared_ptr<PLYInteractionZone>;

// One place in a stacked section where dragged blocks can land, in section coordinates (y
// down): its own slot (the major region) on a line at `centreValue`, and deeper slots inside
// neighbouring containers (trailing: after the line, leading: before it), sorted by depth into
// 16-point rows that step 8 points away from the line. Rows are fixed once built; only the
// active region follows the pointer.
class PLYInteractionZone {
public:
    static constexpr double kRowThickness = 16.0;
    static constexpr double kRowStep = 8.0;

    // The zone's line is vertical (sides, side-by-side seams) or horizontal.
    bool vertical() const { return m_vertical; }
    void setVertical(bool vertical) { m_vertical = vertical; }
    // Where the zone is offered; it stays current while the pointer is inside.
    const QRectF& activationRect() const { return m_activationRect; }
    void setActivationRect(const QRectF& rect) { m_activationRect = rect; }
    // x of a vertical line, y of a horizontal one.
    double centreValue() const { return m_centreValue; }
    void setCentreValue(double value) { m_centreValue = value; }
    const PLYInteractionRegionRef& majorRegion() const { return m_majorRegion; }
    void setMajorRegion(PLYInteractionRegionRef region) { m_majorRegion = std::move(region); }

    const QList<PLYInteractionRegionRef>& leadingRegions() const { return m_leading; }
    const QList<PLYInteractionRegionRef>& trailingRegions() const { return m_trailing; }
    void addLeadingRegion(PLYInteractionRegionRef region) { m_leading.append(std::move(region)); }
    void addTrailingRegion(PLYInteractionRegionRef region) { m_trailing.append(std::move(region)); }

    // Where a drop would go now; may be none.
    const PLYInteractionRegionRef& currentActiveRegion() const { return m_active; }
    void setCurrentActiveRegion(PLYInteractionRegionRef region) { m_active = std::move(region); }

    const PLYInteractionRow& centreRow() const { return m_centreRow; }
    const QList<PLYInteractionRow>& leadingRows() const { return m_leadingRows; }
    const QList<PLYInteractionRow>& trailingRows() const { return m_trailingRows; }
    // Once the major region, centre value and deeper regions are set. Every row spans the
    // major region's extent; rows stop at the first depth without regions.
    void buildInteractionRows();

    static QList<PLYInteractionRegionRef> regionsWithDepth(qint64 depth, const QList<PLYInteractionRegionRef>& source);

    // The active region for `point` (section coordinates): the major region when there are no
    // deeper regions or the point is in the centre row; else the first row containing the
    // point decides (trailing rows from depth 1, then leading rows), by the point's minor
    // coordinate; beyond every row, the deepest row on the point's side decides.
    PLYInteractionRegionRef activeRegionForPoint(const QPointF& point) const;
    void ensureActiveState(const QPointF& point) { m_active = activeRegionForPoint(point); }
    // The first region of `row` whose extent (both ends inclusive) holds the point's minor coordinate.
    static PLYInteractionRegionRef activeRegionInRow(const PLYInteractionRow& row, const QPointF& point, bool vertical);
    // The first of `rows` containing the point decides; `*rowFound` tells whether one did.
    static PLYInteractionRegionRef findActiveRegionInRows(const QList<PLYInteractionRow>& rows, const QPointF& point,
                                                          const PLYInteractionZone& zone, bool* rowFound);

private:
    bool m_vertical = false;
    QRectF m_activationRect;
    double m_centreValue = 0.0;
    PLYInteractionRegionRef m_majorRegion;
    QList<PLYInteractionRegionRef> m_leading;
    QList<PLYInteractionRegionRef> m_trailing;
    PLYInteractionRegionRef m_active;
    PLYInteractionRow m_centreRow;
    QList<PLYInteractionRow> m_leadingRows;
    QList<PLYInteractionRow> m_trailingRows;
};
