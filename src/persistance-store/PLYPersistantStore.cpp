#include "PLYPersistantStore.h"

#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYWebServiceGateway.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    for (const QString& folder : {accountsDirectory(), locationsDirectory()}) {
        PLYError error;
        if (!PLYLibraryFiles::makeFolder(folder, &error)) PLY_LOG_ERROR(error.toString());
    }
    const std::weak_ptr<PLYPersistantStore> self = weak_from_this();

    const QDir locations(locationsDirectory());
    PLYLibraryFiles::removeInterruptedWrites(locations.path());
    const QString extension = QStringLiteral(".") + QLatin1String(PLYSourceDirectory::FileExtension);
    // A location whose file is gone but whose last good copy stayed is found by the copy.
    QStringList files = locations.entryList({QStringLiteral("*") + extension}, QDir::Files, QDir::Name);
    for (const QString& copy : locations.entryList({QStringLiteral("*") + extension + QStringLiteral(".last-good")}, QDir::Files)) {
        const QString main = copy.chopped(int(qstrlen(".last-good")));
        if (!files.contains(main)) files.append(main);
    }
    for (const QString& name : std::as_const(files)) {
        PLYError error;
        auto location = PLYSourceDirectory::loadFromFile(locations.filePath(name), &error);
        if (!location) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the source location %1: %2").arg(locations.filePath(name), error.toString()));
            continue;
        }
        if (m_locations.contains(location->identifier())) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the source location %1: its identifier %2 is already used by %3")
                              .arg(location->filePath(), location->identifier(), m_locations.value(location->identifier())->filePath()));
            continue;
        }
        adopt(location);
    }

    const QDir accounts(accountsDirectory());
    for (const QString& name : accounts.entryList({QStringLiteral("*.") + QLatin1String(PLYPersistantAccount::FolderExtension)},
                                                  QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        PLYError error;
        auto account = PLYPersistantAccount::load(accounts.filePath(name), self, &error);
        if (!account) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the account %1: %2").arg(accounts.filePath(name), error.toString()));
            continue;
        }
        m_accounts.append(account);
    }

    if (!startWatching) return;
    // Only the locations of posts are watched. The others (left by posts deleted before their
    // locations were released, or used by a post that failed to load) stay on disk untouched.
    const QSet<QString> used = locationsInUse();
    for (const auto& location : std::as_const(m_locations)) {
        if (used.contains(location->identifier())) location->startWatching();
        else PLY_LOG_INFO(QStringLiteral("Not watching %1: no post uses it").arg(location->filePath()));
    }
}

void PLYPersistantStore::adopt(const std::shared_ptr<PLYSourceDirectory>& location) {
    const std::weak_ptr<PLYPersistantStore> self = weak_from_this();
    const PLYSourceDirectory* asking = location.get();
    location->setKnownIdentifiersProvider([self, asking]() {
        QHash<QString, QString> known;
        if (auto store = self.lock())
            for (const auto& other : std::as_const(store->m_locations)) {
                if (other.get() == asking) continue;
                for (const auto& image : other->watchedImages()) known.insert(image->path(), image->identifier());
            }
        return known;
    });
    m_locations.insert(location->identifier(), location);
}

QSet<QString> PLYPersistantStore::locationsInUse() const {
    QSet<QString> used;
    for (const auto& account : m_accounts)
        for (const auto& post : account->currentPosts())
            for (const QString& id : post->sourceLocations()) used.insert(id);
    return used;
}

void PLYPersistantStore::releaseLocations(const QStringList& identifiers) {
    const QSet<QString> used = locationsInUse();
    for (const QString& id : identifiers) {
        if (used.contains(id) || !m_locations.contains(id)) continue;
        auto location = m_locations.take(id);
        location->stopWatching();
        for (const QString& file : {location->filePath(), PLYLibraryFiles::lastGoodPath(location->filePath())}) {
            if (QFileInfo::exists(file) && !QFile::remove(file))
                PLY_LOG_ERROR(QStringLiteral("Could not remove the released location file %1").arg(file));
        }
        PLY_LOG_INFO(QStringLiteral("Released the source location %1 (%2): no post uses it").arg(id, location->path()));
    }
}

std::shared_ptr<PLYPersistantAccount> PLYPersistantStore::signInUser(const QString& email) {
    const QString wanted = email.trimmed();
    if (wanted.isEmpty()) return nullptr;
    for (const auto& account : std::as_const(m_accounts)) {
        if (account->email().trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            setCurrentAccount(account);
            return account;
        }
    }
    // An account recovered from a damaged info file without its e-mail is the one signing in
    // again: taking it over keeps its posts and makes no second account.
    for (const auto& account : std::as_const(m_accounts)) {
        if (!account->email().isEmpty()) continue;
        account->claim(wanted);
        setCurrentAccount(account);
        return account;
    }
    auto account = PLYPersistantAccount::create(wanted, accountsDirectory(), weak_from_this());
    PLYError error;
    if (!account->save(&error))
        PLY_LOG_ERROR(QStringLiteral("Could not save the new account of %1: %2").arg(wanted, error.toString()));
    m_accounts.append(account);
    setCurrentAccount(account);
    return account;
}

// Whoever lists posts (home) hears of another account's posts, whichever road signed it in.
void PLYPersistantStore::setCurrentAccount(const std::shared_ptr<PLYPersistantAccount>& account) {
    if (m_currentAccount == account) return;
    m_currentAccount = account;
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
}

void PLYPersistantStore::signOut() {
    setCurrentAccount(nullptr);
    if (auto* gateway = PLYCoreManager::webServiceGateway()) gateway->clearStoredKeys();
    else PLY_LOG_INFO(QStringLiteral("Signed out with no web service to clear the stored keys"));
}

bool PLYPersistantStore::save(PLYError* error) {
    bool ok = true;
    if (m_currentAccount && !m_currentAccount->save(error)) ok = false;
    for (const auto& location : std::as_const(m_locations)) {
        if (!location->needsSave()) continue;
        PLYError e;
        if (!location->save(&e)) {
            PLY_LOG_ERROR(QStringLiteral("Could not save the source location %1: %2").arg(location->filePath(), e.toString()));
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
    PLYError error;
    if (!PLYLibraryFiles::makeFolder(locationsDirectory(), &error)) PLY_LOG_ERROR(error.toString());
    auto location = PLYSourceDirectory::create(QUrl::fromLocalFile(QDir::cleanPath(path)), bookmarkData, locationsDirectory());
    adopt(location);
    return location;
}
