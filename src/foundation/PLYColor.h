#pragma once

#include <QColor>
#include <QString>

// The application's palette. Every colour is opaque.
class PLYColor {
public:
    // Six hexadecimal digits (an optional leading '#'); an invalid QColor for anything else.
    static QColor colorWithHexColorString(const QString& hex);

    static QColor kro_blueColour();           // hover, selection, drop bands, handles
    static QColor kro_snapColour();           // the image editor's snap lines
    static QColor kro_layoutBackground();     // behind the layout canvas
    static QColor kro_homeBackground();       // main window and home screen
    static QColor kro_inspectorDetailGrey();  // gallery message page, thumbnail backing
    static QColor kro_errorRedColour();       // error borders and labels
};
