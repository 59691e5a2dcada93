#pragma once

// The launched application against the development service in this process, for the roads
// through the real windows.
#include "../app/PLYAppTestSupport.h"
#include "../app/PLYMainWindowTestSupport.h"
#include "../web-services/PLYDevServiceRoad.h"

#include "PLYDecodedImageCache.h"
#include "PLYExportManager.h"
#include "PLYFileDialogs.h"
#include "PLYHomeCollectionView.h"
#include "PLYImageManager.h"
#include "PLYInstantAnimator.h"
#include "PLYModalRunner.h"
#include "PLYRecentCollectionViewItem.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYScriptedModalRunner.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYWebServiceManager.h"

#include <optional>

// The development service on a free port, the session pointed at it with short waits.
class ServiceRoad : public AppDelegateFixture {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        AppDelegateFixture::SetUp();
        PLYSourceDirectory::setDefaultLatencyMs(50);
        cacheRoot = PLYTestEnvironment::makeTempDirectory("cache");
        PLYImageManager::resetSharedManager(cacheRoot);
        PLYDevService::Options options;
        options.buildSeconds = 0.2;
        options.verifyOnSignUp = true;  // new users may publish at once
        ASSERT_TRUE(dev.start(options, {.buildPollMs = 100, .fetchRetryMs = 100}));
        PLYAlertPresenter::setShared(alerts);
        PLYModalRunner::setShared(runner);
        PLYFileDialogs::setShared(dialogs);
        PLYDesktopServices::setShared(std::make_shared<PLYScriptedDesktopServices>());
        PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
        PLYRegisterMainWindowScenes();
    }
    void TearDown() override {
        window.reset();
        if (delegate) delegate->applicationWillTerminate();
        AppDelegateFixture::TearDown();
        AppDelegate::defaultOptions().shutdownWebService();
        PLYDevServiceRoad::restoreSession();
        PLYAlertPresenter::setShared(nullptr);
        PLYModalRunner::setShared(nullptr);
        PLYFileDialogs::setShared(nullptr);
        PLYDesktopServices::setShared(nullptr);
        PLYAnimator::setShared(nullptr);
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
        dev.stop();
    }

    // The application as it starts: its own web-service installation, migration, library, window.
    PLYBaseWindowController* launchApplication() {
        AppDelegate::Options options = testOptions();
        options.installWebService = AppDelegate::defaultOptions().installWebService;
        options.shutdownWebService = AppDelegate::defaultOptions().shutdownWebService;
        launch(std::move(options));
        return qobject_cast<PLYBaseWindowController*>(delegate->baseWindowController());
    }
    // Quit as the Quit item does (the save at quit), and the process ends.
    void quitApplication() {
        delegate->applicationWillTerminate();
        delegate.reset();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager(cacheRoot);
        PLYExportManager::resetSharedManager();
        PLYCoreManager::resetGlobalManager(storeRoot);
        PLYVisualStateHandler::resetGlobalHandler();
    }

    PLYWebServiceManager* session() { return PLYWebServiceManager::globalManager(); }
    bool sessionIn(const char* state, int ms = 8000) {
        return PLYTestEnvironment::waitUntil([&] { return session()->currentStateName() == QLatin1String(state); }, ms);
    }
    PLYRecentCollectionViewItem* tileOf(PLYBaseWindowController* w, const std::shared_ptr<PLYPersistantPost>& post) {
        for (PLYRecentCollectionViewItem* item : w->baseViewController()->homeViewController()->postCollectionView()->visibleItems())
            if (item->representedPost() && item->representedPost()->identifier() == post->identifier()) return item;
        return nullptr;
    }
    std::optional<int> remoteStatus(const QString& remoteId) {
        PLYWebServiceModelObject::Request request;
        request.method = "GET";
        request.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({"posts", remoteId});
        std::optional<PLYWebServiceModelObject::Response> response;
        if (!PLYWebServiceModelObject::send(request, [&](const auto& r) { response = r; })) return std::nullopt;
        if (!PLYTestEnvironment::waitUntil([&] { return response.has_value(); })) return std::nullopt;
        return response->status;
    }

    QString cacheRoot;
    PLYDevServiceRoad dev;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedModalRunner> runner = std::make_shared<PLYScriptedModalRunner>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
    std::unique_ptr<PLYBaseWindowController> window;
};
