#include "PLYTestImageSource.h"

#include <QMutexLocker>

namespace {
QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
}  // namespace

void PLYTestImageSource::addImage(const QString& identifier, QSize pixelSize, QColor exportColour,
                                  QColor previewColour) {
    QMutexLocker lock(&m_mutex);
    Entry entry;
    entry.size = pixelSize;
    const QSize previewSize(200, qMax(1, 200 * pixelSize.height() / qMax(1, pixelSize.width())));
    const QSize exportSize(1500, qMax(1, 1500 * pixelSize.height() / qMax(1, pixelSize.width())));
    entry.preview = solid(previewSize, previewColour.isValid() ? previewColour : exportColour);
    entry.exported = solid(exportSize, exportColour);
    m_images.insert(identifier, entry);
}

void PLYTestImageSource::setDeleted(const QString& identifier, bool deleted) {
    QMutexLocker lock(&m_mutex);
    m_images[identifier].deleted = deleted;
}

QSize PLYTestImageSource::pixelSizeForImage(const QString& identifier) const {
    QMutexLocker lock(&m_mutex);
    return m_images.value(identifier).size;
}

bool PLYTestImageSource::imageFileDeleted(const QString& identifier) const {
    QMutexLocker lock(&m_mutex);
    const auto it = m_images.constFind(identifier);
    return it == m_images.constEnd() || it->deleted;
}

QImage PLYTestImageSource::previewImageForIdentifier(const QString& identifier) const {
    QMutexLocker lock(&m_mutex);
    return m_images.value(identifier).preview;
}

QImage PLYTestImageSource::exportImageForIdentifier(const QString& identifier) const {
    QMutexLocker lock(&m_mutex);
    return m_images.value(identifier).exported;
}
