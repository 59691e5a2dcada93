#pragma once

#include "PLYLayoutImageSource.h"

// The images of the store's source locations and their renditions in the image cache, decoded
// off the main thread by the decoded-image cache: a rendition not yet decoded answers a null
// image and is announced when ready. Main thread only; background work and exports that must be
// complete take a snapshot (snapshotForLayout) first.
class PLYLayoutImageSource_Store : public PLYLayoutImageSource {
public:
    QSize pixelSizeForImage(const QString& identifier) const override;
    bool imageFileDeleted(const QString& identifier) const override;
    QImage previewImageForIdentifier(const QString& identifier) const override;
    QImage exportImageForIdentifier(const QString& identifier) const override;
    QImage imageForDrawnWidth(const QString& identifier, double drawnWidth) const override;
    std::shared_ptr<PLYLayoutImageSource> snapshotForLayout(const PLYLayout& layout) const override;
};
