#pragma once

// Answers past the size bound, and the process's peak memory while they are refused.
#include "PLYProcessMemory.h"

#include <QByteArray>
#include <QList>

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
