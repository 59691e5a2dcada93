#include "PLYImageHeader.h"
#include "PLYBoundedFile.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {

constexpr qint64 kBytesPerPixel = 4;  // the decoded picture, RGB32 or ARGB32

quint16 bigEndian16(const uchar* p) { return quint16((p[0] << 8) | p[1]); }

// Walks the JPEG markers to the frame header (SOFn), no further than PLYImageHeader::MaxBytes.
// Answers false when the file is no JPEG.
bool readJpegFrame(QIODevice& file, PLYImageHeader& header) {
    uchar soi[2];
    if (file.read(reinterpret_cast<char*>(soi), 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8) return false;
    header.isJpeg = true;
    for (;;) {
        if (file.pos() >= PLYImageHeader::MaxBytes) {
            header.reason = QStringLiteral("no JPEG frame header in its first %1 bytes").arg(PLYImageHeader::MaxBytes);
            return true;
        }
        uchar marker[2];
        if (file.read(reinterpret_cast<char*>(marker), 2) != 2) break;
        if (marker[0] != 0xFF) break;
        if (marker[1] == 0xFF) {  // fill byte before a marker
            file.seek(file.pos() - 1);
            continue;
        }
        const uchar code = marker[1];
        if (code == 0xD8 || (code >= 0xD0 && code <= 0xD7) || code == 0x01) continue;  // no length
        if (code == 0xD9 || code == 0xDA) break;  // end, or scan data before any frame header
        uchar lengthBytes[2];
        if (file.read(reinterpret_cast<char*>(lengthBytes), 2) != 2) break;
        const int length = bigEndian16(lengthBytes);
        if (length < 2) break;
        const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (!frame) {
            if (!file.seek(file.pos() + length - 2)) break;
            continue;
        }
        uchar sof[6];
        if (length < 8 || file.read(reinterpret_cast<char*>(sof), 6) != 6) break;
        const int height = bigEndian16(sof + 1);
        const int width = bigEndian16(sof + 3);
        header.components = std::max(1, int(sof[5]));
        // SOF2, SOF6, SOF10 and SOF14 are progressive.
        header.progressive = code == 0xC2 || code == 0xC6 || code == 0xCA || code == 0xCE;
        header.size = QSize(width, height);
        if (!header.isValid()) header.reason = QStringLiteral("the JPEG header gives no size");
        return true;
    }
    header.reason = QStringLiteral("the JPEG header ends before its size");
    return true;
}

}  // namespace

PLYImageHeader PLYImageHeader::read(const QString& path) {
    // Room for the marker walk and for Qt's own look at the same header after it.
    PLYBoundedFile file(path, 2 * MaxBytes, ChunkBytes);
    if (!file.open(QIODevice::ReadOnly)) {
        PLYImageHeader header;
        header.reason = file.errorString();
        return header;
    }
    QImageReader reader(&file, QFileInfo(path).suffix().toLower().toLatin1());
    return read(reader);
}

PLYImageHeader PLYImageHeader::read(QImageReader& reader) {
    PLYImageHeader header;
    QIODevice* device = reader.device();
    if (!device || !device->isOpen()) {
        header.reason = QStringLiteral("the file is not open");
        return header;
    }
    const qint64 start = device->pos();
    const bool jpeg = readJpegFrame(*device, header);
    // The decode starts where the header walk did.
    device->seek(start);
    if (jpeg) return header;
    header.size = reader.size();
    if (!header.isValid()) header.reason = reader.errorString();
    return header;
}

qint64 PLYImageHeader::decodeBytes(int targetWidth, bool shownWidthIsHeight) const {
    if (!isValid()) return 0;
    const qint64 w = size.width();
    const qint64 h = size.height();
    const qint64 storedTarget = std::max(1, targetWidth);
    const qint64 along = shownWidthIsHeight ? h : w;
    qint64 decoded = w * h * kBytesPerPixel;
    qint64 reducedW = w;
    qint64 reducedH = h;
    if (along > storedTarget) {
        const double scale = double(storedTarget) / double(along);
        reducedW = std::max<qint64>(1, qint64(w * scale + 0.5));
        reducedH = std::max<qint64>(1, qint64(h * scale + 0.5));
    }
    qint64 coefficients = 0;
    if (isJpeg) {
        // Qt asks libjpeg for the largest of 1/8, 1/4, 1/2 that stays at least the target size.
        const qint64 ratio = std::min(w / reducedW, h / reducedH);
        const qint64 denom = ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
        decoded = ((w + denom - 1) / denom) * ((h + denom - 1) / denom) * kBytesPerPixel;
        // 64 coefficients of two bytes for each 8 x 8 block of each channel.
        if (progressive) coefficients = ((w + 7) / 8) * ((h + 7) / 8) * 64 * 2 * components;
    }
    // The reduced picture, and one copy of it (flattened or scaled again).
    const qint64 reduced = reducedW * reducedH * kBytesPerPixel * 2;
    return decoded + coefficients + reduced;
}
