#pragma once

#include <QString>
#include <memory>

class QLockFile;

// One Pellory at a time on a library: a lock file in the library's folder, taken before anything
// of the library is read or written and held until the application goes. A lock left by a
// process that is gone (a crash, a kill) is taken over.
class PLYLibraryLock {
public:
    static constexpr const char* FileName = ".pellory.lock";

    enum class Result {
        Locked,          // ours until unlock()
        HeldByAnother,   // another running Pellory works on this library
        Unavailable,     // no lock file can be made here (read-only folder and the like)
    };

    explicit PLYLibraryLock(const QString& libraryDirectory);
    ~PLYLibraryLock();
    PLYLibraryLock(const PLYLibraryLock&) = delete;
    PLYLibraryLock& operator=(const PLYLibraryLock&) = delete;

    Result tryLock();
    void unlock();
    bool isLocked() const;
    QString path() const { return m_path; }
    // Who holds the lock, after HeldByAnother: its process id and host ("" when unknown).
    qint64 holderProcessId() const { return m_holderPid; }
    QString holderHostName() const { return m_holderHost; }
    // Why the lock could not be made, after Unavailable.
    QString problem() const { return m_problem; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    qint64 m_holderPid = 0;
    QString m_holderHost;
    QString m_problem;
};
