#include "PLYPersistantAccount.h"
#include "PLYIdentifier.h"

#include "PLYLog.h"
#include "PLYPersistantPost.h"
#include "PLYPropertyList.h"

#include <QDir>
#include <algorithm>

namespace {
const QString kInfo = QStringLiteral("info.plist");

QVariant valueForKey(const PLYPersistantPost& post, const QString& key) {
    if (key == QLatin1String("name")) return post.name();
    if (key == QLatin1String("seoTitle")) return post.seoTitle();
    if (key == QLatin1String("creationDate")) return post.creationDate();
    if (key == QLatin1String("updatedDate")) return post.updatedDate();
    if (key == QLatin1String("identifier")) return post.identifier();
    if (key == QLatin1String("remoteIdentifier")) return post.remoteIdentifier();
    return {};
}

int compareValues(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::QDateTime || b.typeId() == QMetaType::QDateTime) {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    return a.toString().localeAwareCompare(b.toString());
}
}  // namespace

std::shared_ptr<PLYPersistantAccount> PLYPersistantAccount::create(const QString& email, const QString& accountsFolder,
                                                                   std::weak_ptr<PLYPersistantStore> store) {
    std::shared_ptr<PLYPersistantAccount> account(new PLYPersistantAccount());
    account->m_store = std::move(store);
    account->m_identifier = PLYIdentifier::newIdentifier();
    account->m_email = email.trimmed();
    account->m_folder =
        QDir(accountsFolder).filePath(account->m_identifier + QLatin1Char('.') + QLatin1String(FolderExtension));
    return account;
}

std::shared_ptr<PLYPersistantAccount> PLYPersistantAccount::load(const QString& folder,
                                                                 std::weak_ptr<PLYPersistantStore> store, PLYError* error) {
    QVariantMap map;
    if (!PLYPropertyList::readFile(QDir(folder).filePath(kInfo), &map, error)) return nullptr;
    std::shared_ptr<PLYPersistantAccount> account(new PLYPersistantAccount());
    account->m_store = store;
    account->m_folder = folder;
    account->m_identifier = map.value(QStringLiteral("identifier")).toString();
    account->m_email = map.value(QStringLiteral("email")).toString();
    account->m_firstName = map.value(QStringLiteral("first_name")).toString();
    account->m_lastName = map.value(QStringLiteral("last_name")).toString();
    if (account->m_identifier.isEmpty() || account->m_email.isEmpty()) {
        PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 30,
                                      QStringLiteral("%1 has no account identifier or e-mail").arg(folder)));
        return nullptr;
    }
    const QStringList postFolders = QDir(folder).entryList({QStringLiteral("*.") + QLatin1String(PLYPersistantPost::FolderExtension)},
                                                           QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : postFolders) {
        PLYError postError;
        auto post = PLYPersistantPost::load(QDir(folder).filePath(name), store, &postError);
        if (!post) {
            PLY_LOG_ERROR(QStringLiteral("Skipping a post that cannot be loaded: %1").arg(postError.toString()));
            continue;
        }
        account->m_posts.append(post);
    }
    return account;
}

QList<std::shared_ptr<PLYPersistantPost>> PLYPersistantAccount::currentPostsSortedByKeys(const QStringList& keys,
                                                                                         bool ascending) const {
    auto posts = m_posts;
    std::stable_sort(posts.begin(), posts.end(), [&](const auto& a, const auto& b) {
        for (const QString& key : keys) {
            const int c = compareValues(valueForKey(*a, key), valueForKey(*b, key));
            if (c != 0) return ascending ? c < 0 : c > 0;
        }
        return false;
    });
    return posts;
}

std::shared_ptr<PLYPersistantPost> PLYPersistantAccount::postForIdentifier(const QString& identifier) const {
    for (const auto& post : m_posts)
        if (post->identifier() == identifier) return post;
    return nullptr;
}

std::shared_ptr<PLYPersistantPost> PLYPersistantAccount::createNewPost(const QString& name) {
    auto post = PLYPersistantPost::create(name, m_folder, m_store);
    m_posts.append(post);
    return post;
}

void PLYPersistantAccount::removePost(const std::shared_ptr<PLYPersistantPost>& post) {
    if (!post) return;
    for (int i = 0; i < m_posts.size(); ++i) {
        if (m_posts[i]->identifier() != post->identifier()) continue;
        const QString folder = m_posts[i]->folderPath();
        // Open editors and publishers may still hold the post; none of them may write it again.
        m_posts[i]->markRemoved();
        post->markRemoved();
        m_posts.removeAt(i);
        if (QDir(folder).exists() && !QDir(folder).removeRecursively())
            PLY_LOG_ERROR(QStringLiteral("Could not remove the post folder %1").arg(folder));
        return;
    }
}

bool PLYPersistantAccount::save(PLYError* error) {
    bool ok = QDir().mkpath(m_folder);
    QVariantMap map;
    map.insert(QStringLiteral("identifier"), m_identifier);
    map.insert(QStringLiteral("email"), m_email);
    map.insert(QStringLiteral("first_name"), m_firstName);
    map.insert(QStringLiteral("last_name"), m_lastName);
    PLYError e;
    if (!ok || !PLYPropertyList::writeFile(QDir(m_folder).filePath(kInfo), map, &e)) {
        PLY_LOG_ERROR(QStringLiteral("Could not save the account: %1").arg(e.toString()));
        PLYError::set(error, e);
        ok = false;
    }
    for (const auto& post : m_posts) {
        PLYError pe;
        if (!post->save(&pe)) {
            PLY_LOG_ERROR(QStringLiteral("Could not save the post %1: %2").arg(post->identifier(), pe.toString()));
            if (ok) PLYError::set(error, pe);
            ok = false;
        }
    }
    return ok;
}
