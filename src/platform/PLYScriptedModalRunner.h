#pragma once

#include "PLYModalRunner.h"

#include <QList>
#include <functional>

// Test double: runs `whileRunning` (the user's part) with the window, then answers the code
// given to stopModalWithCode, or Stop when nothing stopped the run.
class PLYScriptedModalRunner : public PLYModalRunner {
public:
    qint64 runModalForWindow(QWidget* window) override;
    void stopModalWithCode(qint64 code) override { m_stopCode = code; }
    bool isRunning() const override { return m_running; }

    void setWhileRunning(std::function<void(QWidget*)> script) { m_whileRunning = std::move(script); }
    const QList<QWidget*>& windows() const { return m_windows; }

private:
    std::function<void(QWidget*)> m_whileRunning;
    QList<QWidget*> m_windows;
    qint64 m_stopCode = Stop;
    bool m_running = false;
};
