#include "PLYImageCompleteness.h"

#include <QFile>

#include <cstring>

namespace {
constexpr unsigned char kMarker = 0xFF, kStartOfImage = 0xD8, kEndOfImage = 0xD9, kStartOfScan = 0xDA;

bool isRestart(unsigned char code) { return code >= 0xD0 && code <= 0xD7; }

// The picture's last bytes, past any zero padding, are its end marker: true for nearly every
// whole file, read without the rest of it.
bool endsWithEndOfImage(QFile& file) {
    const qint64 tail = qMin<qint64>(file.size(), 4096);
    if (!file.seek(file.size() - tail)) return false;
    const QByteArray bytes = file.read(tail);
    qsizetype end = bytes.size();
    while (end > 0 && bytes.at(end - 1) == '\0') --end;
    return end >= 2 && quint8(bytes.at(end - 2)) == kMarker && quint8(bytes.at(end - 1)) == kEndOfImage;
}
}  // namespace

bool PLYImageCompleteness::jpegReachesItsEnd(const char* data, qint64 size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const auto nextMarker = [&](qint64 from) -> qint64 {
        const void* found = from < size ? std::memchr(bytes + from, kMarker, size_t(size - from)) : nullptr;
        return found ? static_cast<const unsigned char*>(found) - bytes : size;
    };
    qint64 at = 2;  // past the start of image
    for (;;) {
        // The next marker, past any bytes before it and its fill bytes, as the decoder finds it.
        at = nextMarker(at);
        while (at < size && bytes[at] == kMarker) ++at;
        if (at >= size) return false;
        const unsigned char code = bytes[at++];
        if (code == kEndOfImage) return true;
        if (code == 0x01 || code == kStartOfImage || isRestart(code)) continue;  // markers without a segment
        if (at + 2 > size) return false;
        const qint64 length = (qint64(bytes[at]) << 8) | bytes[at + 1];
        if (length < 2) return false;
        at += length;
        if (code != kStartOfScan) continue;
        // The coded data of a scan runs to the next marker; a marker byte in it is followed by a
        // zero, and restart markers belong to it.
        for (;;) {
            at = nextMarker(at);
            if (at + 1 >= size) return false;
            const unsigned char next = bytes[at + 1];
            if (next == 0x00 || isRestart(next)) at += 2;
            else if (next == kMarker) at += 1;
            else break;
        }
    }
}

QString PLYImageCompleteness::whyIncomplete(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 2) return {};
    const QByteArray start = file.read(2);
    if (start.size() != 2 || quint8(start.at(0)) != kMarker || quint8(start.at(1)) != kStartOfImage) return {};
    if (endsWithEndOfImage(file)) return {};
    // Something follows the picture, or the picture is cut short: the markers tell.
    const qint64 size = file.size();
    if (const uchar* mapped = file.map(0, size)) {
        const bool whole = jpegReachesItsEnd(reinterpret_cast<const char*>(mapped), size);
        file.unmap(const_cast<uchar*>(mapped));
        if (whole) return {};
    } else {
        if (!file.seek(0)) return {};
        const QByteArray all = file.readAll();
        if (all.size() != size || jpegReachesItsEnd(all.constData(), all.size())) return {};
    }
    return QStringLiteral("the file is cut short: it ends before the picture does");
}
