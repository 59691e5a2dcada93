#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file or nothing: a reader sees the old file or the new one, never a part.
class PLYAtomicFile {
public:
    // On failure answers false and, when asked, the reason; the old file is left as it was.
    static bool write(const QString& path, const QByteArray& bytes, QString* reason = nullptr);
};
