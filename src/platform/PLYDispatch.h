#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

// The main queue and delayed dispatch, on the Qt event loop.
namespace PLYDispatch {

bool isMainThread();

// Queues `fn` on the main thread. With a context object the call is dropped when the context
// is destroyed before it runs.
void mainAsync(std::function<void()> fn, QObject* context = nullptr);

// Runs `fn` on the main thread after `seconds`; dropped when `context` is gone by then.
void mainAfter(double seconds, std::function<void()> fn, QObject* context = nullptr);

// Runs `fn` on the main thread and waits for it (runs inline when already there).
void mainSync(const std::function<void()>& fn);

}  // namespace PLYDispatch
