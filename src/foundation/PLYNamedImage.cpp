#include "PLYNamedImage.h"

#include "PLYInterfaceNames.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Vector images are drawn by the SVG renderer itself, so that they do not depend on which
// image-format plug-ins the system has.
QImage render(const QString& path, const QSize& size) {
    if (path.isEmpty()) return {};
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        if (!renderer.isValid()) return {};
        const QSize target = size.isEmpty() ? renderer.defaultSize() : size;
        QImage image(target, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        return image;
    }
    QImage image(path);
    if (image.isNull() || size.isEmpty()) return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString firstExisting(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        if (QFile::exists(candidate)) return candidate;
    }
    return {};
}

}  // namespace

QStringList PLYNamedImage::knownImageNames() {
    using namespace PLYInterfaceNames;
    QStringList names;
    for (const char* name : {ImageBoltGreen, ImageBoltGrey, ImageEmptyPost, ImageStarWhite, ImageStarSelected,
                             ImageStarDeselected, ImageEqual, ImageLessThan, ImageGreaterThan,
                             ImageToolbarButtonBackground, ImageDocumentSwitcherArrow, ImageGreenLight, ImageRedLight,
                             ImageLightGreen, ImageLightYellow, ImageLightRed, ImageBrokenImage, ImageToolbarHome,
                             ImageToolbarPosts, ImageToolbarZoomOut, ImageToolbarZoomIn, ImageToolbarAddBlock,
                             ImageToolbarGallery, ImageToolbarInspector})
        names << QString::fromLatin1(name);
    return names;
}

QString PLYNamedImage::pathForImage(const QString& name) {
    if (name.isEmpty()) return {};
    const QString base = QStringLiteral(":/images/") + name;
    return firstExisting({base + QStringLiteral(".svg"), base + QStringLiteral(".png")});
}

QImage PLYNamedImage::image(const QString& name, const QSize& size) { return render(pathForImage(name), size); }

QIcon PLYNamedImage::icon(const QString& name) {
    const QImage picture = image(name);
    if (picture.isNull()) return {};
    QIcon icon(QPixmap::fromImage(picture));
    // A sharper rendition for high-density screens.
    if (pathForImage(name).endsWith(QLatin1String(".svg"))) icon.addPixmap(QPixmap::fromImage(image(name, picture.size() * 2)));
    return icon;
}

QString PLYNamedImage::pathForResource(const QString& name, const QString& type) {
    if (name.isEmpty()) return {};
    const QString file = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    return firstExisting({QStringLiteral(":/") + file, QStringLiteral(":/videos/") + file});
}

QUrl PLYNamedImage::videoURL(const QString& name) {
    const QString path = pathForResource(name, QStringLiteral("mp4"));
    return path.isEmpty() ? QUrl() : QUrl(QStringLiteral("qrc") + path);
}

QImage PLYNamedImage::stillForVideo(const QString& name, const QSize& size) {
    if (name.isEmpty()) return {};
    const QString base = QStringLiteral(":/videos/") + name + QStringLiteral("-still");
    return render(firstExisting({base + QStringLiteral(".svg"), base + QStringLiteral(".png")}), size);
}
