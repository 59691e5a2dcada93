#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG bytes of an image, encoded in memory.
class PLYImageEncoding {
public:
    // `quality` from 0 to 100. Empty bytes, with the reason when asked, on failure.
    static QByteArray jpegData(const QImage& image, int quality, QString* reason = nullptr);
};
