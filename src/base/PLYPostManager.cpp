#include "PLYPostManager.h"
#include "PLYIdentifier.h"

#include "PLYCoreManager.h"
#include "PLYImageFormats.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYRecentContainer.h"
#include "PLYSeoManagerFactory.h"
#include "PLYSourceDirectory.h"

#include <QDir>
#include <QFileInfo>

std::shared_ptr<PLYPostManager> PLYPostManager::create(std::shared_ptr<PLYPersistantPost> post) {
    return std::shared_ptr<PLYPostManager>(new PLYPostManager(std::move(post)));
}

PLYPostManager::~PLYPostManager() = default;

namespace {
PLYPostManager::LayoutManagerMaker& layoutManagerMaker() {
    static PLYPostManager::LayoutManagerMaker maker;
    return maker;
}
}  // namespace

void PLYPostManager::setLayoutManagerMaker(LayoutManagerMaker maker) { layoutManagerMaker() = std::move(maker); }

std::shared_ptr<PLYLayoutManager> PLYPostManager::layoutManager() {
    if (m_layoutManager || !m_post) return m_layoutManager;
    const auto& maker = layoutManagerMaker();
    if (!maker) {
        PLY_LOG_ERROR(QStringLiteral("No layout manager maker is registered; the post has no layout manager"));
        return nullptr;
    }
    m_layoutManager = maker(m_post, weak_from_this());
    return m_layoutManager;
}

std::shared_ptr<PLYSeoManager> PLYPostManager::seoManager() {
    if (!m_seoManager && m_post) m_seoManager = PLYSeoManagerFactory::managerWithPostManager(shared_from_this());
    return m_seoManager;
}

void PLYPostManager::addLocation(PLYPersistantStore& store, const QString& path, const QByteArray& bookmark, bool folder) {
    auto location = store.startWatchingPath(path, bookmark);
    location->setFolderLocation(folder);
    m_post->addSourceLocation(location->identifier());
    location->startWatching();
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYPersistantPost::SourceAddedNotification), m_post.get(),
                                                {{QStringLiteral("sourceLocation"), location->identifier()}});
}

bool PLYPostManager::createNewPostWithTtitle(const QString& name) {
    auto store = PLYCoreManager::persistantStore();
    auto account = store ? store->currentAccount() : nullptr;
    if (!account) {
        PLY_LOG_ERROR(QStringLiteral("Cannot make the post \"%1\": nobody is signed in").arg(name));
        return false;
    }
    auto post = account->createNewPost(name);
    PLYSection* section = post->layout()->add_sections();
    section->set_id(PLYIdentifier::newIdentifier().toStdString());
    section->mutable_stacked();
    m_seoManager.reset();
    m_post = post;
    m_layoutManager.reset();
    return true;
}

void PLYPostManager::setWatchLocation(const QUrl& url, const QByteArray& previousData) {
    if (!m_post) return;
    const QString path = QDir::cleanPath(url.toLocalFile());
    QByteArray bookmark = previousData;
    if (bookmark.isEmpty()) {
        bookmark = PLYRecentContainer::bookmarkDataForPath(path);
        if (bookmark.isEmpty()) PLY_LOG_ERROR(QStringLiteral("Could not make a bookmark for %1").arg(path));
    }
    if (auto main = m_post->mainSourceDirectory()) {
        main->setLocation(QUrl::fromLocalFile(path), bookmark);
        if (!main->isWatching()) main->startWatching();
        return;
    }
    auto store = PLYCoreManager::persistantStore();
    if (!store) return;
    addLocation(*store, path, bookmark, true);
}

bool PLYPostManager::addWatchImage(const QUrl& url) {
    if (!m_post) return false;
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QFileInfo info(path);
    if (info.isDir()) {
        bool any = false;
        for (const QFileInfo& entry : QDir(path).entryInfoList(QDir::Files, QDir::Name))
            if (PLYImageFormats::isSupportedImagePath(entry.filePath()))
                any = addWatchImage(QUrl::fromLocalFile(entry.filePath())) || any;
        return any;
    }
    if (!info.isFile() || !PLYImageFormats::isSupportedImagePath(path)) {
        PLY_LOG_INFO(QStringLiteral("Skipping %1: not an image type that can be used").arg(path));
        return false;
    }
    auto store = PLYCoreManager::persistantStore();
    if (!store) return false;
    // The same file twice in one post would show twice.
    for (const QString& id : m_post->sourceLocations()) {
        auto existing = store->sourceForIdentifier(id);
        if (existing && !existing->isFolderLocation() && QDir::cleanPath(existing->path()) == path) return true;
    }
    addLocation(*store, path, PLYRecentContainer::bookmarkDataForPath(path), false);
    return true;
}
