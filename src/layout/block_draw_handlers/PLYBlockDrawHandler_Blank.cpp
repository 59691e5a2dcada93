#include "PLYBlockDrawHandler_Blank.h"

#include <QPainter>

void PLYBlockDrawHandler_Blank::draw(QPainter* painter, const QRectF& rect, const PLYBlockDrawContext& context) {
    painter->fillRect(rect, context.background);
    if (!context.editorDecorations)
        return;
    // A faint wash that reads on light and dark backgrounds alike.
    const bool dark = context.background.lightnessF() < 0.5;
    painter->fillRect(rect, dark ? QColor(255, 255, 255, 18) : QColor(0, 0, 0, 12));
}
