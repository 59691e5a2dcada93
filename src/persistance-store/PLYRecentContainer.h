#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The recently watched locations, kept in the user defaults: "recent_watch_directories"
// (at most 5, newest first) and "recent_watch_bookmark" (bookmark data by path). Here a
// bookmark is the absolute path's bytes; it cannot be made for a path that does not exist.
class PLYRecentContainer {
public:
    static constexpr int MaxRecents = 5;
    static constexpr const char* kRecentDirectories = "recent_watch_directories";
    static constexpr const char* kRecentBookmarks = "recent_watch_bookmark";

    static void addPathToRecents(const QString& path);
    static QStringList recentPaths();
    static QByteArray bookmarkForPath(const QString& path);

    // Bookmark data for a location; empty when it does not exist.
    static QByteArray bookmarkDataForPath(const QString& path);
    // The path a bookmark leads to; empty when it no longer exists.
    static QString resolveBookmarkData(const QByteArray& bookmark);
};
