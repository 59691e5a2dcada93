#include "PLYLayoutGeometry.h"

#include "PLYLayoutImageSource.h"
#include "PLYSectionLayoutHandler_Stacked.h"

QRectF PLYLayoutGeometry::localFrameForBlock(const QString& blockId) const {
    const auto it = blocks.constFind(blockId);
    if (it == blocks.constEnd())
        return {};
    QPointF origin;
    if (!it->parentId.isEmpty())
        origin = frameForBlock(it->parentId).topLeft();
    else
        origin = frameForSection(it->sectionId).topLeft();
    return it->frame.translated(-origin);
}

QRectF PLYLayoutGeometry::frameForSection(const QString& sectionId) const {
    for (const SectionFrame& s : sections)
        if (s.sectionId == sectionId)
            return s.frame;
    return {};
}

PLYLayoutGeometry PLYLayoutGeometry::layoutGeometry(const PLYLayout& layout, const ImageSizeFunction& imageSize,
                                                    double canvasWidth) {
    PLYLayoutGeometry geometry;
    geometry.canvasWidth = canvasWidth;
    const double padding = qMax<double>(0.0, double(layout.padding()));
    double y = 0.0;
    for (int i = 0; i < layout.sections_size(); ++i) {
        const PLYSection& section = layout.sections(i);
        // Every section kind is stacked for now; the other kinds are reserved in the schema.
        const double height =
            PLYSectionLayoutHandler_Stacked::layoutSection(section, i, y, canvasWidth, padding, imageSize, geometry);
        y += height;
    }
    geometry.totalHeight = y;
    return geometry;
}

PLYLayoutGeometry::ImageSizeFunction PLYLayoutGeometry::imageSizeFunction(const PLYLayoutImageSource* source) {
    if (!source)
        return {};
    return [source](const QString& identifier) {
        if (source->imageFileDeleted(identifier))
            return QSize();
        return source->pixelSizeForImage(identifier);
    };
}

PLYLayoutGeometry PLYLayoutGeometry::layoutGeometry(const PLYLayout& layout, const PLYLayoutImageSource* source,
                                                    double canvasWidth) {
    return layoutGeometry(layout, imageSizeFunction(source), canvasWidth);
}
