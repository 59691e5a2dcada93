#include "PLYLibraryFiles.h"

#include "PLYAtomicFile.h"
#include "PLYLog.h"
#include "PLYPropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include <filesystem>
#include <system_error>

namespace PLYLibraryFiles {

PLYError fileError(qint64 code, const QString& path, const QString& reason) {
    return PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), code,
                    QStringLiteral("The library file %1 cannot be used").arg(path), reason);
}

bool isValidIdentifier(const QString& identifier) {
    // Checked for every image at each scan, so by hand rather than by a pattern.
    if (identifier.isEmpty() || identifier.size() > 128) return false;
    const auto alphanumeric = [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    };
    if (!alphanumeric(identifier.front().unicode())) return false;
    for (const QChar c : identifier)
        if (!alphanumeric(c.unicode()) && c != u'.' && c != u'_' && c != u'-') return false;
    return true;
}

int loadingThreadCount() { return std::clamp(QThread::idealThreadCount(), 1, MaxLoadingThreads); }

bool readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, PLYError* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PLYError::set(error, fileError(40, path, file.errorString()));
        return false;
    }
    if (file.size() > maxBytes) {
        PLYError::set(error, fileError(41, path, QStringLiteral("%1 bytes, more than the %2 allowed").arg(file.size()).arg(maxBytes)));
        return false;
    }
    // Only what the file holds is reserved (the bound is a refusal, not a buffer size), and one
    // byte more, so a file that grows while it is read is still caught by the bound.
    const qint64 expected = qMin(file.size(), maxBytes);
    *bytes = file.read(expected + 1);
    if (bytes->size() == expected + 1 && expected < maxBytes) {
        // It grew since its size was taken: the rest is read in steps, never past the bound.
        while (bytes->size() <= maxBytes) {
            const QByteArray more = file.read(qMin<qint64>(maxBytes + 1 - bytes->size(), 1 << 20));
            if (more.isEmpty()) break;
            bytes->append(more);
        }
    }
    if (bytes->size() > maxBytes) {
        PLYError::set(error, fileError(41, path, QStringLiteral("more than the %1 bytes allowed").arg(maxBytes)));
        return false;
    }
    return true;
}

bool makeFolder(const QString& path, PLYError* error) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
    if (!ec && QFileInfo(path).isDir()) return true;
    const QString reason = ec ? QString::fromLocal8Bit(ec.message().c_str()) : QStringLiteral("a file stands in its place");
    PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 42,
                                  QStringLiteral("Cannot create the folder %1").arg(path), reason));
    return false;
}

namespace {
// Damaged files that could not be moved aside: nothing may be written over them. Locations and
// accounts may be read and saved from more than one thread.
QMutex g_unmovedMutex;
QSet<QString> g_unmoved;
void setUnmoved(const QString& path, bool unmoved) {
    const QMutexLocker lock(&g_unmovedMutex);
    if (unmoved) g_unmoved.insert(path);
    else g_unmoved.remove(path);
}
bool isUnmoved(const QString& path) {
    const QMutexLocker lock(&g_unmovedMutex);
    return g_unmoved.contains(path);
}
bool standsThere(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
}  // namespace

QString keepAside(const QString& path) {
    if (!standsThere(path)) {
        setUnmoved(path, false);
        return {};
    }
    // The name says what it is and since when; a second one kept the same second gets a number.
    const QString stem = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString target = stem;
    for (int n = 2; standsThere(target); ++n) target = stem + QStringLiteral("-%1").arg(n);
    // rename(2) moves a file, a folder with everything in it or a link alike, within the folder
    // and without copying; renameat2 with RENAME_NOREPLACE never replaces what is at the target.
    const QByteArray from = QFile::encodeName(path), to = QFile::encodeName(target);
    int moved = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    // File systems without the flag: the target was checked to be free just above.
    if (moved != 0 && errno == EINVAL) moved = ::rename(from.constData(), to.constData());
    if (moved != 0) {
        PLY_LOG_ERROR(QStringLiteral("Could not keep the damaged %1 aside as %2: %3; it stays where it is and nothing is written over it")
                          .arg(path, target, QString::fromLocal8Bit(strerror(errno))));
        setUnmoved(path, true);
        return {};
    }
    setUnmoved(path, false);
    PLY_LOG_WARN(QStringLiteral("The damaged %1 is kept aside as %2").arg(path, target));
    return target;
}

QString lastGoodPath(const QString& path) { return path + QStringLiteral(".last-good"); }

bool writeWithLastGood(const QString& path, const QByteArray& bytes, PLYError* error) {
    // A damaged file that could not be moved aside when it was read is tried again; while it
    // stays, it is not written over.
    if (isUnmoved(path)) {
        keepAside(path);
        if (isUnmoved(path)) {
            PLYError::set(error, fileError(44, path, QStringLiteral("the damaged file there could not be moved aside")));
            return false;
        }
    }
    return PLYPropertyList::writeBytesAtomically(path, bytes, error) &&
           PLYPropertyList::writeBytesAtomically(lastGoodPath(path), bytes, error);
}

namespace {
bool readList(const QString& path, QVariantMap* map, QByteArray* bytes, PLYError* error,
              const std::function<QString(const QVariantMap&)>& whatIsMissing) {
    if (!readFile(path, PLYPropertyList::MaxBytes, bytes, error)) return false;
    PLYError parseError;
    if (!PLYPropertyList::fromXml(*bytes, map, &parseError)) {
        PLYError::set(error, fileError(parseError.code, path, parseError.description));
        return false;
    }
    const QString missing = whatIsMissing ? whatIsMissing(*map) : QString();
    if (!missing.isEmpty()) {
        PLYError::set(error, fileError(43, path, missing));
        return false;
    }
    return true;
}
}  // namespace

bool readPropertyListWithLastGood(const QString& path, QVariantMap* map, PLYError* error,
                                  const std::function<QString(const QVariantMap&)>& whatIsMissing) {
    QByteArray bytes;
    PLYError mainError;
    if (readList(path, map, &bytes, &mainError, whatIsMissing)) return true;
    PLYError::set(error, mainError);
    const QString copy = lastGoodPath(path);
    if (!QFileInfo::exists(copy)) return false;
    PLY_LOG_ERROR(QStringLiteral("%1; trying its last good copy").arg(mainError.toString()));
    PLYError copyError;
    if (!readList(copy, map, &bytes, &copyError, whatIsMissing)) {
        PLY_LOG_ERROR(QStringLiteral("The last good copy is unusable too: %1").arg(copyError.toString()));
        return false;
    }
    // The damaged file (or whatever stands in its place) goes aside first: only then does the
    // good copy go back, so that nothing a user or an earlier version left there is lost.
    const QString aside = keepAside(path);
    if (isUnmoved(path)) {
        PLY_LOG_ERROR(QStringLiteral("Recovered %1 from its last good copy, in memory only: the damaged file stays in place").arg(path));
        return true;
    }
    PLYError writeError;
    if (!PLYPropertyList::writeBytesAtomically(path, bytes, &writeError))
        PLY_LOG_ERROR(QStringLiteral("Could not put the last good copy back: %1").arg(writeError.toString()));
    PLY_LOG_WARN(QStringLiteral("Recovered %1 from its last good copy%2")
                     .arg(path, aside.isEmpty() ? QString() : QStringLiteral("; the damaged file is kept as ") + aside));
    return true;
}

int removeInterruptedWrites(const QString& folder) {
    // An atomic write goes to a temporary file named as only it names them and is renamed over
    // its file when complete; a kill in between leaves it behind. Names that merely look like a
    // copy ("layout.backup") are the user's: earlier versions' temporary names cannot be told
    // apart from those, so they are left alone.
    const int leastLength = int(qstrlen(PLYAtomicFile::TemporaryMarker)) + 7;
    int removed = 0;
    // One pass over the names, asking nothing of each file: this runs for every post at launch.
    std::error_code ec;
    std::filesystem::directory_iterator it(std::filesystem::path(QFile::encodeName(folder).toStdString()), ec);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        // Only a name ending in the marker's dash and six letters or digits can be a leftover:
        // the bytes tell.
        const std::string raw = it->path().filename().string();
        if (raw.size() < size_t(leastLength) || raw[raw.size() - 7] != '-') continue;
        const QString name = QFile::decodeName(QByteArray::fromStdString(raw));
        if (!PLYAtomicFile::isTemporaryName(name)) continue;
        const QString path = QDir(folder).filePath(name);
        QString reason;
        switch (PLYAtomicFile::removeLeftover(path, &reason)) {
        case PLYAtomicFile::LeftoverRemoval::Removed:
            PLY_LOG_INFO(QStringLiteral("Removed %1, left by a save that was cut short").arg(path));
            ++removed;
            break;
        case PLYAtomicFile::LeftoverRemoval::InUse:
            break;
        case PLYAtomicFile::LeftoverRemoval::Failed:
            PLY_LOG_WARN(QStringLiteral("Could not remove %1, left by a save that was cut short: %2").arg(path, reason));
            break;
        }
    }
    return removed;
}

}  // namespace PLYLibraryFiles
