#include "PLYBlockDrawHandler.h"
#include "PLYBlockDrawHandler_DownloadButton.h"
#include "PLYBlockDrawHandler_Image.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayouts.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Draws `block` into a `pixels`-wide image through a painter scaled from a 1500-point block,
// as the views and exports do.
QImage drawScaled(const PLYBlock& block, const PLYLayoutImageSource* images, int pixels, double pointHeight = 1000) {
    const double scale = pixels / 1500.0;
    QImage image(pixels, int(pointHeight * scale), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    PLYBlockDrawContext context;
    context.images = images;
    context.background = Qt::white;
    PLYBlockDrawHandler::drawBlock(&painter, QRectF(0, 0, 1500, pointHeight), block, context);
    return image;
}

TEST(BlockDrawHandlers, SmallDrawingsUseThePreviewRenditionAndLargeOnesTheExport) {
    PLYTestImageSource images;
    images.addImage("pic", QSize(3000, 2000), /*export*/ Qt::blue, /*preview*/ Qt::red);
    const PLYBlock block = PLYTestLayouts::image("a", "pic");
    const QImage small = drawScaled(block, &images, 150);
    const QImage large = drawScaled(block, &images, 600);
    EXPECT_EQ(small.pixelColor(75, 50), QColor(Qt::red));
    EXPECT_EQ(large.pixelColor(300, 200), QColor(Qt::blue));
}

TEST(BlockDrawHandlers, AGoneFileDrawsThePlaceholder) {
    PLYTestImageSource images;
    images.addImage("pic", QSize(3000, 2000), Qt::blue);
    images.setDeleted("pic", true);
    const QImage drawn = drawScaled(PLYTestLayouts::image("a", "pic"), &images, 600);
    const QImage placeholder = PLYBlockDrawHandler_Image::placeholderImage();
    EXPECT_FALSE(placeholder.isNull());
    EXPECT_NE(drawn.pixelColor(300, 200), QColor(Qt::blue));
    EXPECT_NE(drawn.pixelColor(5, 5), QColor(Qt::blue));
    // The block is a neutral area with the icon at its own size in the middle, not the icon
    // blown up to the block.
    EXPECT_EQ(drawn.pixelColor(5, 5), PLYBlockDrawHandler_Image::kMissingFill);
    EXPECT_EQ(drawn.pixelColor(300 - 40, 200), PLYBlockDrawHandler_Image::kMissingFill);
    EXPECT_EQ(drawn.pixelColor(300, 200 - 40), PLYBlockDrawHandler_Image::kMissingFill);
    const QRectF icon = PLYBlockDrawHandler_Image::placeholderFrameInRect(QRectF(0, 0, 1500, 1000), placeholder.size());
    EXPECT_EQ(icon.size(), QSizeF(placeholder.size()));
    EXPECT_EQ(icon.center(), QPointF(750, 500));
    // A block smaller than twice the icon shrinks it.
    EXPECT_EQ(PLYBlockDrawHandler_Image::placeholderFrameInRect(QRectF(0, 0, 64, 40), QSize(64, 64)),
              QRectF(22, 10, 20, 20));
}

TEST(BlockDrawHandlers, WithoutACropThePictureFillsTheBlockCentred) {
    const PLYBlock_Image image;
    // A 2:1 picture in a square block overflows left and right equally.
    const QRectF frame = PLYBlockDrawHandler_Image::imageFrameInRect(image, QRectF(0, 0, 100, 100), QSize(200, 100));
    EXPECT_EQ(frame, QRectF(-50, 0, 200, 100));
    // A tall picture in a wide block overflows top and bottom.
    EXPECT_EQ(PLYBlockDrawHandler_Image::imageFrameInRect(image, QRectF(10, 10, 100, 50), QSize(100, 100)),
              QRectF(10, -15, 100, 100));
}

TEST(BlockDrawHandlers, ACropPlacesThePictureCentreAndWidthAsFractionsOfTheBlock) {
    PLYBlock_Image image;
    image.mutable_position()->set_x(0.0f);
    image.mutable_position()->set_y(1.0f);
    image.mutable_position()->set_width(0.5f);
    const QRectF frame = PLYBlockDrawHandler_Image::imageFrameInRect(image, QRectF(0, 0, 400, 200), QSize(300, 200));
    EXPECT_EQ(frame, QRectF(-100, 200 - 200.0 / 1.5 / 2, 200, 200.0 / 1.5));
}

TEST(BlockDrawHandlers, TheDownloadButtonFollowsItsAlignmentAndWidth) {
    PLYBlock_DownloadButton button;
    const QRectF block(0, 0, 1500, 120);
    EXPECT_NEAR(PLYBlockDrawHandler_DownloadButton::buttonRect(button, block).left(), 0, 1e-9);
    button.mutable_position()->set_alignment(PLYAlignment_Centre);
    EXPECT_NEAR(PLYBlockDrawHandler_DownloadButton::buttonRect(button, block).center().x(), 750, 1e-9);
    button.mutable_position()->set_alignment(PLYAlignment_Right);
    button.mutable_position()->set_width(0.2f);
    const QRectF right = PLYBlockDrawHandler_DownloadButton::buttonRect(button, block);
    EXPECT_NEAR(right.right(), 1500, 1e-9);
    EXPECT_NEAR(right.width(), 300, 1e-3);
    // Something is drawn inside the button and nothing outside it.
    PLYBlock downloadBlock = PLYTestLayouts::downloadButton("d");
    downloadBlock.mutable_download_button()->set_use_pellory_styling(true);
    downloadBlock.mutable_download_button()->mutable_position()->set_alignment(PLYAlignment_Centre);
    const QImage drawn = drawScaled(downloadBlock, nullptr, 1500, 120);
    EXPECT_NE(drawn.pixelColor(750, 60 - 25), QColor(Qt::white));
    EXPECT_EQ(drawn.pixelColor(100, 60), QColor(Qt::white));
}

}  // namespace
