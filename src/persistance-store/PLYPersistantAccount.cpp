#include "PLYPersistantAccount.h"
#include "PLYIdentifier.h"

#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPropertyList.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <filesystem>
#include <system_error>

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

namespace {
// What a damaged info file still tells, read as text: the e-mail and names of an account are
// short strings that survive most damage (a cut-short file, a broken tag further on).
QString salvage(const QByteArray& bytes, const char* key) {
    const QRegularExpression pattern(QStringLiteral("<key>%1</key>\\s*<string>([^<]{1,320})</string>").arg(QLatin1String(key)));
    const QString text = QString::fromUtf8(bytes.left(PLYPropertyList::MaxBytes));
    return pattern.match(text).captured(1).trimmed();
}
}  // namespace

std::shared_ptr<PLYPersistantAccount> PLYPersistantAccount::load(const QString& folder, std::weak_ptr<PLYPersistantStore> store,
                                                                 PLYError* error) {
    PLYLibraryFiles::removeInterruptedWrites(folder);
    const QString infoPath = QDir(folder).filePath(kInfo);
    QVariantMap map;
    PLYError infoError;
    const bool readable = PLYLibraryFiles::readPropertyListWithLastGood(infoPath, &map, &infoError, [](const QVariantMap& m) {
        if (!PLYLibraryFiles::isValidIdentifier(m.value(QStringLiteral("identifier")).toString()))
            return QStringLiteral("no valid account identifier");
        return m.value(QStringLiteral("email")).toString().trimmed().isEmpty() ? QStringLiteral("no e-mail") : QString();
    });
    bool repaired = false;
    if (!readable) {
        // The account's posts sit beside its info file and are intact: recover the account from
        // its folder rather than hide them (and make a second account at the next sign-in).
        const QString stem = QFileInfo(folder).completeBaseName();
        if (!PLYLibraryFiles::isValidIdentifier(stem)) {
            PLYError::set(error, PLYLibraryFiles::fileError(30, folder, infoError.toString() +
                                                                           QStringLiteral("; the folder name is no account identifier")));
            return nullptr;
        }
        QByteArray damaged;
        PLYLibraryFiles::readFile(infoPath, PLYPropertyList::MaxBytes, &damaged, nullptr);
        map.clear();
        map.insert(QStringLiteral("identifier"), stem);
        map.insert(QStringLiteral("email"), salvage(damaged, "email"));
        map.insert(QStringLiteral("first_name"), salvage(damaged, "first_name"));
        map.insert(QStringLiteral("last_name"), salvage(damaged, "last_name"));
        const QString aside = PLYLibraryFiles::keepAside(infoPath);
        PLY_LOG_ERROR(QStringLiteral("%1. The account %2 is recovered from its folder%3%4")
                          .arg(infoError.toString(), stem,
                               aside.isEmpty() ? QString() : QStringLiteral("; the damaged file is kept as ") + aside,
                               map.value(QStringLiteral("email")).toString().isEmpty()
                                   ? QStringLiteral("; its e-mail is lost, so the next sign-in takes it over")
                                   : QString()));
        repaired = true;
    }
    std::shared_ptr<PLYPersistantAccount> account(new PLYPersistantAccount());
    account->m_store = store;
    account->m_folder = folder;
    account->m_identifier = map.value(QStringLiteral("identifier")).toString();
    account->m_email = map.value(QStringLiteral("email")).toString().trimmed();
    account->m_firstName = map.value(QStringLiteral("first_name")).toString();
    account->m_lastName = map.value(QStringLiteral("last_name")).toString();
    QList<PLYPostSummary> summaries;
    QString why;
    const bool indexed = PLYPostIndex::read(folder, &summaries, &why);
    if (indexed) {
        account->m_index = summaries;
        account->m_indexKnown = true;
    } else if (QFileInfo::exists(PLYPostIndex::pathForAccountFolder(folder))) {
        PLY_LOG_WARN(QStringLiteral("Not using the post index %1: %2; the posts are read before they are shown")
                         .arg(PLYPostIndex::pathForAccountFolder(folder), why));
    }
    if (indexed) {
        for (const PLYPostSummary& summary : std::as_const(summaries))
            account->m_posts.append(PLYPersistantPost::fromSummary(summary, folder, store));
        account->m_postsToLoad = true;
    } else {
        account->adoptLoadedPosts(loadPostFolders(folder, store));
    }
    if (repaired && !account->m_email.isEmpty()) account->saveInfo(nullptr);
    return account;
}

QList<PLYPersistantAccount::LoadedPost> PLYPersistantAccount::loadPostFolders(const QString& folder,
                                                                            std::weak_ptr<PLYPersistantStore> store) {
    const QStringList postFolders = QDir(folder).entryList({QStringLiteral("*.") + QLatin1String(PLYPersistantPost::FolderExtension)},
                                                           QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // Each post's files are read and checked on their own, so the posts load side by side: the
    // wait is for the slowest share, not for every post in turn. Kept in the folders' order.
    QThreadPool pool;
    pool.setMaxThreadCount(PLYLibraryFiles::loadingThreadCount());
    return QtConcurrent::blockingMapped<QList<LoadedPost>>(&pool, postFolders, [&](const QString& name) {
        LoadedPost result;
        result.folder = QDir(folder).filePath(name);
        result.post = PLYPersistantPost::load(result.folder, store, &result.error);
        return result;
    });
}

bool PLYPersistantAccount::adoptLoadedPosts(QList<LoadedPost> loaded) {
    QHash<QString, std::shared_ptr<PLYPersistantPost>> byIdentifier;
    for (const auto& post : std::as_const(m_posts)) byIdentifier.insert(post->identifier(), post);
    QSet<QString> found;
    QList<std::shared_ptr<PLYPersistantPost>> added;
    bool changed = false;
    for (LoadedPost& entry : loaded) {
        if (!entry.post) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the post %1: %2").arg(entry.folder, entry.error.toString()));
            continue;
        }
        const QString identifier = entry.post->identifier();
        if (found.contains(identifier)) {
            PLY_LOG_ERROR(QStringLiteral("Skipping the post %1: another post folder holds the post %2").arg(entry.folder, identifier));
            continue;
        }
        found.insert(identifier);
        const auto known = byIdentifier.value(identifier);
        if (!known) {
            added.append(entry.post);
        } else if (known->isSummaryOnly()) {
            changed = known->adoptLoaded(*entry.post) || changed;
        }
    }
    // Summaries whose folder is gone or could not be read are dropped (the failures were logged
    // above); posts made since launch and never saved are kept.
    const qsizetype before = m_posts.size();
    m_posts.removeIf([&](const std::shared_ptr<PLYPersistantPost>& post) {
        return post->isSummaryOnly() && !found.contains(post->identifier());
    });
    changed = changed || m_posts.size() != before || !added.isEmpty();
    m_posts.append(added);
    m_postsToLoad = false;
    writeIndexIfChanged();
    return changed;
}

void PLYPersistantAccount::finishLoading() const {
    if (!m_postsToLoad) return;
    if (auto store = m_store.lock()) store->finishLoading();
}

QList<std::shared_ptr<PLYPersistantPost>> PLYPersistantAccount::currentPosts() const {
    finishLoading();
    return m_posts;
}

QList<PLYPostSummary> PLYPersistantAccount::summariesOnDisk() const {
    QList<PLYPostSummary> summaries;
    summaries.reserve(m_posts.size());
    for (const auto& post : m_posts)
        if (post->isOnDisk()) summaries.append(post->summary());
    return summaries;
}

void PLYPersistantAccount::writeIndexIfChanged() {
    // Summaries still loading are what the index already says.
    if (m_postsToLoad || m_email.isEmpty()) return;
    const QList<PLYPostSummary> summaries = summariesOnDisk();
    if (m_indexKnown && summaries == m_index) return;
    PLYError error;
    if (!PLYPostIndex::write(m_folder, summaries, &error)) {
        // Only the next launch's first paint waits longer for it.
        PLY_LOG_WARN(QStringLiteral("Could not write the post index of %1: %2").arg(m_folder, error.toString()));
        return;
    }
    m_index = summaries;
    m_indexKnown = true;
}

void PLYPersistantAccount::claim(const QString& email) {
    if (!m_email.isEmpty()) return;
    m_email = email.trimmed();
    PLY_LOG_WARN(QStringLiteral("The recovered account %1 is taken over by %2").arg(m_folder, m_email));
    saveInfo(nullptr);
}

QList<std::shared_ptr<PLYPersistantPost>> PLYPersistantAccount::currentPostsSortedByKeys(const QStringList& keys,
                                                                                         bool ascending) const {
    static const QStringList summaryKeys = {QStringLiteral("name"), QStringLiteral("creationDate"), QStringLiteral("updatedDate"),
                                            QStringLiteral("identifier"), QStringLiteral("remoteIdentifier")};
    for (const QString& key : keys)
        if (!summaryKeys.contains(key)) finishLoading();
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
    finishLoading();
    for (const auto& post : m_posts)
        if (post->identifier() == identifier) return post;
    return nullptr;
}

std::shared_ptr<PLYPersistantPost> PLYPersistantAccount::createNewPost(const QString& name) {
    finishLoading();
    auto post = PLYPersistantPost::create(name, m_folder, m_store);
    m_posts.append(post);
    return post;
}

namespace {
// The folder first leaves the names of post folders in one rename, so that it is either whole
// or no post at all: a folder that cannot be moved (a read-only library) is left as it was,
// with the system's reason; one moved is not read again, even when some of its files then
// cannot be removed (logged).
bool removePostFolder(const QString& folder, PLYError* error) {
    if (!QDir(folder).exists()) return true;
    const QString removed = folder + QStringLiteral(".removed");
    // Left by an earlier removal that could not finish.
    if (QFileInfo::exists(removed)) QDir(removed).removeRecursively();
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(folder).toStdString(), QFile::encodeName(removed).toStdString(), ec);
    if (ec) {
        PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 46,
                                      QStringLiteral("Could not remove the post folder %1").arg(folder),
                                      QString::fromLocal8Bit(ec.message())));
        return false;
    }
    if (!QDir(removed).removeRecursively())
        PLY_LOG_WARN(QStringLiteral("The post folder %1 is removed, but not all of its files could be deleted from %2")
                         .arg(folder, removed));
    return true;
}
}  // namespace

bool PLYPersistantAccount::removePost(const std::shared_ptr<PLYPersistantPost>& post, PLYError* error) {
    if (!post) return true;
    finishLoading();
    for (int i = 0; i < m_posts.size(); ++i) {
        if (m_posts[i]->identifier() != post->identifier()) continue;
        // A post whose folder stays would be back at the next start: it stays now too.
        if (!removePostFolder(m_posts[i]->folderPath(), error)) return false;
        const QStringList locations = m_posts[i]->sourceLocations() + post->sourceLocations();
        // Open editors and publishers may still hold the post; none of them may write it again.
        m_posts[i]->markRemoved();
        post->markRemoved();
        m_posts.removeAt(i);
        // Its locations would otherwise stay watched, rescanned and saved for nobody.
        if (auto store = m_store.lock()) store->releaseLocations(locations);
        // Else the next launch would show the deleted post until its folder was found gone.
        writeIndexIfChanged();
        return true;
    }
    return true;
}

bool PLYPersistantAccount::saveInfo(PLYError* error) {
    // An account recovered without its e-mail is written once a sign-in claims it: written
    // earlier, it would read as damaged again.
    if (m_email.isEmpty()) return true;
    QVariantMap map;
    map.insert(QStringLiteral("identifier"), m_identifier);
    map.insert(QStringLiteral("email"), m_email);
    map.insert(QStringLiteral("first_name"), m_firstName);
    map.insert(QStringLiteral("last_name"), m_lastName);
    const QString path = QDir(m_folder).filePath(kInfo);
    const QByteArray bytes = PLYPropertyList::toXml(map);
    // Every autosave comes here: a file and last good copy that already hold these bytes are not
    // written again (read back, rather than remembered, so that a file damaged on disk since or
    // never put back from its copy is still written, or its failure reported).
    const auto holds = [&bytes](const QString& file) {
        QByteArray current;
        return PLYLibraryFiles::readFile(file, bytes.size(), &current, nullptr) && current == bytes;
    };
    if (holds(path) && holds(PLYLibraryFiles::lastGoodPath(path))) return true;
    PLYError e;
    if (!PLYLibraryFiles::makeFolder(m_folder, &e) || !PLYLibraryFiles::writeWithLastGood(path, bytes, &e)) {
        PLY_LOG_ERROR(QStringLiteral("Could not save the account %1: %2").arg(m_folder, e.toString()));
        PLYError::set(error, e);
        return false;
    }
    return true;
}

bool PLYPersistantAccount::save(PLYError* error) {
    finishLoading();
    bool ok = saveInfo(error);
    for (const auto& post : m_posts) {
        PLYError pe;
        if (!post->save(&pe)) {
            PLY_LOG_ERROR(QStringLiteral("Could not save the post %1: %2").arg(post->folderPath(), pe.toString()));
            if (ok) PLYError::set(error, pe);
            ok = false;
        }
    }
    // After the posts, so that it never lists a post before its folder holds it.
    writeIndexIfChanged();
    return ok;
}
