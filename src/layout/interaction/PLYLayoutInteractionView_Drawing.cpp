// Everything the overlay draws over the layout: the edit block's handles (drawn by its handler),
// the rubber band, the hover and selection outlines, the highlight of a section or block that
// takes a drop, the bands of the drop zone under the pointer, the images of a drag of several
// items, and, with "draw_interaction_rects" set to "1", debugging rectangles. Outlines and bands
// keep their width on screen at any zoom.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYColor.h"
#include "PLYInteractionZone.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutSectionInteractionHandler.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYSectionView.h"

#include <QPainter>

namespace {
// Read at every paint, so that it can be switched on in a running session's debugger.
bool debugRectsWanted() { return qgetenv("draw_interaction_rects") == "1"; }

constexpr double kActiveBandThickness = 6.0;
constexpr double kBandThickness = 2.0;
}  // namespace

void PLYLayoutInteractionView::drawOutline(QPainter* painter, const QRectF& rect, const QColor& colour) const {
    const double r = boundsToFrameRatio();
    const double inset = kOutlineInset * r;
    QPen pen(colour, kOutlineWidth * r);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(inset, inset, -inset, -inset));
}

void PLYLayoutInteractionView::drawDebugRects(QPainter* painter) const {
    if (!debugRectsWanted()) return;
    const double r = boundsToFrameRatio();
    painter->setBrush(Qt::NoBrush);
    // The overlay's frame, stroked as its numbers stand, and its bounds.
    painter->setPen(QPen(Qt::blue, r));
    painter->drawRect(frame());
    painter->setPen(QPen(Qt::red, r));
    painter->drawRect(m_bounds.adjusted(r, r, -r, -r));
}

void PLYLayoutInteractionView::drawInteractionZone(QPainter* painter, const PLYInteractionZone& zone,
                                                   PLYSectionView* sectionView) const {
    const double r = boundsToFrameRatio();
    if (debugRectsWanted()) {
        painter->setPen(QPen(Qt::black, r));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(sectionView->mapRectToItem(this, zone.activationRect()));
    }
    // The bands stand on a clean ground of the layout's own colour.
    QRectF ground = zone.centreRow().activationRect();
    for (const PLYInteractionRow& row : zone.trailingRows()) ground |= row.activationRect();
    for (const PLYInteractionRow& row : zone.leadingRows()) ground |= row.activationRect();
    const PLYLayout* layout = m_proxy ? m_proxy->layout() : nullptr;
    if (layout) painter->fillRect(sectionView->mapRectToItem(this, ground), PLYLayoutManager::backgroundColourForLayout(*layout));
    for (const PLYInteractionRow& row : zone.trailingRows()) drawInteractionRow(painter, row, zone, sectionView);
    for (const PLYInteractionRow& row : zone.leadingRows()) drawInteractionRow(painter, row, zone, sectionView);
    drawInteractionRow(painter, zone.centreRow(), zone, sectionView);
}

void PLYLayoutInteractionView::drawInteractionRow(QPainter* painter, const PLYInteractionRow& row,
                                                  const PLYInteractionZone& zone, PLYSectionView* sectionView) const {
    const PLYInteractionRegionRef& active = zone.currentActiveRegion();
    const double r = boundsToFrameRatio();
    const bool holdsActive = active && row.currentRegions().contains(active);
    const double t = (holdsActive ? kActiveBandThickness : kBandThickness) * r;
    const QRectF rect = row.activationRect();
    painter->setPen(Qt::NoPen);
    for (const PLYInteractionRegionRef& region : row.currentRegions()) {
        if (!region->canActivate()) continue;
        QRectF band;
        if (zone.vertical()) {
            const double x = rect.x() + rect.width() * 0.5;
            const QPointF p1 = sectionView->mapToItem(this, QPointF(x, region->minorAxisStart()));
            const QPointF p2 = sectionView->mapToItem(this, QPointF(x, region->minorAxisEnd()));
            band = QRectF(p1.x() - t / 2.0, p1.y(), t, p2.y() - p1.y());
        } else {
            const double y = rect.y() + rect.height() * 0.5;
            const QPointF p1 = sectionView->mapToItem(this, QPointF(region->minorAxisStart(), y));
            const QPointF p2 = sectionView->mapToItem(this, QPointF(region->minorAxisEnd(), y));
            band = QRectF(p1.x(), p1.y() - t / 2.0, p2.x() - p1.x(), t);
        }
        QColor colour = PLYColor::kro_blueColour();
        if (region != active) colour.setAlphaF(0.35f);
        painter->setBrush(colour);
        painter->drawRoundedRect(band, t / 2.0, t / 2.0);
    }
}

void PLYLayoutInteractionView::drawDragImages(QPainter* painter) const {
    if (!m_inDragOp || m_dragImageFrames.size() != m_dragImages.size()) return;
    const double r = boundsToFrameRatio();
    painter->save();
    painter->setOpacity(0.8);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    for (qsizetype i = 0; i < m_dragImages.size(); ++i) {
        painter->drawImage(m_dragImageFrames[i], m_dragImages[i]);
        painter->setPen(QPen(Qt::white, r));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(m_dragImageFrames[i]);
    }
    painter->restore();
}

void PLYLayoutInteractionView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (!m_proxy) return;
    painter->setRenderHint(QPainter::Antialiasing);
    const double r = boundsToFrameRatio();

    // In edit mode only the edit block's handler draws.
    if (PLYBlockView* edit = editBlockView()) {
        if (PLYLayoutBlockInteractionHandler* handler = edit->interactionHandler()) {
            painter->save();
            handler->drawEditContents(painter, this, m_inDragOp);
            painter->restore();
        }
        drawDebugRects(painter);
        return;
    }

    if (m_inSelectionDrag) {
        painter->setPen(QPen(Qt::white, r));
        painter->setBrush(QColor(255, 255, 255, 51));
        painter->drawRect(m_currentSelectionDragRect);
    }

    const QColor blue = PLYColor::kro_blueColour();
    const QColor dropFill(255, 255, 255, 153);
    // A section that takes the drop whole is all that shows.
    if (m_hoverSectionAcceptsDrag) {
        if (PLYSectionView* section = m_proxy->currentHoverSectionView()) {
            const QRectF rect = section->mapRectToItem(this, section->boundingRect());
            painter->fillRect(rect, dropFill);
            drawOutline(painter, rect, blue);
        }
        drawDragImages(painter);
        return;
    }

    PLYBlockView* hover = m_proxy->currentHoverBlockView();
    if (hover && !m_hoverSectionHasInteractionZone && (!m_inDragOp || m_hoverBlockAcceptsDrag)) {
        const QRectF rect = hover->mapRectToItem(this, hover->boundingRect());
        if (m_hoverBlockAcceptsDrag) painter->fillRect(rect, dropFill);
        QColor hoverBlue = blue;
        hoverBlue.setAlphaF(0.6f);
        drawOutline(painter, rect, hoverBlue);
    }
    if (!m_hoverSectionHasInteractionZone)
        for (PLYBlockView* selected : m_proxy->currentSelectedBlockViews())
            drawOutline(painter, selected->mapRectToItem(this, selected->boundingRect()), blue);

    if (m_hoverSectionHasInteractionZone) {
        PLYSectionView* section = m_proxy->currentHoverSectionView();
        PLYLayoutSectionInteractionHandler* handler = section ? section->interactionHandler() : nullptr;
        if (const std::shared_ptr<PLYInteractionZone> zone = handler ? handler->currentZone() : nullptr)
            drawInteractionZone(painter, *zone, section);
    }

    drawDebugRects(painter);
    drawDragImages(painter);
}
