#include "PLYPersistantStore.h"

#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYSourceDirectory.h"
#include "PLYWebServiceGateway.h"

#include <QDir>

std::shared_ptr<PLYPersistantStore> PLYPersistantStore::create(const QString& rootDirectory) {
    const QString root = rootDirectory.isEmpty() ? PLYDefaults::applicationSupportDirectory() : rootDirectory;
    return std::shared_ptr<PLYPersistantStore>(new PLYPersistantStore(root));
}

PLYPersistantStore::~PLYPersistantStore() {
    for (const auto& location : std::as_const(m_locations)) location->stopWatching();
}

QString PLYPersistantStore::accountsDirectory() const { return QDir(m_root).filePath(QStringLiteral("Accounts")); }
QString PLYPersistantStore::locationsDirectory() const { return QDir(m_root).filePath(QStringLiteral("Locations")); }

void PLYPersistantStore::setUp(bool startWatching) {
    QDir().mkpath(accountsDirectory());
    QDir().mkpath(locationsDirectory());
    const std::weak_ptr<PLYPersistantStore> self = weak_from_this();

    const QDir locations(locationsDirectory());
    for (const QString& name : locations.entryList({QStringLiteral("*.") + QLatin1String(PLYSourceDirectory::FileExtension)},
                                                   QDir::Files, QDir::Name)) {
        PLYError error;
        auto location = PLYSourceDirectory::loadFromFile(locations.filePath(name), &error);
        if (!location) {
            PLY_LOG_ERROR(QStringLiteral("Skipping a source location that cannot be loaded: %1").arg(error.toString()));
            continue;
        }
        if (m_locations.contains(location->identifier())) continue;
        m_locations.insert(location->identifier(), location);
    }

    const QDir accounts(accountsDirectory());
    for (const QString& name : accounts.entryList({QStringLiteral("*.") + QLatin1String(PLYPersistantAccount::FolderExtension)},
                                                  QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        PLYError error;
        auto account = PLYPersistantAccount::load(accounts.filePath(name), self, &error);
        if (!account) {
            PLY_LOG_ERROR(QStringLiteral("Skipping an account that cannot be loaded: %1").arg(error.toString()));
            continue;
        }
        m_accounts.append(account);
    }

    if (startWatching)
        for (const auto& location : std::as_const(m_locations)) location->startWatching();
}

std::shared_ptr<PLYPersistantAccount> PLYPersistantStore::signInUser(const QString& email) {
    const QString wanted = email.trimmed();
    if (wanted.isEmpty()) return nullptr;
    for (const auto& account : std::as_const(m_accounts)) {
        if (account->email().trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            m_currentAccount = account;
            return account;
        }
    }
    auto account = PLYPersistantAccount::create(wanted, accountsDirectory(), weak_from_this());
    PLYError error;
    if (!account->save(&error))
        PLY_LOG_ERROR(QStringLiteral("Could not save the new account: %1").arg(error.toString()));
    m_accounts.append(account);
    m_currentAccount = account;
    return account;
}

void PLYPersistantStore::signOut() {
    m_currentAccount.reset();
    if (auto* gateway = PLYCoreManager::webServiceGateway()) gateway->clearStoredKeys();
    else PLY_LOG_INFO(QStringLiteral("Signed out with no web service to clear the stored keys"));
}

bool PLYPersistantStore::save(PLYError* error) {
    bool ok = true;
    if (m_currentAccount && !m_currentAccount->save(error)) ok = false;
    for (const auto& location : std::as_const(m_locations)) {
        PLYError e;
        if (!location->save(&e)) {
            PLY_LOG_ERROR(QStringLiteral("Could not save a source location: %1").arg(e.toString()));
            if (ok) PLYError::set(error, e);
            ok = false;
        }
    }
    return ok;
}

std::shared_ptr<PLYSourceImage> PLYPersistantStore::imageForIdentifier(const QString& identifier) const {
    for (const auto& location : m_locations) {
        if (auto image = location->imageForIdentifier(identifier)) return image;
    }
    return nullptr;
}

std::shared_ptr<PLYSourceDirectory> PLYPersistantStore::sourceForIdentifier(const QString& identifier) const {
    return m_locations.value(identifier);
}

std::shared_ptr<PLYSourceDirectory> PLYPersistantStore::startWatchingPath(const QString& path, const QByteArray& bookmarkData) {
    QDir().mkpath(locationsDirectory());
    auto location = PLYSourceDirectory::create(QUrl::fromLocalFile(QDir::cleanPath(path)), bookmarkData, locationsDirectory());
    m_locations.insert(location->identifier(), location);
    return location;
}
