#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Where the shared test main put the files that the application would normally keep in the
// user's folders: defaults, data, logs. Each test executable gets a fresh temporary root.
namespace PLYTestEnvironment {
QString rootDirectory();
QString defaultsFile();
QString logDirectory();
// A fresh, empty folder under the temporary root for one test.
QString makeTempDirectory(const QString& prefix = QStringLiteral("t"));
// A whole file's bytes (empty when it cannot be read), and a file made of `bytes` (false when it
// cannot be written whole).
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Spins the Qt event loop until `predicate` holds or `timeoutMs` passes; answers the predicate.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);
}  // namespace PLYTestEnvironment
