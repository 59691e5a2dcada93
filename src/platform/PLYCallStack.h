#pragma once

#include <QStringList>

// The current thread's call stack, one symbolised frame a line, innermost first (this call
// left out), for log messages that must say where they were reached from.
namespace PLYCallStack {
QStringList symbols();
}
