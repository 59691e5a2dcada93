#include "PLYLayoutImageSource_Snapshot.h"

#include "PLYDecodedImageCache.h"
#include "PLYImageManager.h"

#include <cmath>

QSize PLYLayoutImageSource_Snapshot::pixelSizeForImage(const QString& identifier) const {
    return m_entries.value(identifier).pixelSize;
}

bool PLYLayoutImageSource_Snapshot::imageFileDeleted(const QString& identifier) const {
    const auto it = m_entries.constFind(identifier);
    return it == m_entries.constEnd() || it->deleted;
}

QImage PLYLayoutImageSource_Snapshot::previewImageForIdentifier(const QString& identifier) const {
    const auto it = m_entries.constFind(identifier);
    if (it == m_entries.constEnd())
        return {};
    return it->failed ? PLYImageManager::placeholderImage() : QImage(it->previewPath);
}

QImage PLYLayoutImageSource_Snapshot::exportImageForIdentifier(const QString& identifier) const {
    const auto it = m_entries.constFind(identifier);
    if (it == m_entries.constEnd())
        return {};
    return it->failed ? PLYImageManager::placeholderImage() : QImage(it->exportPath);
}

// Read from the file on the calling thread (exports and previews are made off the main thread);
// the export rendition at the scale it is drawn.
QImage PLYLayoutImageSource_Snapshot::imageForDrawnWidth(const QString& identifier, double drawnWidth) const {
    if (drawnWidth < kPreviewRenditionLimit) return PLYLayoutImageSource::imageForDrawnWidth(identifier, drawnWidth);
    const auto it = m_entries.constFind(identifier);
    if (it == m_entries.constEnd()) return {};
    if (it->failed) return PLYImageManager::placeholderImage();
    const QImage picture = PLYDecodedImageCache::decodeFile(it->exportPath, int(std::ceil(drawnWidth)));
    return picture.isNull() ? previewImageForIdentifier(identifier) : picture;
}
