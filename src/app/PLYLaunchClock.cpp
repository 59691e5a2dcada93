#include "PLYLaunchClock.h"

#include <QElapsedTimer>

namespace {
QElapsedTimer& launchTimer() {
    static QElapsedTimer timer;
    return timer;
}
}  // namespace

void PLYLaunchClock::start() {
    if (!launchTimer().isValid()) launchTimer().start();
}

qint64 PLYLaunchClock::elapsedMs() { return launchTimer().isValid() ? launchTimer().elapsed() : -1; }

void PLYLaunchClock::restart() { launchTimer().start(); }
