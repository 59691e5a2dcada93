#include "PLYTestImages.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include <QRandomGenerator>

#include <exiv2/exiv2.hpp>

namespace PLYTestImages {

bool writeJpeg(const QString& path, int width, int height, const QColor& colour, int quality) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, colour);
    g.setColorAt(1, colour.darker(300));
    p.fillRect(image.rect(), g);
    p.end();
    return image.save(path, "JPEG", quality);
}

bool writeHeadThenHole(const QString& path, const QByteArray& head, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

bool writeJpegHeaderThenHole(const QString& path, int width, int height, qint64 size) {
    if (!writeJpeg(path, width, height)) return false;
    QFile whole(path);
    if (!whole.open(QIODevice::ReadOnly)) return false;
    QByteArray head = whole.readAll();
    whole.close();
    const qsizetype scan = head.indexOf(QByteArray("\xFF\xDA", 2));
    if (scan <= 0) return false;
    head.truncate(scan);
    return writeHeadThenHole(path, head, size);
}

bool writePhotoJpeg(const QString& path, int width, int height, int seed, int quality) {
    QRandomGenerator random(quint32(seed) * 2654435761u + 17u);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int hue = random.bounded(360);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(hue, 90, 230));
    sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 40, 250));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 240, 200, 200));
    p.drawEllipse(QPointF(width * (0.2 + 0.6 * random.generateDouble()), height * 0.25), width * 0.06, width * 0.06);
    // Three ridges of hills, darker towards the front.
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath ridge;
        const double base = height * (0.45 + 0.17 * layer);
        ridge.moveTo(0, height);
        ridge.lineTo(0, base);
        for (int x = 0; x <= width; x += std::max(8, width / 40))
            ridge.lineTo(x, base - height * 0.08 * random.generateDouble() - height * 0.05 * std::sin(x * 0.01 + layer));
        ridge.lineTo(width, height);
        ridge.closeSubpath();
        p.setBrush(QColor::fromHsv((hue + 120 + 25 * layer) % 360, 80 + 40 * layer, 150 - 40 * layer));
        p.drawPath(ridge);
    }
    p.end();
    // Fine grain everywhere: flat areas decode and compress unrealistically fast.
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(25)) - 12;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image.save(path, "JPEG", quality);
}

bool setXmpRatingAndLabel(const QString& path, int rating, const QString& label) {
    try {
        Exiv2::XmpParser::initialize();
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        if (!image.get()) return false;
        image->readMetadata();
        Exiv2::XmpData& xmp = image->xmpData();
        if (rating >= 0) xmp["Xmp.xmp.Rating"] = std::to_string(rating);
        if (!label.isEmpty()) xmp["Xmp.xmp.Label"] = label.toStdString();
        image->writeMetadata();
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

bool setExifOrientation(const QString& path, int orientation) {
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        if (!image.get()) return false;
        image->readMetadata();
        image->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
        image->writeMetadata();
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

bool writeCorruptJpeg(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("this is not a picture at all, only text pretending to be one");
    return true;
}

}  // namespace PLYTestImages
