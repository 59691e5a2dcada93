#include "PLYDragImages.h"

#include <QPainter>
#include <cmath>

PLYDragImages PLYDragImages::compose(const QList<QImage>& images, bool vertical, double scale) {
    PLYDragImages result;
    QList<QSizeF> sizes;
    QList<QImage> shown;
    for (const QImage& image : images) {
        // A block that could not be drawn has no place in the line.
        if (image.isNull() || image.width() <= 0) continue;
        shown << image;
        sizes << QSizeF(ItemWidth, ItemWidth * image.height() / image.width());
    }
    if (shown.isEmpty()) return result;
    double length = 0;
    double breadth = 0;
    for (const QSizeF& size : std::as_const(sizes)) {
        length += (vertical ? size.height() : size.width()) + Spacing;
        breadth = std::max(breadth, vertical ? size.width() : size.height());
    }
    length -= Spacing;
    const QSizeF total = vertical ? QSizeF(breadth, length) : QSizeF(length, breadth);
    result.image = QImage(QSize(int(std::ceil(total.width() * scale)), int(std::ceil(total.height() * scale))),
                          QImage::Format_ARGB32_Premultiplied);
    result.image.fill(Qt::transparent);
    QPainter painter(&result.image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    // The line starts at the pointer, each item centred across it, as the overlay draws it.
    result.hotSpot = vertical ? QPointF(breadth / 2, 0) : QPointF(0, breadth / 2);
    const QList<QRectF> frames = PLYDropDecisions::arrangedDragImageFrames(sizes, result.hotSpot, vertical, Spacing);
    for (qsizetype i = 0; i < shown.size(); ++i) painter.drawImage(frames[i], shown[i]);
    painter.end();
    result.image.setDevicePixelRatio(scale);
    return result;
}
