#include "PLYRecentContainer.h"

#include "PLYUserDefaults.h"

#include <QFileInfo>
#include <QVariantMap>

QByteArray PLYRecentContainer::bookmarkDataForPath(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return {};
    return QFile::encodeName(info.absoluteFilePath());
}

QString PLYRecentContainer::resolveBookmarkData(const QByteArray& bookmark) {
    const QString path = QFile::decodeName(bookmark);
    return !path.isEmpty() && QFileInfo::exists(path) ? path : QString();
}

void PLYRecentContainer::addPathToRecents(const QString& path) {
    PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
    QStringList recents = defaults.stringArrayForKey(QString::fromLatin1(kRecentDirectories));
    if (path.isEmpty() || recents.contains(path)) return;
    QString decoded = path;
    decoded.replace(QStringLiteral("%20"), QStringLiteral(" "));
    const QByteArray bookmark = bookmarkDataForPath(decoded);
    if (bookmark.isEmpty()) return;
    QVariantMap bookmarks = defaults.dictionaryForKey(QString::fromLatin1(kRecentBookmarks));
    while (recents.size() >= MaxRecents) bookmarks.remove(recents.takeLast());
    recents.prepend(path);
    bookmarks.insert(path, bookmark);
    defaults.setObject(recents, QString::fromLatin1(kRecentDirectories));
    defaults.setObject(bookmarks, QString::fromLatin1(kRecentBookmarks));
}

QStringList PLYRecentContainer::recentPaths() {
    return PLYUserDefaults::standardUserDefaults().stringArrayForKey(QString::fromLatin1(kRecentDirectories));
}

QByteArray PLYRecentContainer::bookmarkForPath(const QString& path) {
    return PLYUserDefaults::standardUserDefaults()
        .dictionaryForKey(QString::fromLatin1(kRecentBookmarks))
        .value(path)
        .toByteArray();
}
