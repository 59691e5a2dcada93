#include "PLYAtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QPair>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kRandomLength = 6;

// The temporary files of the writes under way in this process, by device and inode: the
// clean-up of a folder that runs meanwhile (a store loading while a location is saved) must not
// take them. A file is made and registered, and looked at and removed, under the one mutex.
QMutex g_writingMutex;
QSet<QPair<quint64, quint64>> g_writing;

QPair<quint64, quint64> fileKey(const struct stat& st) { return {quint64(st.st_dev), quint64(st.st_ino)}; }

// Makes the temporary file at `path` and registers it until it goes.
class InProgress {
public:
    InProgress() = default;
    InProgress(const InProgress&) = delete;
    InProgress& operator=(const InProgress&) = delete;
    ~InProgress() {
        if (!m_registered) return;
        const QMutexLocker lock(&g_writingMutex);
        g_writing.remove(m_key);
    }
    // Answers the open file, or -1 with errno saying why.
    int create(const QByteArray& path) {
        int fd = -1, error = 0;
        {
            const QMutexLocker lock(&g_writingMutex);
            fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            error = errno;
            struct stat st {};
            if (fd >= 0 && ::fstat(fd, &st) == 0) {
                m_key = fileKey(st);
                m_registered = true;
                g_writing.insert(m_key);
            }
        }
        errno = error;
        return fd;
    }

private:
    QPair<quint64, quint64> m_key;
    bool m_registered = false;
};

QString systemReason(int error) { return QString::fromLocal8Bit(strerror(error)); }

// The file a link at `path` ends at, as the write goes there and leaves the link in place.
QString finalPath(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}
}  // namespace

QString PLYAtomicFile::temporaryTemplate(const QString& path) {
    return path + QLatin1String(TemporaryMarker) + QString(kRandomLength, QLatin1Char('X'));
}

bool PLYAtomicFile::isTemporaryName(const QString& fileName) {
    const qsizetype marker = qsizetype(qstrlen(TemporaryMarker));
    const qsizetype at = fileName.size() - kRandomLength - marker;
    if (at < 1 || QStringView(fileName).sliced(at, marker) != QLatin1String(TemporaryMarker)) return false;
    for (const QChar c : QStringView(fileName).sliced(at + marker))
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    return true;
}

bool PLYAtomicFile::write(const QString& path, const QByteArray& bytes, QString* reason) {
    const QString target = finalPath(path);
    const QByteArray nativeTarget = QFile::encodeName(target);
    const auto fail = [&](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    struct stat existing {};
    const bool exists = ::stat(nativeTarget.constData(), &existing) == 0;
    // A file made read-only stays as it is, as it would for a write in place.
    if (exists && ::access(nativeTarget.constData(), W_OK) != 0) return fail(systemReason(errno));

    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary;
    InProgress inProgress;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        QString name = temporaryTemplate(target);
        for (qsizetype i = name.size() - kRandomLength; i < name.size(); ++i)
            name[i] = QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet) - 1)]);
        temporary = QFile::encodeName(name);
        fd = inProgress.create(temporary);
        if (fd < 0 && errno != EEXIST) return fail(systemReason(errno));
    }
    if (fd < 0) return fail(QStringLiteral("no free name for a temporary file beside %1").arg(target));
    // The temporary file goes on any failure; the file at `path` was never touched.
    const auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(systemReason(error));
    };
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0) return abandon(errno);
    if (!writeAll(fd, bytes)) return abandon(errno);
    // A file system that allocates its space late reports a full disk only when the data goes
    // to the disk: that failure must stop the rename.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) return abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(systemReason(error));
    }
    if (::rename(temporary.constData(), nativeTarget.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(systemReason(error));
    }
    return true;
}

PLYAtomicFile::LeftoverRemoval PLYAtomicFile::removeLeftover(const QString& path, QString* reason) {
    const QByteArray native = QFile::encodeName(path);
    const QMutexLocker lock(&g_writingMutex);
    struct stat st {};
    // Gone meanwhile: a write of this process that has just ended.
    if (::lstat(native.constData(), &st) != 0 && errno == ENOENT) return LeftoverRemoval::InUse;
    if (g_writing.contains(fileKey(st))) return LeftoverRemoval::InUse;
    if (::unlink(native.constData()) == 0) return LeftoverRemoval::Removed;
    if (errno == ENOENT) return LeftoverRemoval::InUse;
    if (reason) *reason = systemReason(errno);
    return LeftoverRemoval::Failed;
}
