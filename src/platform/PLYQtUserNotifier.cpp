#include "PLYQtUserNotifier.h"

#include "PLYLog.h"

#include <QApplication>
#include <QSystemTrayIcon>

PLYQtUserNotifier::~PLYQtUserNotifier() { delete m_tray; }

bool PLYQtUserNotifier::showsMessages() const {
    return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

void PLYQtUserNotifier::deliver(const QString& title, const QString& informativeText) {
    PLY_LOG_INFO(QStringLiteral("User notification: %1 - %2").arg(title, informativeText));
    if (!showsMessages()) return;
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon());
        m_tray->show();
    }
    m_tray->showMessage(title, informativeText);
}
