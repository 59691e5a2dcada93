#pragma once

#include <QString>

// One Pellory at a time on a library: an exclusive lock (flock) on a file beside the library's
// folder, named after it, taken before anything of the library is read or written and held until
// the application goes. Beside, not inside: deleting or replacing the library's folder must not
// free the lock while its holder runs. The file is never removed, so no instance can take away a
// lock that another holds; the system frees the lock when its holder ends, however it ends. The
// file is created once and stays empty but for the holder's process id, so a full disk takes the
// lock as long as the file is there already.
class PLYLibraryLock {
public:
    enum class Result {
        Locked,          // ours until unlock()
        HeldByAnother,   // another running Pellory works on this library
        Unavailable,     // no lock can be had here (no room for the file, a read-only folder...)
    };

    explicit PLYLibraryLock(const QString& libraryDirectory);
    ~PLYLibraryLock();
    PLYLibraryLock(const PLYLibraryLock&) = delete;
    PLYLibraryLock& operator=(const PLYLibraryLock&) = delete;

    // The lock file of the library in `libraryDirectory`: ".<folder name>.lock" in its parent.
    static QString lockFilePath(const QString& libraryDirectory);

    Result tryLock();
    void unlock();
    bool isLocked() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    // Who holds the lock, after HeldByAnother: its process id (0 when unknown).
    qint64 holderProcessId() const { return m_holderPid; }
    // Why the lock could not be had, after Unavailable.
    QString problem() const { return m_problem; }

private:
    QString m_path;
    int m_fd = -1;
    qint64 m_holderPid = 0;
    QString m_problem;
};
