#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

class PLYLayout;

// What rendering needs to know of the images a layout refers to: their pixel size, whether
// the file is gone, and the cached renditions. Geometry, views, draw handlers, the export and
// the background previews all read images through this, so that none of them depends on how
// the images are stored.
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

    // Below this drawn width in device pixels the small rendition is enough.
    static constexpr double kPreviewRenditionLimit = 200.0;
    // The picture to paint for an image drawn `drawnWidth` device pixels wide: the preview below
    // kPreviewRenditionLimit, else the export rendition, decoded no larger than the drawing needs
    // where the source can. When that one is not at hand the other rendition stands in if it is
    // at hand; a null image when neither is.
    virtual QImage imageForDrawnWidth(const QString& identifier, double drawnWidth) const;

    // A source that answers for the images of `layout` from any thread, taken now on the
    // calling thread; nothing when this source is itself safe to use from worker threads.
    virtual std::shared_ptr<PLYLayoutImageSource> snapshotForLayout(const PLYLayout& layout) const {
        (void)layout;
        return nullptr;
    }

    // The process-wide source used by views and exports unless they are given their own; the
    // store and image cache of the core manager unless another was set.
    static std::shared_ptr<PLYLayoutImageSource> defaultSource();
    static void setDefaultSource(std::shared_ptr<PLYLayoutImageSource> source);
};
