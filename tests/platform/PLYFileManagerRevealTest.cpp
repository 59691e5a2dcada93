// "Show in File Manager" through the desktop's file manager on the session bus: the file is shown
// selected; without a file manager its folder is opened.

#include "PLYQtDesktopServices.h"
#include "PLYTestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

// A file manager on its own bus connection, recording what it is asked.
class FakeFileManager : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        members << message.member();
        arguments = message.arguments();
        connection.send(message.createReply());
        return true;
    }
    QStringList members;
    QVariantList arguments;
};

// Folders are recorded, never opened.
class RecordingServices : public PLYQtDesktopServices {
public:
    bool openURL(const QUrl& url) override {
        opened << url;
        return true;
    }
    QList<QUrl> opened;
};

class FileManagerRevealTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
        folder = PLYTestEnvironment::makeTempDirectory("reveal");
        file = QDir(folder).filePath("Harbour at dawn.jpg");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QString folder;
    QString file;
};

// One case: the file manager's name is taken on the bus only while it is in use here.
TEST_F(FileManagerRevealTest, TheFileIsShownSelectedOrElseItsFolderIsOpened) {
    // Nobody answers: the folder is opened.
    {
        RecordingServices services;
        EXPECT_TRUE(services.showFileInFileManager(file));
        ASSERT_TRUE(waitUntil([&] { return !services.opened.isEmpty(); }));
        EXPECT_EQ(services.opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(file).absolutePath())});
        EXPECT_FALSE(services.showFileInFileManager(QString()));
    }

    // A file manager answers: it is asked to show the file, and no folder is opened.
    const QString name = QStringLiteral("pellory-fake-file-manager");
    QDBusConnection own = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    ASSERT_TRUE(own.isConnected());
    FakeFileManager manager;
    ASSERT_TRUE(own.registerVirtualObject(QString::fromLatin1(PLYQtDesktopServices::FileManagerPath), &manager));
    ASSERT_TRUE(own.registerService(QString::fromLatin1(PLYQtDesktopServices::FileManagerService)))
        << "another file manager owns the name on this bus";
    RecordingServices services;
    EXPECT_TRUE(services.showFileInFileManager(file));
    ASSERT_TRUE(waitUntil([&] { return !manager.members.isEmpty(); }));
    EXPECT_EQ(manager.members, QStringList{"ShowItems"});
    ASSERT_EQ(manager.arguments.size(), 2);
    EXPECT_EQ(manager.arguments.at(0).toStringList(), QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});

    // The file manager goes, and a file elsewhere is shown: nobody answers, so its folder opens.
    // The bus sent the answer to the first call before it let the name go, so that answer has
    // arrived by the time the second folder is opened.
    own.unregisterService(QString::fromLatin1(PLYQtDesktopServices::FileManagerService));
    own.unregisterObject(QString::fromLatin1(PLYQtDesktopServices::FileManagerPath));
    QDBusConnection::disconnectFromBus(name);
    const QString elsewhere = QDir(PLYTestEnvironment::makeTempDirectory("elsewhere")).filePath("Quay.jpg");
    EXPECT_TRUE(services.showFileInFileManager(elsewhere));
    ASSERT_TRUE(waitUntil([&] { return !services.opened.isEmpty(); }));
    EXPECT_EQ(services.opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(elsewhere).absolutePath())})
        << "the folder is opened only when nobody shows the file";
}

}  // namespace
