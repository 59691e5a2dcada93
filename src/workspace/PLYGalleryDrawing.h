#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Drawing shared by the gallery's items and its filter controls.
namespace PLYGalleryDrawing {
// The named image as an icon, made once per name (sharp at any scale factor).
QIcon namedIcon(const QString& name);
// The colour of label 1 (red) to 7 (grey); invalid for any other label.
QColor colourForLabel(qint64 label);
}  // namespace PLYGalleryDrawing
