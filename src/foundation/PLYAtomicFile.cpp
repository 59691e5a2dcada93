#include "PLYAtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
// QSaveFile's words for a file it may not replace ("Existing file ... is not writable") name the
// file, not the cause; the system says why (a read-only file system, no permission).
QString openFailure(const QString& path, const QString& qtReason) {
    const QFileInfo info(path);
    if (info.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    if (::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    return qtReason;
}
}  // namespace

bool PLYAtomicFile::write(const QString& path, const QByteArray& bytes, QString* reason) {
    QSaveFile file(path);
    const auto fail = [&](const QString& why) {
        if (reason) *reason = why.isEmpty() ? QStringLiteral("the file could not be written") : why;
        // The temporary file goes; the file at `path` was never touched.
        file.cancelWriting();
        return false;
    };
    // Unbuffered, so that every write reaches the system here and its failure (a full disk) is
    // seen: a buffered QSaveFile whose last flush fails still replaces the old file with what
    // reached the disk, nothing at all for a small file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(openFailure(path, file.errorString()));
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return fail(file.errorString());
        done += n;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError) return fail(file.errorString());
    // A file system that allocates its space late reports a full disk only when the data goes
    // to the disk, and QSaveFile ignores the result of that: its failure must stop the commit.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return fail(QString::fromLocal8Bit(strerror(errno)));
    if (!file.commit()) {
        if (reason) *reason = file.errorString().isEmpty() ? QStringLiteral("the file could not be put in place") : file.errorString();
        return false;
    }
    return true;
}
