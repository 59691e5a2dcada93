#pragma once

#include "PLYUserNotifier.h"

#include <QList>
#include <QPair>

// Test double: records the notifications delivered.
class PLYScriptedUserNotifier : public PLYUserNotifier {
public:
    void deliver(const QString& title, const QString& informativeText) override { m_delivered.append({title, informativeText}); }
    void deliverNotification(const PLYUserNotification& notification) override {
        m_notifications.append(notification);
        PLYUserNotifier::deliverNotification(notification);
    }
    bool showsMessages() const override { return m_showsMessages; }
    void setShowsMessages(bool shows) { m_showsMessages = shows; }
    const QList<QPair<QString, QString>>& delivered() const { return m_delivered; }
    // Those delivered with identifier and subtitle, in order.
    const QList<PLYUserNotification>& notifications() const { return m_notifications; }

private:
    QList<QPair<QString, QString>> m_delivered;
    QList<PLYUserNotification> m_notifications;
    bool m_showsMessages = true;
};
