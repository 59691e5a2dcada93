#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>

// The application's named images and resources, found in the resource system by name:
// ":/images/<name>.svg" or ".png" for images, ":/<name>.<type>" for other resources.
class PLYNamedImage {
public:
    // Every image name the application loads.
    static QStringList knownImageNames();

    // The resource path of the image, empty when there is none of that name.
    static QString pathForImage(const QString& name);
    // The image at `size` (its own size when empty); a null image when there is none.
    static QImage image(const QString& name, const QSize& size = {});
    static QIcon icon(const QString& name);

    // The resource path of `name` of `type`, empty when there is none ("error_map", "json").
    static QString pathForResource(const QString& name, const QString& type);

    // A video is shown where the build carries it; otherwise its still stands in its place.
    static QUrl videoURL(const QString& name);
    static QImage stillForVideo(const QString& name, const QSize& size = {});
};
