#include "PLYPersistantStore.h"

#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYImageManager.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYWebServiceGateway.h"

#include "PLYDispatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

namespace {
// How long the start of the watches may hold the event loop at a time.
constexpr qint64 kWatchTurnMs = 8;
}  // namespace

// What the loading behind set-up read: the locations (already handed to the store's thread)
// and each account's post folders, by account folder.
struct PLYPersistantStore::BackgroundLoad {
    QList<std::shared_ptr<PLYSourceDirectory>> locations;
    QHash<QString, QList<PLYPersistantAccount::LoadedPost>> posts;
};

std::shared_ptr<PLYPersistantStore> PLYPersistantStore::create(const QString& rootDirectory) {
    const QString root = rootDirectory.isEmpty() ? PLYDefaults::applicationSupportDirectory() : rootDirectory;
    return std::shared_ptr<PLYPersistantStore>(new PLYPersistantStore(root));
}

PLYPersistantStore::PLYPersistantStore(QString root) : m_root(std::move(root)) {}

PLYPersistantStore::~PLYPersistantStore() {
    // The loading behind set-up reads files only; what it read is dropped.
    if (m_background) m_background->waitForFinished();
    m_background.reset();
    m_loadPool.reset();
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

    // The accounts' own files are few and small, and sign-in needs them: read now. Their posts
    // come as summaries where an index lists them.
    QStringList pending;
    const QDir accounts(accountsDirectory());
    for (const QString& name : accounts.entryList({QStringLiteral("*.") + QLatin1String(PLYPersistantAccount::FolderExtension)},
                                                  QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        PLYError error;
        auto account = PLYPersistantAccount::load(accounts.filePath(name), self, &error);
        if (!account) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the account %1: %2").arg(accounts.filePath(name), error.toString()));
            continue;
        }
        if (account->hasPostsToLoad()) pending.append(account->folderPath());
        m_accounts.append(account);
    }

    m_watchWhenLoaded = startWatching;
    m_context = std::make_unique<QObject>();
    m_loadPool = std::make_unique<QThreadPool>();
    m_loadPool->setMaxThreadCount(1);
    m_background = std::make_unique<QFutureWatcher<BackgroundLoad>>();
    QObject::connect(m_background.get(), &QFutureWatcherBase::finished, m_context.get(), [self] {
        if (const auto store = self.lock()) store->finishLoading();
    });
    QThread* owner = QThread::currentThread();
    const QString locationsFolder = locationsDirectory();
    m_background->setFuture(QtConcurrent::run(m_loadPool.get(), [locationsFolder, pending, self, owner] {
        return loadBehind(locationsFolder, pending, self, owner);
    }));
}

PLYPersistantStore::BackgroundLoad PLYPersistantStore::loadBehind(const QString& locationsFolder, const QStringList& accountFolders,
                                                                  std::weak_ptr<PLYPersistantStore> store, QThread* owner) {
    BackgroundLoad result;
    const QDir locations(locationsFolder);
    PLYLibraryFiles::removeInterruptedWrites(locations.path());
    const QString extension = QStringLiteral(".") + QLatin1String(PLYSourceDirectory::FileExtension);
    // A location whose file is gone but whose last good copy stayed is found by the copy.
    QStringList files = locations.entryList({QStringLiteral("*") + extension}, QDir::Files, QDir::Name);
    for (const QString& copy : locations.entryList({QStringLiteral("*") + extension + QStringLiteral(".last-good")}, QDir::Files)) {
        const QString main = copy.chopped(int(qstrlen(".last-good")));
        if (!files.contains(main)) files.append(main);
    }
    QThreadPool pool;
    pool.setMaxThreadCount(PLYLibraryFiles::loadingThreadCount());
    result.locations = QtConcurrent::blockingMapped<QList<std::shared_ptr<PLYSourceDirectory>>>(&pool, files, [&](const QString& name) {
        PLYError error;
        auto location = PLYSourceDirectory::loadFromFile(locations.filePath(name), &error);
        if (!location) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the source location %1: %2").arg(locations.filePath(name), error.toString()));
            return location;
        }
        // Made here, used on the store's thread from now on.
        location->moveToThread(owner);
        return location;
    });
    for (const QString& folder : accountFolders) result.posts.insert(folder, PLYPersistantAccount::loadPostFolders(folder, store));
    return result;
}

void PLYPersistantStore::finishLoading() const {
    if (!m_background) return;
    // Taken first, so that whatever the adoption calls finds the loading over.
    auto* self = const_cast<PLYPersistantStore*>(this);
    std::unique_ptr<QFutureWatcher<BackgroundLoad>> watcher = std::move(self->m_background);
    watcher->disconnect();
    BackgroundLoad loaded = watcher->future().result();
    // It may be the sender of the signal being handled.
    watcher.release()->deleteLater();
    self->adoptBackgroundLoad(std::move(loaded));
}

void PLYPersistantStore::adoptBackgroundLoad(BackgroundLoad loaded) {
    for (const auto& location : std::as_const(loaded.locations)) {
        if (!location) continue;
        if (m_locations.contains(location->identifier())) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the source location %1: its identifier %2 is already used by %3")
                              .arg(location->filePath(), location->identifier(), m_locations.value(location->identifier())->filePath()));
            continue;
        }
        adopt(location);
    }
    bool changed = false;
    for (const auto& account : std::as_const(m_accounts)) {
        if (!account->hasPostsToLoad()) continue;
        const bool accountChanged = account->adoptLoadedPosts(loaded.posts.take(account->folderPath()));
        changed = changed || (accountChanged && account == m_currentAccount);
    }
    const std::weak_ptr<PLYPersistantStore> self = weak_from_this();
    // Queued: the adoption may have been asked for in the middle of someone's work, which
    // should not see locations start or home redraw under it.
    if (m_watchWhenLoaded || changed)
        PLYDispatch::mainAsync([self, changed] {
            const auto store = self.lock();
            if (!store) return;
            if (store->m_watchWhenLoaded) store->startWatchingLocationsInUse();
            if (changed) PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
        }, m_context.get());
}

void PLYPersistantStore::startWatchingLocationsInUse() {
    m_watchWhenLoaded = false;
    // Only the locations of posts are watched. The others (left by posts deleted before their
    // locations were released, or used by a post that failed to load) stay on disk untouched.
    const QSet<QString> used = locationsInUse();
    QSet<QString> current;
    if (m_currentAccount)
        for (const auto& post : m_currentAccount->currentPosts())
            for (const QString& id : post->sourceLocations()) current.insert(id);
    m_watchQueue.clear();
    for (const auto& location : std::as_const(m_locations)) {
        if (!used.contains(location->identifier())) {
            PLY_LOG_INFO(QStringLiteral("Not watching %1: no post uses it").arg(location->filePath()));
            continue;
        }
        // The signed-in account's folders first: its posts are the ones that can be opened.
        if (current.contains(location->identifier())) m_watchQueue.prepend(location);
        else m_watchQueue.append(location);
    }
    startQueuedWatches();
}

void PLYPersistantStore::startQueuedWatches() {
    // Each start scans its folder; a library of thousands of posts would hold the window for
    // seconds, so the starts run in short turns of the event loop.
    QElapsedTimer turn;
    turn.start();
    while (!m_watchQueue.isEmpty()) {
        const std::shared_ptr<PLYSourceDirectory> location = m_watchQueue.takeFirst().lock();
        // Released since, or already started by a post opened in the meantime.
        if (location && m_locations.value(location->identifier()) == location && !location->isWatching()) location->startWatching();
        if (turn.elapsed() >= kWatchTurnMs && !m_watchQueue.isEmpty()) {
            const std::weak_ptr<PLYPersistantStore> self = weak_from_this();
            PLYDispatch::mainAsync([self] {
                if (const auto store = self.lock()) store->startQueuedWatches();
            }, m_context.get());
            return;
        }
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
    finishLoading();
    QSet<QString> used;
    for (const auto& account : m_accounts)
        for (const auto& post : account->currentPosts())
            for (const QString& id : post->sourceLocations()) used.insert(id);
    return used;
}

void PLYPersistantStore::releaseLocations(const QStringList& identifiers) {
    finishLoading();
    const QSet<QString> used = locationsInUse();
    for (const QString& id : identifiers) {
        if (used.contains(id) || !m_locations.contains(id)) continue;
        auto location = m_locations.take(id);
        location->stopWatching();
        // A write still under way would put the file back after its removal.
        location->waitForPendingSave();
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
    finishLoading();
    bool ok = true;
    if (m_currentAccount && !m_currentAccount->save(error)) ok = false;
    for (const auto& location : std::as_const(m_locations)) {
        // A write the end of a scan left running finishes first: whether it failed is known then.
        location->waitForPendingSave();
        if (!location->needsSave()) continue;
        PLYError e;
        if (!location->save(&e)) {
            PLY_LOG_ERROR(QStringLiteral("Could not save the source location %1: %2").arg(location->filePath(), e.toString()));
            if (ok) PLYError::set(error, e);
            ok = false;
        }
    }
    // Writing works (again): renditions that could not be written for want of room are made now.
    if (ok) PLYImageManager::libraryWasWritten();
    return ok;
}

std::shared_ptr<PLYSourceImage> PLYPersistantStore::imageForIdentifier(const QString& identifier) const {
    finishLoading();
    for (const auto& location : m_locations) {
        if (auto image = location->imageForIdentifier(identifier)) return image;
    }
    return nullptr;
}

std::shared_ptr<PLYSourceDirectory> PLYPersistantStore::sourceForIdentifier(const QString& identifier) const {
    finishLoading();
    return m_locations.value(identifier);
}

std::shared_ptr<PLYSourceDirectory> PLYPersistantStore::startWatchingPath(const QString& path, const QByteArray& bookmarkData) {
    finishLoading();
    PLYError error;
    if (!PLYLibraryFiles::makeFolder(locationsDirectory(), &error)) PLY_LOG_ERROR(error.toString());
    auto location = PLYSourceDirectory::create(QUrl::fromLocalFile(QDir::cleanPath(path)), bookmarkData, locationsDirectory());
    adopt(location);
    return location;
}
