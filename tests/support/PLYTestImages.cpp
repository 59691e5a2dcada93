#include "PLYTestImages.h"

#include <QFile>
#include <QImage>
#include <QPainter>

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
