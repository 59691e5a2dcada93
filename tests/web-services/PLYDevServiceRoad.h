#pragma once

#include "PLYSessionTestSupport.h"

#include "PLYDevService.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherServices.h"

#include <memory>

// The development service of this process on a free port, with the session pointed at it:
// short session waits, a network taken as reachable and the post publisher's waits as the
// test asks (a negative wait keeps the publisher's own).
struct PLYPublisherTestWaits {
    int buildPollMs = -1;
    int fetchRetryMs = -1;
    int uploadRetryMs = -1;
};

class PLYDevServiceRoad {
public:
    using PublisherWaits = PLYPublisherTestWaits;

    // False when the service does not start; nothing is pointed at it then.
    bool start(const PLYDevService::Options& options, const PublisherWaits& waits = {}) {
        m_service = std::make_unique<PLYDevService>(options);
        if (!m_service->start(0)) return false;
        PLYUseLocalService(m_service->port());
        PLYUseShortSessionTimings();
        PLYAssumeReachableNetwork();
        PLYWebServicePostPublisher::setBuildPollIntervalForTesting(waits.buildPollMs);
        PLYWebServicePostPublisher::setFetchRetryIntervalForTesting(waits.fetchRetryMs);
        PLYWebServicePostPublisher::setUploadRetryDelayForTesting(waits.uploadRetryMs);
        return true;
    }

    // Once the session is shut down: its defaults, the publisher services, the library's
    // gateway, the channel's ping and the publisher's waits as they were.
    static void restoreSession() {
        PLYRestoreSessionDefaults();
        PLYWebServicePostPublisherServices::setShared(nullptr);
        PLYCoreManager::setWebServiceGateway(nullptr);
        PLYWebServiceChannel::setKeepAliveInterval(5.0);
        PLYWebServicePostPublisher::setBuildPollIntervalForTesting(-1);
        PLYWebServicePostPublisher::setFetchRetryIntervalForTesting(-1);
        PLYWebServicePostPublisher::setUploadRetryDelayForTesting(-1);
    }

    // Last: the service goes, and so do the hosts and keychain that knew it.
    void stop() {
        m_service.reset();
        PLYWebServiceHost::resetForTesting();
        PLYKeyChain::resetForTesting(true);
    }

    PLYDevService* operator->() const { return m_service.get(); }

private:
    std::unique_ptr<PLYDevService> m_service;
};
