#pragma once

#include <QImage>
#include <QList>
#include <QPointF>

#include "PLYDropDecisions.h"

// The picture a block drag carries: the image of every dragged block, each 60 points wide,
// laid out in a line 5 points apart from the pointer (one below the other, centred on it, as a
// drag starts). The platform cannot change a drag's picture once it runs, so it is made whole
// at the start.
struct PLYDragImages {
    // As the overlay lines the dragged images up.
    static constexpr double ItemWidth = PLYDropDecisions::kDragImageWidth;
    static constexpr double Spacing = PLYDropDecisions::kDragImageGap;

    QImage image;    // at `scale` pixels per point, its device pixel ratio set
    QPointF hotSpot; // where the pointer holds it, in points

    static PLYDragImages compose(const QList<QImage>& images, bool vertical = true, double scale = 2.0);
};
