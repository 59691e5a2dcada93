#include "PLYLibraryLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
QString systemReason() { return QString::fromLocal8Bit(strerror(errno)); }
}  // namespace

PLYLibraryLock::PLYLibraryLock(const QString& libraryDirectory) : m_path(lockFilePath(libraryDirectory)) {}

PLYLibraryLock::~PLYLibraryLock() { unlock(); }

QString PLYLibraryLock::lockFilePath(const QString& libraryDirectory) {
    const QFileInfo library(QDir::cleanPath(QDir(libraryDirectory).absolutePath()));
    return QDir(library.absolutePath()).filePath(QLatin1Char('.') + library.fileName() + QStringLiteral(".lock"));
}

PLYLibraryLock::Result PLYLibraryLock::tryLock() {
    if (m_fd >= 0) return Result::Locked;
    m_holderPid = 0;
    m_problem.clear();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_problem = QStringLiteral("cannot create the folder %1").arg(folder);
        return Result::Unavailable;
    }
    // Opened, never truncated by the open: the file may hold the running holder's process id.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_problem = QStringLiteral("cannot open the lock file %1: %2").arg(m_path, systemReason());
        return Result::Unavailable;
    }
    // A lock per open file, so that a second open in this very process is refused as well.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int lockErrno = errno;
        if (lockErrno == EWOULDBLOCK) {
            char digits[32] = {};
            const ssize_t n = ::pread(fd, digits, sizeof digits - 1, 0);
            m_holderPid = n > 0 ? QByteArray(digits, int(n)).trimmed().toLongLong() : 0;
            ::close(fd);
            return Result::HeldByAnother;
        }
        ::close(fd);
        errno = lockErrno;
        m_problem = QStringLiteral("cannot lock %1: %2").arg(m_path, systemReason());
        return Result::Unavailable;
    }
    m_fd = fd;
    // Who holds it, for a refused instance to name; on a full disk it stays unknown, which is
    // all that is lost.
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    if (::ftruncate(fd, 0) == 0) [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    return Result::Locked;
}

void PLYLibraryLock::unlock() {
    if (m_fd < 0) return;
    // The file stays: removing it could take it from under an instance that has just opened it.
    [[maybe_unused]] const int truncated = ::ftruncate(m_fd, 0);
    ::close(m_fd);
    m_fd = -1;
}
