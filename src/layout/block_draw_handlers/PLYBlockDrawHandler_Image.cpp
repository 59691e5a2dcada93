#include "PLYBlockDrawHandler_Image.h"

#include "PLYBlockView.h"
#include "PLYImageManager.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutImageSource.h"

#include <QPainter>
#include <cmath>

QRectF PLYBlockDrawHandler_Image::imageFrameInRect(const PLYBlock_Image& image, const QRectF& rect,
                                                   const QSize& pixelSize) {
    const double ratio = (pixelSize.isValid() && pixelSize.width() > 0 && pixelSize.height() > 0)
                             ? double(pixelSize.width()) / pixelSize.height()
                             : PLYLayoutGeometry::kDefaultRatio;
    if (image.has_position() && image.position().width() > 0.0f) {
        const double w = image.position().width() * rect.width();
        const double h = w / ratio;
        const double cx = rect.x() + image.position().x() * rect.width();
        const double cy = rect.y() + image.position().y() * rect.height();
        return QRectF(cx - w / 2.0, cy - h / 2.0, w, h);
    }
    if (rect.height() <= 0.0)
        return QRectF(rect.topLeft(), QSizeF(rect.width(), rect.width() / ratio));
    double w = rect.width();
    double h = w / ratio;
    if (h < rect.height()) {
        h = rect.height();
        w = h * ratio;
    }
    return QRectF(rect.center().x() - w / 2.0, rect.center().y() - h / 2.0, w, h);
}

QRectF PLYBlockDrawHandler_Image::placeholderFrameInRect(const QRectF& rect, const QSize& iconSize) {
    if (iconSize.isEmpty() || rect.isEmpty())
        return {};
    // Never larger than the icon, and never larger than half the block.
    const double fit = qMin(rect.width() / 2.0 / iconSize.width(), rect.height() / 2.0 / iconSize.height());
    const double scale = qMin(1.0, fit);
    const QSizeF size(iconSize.width() * scale, iconSize.height() * scale);
    return QRectF(rect.center() - QPointF(size.width() / 2.0, size.height() / 2.0), size);
}

QImage PLYBlockDrawHandler_Image::placeholderImage() { return PLYImageManager::placeholderImage(); }

void PLYBlockDrawHandler_Image::draw(QPainter* painter, const QRectF& rect, const PLYBlock_Image& image,
                                     const PLYBlockDrawContext& context) {
    painter->fillRect(rect, context.background);
    const QString identifier = QString::fromStdString(image.img_ref());
    const PLYLayoutImageSource* source = context.images;
    const bool deleted = !source || identifier.isEmpty() || source->imageFileDeleted(identifier);
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (deleted) {
        // The small icon is shown at its own size on a neutral area: stretched to the block it
        // would be a blur that reads as a picture.
        painter->fillRect(rect, kMissingFill);
        const QImage placeholder = placeholderImage();
        painter->drawImage(placeholderFrameInRect(rect, placeholder.size()), placeholder);
        painter->restore();
        return;
    }
    const QRectF frame = imageFrameInRect(image, rect, source->pixelSizeForImage(identifier));
    const QTransform& t = painter->worldTransform();
    const double scale = std::hypot(t.m11(), t.m12());
    const QImage picture = source->imageForDrawnWidth(identifier, frame.width() * scale);
    if (picture.isNull())
        painter->fillRect(rect, kMissingFill);  // not cached yet
    else
        painter->drawImage(frame, picture);
    painter->restore();
}

QRectF PLYBlockDrawHandler_Image::realImageFrame() const {
    PLYBlockView* view = blockView();
    const PLYBlock* block = view ? view->representedBlock() : nullptr;
    if (!block || block->type_case() != PLYBlock::kImage)
        return {};
    const PLYBlockDrawContext context = contextForView();
    const QString identifier = QString::fromStdString(block->image().img_ref());
    QSize size;
    if (context.images && !context.images->imageFileDeleted(identifier))
        size = context.images->pixelSizeForImage(identifier);
    return imageFrameInRect(block->image(), view->boundingRect(), size);
}

void PLYBlockDrawHandler_Image::prepareToDraw(double deviceScale) {
    const QString identifier = currentImage();
    const PLYBlockDrawContext context = contextForView();
    if (identifier.isEmpty() || !context.images || context.images->imageFileDeleted(identifier)) return;
    const QRectF frame = realImageFrame();
    if (!frame.isEmpty()) context.images->imageForDrawnWidth(identifier, frame.width() * deviceScale);
}

QString PLYBlockDrawHandler_Image::currentImage() const {
    PLYBlockView* view = blockView();
    const PLYBlock* block = view ? view->representedBlock() : nullptr;
    if (!block || block->type_case() != PLYBlock::kImage)
        return {};
    return QString::fromStdString(block->image().img_ref());
}

