#include "PLYRelaunch.h"

#include "PLYDesktopServices.h"
#include "PLYLog.h"

#include <QCoreApplication>

PLYRelaunch::Command PLYRelaunch::commandForDelay(double seconds, const QString& executable) {
    const double delay = seconds > 0 ? seconds : 0.0;
    // $0 names the shell in its own messages; $1 and $2 are only ever expanded inside quotes.
    return {QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("sleep \"$1\"; exec \"$2\""), QStringLiteral("pellory-relaunch"),
             QString::number(delay, 'f', 3), executable}};
}

bool PLYRelaunch::relaunchAfterDelay(double seconds) {
    const Command command = commandForDelay(seconds, QCoreApplication::applicationFilePath());
    if (!PLYDesktopServices::shared()->startDetached(command.program, command.arguments)) {
        PLY_LOG_ERROR(QStringLiteral("Could not start the relaunch shell; Pellory keeps running"));
        return false;
    }
    PLY_LOG_INFO(QStringLiteral("Relaunching in %1 s").arg(seconds));
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return true;
}
