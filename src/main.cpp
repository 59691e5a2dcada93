#include <QApplication>
#include <QMainWindow>

#include "PLYLog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    QApplication::setOrganizationName(QStringLiteral("Pellory"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pellory"));
    window.resize(1280, 800);
    window.show();
    const int rc = app.exec();
    PLYLog::shutdown();
    return rc;
}
