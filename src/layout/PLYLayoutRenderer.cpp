#include "PLYLayoutRenderer.h"
#include "PLYImageEncoding.h"

#include "PLYBlockDrawHandler.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"

#include <QPainter>
#include <cmath>

namespace {

const PLYBlock* findBlock(const google::protobuf::RepeatedPtrField<PLYBlock>& blocks, const std::string& id) {
    for (const PLYBlock& block : blocks) {
        if (block.id() == id)
            return &block;
        if (block.type_case() == PLYBlock::kContainer)
            if (const PLYBlock* found = findBlock(block.container().sub_blocks(), id))
                return found;
    }
    return nullptr;
}

void drawTree(QPainter* painter, const PLYBlock& block, const PLYLayoutGeometry& geometry,
              const PLYBlockDrawContext& context) {
    if (block.type_case() == PLYBlock::kContainer && block.container().sub_blocks_size() > 0) {
        for (const PLYBlock& child : block.container().sub_blocks())
            drawTree(painter, child, geometry, context);
        return;
    }
    const QString id = QString::fromStdString(block.id());
    if (geometry.contains(id))
        PLYBlockDrawHandler::drawBlock(painter, geometry.frameForBlock(id), block, context);
}

}  // namespace

QImage PLYLayoutRenderer::render(const PLYLayout& layout, const QRectF& area, int pixelWidth,
                                 const PLYLayoutImageSource* images, const PLYLayoutGeometry& geometry,
                                 const PLYBlock* onlyBlock, QString* reason) {
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return QImage();
    };
    if (pixelWidth <= 0)
        return fail(QObject::tr("the width of %1 pixels is not a width").arg(pixelWidth));
    if (!(area.width() > 0.0) || !(area.height() > 0.0))
        return fail(QObject::tr("the block has no area to draw"));
    const double scale = pixelWidth / area.width();
    // Images larger than this are refused rather than exhausting memory on a tall block.
    const double height = area.height() * scale;
    if (!std::isfinite(height) || height * pixelWidth > double(kMaximumPixels))
        return fail(QObject::tr("at %1 pixels wide the block would be %2 pixels tall, too large an image; "
                                "choose a smaller width")
                        .arg(pixelWidth)
                        .arg(std::isfinite(height) ? QString::number(qint64(std::llround(height))) : QObject::tr("endlessly")));
    const int pixelHeight = qMax(1, int(std::lround(height)));
    QImage image(pixelWidth, pixelHeight, QImage::Format_RGB32);
    if (image.isNull())
        return fail(QObject::tr("there is not enough memory for an image of %1 × %2 pixels").arg(pixelWidth).arg(pixelHeight));
    PLYBlockDrawContext context;
    context.images = images;
    context.background = PLYLayoutManager::backgroundColourForLayout(layout);
    image.fill(context.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(-area.topLeft());
    painter.setClipRect(area);
    if (onlyBlock) {
        drawTree(&painter, *onlyBlock, geometry, context);
    } else {
        for (const PLYSection& section : layout.sections())
            for (const PLYBlock& block : section.blocks())
                drawTree(&painter, block, geometry, context);
    }
    painter.end();
    return image;
}

QImage PLYLayoutRenderer::renderBlock(const PLYLayout& layout, const QString& blockId, int pixelWidth,
                                      const PLYLayoutImageSource* images, const PLYLayoutGeometry* geometry,
                                      QString* reason) {
    const std::string id = blockId.toStdString();
    const PLYBlock* block = nullptr;
    for (const PLYSection& section : layout.sections())
        if ((block = findBlock(section.blocks(), id)))
            break;
    if (!block) {
        if (reason)
            *reason = QObject::tr("the block is no longer in the layout");
        return {};
    }
    PLYLayoutGeometry computed;
    if (!geometry || !geometry->contains(blockId)) {
        computed = PLYLayoutGeometry::layoutGeometry(layout, images);
        geometry = &computed;
    }
    return render(layout, geometry->frameForBlock(blockId), pixelWidth, images, *geometry, block, reason);
}

QImage PLYLayoutRenderer::renderLayout(const PLYLayout& layout, int pixelWidth, const PLYLayoutImageSource* images,
                                       int maxPixelHeight) {
    const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(layout, images);
    double height = geometry.totalHeight;
    if (maxPixelHeight > 0 && pixelWidth > 0)
        height = qMin(height, maxPixelHeight * geometry.canvasWidth / pixelWidth);
    return render(layout, QRectF(0, 0, geometry.canvasWidth, height), pixelWidth, images, geometry, nullptr);
}

QByteArray PLYLayoutRenderer::jpegData(const QImage& image, double quality) {
    return PLYImageEncoding::jpegData(image, int(std::lround(quality * 100.0)));
}
