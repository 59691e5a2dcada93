#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Where the shared test main put the files that the application would normally keep in the
// user's folders: defaults, data, logs. Each test executable gets a fresh temporary root.
namespace PLYTestEnvironment {
QString rootDirectory();
QString defaultsFile();
QString logDirectory();
// A fresh, empty folder under the temporary root for one test.
QString makeTempDirectory(const QString& prefix = QStringLiteral("t"));
// A whole file's bytes (empty when it cannot be read), and a file made of `bytes` (false when it
// cannot be written whole).
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Spins the Qt event loop until `predicate` holds or `timeoutMs` passes; answers the predicate.
// The time is no part of what a test checks: it only ends a run that has already failed, so it is
// long enough for a machine loaded by other test programs.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 30000);
// Spins the Qt event loop until a timer of `intervalMs`, started now, has fired. Qt runs due timers
// in the order they fall due, so by then every queued call posted before and every tick of a
// timer with a shorter interval still running has come: what has not happened by then, was not
// going to. For "nothing else happens" after something that only a timer could bring.
void waitForTimersDueWithin(int intervalMs);
// Queues a call on the main thread and spins the event loop until it has run: every call and event
// queued before it (a deferred alert, a layout request, a deletion) has been handled by then.
void waitForQueuedCalls();
}  // namespace PLYTestEnvironment
