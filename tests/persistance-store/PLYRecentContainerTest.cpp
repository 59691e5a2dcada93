#include "PLYRecentContainer.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(PLYRecentContainer, KeepsFiveNewestFirstWithBookmarks) {
    PLYUserDefaults::standardUserDefaults().removeObjectForKey(QString::fromLatin1(PLYRecentContainer::kRecentDirectories));
    PLYUserDefaults::standardUserDefaults().removeObjectForKey(QString::fromLatin1(PLYRecentContainer::kRecentBookmarks));
    QStringList dirs;
    for (int i = 0; i < 6; ++i) dirs << PLYTestEnvironment::makeTempDirectory(QStringLiteral("recent%1").arg(i));
    for (const QString& d : dirs) PLYRecentContainer::addPathToRecents(d);
    const QStringList recents = PLYRecentContainer::recentPaths();
    ASSERT_EQ(recents.size(), 5);
    EXPECT_EQ(recents.first(), dirs.last());
    EXPECT_FALSE(recents.contains(dirs.first()));
    EXPECT_TRUE(PLYRecentContainer::bookmarkForPath(dirs.first()).isEmpty());
    EXPECT_EQ(PLYRecentContainer::resolveBookmarkData(PLYRecentContainer::bookmarkForPath(dirs.last())), dirs.last());

    PLYRecentContainer::addPathToRecents(dirs[3]);  // already listed: nothing moves
    EXPECT_EQ(PLYRecentContainer::recentPaths(), recents);

    PLYRecentContainer::addPathToRecents(QStringLiteral("/no/such/folder"));
    EXPECT_EQ(PLYRecentContainer::recentPaths(), recents);

    const QString spaced = PLYTestEnvironment::makeTempDirectory(QStringLiteral("with space"));
    QString encoded = spaced;
    encoded.replace(QLatin1Char(' '), QStringLiteral("%20"));
    PLYRecentContainer::addPathToRecents(encoded);
    EXPECT_EQ(PLYRecentContainer::recentPaths().first(), encoded);
    EXPECT_EQ(PLYRecentContainer::resolveBookmarkData(PLYRecentContainer::bookmarkForPath(encoded)), spaced);
}
