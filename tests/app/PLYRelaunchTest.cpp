#include "PLYRelaunch.h"

#include "PLYScriptedDesktopServices.h"
#include "PLYTestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// A folder whose name the shell would act on if it were ever read as a command line.
QString hostileFolder(const QString& root) {
    const QString name = QStringLiteral("it's \"odd\" $(touch INJECTED) `touch INJECTED2` ; touch INJECTED3 $HOME");
    const QString path = QDir(root).filePath(name);
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
}

}  // namespace

TEST(PLYRelaunchTest, TheShellRunsOnlyTheProgramWhateverItsPathHolds) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("relaunch"));
    const QString folder = hostileFolder(root);
    const QString marker = QDir(root).filePath(QStringLiteral("started"));
    const QString program = QDir(folder).filePath(QStringLiteral("pellory \"$(x)\""));
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    const PLYRelaunch::Command command = PLYRelaunch::commandForDelay(0.0, program);
    EXPECT_EQ(command.program, QStringLiteral("/bin/sh"));
    EXPECT_FALSE(command.arguments.value(1).contains(program)) << "the path must not be part of the script";

    QProcess shell;
    shell.setWorkingDirectory(root);
    shell.start(command.program, command.arguments);
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(marker));
    // Nothing in the path ran: neither where the shell started nor inside the folder.
    for (const QString& dir : {root, folder}) {
        for (const char* name : {"INJECTED", "INJECTED2", "INJECTED3"})
            EXPECT_FALSE(QFile::exists(QDir(dir).filePath(QString::fromLatin1(name)))) << name;
    }
}

TEST(PLYRelaunchTest, TheDelayReachesSleepAsANumber) {
    EXPECT_EQ(PLYRelaunch::commandForDelay(2.0, QStringLiteral("/x")).arguments.at(3), QStringLiteral("2.000"));
    EXPECT_EQ(PLYRelaunch::commandForDelay(-5.0, QStringLiteral("/x")).arguments.at(3), QStringLiteral("0.000"));
}

TEST(PLYRelaunchTest, RelaunchStartsTheShellDetachedForThisExecutable) {
    auto desktop = std::make_shared<PLYScriptedDesktopServices>();
    PLYDesktopServices::setShared(desktop);
    EXPECT_TRUE(PLYRelaunch::relaunchAfterDelay(2.0));
    ASSERT_EQ(desktop->launches().size(), 1);
    const auto& launch = desktop->launches().first();
    EXPECT_EQ(launch.program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(launch.arguments.last(), QCoreApplication::applicationFilePath());

    // A shell that cannot start is reported as a failure.
    desktop->setSucceeds(false);
    EXPECT_FALSE(PLYRelaunch::relaunchAfterDelay(2.0));
    PLYDesktopServices::setShared(nullptr);
}
