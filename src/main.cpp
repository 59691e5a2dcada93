#include <QApplication>
#include <QTimer>

#include "AppDelegate.h"
#include "PLYLaunchClock.h"

int main(int argc, char** argv) {
    PLYLaunchClock::start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    QApplication::setOrganizationName(QStringLiteral("Pellory"));
    QApplication::setApplicationVersion(QStringLiteral(PELLORY_VERSION));

    int rc = 0;
    {
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching(QApplication::arguments());
        // Launch completes once the main loop runs.
        QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
        rc = app.exec();
    }
    AppDelegate::releaseSharedServices();
    return rc;
}
