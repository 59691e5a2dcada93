#pragma once

#include "PLYImageHeader.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <functional>

// What a source location keeps of an image file's metadata.
struct PLYImageMeta {
    bool readable = false;
    QString reason;  // why it is not readable
    QSize size;
    qint16 starRating = -1;
    qint64 colourRating = 0;
};

// Reads sizes, XMP star ratings and colour labels on one serial background thread,
// "Image Meta Search". Size comes from the image header only; no pixels are decoded.
class PLYImageMetaReader {
public:
    // Queued on the worker; `done` runs on the main thread unless `context` is gone by then.
    static void readAsync(const QString& path, QObject* context, std::function<void(const PLYImageMeta&)> done);
    // What one read may take of a file, whatever the file holds: a header not found within it is
    // unreadable. Taken at most ReadChunkBytes at a time.
    static constexpr qint64 MaxReadBytes = PLYImageHeader::MaxBytes;
    static constexpr qint64 ReadChunkBytes = PLYImageHeader::ChunkBytes;
    // On the calling thread. `stopRequested`, when given, is asked before each chunk is read:
    // once it answers true the read ends, unreadable.
    static PLYImageMeta read(const QString& path, const std::function<bool()>& stopRequested = {});
    // Maps an xmp:Label text to the colour number (0 for none or unknown).
    static qint64 colourForLabel(const QString& label);
    // Stops the worker (quit): the read in progress is told to stop and ends at its next chunk,
    // queued reads are dropped, their completions never run. A later read starts a new worker.
    static void shutdown();
};
