#include "PLYCoreManager.h"

#include "PLYDefaults.h"
#include "PLYImageManager.h"
#include "PLYLog.h"
#include "PLYMigrator.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYWebServiceGateway.h"

namespace {
std::unique_ptr<PLYCoreManager>& globalSlot() {
    static std::unique_ptr<PLYCoreManager> slot;
    return slot;
}
PLYWebServiceGateway* g_gateway = nullptr;
std::function<PLYExportManager*()>& exportManagerProvider() {
    static std::function<PLYExportManager*()> provider;
    return provider;
}
}  // namespace

PLYCoreManager* PLYCoreManager::globalManager() {
    if (PLYMigrator::isMigrating()) return nullptr;
    auto& slot = globalSlot();
    if (!slot) slot.reset(new PLYCoreManager(QString()));
    return slot.get();
}

void PLYCoreManager::resetGlobalManager(const QString& storeRoot) {
    auto& slot = globalSlot();
    slot.reset();
    if (!storeRoot.isEmpty()) slot.reset(new PLYCoreManager(storeRoot));
}

QString PLYCoreManager::libraryDirectory() {
    const auto& slot = globalSlot();
    return slot ? slot->m_store->rootDirectory() : PLYDefaults::applicationSupportDirectory();
}

PLYCoreManager::PLYCoreManager(const QString& storeRoot) : m_store(PLYPersistantStore::create(storeRoot)) {}

PLYCoreManager::~PLYCoreManager() = default;

std::shared_ptr<PLYPersistantStore> PLYCoreManager::persistantStore() {
    if (PLYMigrator::isMigrating()) return PLYMigrator::migrationStore();
    return globalManager()->store();
}

PLYImageManager* PLYCoreManager::imageManager() { return PLYImageManager::sharedManager(); }

PLYExportManager* PLYCoreManager::exportManager() {
    const auto& provider = exportManagerProvider();
    return provider ? provider() : nullptr;
}

void PLYCoreManager::setExportManagerProvider(std::function<PLYExportManager*()> provider) {
    exportManagerProvider() = std::move(provider);
}

void PLYCoreManager::setWebServiceGateway(PLYWebServiceGateway* gateway) { g_gateway = gateway; }
PLYWebServiceGateway* PLYCoreManager::webServiceGateway() { return g_gateway; }

void PLYCoreManager::startManager() {
    m_store->setUp();
    if (g_gateway) {
        const QString email = g_gateway->storedEmail();
        if (!email.trimmed().isEmpty()) m_store->signInUser(email);
        g_gateway->beginManager();
    } else {
        PLY_LOG_WARN(QStringLiteral("No web service is registered: nobody is signed in and the service does not begin"));
    }
}

void PLYCoreManager::setCurrentPostManager(const std::shared_ptr<PLYPostManager>& manager) {
    m_currentPostManager = manager;
    // A manager that never got a post (a set-up abandoned) is of no further use.
    m_postManagers.removeIf([&](const std::shared_ptr<PLYPostManager>& m) { return m != manager && !m->representedPost(); });
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(CurrentPostManagerChangedNotification), this);
}

std::shared_ptr<PLYPostManager> PLYCoreManager::postManagerEmpty() {
    auto manager = PLYPostManager::create(nullptr);
    m_postManagers.append(manager);
    return manager;
}

std::shared_ptr<PLYPostManager> PLYCoreManager::postManagerForPostID(const QString& identifier) {
    for (const auto& manager : std::as_const(m_postManagers)) {
        if (manager->representedPost() && manager->representedPost()->identifier() == identifier) return manager;
    }
    auto account = m_store->currentAccount();
    auto post = account ? account->postForIdentifier(identifier) : nullptr;
    if (!post) return nullptr;
    auto manager = PLYPostManager::create(post);
    m_postManagers.append(manager);
    return manager;
}

bool PLYCoreManager::removeLocalPost(const std::shared_ptr<PLYPersistantPost>& post, PLYError* error) {
    if (auto account = m_store->currentAccount(); account && !account->removePost(post, error)) {
        PLY_LOG_ERROR(QStringLiteral("The post %1 could not be deleted; it is kept: %2")
                          .arg(post->identifier(), error ? error->toString() : QString()));
        return false;
    }
    m_postManagers.removeIf([&](const std::shared_ptr<PLYPostManager>& m) {
        return m != m_currentPostManager && m->representedPost() && m->representedPost()->identifier() == post->identifier();
    });
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PostsWereUpdatedNotification), this);
    return true;
}

void PLYCoreManager::deletePost(const std::shared_ptr<PLYPersistantPost>& post,
                                std::function<void(bool, const PLYError&)> completion) {
    const auto finish = [completion](bool success, const PLYError& error = {}) {
        if (completion) completion(success, error);
    };
    if (!post) return finish(false);
    if (post->remoteIdentifier().isEmpty()) {
        PLYError error;
        const bool removed = removeLocalPost(post, &error);
        return finish(removed, error);
    }
    if (!g_gateway) {
        PLY_LOG_ERROR(QStringLiteral("Cannot delete a published post with no web service registered"));
        return finish(false);
    }
    g_gateway->deleteRemotePost(post, [this, post, finish](bool success) {
        PLYError error;
        if (!success) {
            PLY_LOG_ERROR(QStringLiteral("The published post %1 could not be deleted; it is kept").arg(post->identifier()));
        } else if (globalSlot().get() == this) {
            success = removeLocalPost(post, &error);
        }
        finish(success, error);
    });
}

void PLYCoreManager::deleteRemotePost(const std::shared_ptr<PLYPersistantPost>& post,
                                      std::function<void(bool)> completion) {
    if (!post) {
        if (completion) completion(false);
        return;
    }
    auto finished = [this, completion](bool success) {
        if (globalSlot().get() == this)
            PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PostsWereUpdatedNotification), this);
        if (completion) completion(success);
    };
    if (!g_gateway) {
        PLY_LOG_ERROR(QStringLiteral("Cannot delete a published post with no web service registered"));
        finished(false);
        return;
    }
    g_gateway->deleteRemotePost(post, finished);
}
