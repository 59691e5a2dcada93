#include "PLYBaseWindowController.h"

#include "PLYColor.h"

#include <QGuiApplication>
#include <QScreen>

PLYBaseWindowController::PLYBaseWindowController(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Pellory"));
    auto* content = new QWidget(this);
    content->setAutoFillBackground(true);
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, PLYColor::kro_homeBackground());
    content->setPalette(palette);
    setCentralWidget(content);

    // Four fifths of the screen, centred.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size() * 0.8;
        const QSize screenSize = screen->size();
        setGeometry(QRect(QPoint((screenSize.width() - size.width()) / 2, (screenSize.height() - size.height()) / 2), size));
    }
}
