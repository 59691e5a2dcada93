#include "PLYQtDesktopServices.h"

#include "PLYLog.h"
#include "PLYSafeText.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
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

bool PLYQtDesktopServices::showFileInFileManager(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return openURL(folder);
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(FileManagerService), QString::fromLatin1(FileManagerPath),
                                                       QString::fromLatin1(FileManagerService), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)} << QString();
    // Answered later, so a slow or missing file manager never holds the window up; without an
    // answer the folder is opened.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, FileManagerTimeoutMs));
    std::weak_ptr<bool> alive = m_alive;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [this, alive, watcher, folder] {
        watcher->deleteLater();
        if (!watcher->isError() || alive.expired()) return;
        PLY_LOG_INFO(QStringLiteral("No file manager showed the file (%1); opening its folder").arg(watcher->error().name()));
        openURL(folder);
    });
    return true;
}
