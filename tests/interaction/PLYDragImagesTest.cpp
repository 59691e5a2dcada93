// The picture of a block drag: every dragged block, lined up from the pointer.

#include "PLYDragImages.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QImage filled(int w, int h, Qt::GlobalColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(DragImages, EveryBlockIsDrawnSixtyPointsWideInALineFiveApart) {
    const QList<QImage> blocks{filled(100, 50, Qt::red), filled(200, 200, Qt::blue), filled(50, 100, Qt::green)};
    const PLYDragImages vertical = PLYDragImages::compose(blocks, true, 2.0);
    ASSERT_FALSE(vertical.image.isNull());
    EXPECT_EQ(vertical.image.devicePixelRatio(), 2.0);
    // 30 + 5 + 60 + 5 + 120 points high, 60 wide.
    EXPECT_EQ(vertical.image.size(), QSize(120, 440));
    EXPECT_EQ(vertical.hotSpot, QPointF(30, 0));
    // In order, top to bottom, with clear gaps between them.
    EXPECT_EQ(vertical.image.pixelColor(60, 30).red(), 255);
    EXPECT_EQ(vertical.image.pixelColor(60, 65).alpha(), 0);
    EXPECT_EQ(vertical.image.pixelColor(60, 130).blue(), 255);
    EXPECT_EQ(vertical.image.pixelColor(60, 400).green(), 255);

    const PLYDragImages horizontal = PLYDragImages::compose(blocks, false, 1.0);
    EXPECT_EQ(horizontal.image.size(), QSize(190, 120));
    EXPECT_EQ(horizontal.hotSpot, QPointF(0, 60));
    // Centred across the line: the short first block has room above and below it.
    EXPECT_EQ(horizontal.image.pixelColor(30, 2).alpha(), 0);
    EXPECT_EQ(horizontal.image.pixelColor(30, 60).red(), 255);
    EXPECT_EQ(horizontal.image.pixelColor(160, 60).green(), 255);
}

TEST(DragImages, BlocksThatCouldNotBeDrawnAreLeftOut) {
    EXPECT_TRUE(PLYDragImages::compose({}).image.isNull());
    EXPECT_TRUE(PLYDragImages::compose({QImage()}).image.isNull());
    const PLYDragImages one = PLYDragImages::compose({QImage(), filled(60, 60, Qt::red)}, true, 1.0);
    EXPECT_EQ(one.image.size(), QSize(60, 60));
}

}  // namespace
