#pragma once

#include "PLYLayoutImageSource.h"

// The images of the store's source locations and their renditions in the image cache. Main
// thread only; background work takes a snapshot (snapshotForLayout) first.
class PLYLayoutImageSource_Store : public PLYLayoutImageSource {
public:
    QSize pixelSizeForImage(const QString& identifier) const override;
    bool imageFileDeleted(const QString& identifier) const override;
    QImage previewImageForIdentifier(const QString& identifier) const override;
    QImage exportImageForIdentifier(const QString& identifier) const override;
    std::shared_ptr<PLYLayoutImageSource> snapshotForLayout(const PLYLayout& layout) const override;
};
