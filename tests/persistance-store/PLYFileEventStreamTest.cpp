#include "PLYFileEventStream.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

TEST(PLYFileEventStream, AFolderMovedOutIsNoLongerReportedUnderItsOldPath) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("watched"));
    const QString elsewhere = PLYTestEnvironment::makeTempDirectory(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(QDir(root).filePath(QStringLiteral("sub/deeper"))));
    QStringList seen;
    PLYFileEventStream stream(root, true, 20, [&](const QVector<PLYFileEvent>& events) {
        for (const PLYFileEvent& e : events) seen << e.path();
    });
    ASSERT_TRUE(stream.start());

    const QString away = QDir(elsewhere).filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().rename(QDir(root).filePath(QStringLiteral("sub")), away));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("sub"))); }));
    seen.clear();

    // Work in the moved folder, then a change in the watched one to know the batch arrived.
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(away).filePath(QStringLiteral("new.jpg")), 20, 20));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(away).filePath(QStringLiteral("deeper/deep.jpg")), 20, 20));
    const QString marker = QDir(root).filePath(QStringLiteral("marker.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(marker, 20, 20));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(marker); }));
    for (const QString& p : std::as_const(seen))
        EXPECT_FALSE(p.startsWith(QDir(root).filePath(QStringLiteral("sub")))) << p.toStdString();

    // A folder renamed inside the tree is still followed at its new name.
    ASSERT_TRUE(QDir().mkpath(QDir(root).filePath(QStringLiteral("a"))));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("a"))); }));
    ASSERT_TRUE(QDir().rename(QDir(root).filePath(QStringLiteral("a")), QDir(root).filePath(QStringLiteral("b"))));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("b"))); }));
    const QString inRenamed = QDir(root).filePath(QStringLiteral("b/x.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(inRenamed, 20, 20));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(inRenamed); }));
}
