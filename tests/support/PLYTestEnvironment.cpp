#include "PLYTestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <memory>

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

void waitForTimersDueWithin(int intervalMs) {
    QTimer sentinel;
    sentinel.setSingleShot(true);
    sentinel.setTimerType(Qt::PreciseTimer);
    bool fired = false;
    QObject::connect(&sentinel, &QTimer::timeout, [&fired] { fired = true; });
    sentinel.start(intervalMs);
    // The bound is far beyond the interval: the sentinel always fires first.
    waitUntil([&fired] { return fired; }, intervalMs + 600000);
}

void waitForQueuedCalls() {
    auto ran = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [ran] { *ran = true; }, Qt::QueuedConnection);
    waitUntil([ran] { return *ran; });
    // Deletions asked for with deleteLater() at this level of the loop come with the next pass.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired()) return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // The application's own loop deletes what deleteLater() was asked of; processEvents() at
        // the test's level does not, so a wait for a deletion would hang on how it was asked.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace PLYTestEnvironment
