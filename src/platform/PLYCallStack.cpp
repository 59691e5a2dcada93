#include "PLYCallStack.h"

#include <execinfo.h>

#include <cstdlib>

QStringList PLYCallStack::symbols() {
    void* frames[64];
    const int count = backtrace(frames, 64);
    QStringList lines;
    char** names = backtrace_symbols(frames, count);
    if (!names)
        return lines;
    for (int i = 1; i < count; ++i)
        lines << QString::fromLocal8Bit(names[i]);
    std::free(names);
    return lines;
}
