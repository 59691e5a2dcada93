#pragma once

#include "PLYUserNotifier.h"

#include <QPointer>

class QSystemTrayIcon;

// A tray-icon message where the desktop has a tray; otherwise the notice is only logged (and
// showsMessages() says so, for the window to say it instead).
class PLYQtUserNotifier : public PLYUserNotifier {
public:
    ~PLYQtUserNotifier() override;
    void deliver(const QString& title, const QString& informativeText) override;
    bool showsMessages() const override;

private:
    QPointer<QSystemTrayIcon> m_tray;
};
