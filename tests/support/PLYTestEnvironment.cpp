#include "PLYTestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUuid>

namespace PLYTestEnvironment {

QString rootDirectory() { return qEnvironmentVariable("PELLORY_TEST_ROOT"); }
QString defaultsFile() { return QDir(rootDirectory()).filePath(QStringLiteral("defaults.ini")); }
QString logDirectory() { return QDir(rootDirectory()).filePath(QStringLiteral("logs")); }

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

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
