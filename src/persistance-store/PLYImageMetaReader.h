#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <functional>

// What a source location keeps of an image file's metadata.
struct PLYImageMeta {
    bool readable = false;
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
    // On the calling thread.
    static PLYImageMeta read(const QString& path);
    // Maps an xmp:Label text to the colour number (0 for none or unknown).
    static qint64 colourForLabel(const QString& label);
    // Stops the worker (quit): the read in progress ends, queued reads are dropped, their
    // completions never run. A later read starts a new worker.
    static void shutdown();
};
