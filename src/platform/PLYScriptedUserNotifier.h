#pragma once

#include "PLYUserNotifier.h"

#include <QList>
#include <QPair>

// Test double: records the notifications delivered.
class PLYScriptedUserNotifier : public PLYUserNotifier {
public:
    void deliver(const QString& title, const QString& informativeText) override { m_delivered.append({title, informativeText}); }
    const QList<QPair<QString, QString>>& delivered() const { return m_delivered; }

private:
    QList<QPair<QString, QString>> m_delivered;
};
