#pragma once

#include <QString>
#include <QStringList>

// A small memory file system mounted on a fresh folder for one test: a full disk or a
// read-only library made for real, not imitated. Mounting needs the right to mount (root in
// CI); where it is refused, isMounted() is false and problem() says why, for the test to skip
// with that reason. Unmounted when it goes.
class PLYTestMount {
public:
    // `maxFiles` bounds how many files and folders it holds (0: the system's default).
    explicit PLYTestMount(qint64 sizeBytes, qint64 maxFiles = 0);
    ~PLYTestMount();
    PLYTestMount(const PLYTestMount&) = delete;
    PLYTestMount& operator=(const PLYTestMount&) = delete;

    bool isMounted() const { return m_mounted; }
    QString problem() const { return m_problem; }
    QString path() const { return m_path; }

    // Makes the file system read-only, or writable again; answers whether it worked. Refused
    // (by the system) while a file on it is open for writing.
    bool setReadOnly(bool readOnly);
    // Makes one folder inside it read-only, or writable again, through a bind mount of the folder
    // on itself: the rest stays writable (a lock file held open elsewhere does not stop it).
    bool setFolderReadOnly(const QString& folder, bool readOnly);
    // Fills the file system until a write is refused for want of space; answers the path of
    // the filler file (remove it to free the space), empty when the disk never filled.
    QString fill();
    // Fills it with empty files until no other file can be made (for a mount made with few
    // `maxFiles`); answers whether it came to that.
    bool fillWithFiles();

private:
    QString m_path;
    QStringList m_binds;
    QString m_problem;
    qint64 m_size = 0;
    qint64 m_maxFiles = 0;
    bool m_mounted = false;
};
