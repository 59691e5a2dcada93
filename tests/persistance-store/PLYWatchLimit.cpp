#include "PLYWatchLimit.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace PLYWatchLimit {

namespace {
const char* const kVariable = "PELLORY_WATCH_LIMIT";
}

std::optional<QString> rerunWithLimit(int limit) {
    if (qEnvironmentVariableIsSet(kVariable)) return std::nullopt;
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("true")});
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        return QStringLiteral("user namespaces are not available: %1")
            .arg(QString::fromLocal8Bit(probe.readAllStandardError()) + probe.errorString());
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kVariable), QString::number(limit));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // The namespace's own limit is set from inside it, where the child is root.
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("echo \"$%1\" > /proc/sys/user/max_inotify_watches && exec \"$@\"").arg(QString::fromLatin1(kVariable)),
                 QStringLiteral("sh"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=%1.%2").arg(QString::fromUtf8(info->test_suite_name()), QString::fromUtf8(info->name()))});
    const bool finished = child.waitForFinished(100000);
    if (!finished) {
        child.kill();
        child.waitForFinished(10000);
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_TRUE(finished) << "the run with the limit did not finish: " << output.toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    return QString();
}

}  // namespace PLYWatchLimit
