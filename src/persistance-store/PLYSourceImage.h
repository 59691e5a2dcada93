#pragma once

#include "PLYAspectRatio.h"

#include <QDateTime>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class PLYSourceDirectory;

// One image file of a source location. Its identifier is minted once, kept in the location
// file, and follows the file through renames and moves.
class PLYSourceImage {
public:
    PLYSourceImage(QString identifier, const QString& path, PLYSourceDirectory* directory);

    QString identifier() const { return m_identifier; }
    QUrl location() const { return QUrl::fromLocalFile(m_path); }
    QString path() const { return m_path; }
    void setPath(const QString& path) {
        m_path = path;
        m_fileName = fileNameOf(path);
    }
    // The path's last component, kept with the path (the gallery sorts by it).
    QString fileName() const { return m_fileName; }
    // Asks for the image's names to be brought into the processor's cache ahead of a pass that
    // reads many images: such a pass otherwise waits on memory once per image.
    void prefetchNames() const {
        __builtin_prefetch(m_identifier.constData());
        __builtin_prefetch(m_fileName.constData());
    }

    qint64 width() const { return m_width; }
    qint64 height() const { return m_height; }
    void setPixelSize(qint64 width, qint64 height) { m_width = width; m_height = height; }

    // -1 when the file carries no rating.
    qint16 starRating() const { return m_starRating; }
    void setStarRating(qint16 rating) { m_starRating = rating; }
    // 0 none, 1 red, 2 yellow (or orange), 3 green, 4 blue, 5 purple, 6 white, 7 grey.
    qint64 colourRating() const { return m_colourRating; }
    void setColourRating(qint64 rating) { m_colourRating = rating; }

    // The location holding the image; cleared when the location goes.
    PLYSourceDirectory* sourceDirectory() const { return m_directory; }
    void setSourceDirectory(PLYSourceDirectory* directory) { m_directory = directory; }

    // Read from the file at each call; invalid when the file is gone.
    QDateTime creationDate() const;
    QDateTime modifiedDate() const;

    bool fileDeleted() const { return m_fileDeleted; }
    void setFileDeleted(bool deleted) { m_fileDeleted = deleted; }

    PLYAspectRatio aspectRatio() const;
    // The image's size scaled so that its longer edge is `edge`; square when the size is unknown.
    QSizeF galleryDisplayFrameForLongestEdge(double edge) const;
    // The file name without extension, then "_" and the keywords joined by "_" when given.
    QString exportNameWithFocusKeywords(const std::optional<QStringList>& keywords = std::nullopt) const;
    // The preview panel's title.
    QString previewItemTitle() const { return exportNameWithFocusKeywords(); }

    // File identity, to follow the file through renames and moves.
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }
    void setFileIdentity(quint64 device, quint64 inode) { m_device = device; m_inode = inode; }
    // The file's creation (birth, or modification where the file system keeps none) and
    // modification times as the location last found them (ms since 1970); -1 when not known.
    qint64 fileCreatedTime() const { return m_fileCreated; }
    qint64 fileModifiedTime() const { return m_fileModified; }
    void setFileTimes(qint64 created, qint64 modified) {
        m_fileCreated = created;
        m_fileModified = modified;
    }
    // The file's modification time when its metadata was last read (ms since 1970).
    qint64 scannedModifiedTime() const { return m_scannedModified; }
    void setScannedModifiedTime(qint64 ms) { m_scannedModified = ms; }

private:
    static QString fileNameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

    QString m_identifier;
    QString m_path;
    QString m_fileName;
    PLYSourceDirectory* m_directory = nullptr;
    qint64 m_width = 0;
    qint64 m_height = 0;
    qint16 m_starRating = -1;
    qint64 m_colourRating = 0;
    bool m_fileDeleted = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_scannedModified = 0;
    qint64 m_fileCreated = -1;
    qint64 m_fileModified = -1;
};
