#include "PLYKeyChain.h"

#include <QHash>
#include <mutex>

// Interim in-memory store; the Secret Service backend replaces it.
namespace {
std::mutex& mtx() { static std::mutex m; return m; }
QHash<QString, QVariant>& items() { static QHash<QString, QVariant> h; return h; }
QString slot(const QString& key, const QString& service) { return service + QLatin1Char('\x1f') + key; }
void checkArgs(const QString& key, const QString& service) {
    if (key.isEmpty()) throw PLYException(QString::fromLatin1(PLYException::InvalidArgument), QStringLiteral("key must not be empty"));
    if (service.isEmpty()) throw PLYException(QString::fromLatin1(PLYException::InvalidArgument), QStringLiteral("service must not be empty"));
}
}  // namespace

QVariant PLYKeyChain::itemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    std::lock_guard lock(mtx());
    auto it = items().find(slot(key, service));
    if (it == items().end()) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), ErrorItemNotFound, QStringLiteral("The item could not be found.")));
        return {};
    }
    return *it;
}

bool PLYKeyChain::saveItem(const QVariant& item, const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    if (!item.isValid() || item.isNull()) return deleteItemForKey(key, service, error);
    std::lock_guard lock(mtx());
    items().insert(slot(key, service), item);
    return true;
}

bool PLYKeyChain::deleteItemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    std::lock_guard lock(mtx());
    if (!items().remove(slot(key, service))) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), ErrorItemNotFound, QStringLiteral("The item could not be found.")));
        return false;
    }
    return true;
}

bool PLYKeyChain::usesSecretService() { return false; }

void PLYKeyChain::resetForTesting(bool) {
    std::lock_guard lock(mtx());
    items().clear();
}
