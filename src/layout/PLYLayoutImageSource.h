#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

// What rendering needs to know of the images a layout refers to: their pixel size, whether
// the file is gone, and the cached renditions. Geometry, views, draw handlers, the export and
// the background previews all read images through this, so that none of them depends on how
// the images are stored. Implementations must be safe to call from worker threads.
class PLYLayoutImageSource {
public:
    virtual ~PLYLayoutImageSource() = default;

    // Pixel size of the source image; an invalid size when the image is unknown.
    virtual QSize pixelSizeForImage(const QString& identifier) const = 0;
    // The image is known but its file has been deleted or moved away.
    virtual bool imageFileDeleted(const QString& identifier) const = 0;
    // The small (preview) and the large (export) rendition; a null image when not cached.
    virtual QImage previewImageForIdentifier(const QString& identifier) const = 0;
    virtual QImage exportImageForIdentifier(const QString& identifier) const = 0;

    // The process-wide source used by views and exports unless they are given their own.
    static std::shared_ptr<PLYLayoutImageSource> defaultSource();
    static void setDefaultSource(std::shared_ptr<PLYLayoutImageSource> source);
};
