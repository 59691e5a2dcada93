#pragma once

#include "PLYError.h"
#include "PLYPostIndex.h"

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
    // An "info.plist" that is missing or damaged is read from its last good copy, else the
    // account is recovered from its folder (identifier from the folder name, e-mail and names
    // salvaged from the damaged text), the damaged file kept aside. Nothing (with the reason)
    // only when the folder name is no identifier either. Posts that cannot be read are logged
    // and left out, their files untouched.
    // With a readable "posts.index", the posts are made from their summaries alone and their
    // folders are left to loadPostFolders and adoptLoadedPosts (the store does both behind the
    // first paint); otherwise every post is read here and the index is written.
    static std::shared_ptr<PLYPersistantAccount> load(const QString& folder, std::weak_ptr<PLYPersistantStore> store,
                                                      PLYError* error = nullptr);

    // Every post folder of the account folder, read and checked; touches nothing shared, so it
    // runs on any thread. Kept in the folders' order.
    struct LoadedPost {
        QString folder;
        std::shared_ptr<PLYPersistantPost> post;  // nothing when it could not be read
        PLYError error;
    };
    static QList<LoadedPost> loadPostFolders(const QString& folder, std::weak_ptr<PLYPersistantStore> store);
    // Whether posts are still known by their summaries alone, waiting for adoptLoadedPosts.
    bool hasPostsToLoad() const { return m_postsToLoad; }
    // The summaries become their posts; posts whose folder could not be read are dropped (and
    // logged), posts not in the index are added, and the index is written again where it was
    // wrong. Answers whether the list or any summary shown changed.
    bool adoptLoadedPosts(QList<LoadedPost> loaded);

    QString identifier() const { return m_identifier; }
    // Empty for an account recovered without its e-mail, until a sign-in claims it.
    QString email() const { return m_email; }
    // Gives a recovered account without e-mail the one signing in, and writes its info file.
    void claim(const QString& email);
    QString folderPath() const { return m_folder; }
    QString firstName() const { return m_firstName; }
    void setFirstName(const QString& name) { m_firstName = name; }
    QString lastName() const { return m_lastName; }
    void setLastName(const QString& name) { m_lastName = name; }

    // Waits for posts still being loaded (see load).
    QList<std::shared_ptr<PLYPersistantPost>> currentPosts() const;
    // Sorted by each key path in turn ("name", "seoTitle", "creationDate", "updatedDate",
    // "identifier", "remoteIdentifier"), all in one direction. By the keys of a summary alone,
    // posts known by their summaries are sorted as they are, without waiting for their loading.
    QList<std::shared_ptr<PLYPersistantPost>> currentPostsSortedByKeys(const QStringList& keys, bool ascending) const;
    std::shared_ptr<PLYPersistantPost> postForIdentifier(const QString& identifier) const;

    // A new post appended to the account, not yet saved.
    std::shared_ptr<PLYPersistantPost> createNewPost(const QString& name);
    // Drops the post and its folder, and has the store release the locations no post uses.
    // When the folder cannot be removed, the post stays (listed, whole and saved as before) and
    // the answer is false, with the folder and the system's reason.
    bool removePost(const std::shared_ptr<PLYPersistantPost>& post, PLYError* error = nullptr);

    // Writes the info file and every post; false when any write failed (the others still run).
    bool save(PLYError* error = nullptr);
    // The info file alone (with its last good copy).
    bool saveInfo(PLYError* error = nullptr);

private:
    PLYPersistantAccount() = default;
    // Posts still known by summaries are loaded first (the store adopts them all).
    void finishLoading() const;
    QList<PLYPostSummary> summariesOnDisk() const;
    // Rewrites "posts.index" when it no longer lists the posts on disk as they are.
    void writeIndexIfChanged();

    std::weak_ptr<PLYPersistantStore> m_store;
    QString m_folder;
    QString m_identifier;
    QString m_email;
    QString m_firstName;
    QString m_lastName;
    QList<std::shared_ptr<PLYPersistantPost>> m_posts;
    bool m_postsToLoad = false;
    QList<PLYPostSummary> m_index;  // as last read or written
    bool m_indexKnown = false;      // m_index is what the file holds
};
