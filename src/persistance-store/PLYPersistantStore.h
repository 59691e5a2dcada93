#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>

class PLYPersistantAccount;
class PLYSourceDirectory;
class PLYSourceImage;

// The file store under the application-support folder:
//   Accounts/<account id>.plyuser/info.plist
//   Accounts/<account id>.plyuser/<post id>.plypost/{info.plist, layout, preview.jpg}
//   Locations/<location id>.plylocation (and its last good copy, ".plylocation.last-good")
// Files that cannot be read are logged with their path and reason, skipped and never written
// back; leftovers of interrupted saves are removed when the store is set up.
class PLYPersistantStore : public std::enable_shared_from_this<PLYPersistantStore> {
public:
    // A store over `rootDirectory` (the application-support folder when empty); call setUp().
    static std::shared_ptr<PLYPersistantStore> create(const QString& rootDirectory = {});
    ~PLYPersistantStore();

    // Makes the folders and loads every location and every account; with `startWatching` the
    // locations that posts use start watching.
    void setUp(bool startWatching = true);

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
    QList<std::shared_ptr<PLYSourceDirectory>> sourceLocations() const { return m_locations.values(); }
    // A new location over `path`, registered with the store (not yet started). Files that
    // another location knows keep their image identifiers.
    std::shared_ptr<PLYSourceDirectory> startWatchingPath(const QString& path, const QByteArray& bookmarkData);
    // Stops, forgets and deletes those of the locations that no post of any account uses.
    void releaseLocations(const QStringList& identifiers);
    // The locations that the loaded posts of every account use.
    QSet<QString> locationsInUse() const;

private:
    explicit PLYPersistantStore(QString root) : m_root(std::move(root)) {}
    void setCurrentAccount(const std::shared_ptr<PLYPersistantAccount>& account);
    void adopt(const std::shared_ptr<PLYSourceDirectory>& location);

    QString m_root;
    QList<std::shared_ptr<PLYPersistantAccount>> m_accounts;
    std::shared_ptr<PLYPersistantAccount> m_currentAccount;
    QMap<QString, std::shared_ptr<PLYSourceDirectory>> m_locations;
};
