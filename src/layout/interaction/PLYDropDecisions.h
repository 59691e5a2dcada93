#pragma once

#include "PLYDropItem.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>

class PLYLayoutManager;
class PLYPasteboard;

// What the editing overlay decides during a drag, without widgets: what the pasteboard becomes,
// which references the zone lookup gets, where a point beside the canvas is taken to be, how
// the drag images line up, and how far a drag near the view's edge scrolls.
class PLYDropDecisions {
public:
    // The editor's pasteboard types.
    static constexpr const char* ImageRefType = "com.pellory.image.ref";
    static constexpr const char* BlockType = "com.pellory.block";
    static constexpr const char* NewTextType = "com.pellory.text.new";
    static constexpr const char* NewBlankType = "com.pellory.blank.new";
    static constexpr const char* NewDownloadType = "com.pellory.download.new";
    // The order in which the overlay registers them.
    static const QStringList& registeredDraggedTypes();

    // Undo names of a drop: of one that made new blocks, and of one that only moved blocks.
    static constexpr const char* IntroducedUndoName = "Delete Blocks";
    static constexpr const char* MoveUndoName = "Undo Block Move";

    // The dropped blocks, one per pasteboard item in order, decided by the first of its types
    // among: an existing block (moved; left out when the layout no longer holds it), a gallery
    // image, a new text, download-button or blank block. Items of other types give nothing.
    // `introduced` tells whether any new block was made.
    static QList<PLYDropItem> dropItemsFromPasteboard(const PLYPasteboard& pasteboard, const PLYLayoutManager& manager,
                                                      bool* introduced);

    // The references the zone lookup gets: the dragged blocks while this overlay drags blocks;
    // the new-text type when the first item carries one; otherwise none.
    static QStringList zoneRefsForDrag(bool inBlockDragOp, const QStringList& blockDragRefIds,
                                       const PLYPasteboard& pasteboard);

    // A point just beside the layout (`layoutRect`) still targets its edge: up to 100 points left
    // or right it is taken 1 point inside; above or below, at any distance, 1 point inside the
    // top or bottom. `verticalReset` tells that the point lay above or below the layout, where a
    // side zone must not stay current.
    struct ResolvedPoint {
        QPointF point;
        bool verticalReset = false;
    };
    static constexpr double kBesideCanvasReach = 100.0;
    static ResolvedPoint resolvePointFromOutOfBounds(const QPointF& point, const QRectF& layoutRect);

    // The frames of the drag images, in a line from `location`, `gap` apart: stacked below it,
    // centred on its x; or side by side right of it, centred on its y.
    static constexpr double kDragImageGap = 5.0;
    static constexpr double kDragImageWidth = 60.0;
    static QList<QRectF> arrangedDragImageFrames(const QList<QSizeF>& sizes, const QPointF& location, bool vertical,
                                                 double gap = kDragImageGap);

    // How far (in screen points) a drag at `point` in a viewport of `size` scrolls the view: in a
    // band of `margin` along each edge, more the nearer the edge, up to `maxStep`; nothing
    // elsewhere.
    static constexpr double kAutoscrollMargin = 24.0;
    static constexpr double kAutoscrollMaxStep = 24.0;
    static QPointF autoscrollDelta(const QPointF& point, const QSizeF& size, double margin = kAutoscrollMargin,
                                   double maxStep = kAutoscrollMaxStep);
};
