#pragma once

#include "PLYLayoutImageSource.h"

#include <QHash>

// What a layout's images were when the snapshot was taken: sizes and whether the file is
// gone, with the renditions read from their cache files on demand. Safe on any thread.
class PLYLayoutImageSource_Snapshot : public PLYLayoutImageSource {
public:
    struct Entry {
        QSize pixelSize;
        bool deleted = false;
        bool failed = false;  // the file could not be decoded: the placeholder stands in
        QString previewPath;
        QString exportPath;
    };

    void addImage(const QString& identifier, const Entry& entry) { m_entries.insert(identifier, entry); }

    QSize pixelSizeForImage(const QString& identifier) const override;
    bool imageFileDeleted(const QString& identifier) const override;
    QImage previewImageForIdentifier(const QString& identifier) const override;
    QImage exportImageForIdentifier(const QString& identifier) const override;
    QImage imageForDrawnWidth(const QString& identifier, double drawnWidth) const override;

private:
    QHash<QString, Entry> m_entries;
};
