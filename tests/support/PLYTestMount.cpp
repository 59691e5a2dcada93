#include "PLYTestMount.h"

#include "PLYTestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
QByteArray mountOptions(qint64 size, qint64 maxFiles) {
    QByteArray options = "size=" + QByteArray::number(size) + ",mode=0755";
    if (maxFiles > 0) options += ",nr_inodes=" + QByteArray::number(maxFiles);
    return options;
}
}  // namespace

PLYTestMount::PLYTestMount(qint64 sizeBytes, qint64 maxFiles) : m_size(sizeBytes), m_maxFiles(maxFiles) {
    m_path = PLYTestEnvironment::makeTempDirectory(QStringLiteral("mount"));
    const QByteArray options = mountOptions(m_size, m_maxFiles);
    if (::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        m_problem = QStringLiteral("cannot mount a file system here (%1)").arg(QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    m_mounted = true;
}

PLYTestMount::~PLYTestMount() {
    if (!m_mounted) return;
    for (auto it = m_binds.crbegin(); it != m_binds.crend(); ++it) ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
    // Lazily: a file a test still holds open must not keep the mount behind.
    ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

bool PLYTestMount::setReadOnly(bool readOnly) {
    if (!m_mounted) return false;
    const QByteArray options = mountOptions(m_size, m_maxFiles);
    return ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs",
                   MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0), options.constData()) == 0;
}

QString PLYTestMount::fill() {
    if (!m_mounted) return {};
    const QString filler = QDir(m_path).filePath(QStringLiteral(".filler"));
    const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return {};
    const QByteArray block(4096, 'f');
    bool full = false;
    // Whole blocks, then single bytes, so that not one byte is left free.
    for (qsizetype chunk : {block.size(), qsizetype(1)}) {
        for (;;) {
            const ssize_t n = ::write(fd, block.constData(), size_t(chunk));
            if (n > 0) continue;
            if (n < 0 && errno == EINTR) continue;
            full = full || (n < 0 && errno == ENOSPC);
            break;
        }
    }
    ::close(fd);
    return full ? filler : QString();
}

bool PLYTestMount::fillWithFiles() {
    if (!m_mounted) return false;
    // Bounded, for a mount that takes many files.
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name = QFile::encodeName(QDir(m_path).filePath(QStringLiteral(".filler-%1").arg(i)));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            continue;
        }
        if (errno == EINTR) continue;
        return errno == ENOSPC;
    }
    return false;
}

bool PLYTestMount::setFolderReadOnly(const QString& folder, bool readOnly) {
    if (!m_mounted) return false;
    const QByteArray path = QFile::encodeName(folder);
    if (!m_binds.contains(folder)) {
        if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0) return false;
        m_binds << folder;
    }
    return ::mount("none", path.constData(), nullptr, MS_REMOUNT | MS_BIND | (readOnly ? MS_RDONLY : 0), nullptr) == 0;
}
