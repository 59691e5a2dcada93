#pragma once

#include <QString>
#include <QStringList>

// Which files a source location takes as images.
class PLYImageFormats {
public:
    // The camera-raw extensions that are refused even where a decoder plugin could read them
    // (lower case, no dot; 38 of them).
    static const QStringList& rawExtensions();
    // An extension the image decoder reads and that is not a camera-raw one.
    static bool isSupportedImagePath(const QString& path);
};
