#include "PLYColor.h"

#include <cctype>

QColor PLYColor::colorWithHexColorString(const QString& hex) {
    QString digits = hex.trimmed();
    if (digits.startsWith(QLatin1Char('#'))) digits.remove(0, 1);
    if (digits.size() != 6) return {};
    // toUInt alone would also take a sign or a "0x" prefix.
    for (const QChar c : digits)
        if (c.unicode() > 0x7f || !std::isxdigit(static_cast<unsigned char>(c.toLatin1()))) return {};
    bool ok = false;
    const uint rgb = digits.toUInt(&ok, 16);
    if (!ok) return {};
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

QColor PLYColor::kro_blueColour() { return QColor(0x21, 0x9D, 0xFF); }
QColor PLYColor::kro_snapColour() { return QColor(0xFF, 0x2D, 0x87); }
QColor PLYColor::kro_layoutBackground() { return QColor(0xF4, 0xF4, 0xF4); }
QColor PLYColor::kro_homeBackground() { return QColor(0xE5, 0xE5, 0xE5); }
QColor PLYColor::kro_inspectorDetailGrey() { return QColor(0xFA, 0xFA, 0xFA); }
QColor PLYColor::kro_errorRedColour() { return QColor(0xE0, 0x3C, 0x31); }
