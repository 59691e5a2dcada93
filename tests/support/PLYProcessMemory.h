#pragma once

// The process's memory and reads as the kernel counts them, for tests that bound what a piece of
// work takes.
#include <QByteArray>
#include <QFile>

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline qint64 PLYProcessStatusBytes(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key + ':')) return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// Starts the peak (VmHWM) over from what is resident now (Linux 4.0 and later), so that a test
// run after another in one process measures only itself.
inline void PLYResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// Bytes this thread has read through read() and its kin so far (rchar of /proc/thread-self/io);
// -1 when the kernel keeps no such count here.
inline qint64 PLYBytesReadByThisThread() {
    QFile io(QStringLiteral("/proc/thread-self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
    return -1;
}
