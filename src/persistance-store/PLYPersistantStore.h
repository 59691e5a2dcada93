#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>

class QObject;
class QThread;
class QThreadPool;
template <typename T> class QFutureWatcher;

class PLYPersistantAccount;
class PLYSourceDirectory;
class PLYSourceImage;

// The file store under the application-support folder:
//   Accounts/<account id>.plyuser/info.plist
//   Accounts/<account id>.plyuser/posts.index (what home shows of each post, read first at launch)
//   Accounts/<account id>.plyuser/<post id>.plypost/{info.plist, layout, preview.jpg}
//   Locations/<location id>.plylocation (and its last good copy, ".plylocation.last-good")
// Files that cannot be read are logged with their path and reason, skipped and never written
// back; leftovers of interrupted saves are removed when the store is set up.
class PLYPersistantStore : public std::enable_shared_from_this<PLYPersistantStore> {
public:
    // A store over `rootDirectory` (the application-support folder when empty); call setUp().
    static std::shared_ptr<PLYPersistantStore> create(const QString& rootDirectory = {});
    ~PLYPersistantStore();

    // Makes the folders and reads every account. An account with a post index gets its posts as
    // summaries (enough for home to sort and draw them); the posts' folders and the location
    // files are then read on background threads and adopted on this thread when done, or as soon
    // as anything asks for more than a summary (finishLoading). With `startWatching` the
    // locations that posts use start watching once adopted.
    void setUp(bool startWatching = true);
    // Waits for the loading behind set-up and adopts what it read; does nothing when it is done.
    // The accessors below and those of accounts and posts call it before they answer.
    void finishLoading() const;
    bool isLoading() const { return m_background != nullptr; }

    QString rootDirectory() const { return m_root; }
    QString accountsDirectory() const;
    QString locationsDirectory() const;

    std::shared_ptr<PLYPersistantAccount> currentAccount() const { return m_currentAccount; }
    QList<std::shared_ptr<PLYPersistantAccount>> accounts() const { return m_accounts; }
    // The account of this e-mail (compared without case or surrounding blanks) becomes current;
    // else an account recovered without its e-mail is claimed; else one is made and saved.
    std::shared_ptr<PLYPersistantAccount> signInUser(const QString& email);
    // No current account; the service host forgets its keys.
    void signOut();

    // Saves the current account with its posts, then every location that changed.
    bool save(PLYError* error = nullptr);

    std::shared_ptr<PLYSourceImage> imageForIdentifier(const QString& identifier) const;
    std::shared_ptr<PLYSourceDirectory> sourceForIdentifier(const QString& identifier) const;
    QList<std::shared_ptr<PLYSourceDirectory>> sourceLocations() const {
        finishLoading();
        return m_locations.values();
    }
    // A new location over `path`, registered with the store (not yet started). Files that
    // another location knows keep their image identifiers.
    std::shared_ptr<PLYSourceDirectory> startWatchingPath(const QString& path, const QByteArray& bookmarkData);
    // Stops, forgets and deletes those of the locations that no post of any account uses.
    void releaseLocations(const QStringList& identifiers);
    // The locations that the loaded posts of every account use.
    QSet<QString> locationsInUse() const;

private:
    struct BackgroundLoad;
    explicit PLYPersistantStore(QString root);
    static BackgroundLoad loadBehind(const QString& locationsFolder, const QStringList& accountFolders,
                                     std::weak_ptr<PLYPersistantStore> store, QThread* owner);
    void adoptBackgroundLoad(BackgroundLoad loaded);
    void startWatchingLocationsInUse();
    void startQueuedWatches();
    void setCurrentAccount(const std::shared_ptr<PLYPersistantAccount>& account);
    void adopt(const std::shared_ptr<PLYSourceDirectory>& location);

    QString m_root;
    QList<std::shared_ptr<PLYPersistantAccount>> m_accounts;
    std::shared_ptr<PLYPersistantAccount> m_currentAccount;
    QMap<QString, std::shared_ptr<PLYSourceDirectory>> m_locations;
    bool m_watchWhenLoaded = false;
    QList<std::weak_ptr<PLYSourceDirectory>> m_watchQueue;  // used locations still to start, in order
    // Lives on the store's thread: the context of the background load's watcher and of the
    // calls queued after adoption, so that none outlives the store.
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QThreadPool> m_loadPool;
    std::unique_ptr<QFutureWatcher<BackgroundLoad>> m_background;
};
