#include "PLYLibraryLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

PLYLibraryLock::PLYLibraryLock(const QString& libraryDirectory)
    : m_path(QDir(libraryDirectory).filePath(QString::fromLatin1(FileName))), m_lock(std::make_unique<QLockFile>(m_path)) {
    // Age alone never makes a lock stale: a Pellory may run for weeks. Only a holder that is
    // gone (or a process id now used by another program) gives it up.
    m_lock->setStaleLockTime(0);
}

PLYLibraryLock::~PLYLibraryLock() = default;

PLYLibraryLock::Result PLYLibraryLock::tryLock() {
    if (m_lock->isLocked()) return Result::Locked;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock->tryLock(0)) return Result::Locked;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError: {
        QString application;
        m_holderPid = 0;
        m_holderHost.clear();
        m_lock->getLockInfo(&m_holderPid, &m_holderHost, &application);
        return Result::HeldByAnother;
    }
    case QLockFile::PermissionError:
        m_problem = QStringLiteral("no permission to create %1").arg(m_path);
        return Result::Unavailable;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    m_problem = QStringLiteral("cannot create %1").arg(m_path);
    return Result::Unavailable;
}

void PLYLibraryLock::unlock() { m_lock->unlock(); }

bool PLYLibraryLock::isLocked() const { return m_lock->isLocked(); }
