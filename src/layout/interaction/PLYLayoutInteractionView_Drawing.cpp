// Everything the overlay draws over the layout: the edit block's handles (drawn by its handler),
// the rubber band, and the hover and selection outlines. Outlines keep 4 points on screen at
// any zoom. The drop feedback (a section taking a drop, the zone bands) joins here with the
// drop zones.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYColor.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"

#include <QPainter>

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
    if (qgetenv("draw_interaction_rects") != "1") return;
    const double r = boundsToFrameRatio();
    painter->setBrush(Qt::NoBrush);
    if (PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr) {
        painter->setPen(QPen(Qt::blue, r));
        painter->drawRect(layoutView->mapRectToItem(this, layoutView->boundingRect()));
    }
    painter->setPen(QPen(Qt::red, r));
    painter->drawRect(m_bounds.adjusted(r, r, -r, -r));
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

    QColor blue = PLYColor::kro_blueColour();
    PLYBlockView* hover = m_proxy->currentHoverBlockView();
    if (hover && !m_hoverSectionHasInteractionZone && (!m_inDragOp || m_hoverBlockAcceptsDrag)) {
        const QRectF rect = hover->mapRectToItem(this, hover->boundingRect());
        if (m_hoverBlockAcceptsDrag) painter->fillRect(rect, QColor(255, 255, 255, 153));
        QColor hoverBlue = blue;
        hoverBlue.setAlphaF(0.6f);
        drawOutline(painter, rect, hoverBlue);
    }
    if (!m_hoverSectionHasInteractionZone)
        for (PLYBlockView* selected : m_proxy->currentSelectedBlockViews())
            drawOutline(painter, selected->mapRectToItem(this, selected->boundingRect()), blue);

    drawDebugRects(painter);
}
