#include "PLYLayoutImageSource_Snapshot.h"

#include "PLYImageManager.h"

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
