#pragma once

// A library on a test mount made read-only for real, and what its saved files hold.
#include "PLYPersistantPost.h"
#include "PLYPropertyList.h"
#include "PLYTestMount.h"

#include <QDir>

// The library's accounts (posts included) and locations turn read-only, or writable again; the
// library's lock stays open for writing beside them, as in the application.
inline bool PLYSetLibraryReadOnly(PLYTestMount& disk, const QString& storeRoot, bool readOnly) {
    return disk.setFolderReadOnly(storeRoot + QStringLiteral("/Accounts"), readOnly) &&
           disk.setFolderReadOnly(storeRoot + QStringLiteral("/Locations"), readOnly);
}

// The post's name as its saved info file holds it.
inline QString PLYPostNameOnDisk(const PLYPersistantPost& post) {
    QVariantMap map;
    PLYPropertyList::readFile(QDir(post.folderPath()).filePath(QStringLiteral("info.plist")), &map);
    return map.value(QStringLiteral("name")).toString();
}
