#pragma once

// Answers past the size bound, and the process's peak memory while they are refused.
#include <QByteArray>
#include <QFile>
#include <QList>

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline qint64 PLYProcessStatusBytes(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key + ':')) return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// Starts the peak (VmHWM) over from what is resident now, where the kernel lets a process do so.
inline void PLYResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// A JSON object of about `bytes` bytes: `head` (its first members, with a trailing comma) and a
// "pad" member holding many small objects, or one long string.
inline QByteArray PLYOversizedJSON(const QByteArray& head, qint64 bytes, bool smallObjects) {
    QByteArray body = "{" + head + " \"pad\": ";
    body.reserve(bytes + 16);
    if (smallObjects) {
        body += '[';
        while (body.size() < bytes) body += "{\"a\": 1},";
        body += "{}]}";
    } else {
        body += '"';
        body += QByteArray(qMax<qint64>(0, bytes - body.size()), 'x');
        body += "\"}";
    }
    return body;
}
