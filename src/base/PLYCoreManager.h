#pragma once

#include "PLYError.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class PLYExportManager;
class PLYImageManager;
class PLYPersistantPost;
class PLYPersistantStore;
class PLYPostManager;
class PLYWebServiceGateway;

// The process-wide owner of the store, the open post managers and the current post manager.
class PLYCoreManager {
public:
    static constexpr const char* CurrentPostManagerChangedNotification = "kPLY_CORE_MANAGER_CURRENT_POST_MANAGER_CHANGED";
    static constexpr const char* PostsWereUpdatedNotification = "kPLY_POSTS_WERE_UPDATED";

    // The core manager, made on first use; nothing while a migration holds the core services.
    static PLYCoreManager* globalManager();
    // Tests start from a fresh manager whose store lives under `storeRoot` (the
    // application-support folder when empty). The image cache is left alone.
    static void resetGlobalManager(const QString& storeRoot = {});

    // The folder of the library the core manager works on, or will once made (the
    // application-support folder unless a test chose another). Answers during a migration too.
    static QString libraryDirectory();
    // The store in use: the migration's own while a migration runs, else the core manager's.
    static std::shared_ptr<PLYPersistantStore> persistantStore();
    static PLYImageManager* imageManager();
    // JPEG export and post previews. The export side sits above this library and registers its
    // manager at start-up (PLYExportManager::install()); nothing until then. An empty provider
    // unregisters.
    static PLYExportManager* exportManager();
    static void setExportManagerProvider(std::function<PLYExportManager*()> provider);

    // The web-service side registers itself at start-up; not owned. Null unregisters.
    static void setWebServiceGateway(PLYWebServiceGateway* gateway);
    static PLYWebServiceGateway* webServiceGateway();

    ~PLYCoreManager();

    std::shared_ptr<PLYPersistantStore> store() const { return m_store; }

    // Sets up the store (folders, locations, accounts, and the sign-in of the user whose
    // e-mail the service host holds), then begins the web-service manager.
    void startManager();

    std::shared_ptr<PLYPostManager> currentPostManager() const { return m_currentPostManager; }
    // Posts CurrentPostManagerChangedNotification, also when the value does not change.
    // Managers that never got a post are closed when another becomes current.
    void setCurrentPostManager(const std::shared_ptr<PLYPostManager>& manager);

    // A manager for a post still to be made, kept open.
    std::shared_ptr<PLYPostManager> postManagerEmpty();
    // The open manager of that post, else a new one for the current account's post of that
    // identifier (kept open); nothing when the account has no such post.
    std::shared_ptr<PLYPostManager> postManagerForPostID(const QString& identifier);
    QList<std::shared_ptr<PLYPostManager>> openPostManagers() const { return m_postManagers; }

    // A published post is deleted remotely first and removed only when that succeeds.
    // `completion` (optional) hears whether the post is gone; when it is not, `error` says why
    // the library kept it (its folder could not be removed), and is null when the service did
    // not unpublish it.
    void deletePost(const std::shared_ptr<PLYPersistantPost>& post,
                    std::function<void(bool success, const PLYError& error)> completion = {});
    // The remote copy only; PostsWereUpdatedNotification follows whatever the result, then
    // `completion` (optional) hears whether the remote copy is gone.
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>& post,
                          std::function<void(bool success)> completion = {});

private:
    explicit PLYCoreManager(const QString& storeRoot);
    bool removeLocalPost(const std::shared_ptr<PLYPersistantPost>& post, PLYError* error);

    std::shared_ptr<PLYPersistantStore> m_store;
    QList<std::shared_ptr<PLYPostManager>> m_postManagers;
    std::shared_ptr<PLYPostManager> m_currentPostManager;
};
