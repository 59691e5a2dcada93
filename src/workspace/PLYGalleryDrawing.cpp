#include "PLYGalleryDrawing.h"

#include "PLYNamedImage.h"

#include <QHash>

namespace PLYGalleryDrawing {

QIcon namedIcon(const QString& name) {
    static QHash<QString, QIcon> icons;
    auto it = icons.find(name);
    if (it == icons.end()) it = icons.insert(name, PLYNamedImage::icon(name));
    return *it;
}

QColor colourForLabel(qint64 label) {
    switch (label) {
    case 1: return QColor::fromRgbF(0.89f, 0.36f, 0.36f);
    case 2: return QColor::fromRgbF(0.86f, 0.86f, 0.2f);
    case 3: return QColor::fromRgbF(0.35f, 0.75f, 0.36f);
    case 4: return QColor::fromRgbF(0.33f, 0.55f, 0.88f);
    case 5: return QColor::fromRgbF(0.55f, 0.38f, 0.89f);
    case 6: return QColor(Qt::white);
    case 7: return QColor::fromRgbF(0.45f, 0.45f, 0.45f);
    default: return {};
    }
}

}  // namespace PLYGalleryDrawing
