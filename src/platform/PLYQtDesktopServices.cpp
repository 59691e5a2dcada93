#include "PLYQtDesktopServices.h"

#include "PLYLog.h"
#include "PLYSafeText.h"

#include <QDesktopServices>
#include <QProcess>

bool PLYQtDesktopServices::openURL(const QUrl& url) {
    if (!url.isValid()) return false;
    // Web pages and the user's own folders only: an address of another kind (a script, a
    // handler of some other program) is never handed to the desktop.
    if (!PLYSafeText::isWebURL(url) && !url.isLocalFile()) {
        PLY_LOG_WARN(QStringLiteral("Refused to open an address that is neither a web page nor a file: %1")
                         .arg(url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery)));
        return false;
    }
    return QDesktopServices::openUrl(url);
}

bool PLYQtDesktopServices::startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory) {
    if (program.isEmpty()) return false;
    const bool started = QProcess::startDetached(program, arguments, workingDirectory);
    if (!started) PLY_LOG_ERROR(QStringLiteral("Could not start %1").arg(program));
    return started;
}
