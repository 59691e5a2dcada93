#pragma once

#include <QSize>
#include <QString>

class QImageReader;

// What a picture's header says, read before anything is decoded: its size in pixels and, for a
// JPEG, the channels and whether it is progressive. A header may claim any size (a file of a few
// hundred bytes can claim 45000 x 45000), so the memory a decode needs is worked out from it
// before any decode starts.
struct PLYImageHeader {
    QSize size;             // as stored, before any orientation is applied; invalid when unreadable
    bool isJpeg = false;
    bool progressive = false;
    int components = 4;     // JPEG colour channels; 4 (the decoded pixel) for other formats
    QString reason;         // why the header could not be read

    bool isValid() const { return size.isValid() && !size.isEmpty(); }

    // How far into a file a header is looked for, and how much of it is read at most: a JPEG
    // whose frame header is not found within it is unreadable, however long the file.
    static constexpr qint64 MaxBytes = qint64(16) * 1024 * 1024;
    static constexpr qint64 ChunkBytes = qint64(64) * 1024;

    // Reads only the header: the JPEG markers up to the frame header, or Qt's own header check
    // for the other formats.
    static PLYImageHeader read(const QString& path);
    // The same for a picture about to be decoded by `reader`, through its open device, which is
    // left where it was found: the file is opened and its start read once for header and decode.
    static PLYImageHeader read(QImageReader& reader);

    // The bytes one decode for a picture at most `targetWidth` pixels wide (along the stored
    // width `shownWidthIsHeight` says otherwise) needs at its height: libjpeg decodes a JPEG at
    // 1/2, 1/4 or 1/8 of its size, a progressive one also keeps every coefficient of the whole
    // picture, other formats decode whole; the reduced picture and its copies come on top.
    qint64 decodeBytes(int targetWidth, bool shownWidthIsHeight) const;
};
