#include "PLYImageEncoding.h"

#include <QBuffer>
#include <QImageWriter>

QByteArray PLYImageEncoding::jpegData(const QImage& image, int quality, QString* reason) {
    if (image.isNull()) {
        if (reason) *reason = QStringLiteral("There is no image to encode.");
        return {};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(qBound(0, quality, 100));
    if (!writer.write(image)) {
        if (reason) *reason = writer.errorString();
        return {};
    }
    return bytes;
}
