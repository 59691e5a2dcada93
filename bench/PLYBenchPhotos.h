#pragma once

#include "PLYError.h"
#include "PLYImageManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>

#include <unistd.h>

// Folders of many photos for the benchmarks that look at libraries: hard links to a handful of
// real JPEGs whose renditions are made once, so that thousands of photos cost little disk and
// little set-up, and the image cache can be filled by linking rather than decoding.

// Makes `to` the same file as `from` (a copy where the file system has no hard links).
inline bool plyBenchLinkFile(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 || QFile::copy(from, to);
}

// A photo and its renditions.
struct PLYBenchPhoto {
    QString file, preview, exported;
};

// `count` photos "photo-<i>.jpg" in `folder`, each written by `write` (its path, its index) where
// an earlier run did not leave it, then given its renditions (made after it, so that they count
// as current).
inline QList<PLYBenchPhoto> plyBenchPhotos(const QString& folder, int count,
                                           const std::function<bool(const QString& path, int index)>& write) {
    QList<PLYBenchPhoto> photos;
    for (int i = 0; i < count; ++i) {
        const QString stem = QDir(folder).filePath(QStringLiteral("photo-%1").arg(i));
        PLYBenchPhoto photo{stem + QStringLiteral(".jpg"), stem + QStringLiteral("-preview.jpg"),
                            stem + QStringLiteral("-export.jpg")};
        if (!QFileInfo::exists(photo.exported)) {
            if (!write(photo.file, i)) qFatal("Could not write a benchmark photo");
            PLYError error;
            if (!PLYImageManager::renderRenditions(photo.file, photo.preview, photo.exported, &error))
                qFatal("Could not make the renditions of a benchmark photo: %s", qPrintable(error.toString()));
        }
        photos << photo;
    }
    return photos;
}

// Fills `folder` with `count` files "IMG_0000.jpg"..., the k-th a link to photo (first + k) of
// `photos` (round the list), and notes in `photoOf` the index of the photo each file is.
inline void plyBenchLinkPhotoFolder(const QDir& folder, int count, const QList<PLYBenchPhoto>& photos, int first,
                                    QHash<QString, int>& photoOf) {
    folder.mkpath(QStringLiteral("."));
    for (int k = 0; k < count; ++k) {
        const QString file = folder.filePath(QStringLiteral("IMG_%1.jpg").arg(k, 4, 10, QLatin1Char('0')));
        const int photo = (first + k) % int(photos.size());
        photoOf.insert(file, photo);
        if (!plyBenchLinkFile(photos.at(photo).file, file)) qFatal("Could not make %s", qPrintable(file));
    }
}

// Puts the renditions of `photo` where an image cache keeps those of an image, in place of any
// there already. Answers whether both are there.
inline bool plyBenchLinkRenditions(const PLYBenchPhoto& photo, const QString& previewPath, const QString& exportPath) {
    QDir().mkpath(QFileInfo(previewPath).path());
    QDir().mkpath(QFileInfo(exportPath).path());
    QFile::remove(previewPath);
    QFile::remove(exportPath);
    return plyBenchLinkFile(photo.preview, previewPath) && plyBenchLinkFile(photo.exported, exportPath);
}
