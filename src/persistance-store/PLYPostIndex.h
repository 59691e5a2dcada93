#pragma once

#include "PLYError.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What the home grid sorts and shows a post by, without its layout or image entries.
struct PLYPostSummary {
    QString identifier;
    QString name;
    QDateTime creationDate;
    QDateTime updatedDate;
    QString remoteIdentifier;

    bool operator==(const PLYPostSummary& other) const = default;
};

// "posts.index" in an account's folder: the summary of each of its posts, so that a launch can
// sort and draw the first screen of posts before every post folder has been read. It is a cache:
// the post folders stay the truth, are loaded behind it and correct it; a missing or damaged
// index only means the posts are read before the first paint, as without one.
namespace PLYPostIndex {

constexpr const char* FileName = "posts.index";
// The most a name or an identifier takes in the index, in UTF-8 bytes: posts keep their names
// within it, so that what the index holds is the name whole.
constexpr quint32 MaxTextBytes = 16 * 1024;
// Far above any real library (2,000 posts take about 0.4 MB).
constexpr qint64 MaxBytes = 32 * 1024 * 1024;

QByteArray toBytes(const QList<PLYPostSummary>& summaries);
// False with the reason when the bytes are no index of this version, or any entry is invalid:
// an identifier that cannot name a post folder, one listed twice, a field of the wrong kind.
bool fromBytes(const QByteArray& bytes, QList<PLYPostSummary>* summaries, QString* why);

QString pathForAccountFolder(const QString& accountFolder);
bool read(const QString& accountFolder, QList<PLYPostSummary>* summaries, QString* why);
// Atomic: a kill leaves the old index or the new one.
bool write(const QString& accountFolder, const QList<PLYPostSummary>& summaries, PLYError* error = nullptr);

}  // namespace PLYPostIndex
