#include "PLYPostIndex.h"

#include "PLYLibraryFiles.h"
#include "PLYPropertyList.h"
#include "PLYTextLimits.h"

#include <QDir>
#include <QSet>
#include <QTimeZone>

#include <cstring>
#include <limits>

namespace {

// A small binary file, read at every launch before home is drawn: a magic line with the version,
// the count, then per post its identifier, name, dates (milliseconds since 1970 in UTC, or
// kNoDate) and remote identifier; numbers little-endian, texts UTF-8 after their byte length.
constexpr char kMagic[8] = {'P', 'L', 'Y', 'I', 'D', 'X', '0', '1'};
constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();
// Names and identifiers longer than this are no post's.
constexpr quint32 kMaxTextBytes = PLYPostIndex::MaxTextBytes;

void putNumber(QByteArray* out, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->append(char((value >> (8 * i)) & 0xff));
}

void putText(QByteArray* out, const QString& text) {
    // Cut between characters, so that what is read back is the text's start.
    const QByteArray utf8 = PLYTextLimits::truncatedToUtf8Bytes(text, kMaxTextBytes).toUtf8();
    putNumber(out, quint64(utf8.size()), 4);
    out->append(utf8);
}

void putDate(QByteArray* out, const QDateTime& date) {
    putNumber(out, quint64(date.isValid() ? date.toMSecsSinceEpoch() : kNoDate), 8);
}

// Reads what toBytes wrote, never past the end.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_data(bytes.constData()), m_left(bytes.size()) {}
    bool number(quint64* value, int bytes) {
        if (m_left < bytes) return false;
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i) v |= quint64(quint8(m_data[i])) << (8 * i);
        advance(bytes);
        *value = v;
        return true;
    }
    bool text(QString* out) {
        quint64 length = 0;
        if (!number(&length, 4) || length > kMaxTextBytes || qint64(length) > m_left) return false;
        *out = QString::fromUtf8(m_data, qsizetype(length));
        advance(qint64(length));
        return true;
    }
    bool date(QDateTime* out) {
        quint64 raw = 0;
        if (!number(&raw, 8)) return false;
        const qint64 ms = qint64(raw);
        // Within a few hundred thousand years of 1970: what a saved date can be.
        if (ms == kNoDate) *out = QDateTime();
        else if (ms > -10'000'000'000'000'000LL && ms < 10'000'000'000'000'000LL) *out = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        else return false;
        return true;
    }
    bool magic() {
        if (m_left < qint64(sizeof kMagic) || memcmp(m_data, kMagic, sizeof kMagic) != 0) return false;
        advance(sizeof kMagic);
        return true;
    }
    qint64 left() const { return m_left; }

private:
    void advance(qint64 n) {
        m_data += n;
        m_left -= n;
    }
    const char* m_data;
    qint64 m_left;
};

}  // namespace

QByteArray PLYPostIndex::toBytes(const QList<PLYPostSummary>& summaries) {
    QByteArray out;
    out.reserve(16 + summaries.size() * 160);
    out.append(kMagic, sizeof kMagic);
    putNumber(&out, quint64(summaries.size()), 4);
    for (const PLYPostSummary& s : summaries) {
        putText(&out, s.identifier);
        putText(&out, s.name);
        putDate(&out, s.creationDate);
        putDate(&out, s.updatedDate);
        putText(&out, s.remoteIdentifier);
    }
    return out;
}

bool PLYPostIndex::fromBytes(const QByteArray& bytes, QList<PLYPostSummary>* summaries, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why) *why = reason;
        return false;
    };
    Reader in(bytes);
    if (!in.magic()) return fail(QStringLiteral("it is no post index of this version"));
    quint64 count = 0;
    // Each entry takes at least 28 bytes: a count beyond what the file can hold is damage.
    if (!in.number(&count, 4) || count > quint64(in.left() / 28)) return fail(QStringLiteral("it is cut short"));
    QList<PLYPostSummary> result;
    result.reserve(qsizetype(count));
    QSet<QString> seen;
    seen.reserve(qsizetype(count));
    for (quint64 i = 0; i < count; ++i) {
        PLYPostSummary s;
        if (!in.text(&s.identifier) || !in.text(&s.name) || !in.date(&s.creationDate) || !in.date(&s.updatedDate) ||
            !in.text(&s.remoteIdentifier))
            return fail(QStringLiteral("entry %1 is damaged or cut short").arg(i));
        if (!PLYLibraryFiles::isValidIdentifier(s.identifier))
            return fail(QStringLiteral("entry %1 has no valid post identifier").arg(i));
        if (seen.contains(s.identifier)) return fail(QStringLiteral("the post %1 is listed twice").arg(s.identifier));
        seen.insert(s.identifier);
        // Shown on home before the post itself is read: held to what a post's name may be.
        s.name = PLYTextLimits::withoutControlCharacters(s.name);
        s.remoteIdentifier = PLYTextLimits::withoutControlCharacters(s.remoteIdentifier);
        result.append(std::move(s));
    }
    if (in.left() != 0) return fail(QStringLiteral("it holds more than its entries"));
    *summaries = std::move(result);
    return true;
}

QString PLYPostIndex::pathForAccountFolder(const QString& accountFolder) {
    return QDir(accountFolder).filePath(QLatin1String(FileName));
}

bool PLYPostIndex::read(const QString& accountFolder, QList<PLYPostSummary>* summaries, QString* why) {
    QByteArray bytes;
    PLYError error;
    if (!PLYLibraryFiles::readFile(pathForAccountFolder(accountFolder), MaxBytes, &bytes, &error)) {
        if (why) *why = error.failureReason.isEmpty() ? error.toString() : error.failureReason;
        return false;
    }
    return fromBytes(bytes, summaries, why);
}

bool PLYPostIndex::write(const QString& accountFolder, const QList<PLYPostSummary>& summaries, PLYError* error) {
    return PLYPropertyList::writeBytesAtomically(pathForAccountFolder(accountFolder), toBytes(summaries), error);
}
