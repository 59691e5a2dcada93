#pragma once

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The arithmetic of block editing, apart from any view: where a picture goes while it is
// panned or scaled inside its block (with snapping), what ratio a block takes when one of its
// handles is dragged, and how a picture's frame is stored as a crop. Everything is in layout
// points, so the results do not depend on the zoom.
namespace PLYBlockEditGeometry {

// Edges and centre lines of the picture within this distance of the block's snap onto them.
constexpr double kSnapDistance = 5.0;
// The picture never gets narrower than this; the edge its handle does not move stays put.
constexpr double kMinimumPictureWidth = 1.0;
// A block being resized counts each side as at least this long when its ratio is computed.
constexpr double kMinimumBlockSide = 100.0;
// The handle code while the picture itself is dragged (panned).
constexpr qint64 kNoHandle = -1;

// Edge bits of a snapped picture: which of its edges lie on the same edge of the block.
enum SnapEdge : qint64 { SnapLeft = 1, SnapRight = 2, SnapTop = 4, SnapBottom = 8 };

struct PictureDrag {
    qint64 handle = kNoHandle;  // the edit handle's corner code, or kNoHandle to pan
    QRectF originalFrame;       // the picture's frame at mouse-down
    QRectF blockFrame;          // the block's frame
    QPointF mouseDown;          // where the drag began
    QPointF point;              // where the pointer is now
    double ratio = 0.0;         // the picture's width over its height, above 0
    bool fromCentre = false;    // Option: scale about the centre the picture had at mouse-down
    bool snapping = true;       // Shift held turns snapping off
};

struct PictureDragResult {
    QRectF frame;
    bool vertSnap = false;  // the picture's centre lies on the block's vertical centre line
    bool horzSnap = false;  // ... on its horizontal centre line
    qint64 edgeSnaps = 0;   // SnapEdge bits
};

// The picture's new frame for a drag; its height always follows its width and ratio.
PictureDragResult dragPicture(const PictureDrag& drag);

// The block's new width over height when the block handle `corner` (4 left, 5 top, 6 right,
// 7 bottom) has moved by `delta` from mouse-down, the block then being `originalSize`. The
// dragged side changes, the other keeps its length, and neither counts as less than
// kMinimumBlockSide. Computed in single precision, as the model keeps it.
double blockRatioForHandleDrag(qint64 corner, const QSizeF& originalSize, const QPointF& delta);

// A picture's frame as the model stores it: the centre as fractions of the block's width and
// height from its top-left corner, and the width as a multiple of the block's width.
struct Crop {
    double x = 0.5;
    double y = 0.5;
    double width = 1.0;
};
Crop cropForFrame(const QRectF& picture, const QRectF& block);

// The centre of the edit handle of `corner` on a picture's frame.
QPointF editHandleCentre(qint64 corner, const QRectF& picture);
// The centre of the block handle of `corner`, `inset` inside the middle of its edge.
QPointF blockHandleCentre(qint64 corner, const QRectF& block, double inset);

// The snap lines to draw for `result`: the centre lines across the union of the block and
// the picture, and each snapped edge of the block across the whole of `visible`.
QList<QLineF> snapLines(const PictureDragResult& result, const QRectF& block, const QRectF& picture,
                        const QRectF& visible);

}  // namespace PLYBlockEditGeometry
