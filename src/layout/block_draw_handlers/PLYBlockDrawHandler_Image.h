#pragma once

#include "PLYBlockDrawHandler.h"

#include <QImage>
#include <QSize>
#include <QString>

// Draws an image block. With a `position` the picture is placed as the crop editor left it:
// `x`, `y` are the picture centre's offset from the block's origin as fractions of the
// block's width and height, `width` the picture's width as a fraction of the block's width
// (its height follows from the picture's own ratio). Without one the picture fills the block,
// centred (aspect fill). Whatever lies outside the block is clipped.
class PLYBlockDrawHandler_Image : public PLYBlockDrawHandler {
public:
    using PLYBlockDrawHandler::PLYBlockDrawHandler;

    // The rectangle, in the view's coordinates, in which the whole picture is drawn.
    QRectF realImageFrame() const;
    // Identifier of the source image drawn (the block's `img_ref`).
    QString currentImage() const;
    // Asks for the picture at the width it will be drawn.
    void prepareToDraw(double deviceScale) override;

    // The picture's frame for a block drawn in `rect`, for a picture of `pixelSize` (an
    // invalid size counts as 3:2).
    static QRectF imageFrameInRect(const PLYBlock_Image& image, const QRectF& rect, const QSize& pixelSize);
    static void draw(QPainter* painter, const QRectF& rect, const PLYBlock_Image& image,
                     const PLYBlockDrawContext& context);
    // Shown where the picture's file is gone.
    static QImage placeholderImage();
    // Where the placeholder icon of `iconSize` goes in a block drawn in `rect`: centred, at its
    // own size in layout points, smaller only when the block is small.
    static QRectF placeholderFrameInRect(const QRectF& rect, const QSize& iconSize);
    // Laid where a picture cannot be drawn (file gone, rendition not cached yet).
    static constexpr QColor kMissingFill = QColor(0xe6, 0xe6, 0xe6);
};
