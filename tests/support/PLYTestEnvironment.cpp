#include "PLYTestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QUuid>

namespace PLYTestEnvironment {

QString rootDirectory() { return qEnvironmentVariable("PELLORY_TEST_ROOT"); }
QString defaultsFile() { return QDir(rootDirectory()).filePath(QStringLiteral("defaults.ini")); }
QString logDirectory() { return QDir(rootDirectory()).filePath(QStringLiteral("logs")); }

QString makeTempDirectory(const QString& prefix) {
    const QString path = QDir(rootDirectory()).filePath(
        prefix + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8));
    QDir().mkpath(path);
    return path;
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired()) return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace PLYTestEnvironment
