#pragma once

#include <QtGlobal>

// Time since the process began launching, for the start-up log line.
namespace PLYLaunchClock {
// Starts the clock (once: later calls keep the first start).
void start();
// Milliseconds since start(); -1 when it never started.
qint64 elapsedMs();
// Starts it again (tests and benchmarks measure each launch).
void restart();
}  // namespace PLYLaunchClock
