#pragma once

#include "PLYLayoutImageSource.h"

#include <QColor>
#include <QHash>
#include <QMutex>

// An image source over solid-colour pictures made in the test: each image has a pixel size,
// a preview and an export rendition (of different colours when asked, so that a test can
// tell which one was drawn) and may be marked as deleted.
class PLYTestImageSource : public PLYLayoutImageSource {
public:
    void addImage(const QString& identifier, QSize pixelSize, QColor exportColour, QColor previewColour = QColor());
    void setDeleted(const QString& identifier, bool deleted);

    QSize pixelSizeForImage(const QString& identifier) const override;
    bool imageFileDeleted(const QString& identifier) const override;
    QImage previewImageForIdentifier(const QString& identifier) const override;
    QImage exportImageForIdentifier(const QString& identifier) const override;

private:
    struct Entry {
        QSize size;
        QImage preview;
        QImage exported;
        bool deleted = false;
    };
    mutable QMutex m_mutex;
    QHash<QString, Entry> m_images;
};
