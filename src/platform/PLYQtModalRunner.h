#pragma once

#include "PLYModalRunner.h"

#include <QList>
#include <QPointer>

class QEventLoop;

// A nested event loop over an application-modal window.
class PLYQtModalRunner : public PLYModalRunner {
public:
    qint64 runModalForWindow(QWidget* window) override;
    void stopModalWithCode(qint64 code) override;
    bool isRunning() const override { return !m_loops.isEmpty(); }
    // Puts a window without a parent over `front` (or the middle of the screen when there is
    // none), kept inside the screen's available area. For a window already shown.
    static void centreOverWindow(QWidget* window, QWidget* front);

private:
    QList<QEventLoop*> m_loops;
};
