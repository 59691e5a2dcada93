#pragma once

#include "PLYBlockDrawHandler.h"

// A blank spacer: background only in exports; a faint area on the editing canvas.
class PLYBlockDrawHandler_Blank : public PLYBlockDrawHandler {
public:
    using PLYBlockDrawHandler::PLYBlockDrawHandler;

    static void draw(QPainter* painter, const QRectF& rect, const PLYBlockDrawContext& context);
};
