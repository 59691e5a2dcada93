#include "PLYDispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace PLYDispatch {

bool isMainThread() {
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void mainAsync(std::function<void()> fn, QObject* context) {
    auto* app = QCoreApplication::instance();
    if (!app) return;
    if (context) {
        QPointer<QObject> guard(context);
        QMetaObject::invokeMethod(app, [guard, fn = std::move(fn)] {
            if (guard) fn();
        }, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
    }
}

void mainAfter(double seconds, std::function<void()> fn, QObject* context) {
    auto* app = QCoreApplication::instance();
    if (!app) return;
    const int ms = seconds <= 0 ? 0 : int(seconds * 1000.0 + 0.5);
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    auto run = [guard, guarded, fn = std::move(fn)] {
        if (guarded && !guard) return;
        fn();
    };
    if (isMainThread()) {
        QTimer::singleShot(ms, app, std::move(run));
    } else {
        QMetaObject::invokeMethod(app, [ms, app, run = std::move(run)]() mutable {
            QTimer::singleShot(ms, app, std::move(run));
        }, Qt::QueuedConnection);
    }
}

void mainSync(const std::function<void()>& fn) {
    auto* app = QCoreApplication::instance();
    if (!app || isMainThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

}  // namespace PLYDispatch
