#include "PLYPostIndex.h"

#include "PLYLibraryFiles.h"
#include "PLYPropertyList.h"
#include "PLYTextLimits.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>

namespace {

constexpr int kVersion = 1;
// Names and identifiers are cut to this many characters elsewhere before they are shown.
constexpr qsizetype kMaxText = 4096;

QJsonValue dateValue(const QDateTime& date) {
    return date.isValid() ? QJsonValue(double(date.toMSecsSinceEpoch())) : QJsonValue();
}

// Milliseconds since 1970 in UTC, or null for a post without that date.
bool readDate(const QJsonValue& value, QDateTime* date) {
    if (value.isNull() || value.isUndefined()) {
        *date = QDateTime();
        return true;
    }
    if (!value.isDouble()) return false;
    const double ms = value.toDouble();
    // Within a few hundred thousand years of 1970, and whole: what a saved date can be.
    if (!(ms > -1e16 && ms < 1e16) || ms != double(qint64(ms))) return false;
    *date = QDateTime::fromMSecsSinceEpoch(qint64(ms), QTimeZone::utc());
    return true;
}

bool readText(const QJsonObject& entry, const char* key, QString* text) {
    const QJsonValue value = entry.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        text->clear();
        return true;
    }
    if (!value.isString() || value.toString().size() > kMaxText) return false;
    *text = value.toString();
    return true;
}

}  // namespace

QByteArray PLYPostIndex::toBytes(const QList<PLYPostSummary>& summaries) {
    QJsonArray posts;
    for (const PLYPostSummary& s : summaries) {
        QJsonObject entry;
        entry.insert(QStringLiteral("identifier"), s.identifier);
        entry.insert(QStringLiteral("name"), s.name);
        entry.insert(QStringLiteral("creation_date"), dateValue(s.creationDate));
        entry.insert(QStringLiteral("updated_date"), dateValue(s.updatedDate));
        entry.insert(QStringLiteral("remote_identifier"), s.remoteIdentifier);
        posts.append(entry);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("posts"), posts);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool PLYPostIndex::fromBytes(const QByteArray& bytes, QList<PLYPostSummary>* summaries, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why) *why = reason;
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(QStringLiteral("it is damaged (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("version")).toInt(-1) != kVersion) return fail(QStringLiteral("it is of another version"));
    const QJsonValue list = root.value(QStringLiteral("posts"));
    if (!list.isArray()) return fail(QStringLiteral("it lists no posts"));
    QList<PLYPostSummary> result;
    QSet<QString> seen;
    const QJsonArray posts = list.toArray();
    result.reserve(posts.size());
    for (qsizetype i = 0; i < posts.size(); ++i) {
        const QJsonObject entry = posts.at(i).toObject();
        PLYPostSummary s;
        s.identifier = entry.value(QStringLiteral("identifier")).toString();
        if (!PLYLibraryFiles::isValidIdentifier(s.identifier))
            return fail(QStringLiteral("entry %1 has no valid post identifier").arg(i));
        if (seen.contains(s.identifier)) return fail(QStringLiteral("the post %1 is listed twice").arg(s.identifier));
        seen.insert(s.identifier);
        if (!readText(entry, "name", &s.name) || !readText(entry, "remote_identifier", &s.remoteIdentifier) ||
            !readDate(entry.value(QStringLiteral("creation_date")), &s.creationDate) ||
            !readDate(entry.value(QStringLiteral("updated_date")), &s.updatedDate))
            return fail(QStringLiteral("the entry of the post %1 is damaged").arg(s.identifier));
        // Shown on home before the post itself is read: held to what a post's name may be.
        s.name = PLYTextLimits::withoutControlCharacters(s.name);
        s.remoteIdentifier = PLYTextLimits::withoutControlCharacters(s.remoteIdentifier);
        result.append(s);
    }
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
