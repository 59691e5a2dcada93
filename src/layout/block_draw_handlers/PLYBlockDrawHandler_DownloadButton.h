#pragma once

#include "PLYBlockDrawHandler.h"

// The "DOWNLOAD IMAGES" button: a button of the block's title, as wide as the position's
// width fraction of the block (a third when unset), aligned by the position's alignment and
// centred vertically.
class PLYBlockDrawHandler_DownloadButton : public PLYBlockDrawHandler {
public:
    using PLYBlockDrawHandler::PLYBlockDrawHandler;

    static constexpr double kButtonHeight = 64.0;
    static constexpr double kDefaultWidthFraction = 1.0 / 3.0;

    static QRectF buttonRect(const PLYBlock_DownloadButton& button, const QRectF& rect);
    static void draw(QPainter* painter, const QRectF& rect, const PLYBlock_DownloadButton& button,
                     const PLYBlockDrawContext& context);
};
