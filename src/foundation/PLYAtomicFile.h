#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file or nothing: a reader sees the old file or the new one, never a part.
class PLYAtomicFile {
public:
    // On failure answers false and, when asked, the reason; the old file is left as it was.
    static bool write(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

    // The new contents go to a temporary file beside the file, renamed over it when complete: a
    // kill in between leaves it behind. Its name is the file's, this marker and six letters or
    // digits, so that only these names, never a user's "info.plist.backup", are taken for one.
    static constexpr const char* TemporaryMarker = ".pellory-saving-";
    // `path` followed by the marker and "XXXXXX", a template for QTemporaryFile.
    static QString temporaryTemplate(const QString& path);
    // Whether a file's name is that of such a temporary file.
    static bool isTemporaryName(const QString& fileName);
    // Removes such a temporary file left by a write that was cut short, but never one that a
    // write of this process is still making (InUse, also when it is gone meanwhile).
    enum class LeftoverRemoval { Removed, InUse, Failed };
    static LeftoverRemoval removeLeftover(const QString& path, QString* reason = nullptr);
};
