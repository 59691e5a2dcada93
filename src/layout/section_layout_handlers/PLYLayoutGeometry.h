#pragma once

#include "PLYLayout.pb.h"

#include <QHash>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class PLYLayoutImageSource;

// Frames of every section and block of a layout on the canvas, in layout points (y down).
// Computed by layoutGeometry() from the model alone; nothing here refers to views.
struct PLYLayoutGeometry {
    static constexpr double kCanvasWidth = 1500.0;
    // An empty section keeps this height so that it can still take a drop.
    static constexpr double kEmptySectionHeight = 200.0;
    // Height of a download-button block, whatever its width.
    static constexpr double kDownloadButtonHeight = 120.0;
    // Ratio of a blank block and of an image whose picture is unknown or gone.
    static constexpr double kDefaultRatio = 1.5;

    struct BlockFrame {
        QRectF frame;        // canvas coordinates
        QString parentId;    // enclosing container, empty at the top level of a section
        QString sectionId;
        int sectionIndex = -1;
    };

    struct SectionFrame {
        QString sectionId;
        QRectF frame;
        QStringList blockIds;  // top-level blocks, in order
    };

    // Pixel size of an image by identifier; an invalid size when unknown or gone.
    using ImageSizeFunction = std::function<QSize(const QString&)>;

    double canvasWidth = kCanvasWidth;
    double totalHeight = 0.0;
    std::vector<SectionFrame> sections;
    QHash<QString, BlockFrame> blocks;

    bool contains(const QString& blockId) const { return blocks.contains(blockId); }
    QRectF frameForBlock(const QString& blockId) const { return blocks.value(blockId).frame; }
    // The frame relative to its parent's frame (container or section).
    QRectF localFrameForBlock(const QString& blockId) const;
    QRectF frameForSection(const QString& sectionId) const;

    // Lays the whole layout out. `imageSize` may be empty: every image then counts as missing.
    static PLYLayoutGeometry layoutGeometry(const PLYLayout& layout, const ImageSizeFunction& imageSize,
                                            double canvasWidth = kCanvasWidth);
    static PLYLayoutGeometry layoutGeometry(const PLYLayout& layout, const PLYLayoutImageSource* source,
                                            double canvasWidth = kCanvasWidth);
    // The image-size function of an image source (missing or deleted files give no size).
    static ImageSizeFunction imageSizeFunction(const PLYLayoutImageSource* source);
};
