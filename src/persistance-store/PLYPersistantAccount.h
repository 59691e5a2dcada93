#pragma once

#include "PLYError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class PLYPersistantPost;
class PLYPersistantStore;

// One signed-in account, stored as a folder "<identifier>.plyuser" holding "info.plist" and
// one "<post identifier>.plypost" folder per post.
class PLYPersistantAccount {
public:
    static constexpr const char* FolderExtension = "plyuser";

    static std::shared_ptr<PLYPersistantAccount> create(const QString& email, const QString& accountsFolder,
                                                        std::weak_ptr<PLYPersistantStore> store);
    // Nothing (with the reason) when "info.plist" cannot be read. Posts that cannot be read are
    // logged and left out, their files untouched.
    static std::shared_ptr<PLYPersistantAccount> load(const QString& folder, std::weak_ptr<PLYPersistantStore> store,
                                                      PLYError* error = nullptr);

    QString identifier() const { return m_identifier; }
    QString email() const { return m_email; }
    QString folderPath() const { return m_folder; }
    QString firstName() const { return m_firstName; }
    void setFirstName(const QString& name) { m_firstName = name; }
    QString lastName() const { return m_lastName; }
    void setLastName(const QString& name) { m_lastName = name; }

    QList<std::shared_ptr<PLYPersistantPost>> currentPosts() const { return m_posts; }
    // Sorted by each key path in turn ("name", "seoTitle", "creationDate", "updatedDate",
    // "identifier", "remoteIdentifier"), all in one direction.
    QList<std::shared_ptr<PLYPersistantPost>> currentPostsSortedByKeys(const QStringList& keys, bool ascending) const;
    std::shared_ptr<PLYPersistantPost> postForIdentifier(const QString& identifier) const;

    // A new post appended to the account, not yet saved.
    std::shared_ptr<PLYPersistantPost> createNewPost(const QString& name);
    // Drops the post and its folder.
    void removePost(const std::shared_ptr<PLYPersistantPost>& post);

    // Writes the info file and every post; false when any write failed (the others still run).
    bool save(PLYError* error = nullptr);

private:
    PLYPersistantAccount() = default;

    std::weak_ptr<PLYPersistantStore> m_store;
    QString m_folder;
    QString m_identifier;
    QString m_email;
    QString m_firstName;
    QString m_lastName;
    QList<std::shared_ptr<PLYPersistantPost>> m_posts;
};
