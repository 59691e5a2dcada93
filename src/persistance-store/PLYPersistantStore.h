#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <memory>

class PLYPersistantAccount;
class PLYSourceDirectory;
class PLYSourceImage;

// The file store under the application-support folder:
//   Accounts/<account id>.plyuser/info.plist
//   Accounts/<account id>.plyuser/<post id>.plypost/{info.plist, layout, preview.jpg}
//   Locations/<location id>.plylocation
// Files that cannot be read are logged and skipped, and never written back.
class PLYPersistantStore : public std::enable_shared_from_this<PLYPersistantStore> {
public:
    // A store over `rootDirectory` (the application-support folder when empty); call setUp().
    static std::shared_ptr<PLYPersistantStore> create(const QString& rootDirectory = {});
    ~PLYPersistantStore();

    // Makes the folders and loads every location (watching each when `startWatching`) and
    // every account.
    void setUp(bool startWatching = true);

    QString rootDirectory() const { return m_root; }
    QString accountsDirectory() const;
    QString locationsDirectory() const;

    std::shared_ptr<PLYPersistantAccount> currentAccount() const { return m_currentAccount; }
    QList<std::shared_ptr<PLYPersistantAccount>> accounts() const { return m_accounts; }
    // The account of this e-mail (compared without case or surrounding blanks) becomes current;
    // one is made and saved when there is none.
    std::shared_ptr<PLYPersistantAccount> signInUser(const QString& email);
    // No current account; the service host forgets its keys.
    void signOut();

    // Saves the current account with its posts, then every location.
    bool save(PLYError* error = nullptr);

    std::shared_ptr<PLYSourceImage> imageForIdentifier(const QString& identifier) const;
    std::shared_ptr<PLYSourceDirectory> sourceForIdentifier(const QString& identifier) const;
    QList<std::shared_ptr<PLYSourceDirectory>> sourceLocations() const { return m_locations.values(); }
    // A new location over `path`, registered with the store (not yet started).
    std::shared_ptr<PLYSourceDirectory> startWatchingPath(const QString& path, const QByteArray& bookmarkData);

private:
    explicit PLYPersistantStore(QString root) : m_root(std::move(root)) {}

    QString m_root;
    QList<std::shared_ptr<PLYPersistantAccount>> m_accounts;
    std::shared_ptr<PLYPersistantAccount> m_currentAccount;
    QMap<QString, std::shared_ptr<PLYSourceDirectory>> m_locations;
};
