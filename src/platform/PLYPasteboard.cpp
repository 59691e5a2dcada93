#include "PLYPasteboard.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <atomic>

namespace {
constexpr quint32 kMagic = 0x504C5950;  // "PLYP"
constexpr quint32 kVersion = 1;

PLYError malformed(const QString& reason) {
    return PLYError(QStringLiteral("org.pellory.pasteboard"), 1, QStringLiteral("The pasteboard data is not readable."), reason);
}
}  // namespace

qint64 PLYPasteboard::nextSequenceNumber() {
    static std::atomic<qint64> sequence{0};
    return ++sequence;
}

QStringList PLYPasteboard::types() const {
    QStringList all;
    for (const auto& item : m_items)
        for (const auto& t : item.types())
            if (!all.contains(t)) all << t;
    return all;
}

QStringList PLYPasteboard::stringsForType(const QString& type) const {
    QStringList out;
    for (const auto& item : m_items)
        if (item.hasType(type)) out << item.stringForType(type);
    return out;
}

QByteArray PLYPasteboard::encode() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << m_sequence << quint32(m_items.size());
    for (const auto& item : m_items) {
        out << quint32(item.data().size());
        for (auto it = item.data().cbegin(); it != item.data().cend(); ++it) out << it.key() << it.value();
    }
    return bytes;
}

std::optional<PLYPasteboard> PLYPasteboard::decode(const QByteArray& bytes, PLYError* error) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0, count = 0;
    qint64 sequence = 0;
    in >> magic >> version >> sequence >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic) {
        PLYError::set(error, malformed(QStringLiteral("missing header")));
        return std::nullopt;
    }
    if (version != kVersion) {
        PLYError::set(error, malformed(QStringLiteral("unknown version %1").arg(version)));
        return std::nullopt;
    }
    // Every item takes at least its 4-byte type count: a larger claim is corrupt.
    if (qint64(count) * 4 > bytes.size()) {
        PLYError::set(error, malformed(QStringLiteral("impossible item count")));
        return std::nullopt;
    }
    PLYPasteboard board;
    board.m_sequence = sequence;
    for (quint32 i = 0; i < count; ++i) {
        quint32 types = 0;
        in >> types;
        if (in.status() != QDataStream::Ok || qint64(types) * 8 > bytes.size()) {
            PLYError::set(error, malformed(QStringLiteral("item %1 is truncated").arg(i)));
            return std::nullopt;
        }
        PLYPasteboardItem item;
        for (quint32 j = 0; j < types; ++j) {
            QString type;
            QByteArray data;
            in >> type >> data;
            if (in.status() != QDataStream::Ok || type.isEmpty()) {
                PLYError::set(error, malformed(QStringLiteral("item %1 is truncated").arg(i)));
                return std::nullopt;
            }
            item.setData(data, type);
        }
        board.m_items.append(item);
    }
    if (!in.atEnd()) {
        PLYError::set(error, malformed(QStringLiteral("trailing data")));
        return std::nullopt;
    }
    return board;
}

QString PLYPasteboard::markerFormat(const QString& type) { return QStringLiteral("application/x-pellory-type.") + type; }

void PLYPasteboard::writeTo(QMimeData* mimeData) const {
    if (!mimeData) return;
    mimeData->setData(QString::fromLatin1(MimeType), encode());
    for (const auto& type : types())
        for (const auto& item : m_items)
            if (item.hasType(type)) {
                mimeData->setData(markerFormat(type), item.dataForType(type));
                break;
            }
}

std::optional<PLYPasteboard> PLYPasteboard::fromMimeData(const QMimeData* mimeData, PLYError* error) {
    if (!mimeData || !mimeData->hasFormat(QString::fromLatin1(MimeType))) {
        PLYError::set(error, malformed(QStringLiteral("no pasteboard data")));
        return std::nullopt;
    }
    return decode(mimeData->data(QString::fromLatin1(MimeType)), error);
}

bool PLYPasteboard::mimeDataOffersType(const QMimeData* mimeData, const QString& type) {
    return mimeData && mimeData->hasFormat(markerFormat(type));
}
