#pragma once

#include <QtGlobal>
#include <memory>

class QWidget;

// Runs a window modally until stopModalWithCode; closing the window stops with Stop.
class PLYModalRunner {
public:
    static constexpr qint64 Stop = -1000;
    static constexpr qint64 Abort = -1001;
    static constexpr qint64 Continue = -1002;

    virtual ~PLYModalRunner() = default;
    virtual qint64 runModalForWindow(QWidget* window) = 0;
    virtual void stopModalWithCode(qint64 code) = 0;
    virtual bool isRunning() const = 0;

    static std::shared_ptr<PLYModalRunner> shared();
    static void setShared(std::shared_ptr<PLYModalRunner> runner);
};
