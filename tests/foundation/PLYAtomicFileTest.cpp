#include "PLYAtomicFile.h"
#include "PLYTestEnvironment.h"
#include "PLYTestMount.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

TEST(AtomicFile, WritesAndReplacesWholeFiles) {
    const QString path = QDir(PLYTestEnvironment::makeTempDirectory(QStringLiteral("atomic"))).filePath(QStringLiteral("f"));
    QString reason;
    ASSERT_TRUE(PLYAtomicFile::write(path, "first", &reason)) << reason.toStdString();
    EXPECT_EQ(readAll(path), QByteArray("first"));
    const QByteArray big(3 * 1024 * 1024 + 17, 'b');
    ASSERT_TRUE(PLYAtomicFile::write(path, big, &reason)) << reason.toStdString();
    EXPECT_EQ(readAll(path), big);
    ASSERT_TRUE(PLYAtomicFile::write(path, {}, &reason));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f")});
}

// On a real full file system, small and large writes alike fail, say why, and leave the old
// file as it was with no temporary file beside it; once space is freed the write succeeds.
TEST(AtomicFile, AFullDiskFailsTheWriteAndLeavesTheOldFileUntouched) {
    PLYTestMount disk(256 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no full file system can be made: " << disk.problem().toStdString();
    const QString path = QDir(disk.path()).filePath(QStringLiteral("info.plist"));
    const QByteArray old(2000, 'o');
    ASSERT_TRUE(PLYAtomicFile::write(path, old));
    const QString filler = disk.fill();
    ASSERT_FALSE(filler.isEmpty()) << "the disk never filled";

    for (const qsizetype size : {qsizetype(1), qsizetype(300), qsizetype(16 * 1024), qsizetype(600 * 1024)}) {
        QString reason;
        EXPECT_FALSE(PLYAtomicFile::write(path, QByteArray(size, 'n'), &reason)) << size << " bytes were written to a full disk";
        EXPECT_FALSE(reason.isEmpty()) << size;
        EXPECT_EQ(readAll(path), old) << "the old file changed on a failed write of " << size << " bytes";
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{QStringLiteral(".filler"), QStringLiteral("info.plist")}))
            << "a temporary file stayed behind";
    }

    ASSERT_TRUE(QFile::remove(filler));
    QString reason;
    EXPECT_TRUE(PLYAtomicFile::write(path, "new", &reason)) << reason.toStdString();
    EXPECT_EQ(readAll(path), QByteArray("new"));
}

TEST(AtomicFile, AReadOnlyFileSystemFailsTheWriteAndSaysWhy) {
    PLYTestMount disk(256 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no read-only file system can be made: " << disk.problem().toStdString();
    const QString path = QDir(disk.path()).filePath(QStringLiteral("layout"));
    ASSERT_TRUE(PLYAtomicFile::write(path, "old"));
    ASSERT_TRUE(disk.setReadOnly(true));
    QString reason;
    EXPECT_FALSE(PLYAtomicFile::write(path, "new", &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("Read-only"))) << "the cause is not said: " << reason.toStdString();
    EXPECT_EQ(readAll(path), QByteArray("old"));
    EXPECT_FALSE(PLYAtomicFile::write(QDir(disk.path()).filePath(QStringLiteral("new")), "new", &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("Read-only"))) << "the cause is not said: " << reason.toStdString();
}
