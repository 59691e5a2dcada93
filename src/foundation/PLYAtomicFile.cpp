#include "PLYAtomicFile.h"

#include <QSaveFile>

bool PLYAtomicFile::write(const QString& path, const QByteArray& bytes, QString* reason) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (reason) *reason = file.errorString();
        return false;
    }
    return true;
}
