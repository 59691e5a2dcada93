#include "PLYQtDesktopServices.h"

#include "PLYLog.h"

#include <QDesktopServices>
#include <QProcess>

bool PLYQtDesktopServices::openURL(const QUrl& url) {
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

bool PLYQtDesktopServices::startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory) {
    if (program.isEmpty()) return false;
    const bool started = QProcess::startDetached(program, arguments, workingDirectory);
    if (!started) PLY_LOG_ERROR(QStringLiteral("Could not start %1").arg(program));
    return started;
}
