// The crop editor's arithmetic: panning, scaling by handles, snapping and block resizing.
#include "PLYBlockEditGeometry.h"
#include "PLYGrabHandle.h"

#include <gtest/gtest.h>

using namespace PLYBlockEditGeometry;

namespace {

constexpr double kRatio = 1.5;
const QRectF kBlock(100, 200, 600, 400);

// A 3:2 picture 900 wide centred on the block, dragged by `delta` from the handle (from the
// picture's centre when panning).
PictureDrag dragOf(qint64 handle, const QPointF& delta, bool shift = false, bool option = false) {
    PictureDrag drag;
    drag.handle = handle;
    drag.originalFrame = QRectF(kBlock.center().x() - 450, kBlock.center().y() - 300, 900, 600);
    drag.blockFrame = kBlock;
    drag.mouseDown = handle == kNoHandle ? drag.originalFrame.center() : editHandleCentre(handle, drag.originalFrame);
    drag.point = drag.mouseDown + delta;
    drag.ratio = kRatio;
    drag.snapping = !shift;
    drag.fromCentre = option;
    return drag;
}

void expectRect(const QRectF& actual, const QRectF& expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

TEST(BlockEditGeometry, PanningSnapsCentreLinesAndEdgesWithinFivePointsAndFitsTheBlock) {
    // 4 points off the centre lines: pulled back onto them.
    PictureDragResult r = dragPicture(dragOf(kNoHandle, {4, -5}));
    expectRect(r.frame, dragOf(kNoHandle, {}).originalFrame);
    EXPECT_TRUE(r.vertSnap);
    EXPECT_TRUE(r.horzSnap);
    EXPECT_EQ(r.edgeSnaps, 0);
    // Just past the distance the picture follows the pointer exactly.
    r = dragPicture(dragOf(kNoHandle, {5.5, -5.01}));
    EXPECT_FALSE(r.vertSnap || r.horzSnap);
    EXPECT_DOUBLE_EQ(r.frame.x(), -50 + 5.5);

    // The left edge 3 points inside the block's: the edges coincide, and a line marks the block's
    // left edge across the whole visible canvas.
    r = dragPicture(dragOf(kNoHandle, {153, 40}));
    EXPECT_DOUBLE_EQ(r.frame.x(), kBlock.x());
    EXPECT_EQ(r.edgeSnaps, SnapLeft);
    const QRectF visible(0, -300, 1500, 2000);
    const QList<QLineF> lines = snapLines(r, kBlock, r.frame, visible);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), QLineF(100, -300, 100, 1700));

    // A picture as wide as the block, both side edges in reach: exactly the block's width.
    PictureDrag narrow = dragOf(kNoHandle, {3, 0});
    narrow.originalFrame = QRectF(104, 150, 595, 595 / kRatio);
    r = dragPicture(narrow);
    EXPECT_EQ(r.edgeSnaps & (SnapLeft | SnapRight), SnapLeft | SnapRight);
    EXPECT_DOUBLE_EQ(r.frame.x(), 100);
    EXPECT_DOUBLE_EQ(r.frame.width(), 600);
    EXPECT_DOUBLE_EQ(r.frame.height(), 400);

    // Top and bottom in reach while panning: exactly the block's height, right edge kept.
    PictureDrag tall = dragOf(kNoHandle, {0, 2});
    tall.originalFrame = QRectF(20, 199, 603, 402);
    r = dragPicture(tall);
    EXPECT_EQ(r.edgeSnaps & (SnapTop | SnapBottom), SnapTop | SnapBottom);
    expectRect(r.frame, QRectF(623 - 600, 200, 600, 400));
}

TEST(BlockEditGeometry, HandlesKeepTheEdgeTheyDoNotMoveEvenAtOnePointOfWidthAndOptionKeepsTheCentre) {
    const QRectF o = dragOf(kNoHandle, {}).originalFrame;  // (-50, 100, 900, 600)
    // Top: height from the pointer, bottom edge and horizontal centre fixed.
    expectRect(dragPicture(dragOf(PLYGrabHandleCornerTop, {0, 60}, true)).frame,
               QRectF(o.center().x() - 405, o.bottom() - 540, 810, 540));
    // Dragged past the opposite edge the picture keeps 1 point of width on its anchored side.
    PictureDragResult r = dragPicture(dragOf(PLYGrabHandleCornerTopLeft, {2000, 0}, true));
    EXPECT_DOUBLE_EQ(r.frame.width(), kMinimumPictureWidth);
    EXPECT_DOUBLE_EQ(r.frame.right(), o.right());
    EXPECT_DOUBLE_EQ(r.frame.bottom(), o.bottom());
    r = dragPicture(dragOf(PLYGrabHandleCornerBottom, {0, -2000}, true));
    EXPECT_DOUBLE_EQ(r.frame.width(), kMinimumPictureWidth);
    EXPECT_DOUBLE_EQ(r.frame.top(), o.top());
    // Option: about the mouse-down centre, out to the edge on the pointer's side of it.
    for (qint64 handle : {qint64(PLYGrabHandleCornerTopLeft), qint64(PLYGrabHandleCornerTop)}) {
        r = dragPicture(dragOf(handle, {120, 80}, true, true));
        EXPECT_NEAR(r.frame.center().x(), o.center().x(), 1e-9) << handle;
        EXPECT_NEAR(r.frame.center().y(), o.center().y(), 1e-9) << handle;
    }
    EXPECT_DOUBLE_EQ(dragPicture(dragOf(PLYGrabHandleCornerRight, {120, 0}, true, true)).frame.width(), 1140);
    r = dragPicture(dragOf(PLYGrabHandleCornerRight, {-449.9, 0}, true, true));
    EXPECT_DOUBLE_EQ(r.frame.width(), kMinimumPictureWidth);
    EXPECT_NEAR(r.frame.center().x(), o.center().x(), 1e-9);
    // A handle snaps the edges it may reach, never the centre lines.
    r = dragPicture(dragOf(PLYGrabHandleCornerLeft, {147, 0}));
    EXPECT_EQ(r.edgeSnaps, SnapLeft);
    EXPECT_DOUBLE_EQ(r.frame.x(), 100);
    EXPECT_FALSE(r.vertSnap);
}

TEST(BlockEditGeometry, BlockHandlesSetTheRatioWithSidesCountedAsAtLeastOneHundredPoints) {
    const QSizeF block(1480, 600);
    EXPECT_FLOAT_EQ(blockRatioForHandleDrag(PLYGrabHandleCornerBottom, block, {0, 140}), 1480.0f / 740.0f);
    EXPECT_FLOAT_EQ(blockRatioForHandleDrag(PLYGrabHandleCornerTop, block, {0, -100}), 1480.0f / 700.0f);
    EXPECT_FLOAT_EQ(blockRatioForHandleDrag(PLYGrabHandleCornerBottom, block, {0, -560}), 14.8f);
    EXPECT_FLOAT_EQ(blockRatioForHandleDrag(PLYGrabHandleCornerLeft, QSizeF(400, 400), {350, 0}), 0.25f);
    EXPECT_FLOAT_EQ(blockRatioForHandleDrag(PLYGrabHandleCornerRight, QSizeF(400, 400), {200, 0}), 1.5f);

}

}  // namespace
