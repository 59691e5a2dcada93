#pragma once

#include "PLYWebServicePostPublisherServices.h"

// The post publishers' view of the web-service manager and the current host's channel.
class PLYWebServicePostPublisherManagerServices : public PLYWebServicePostPublisherServices {
public:
    // Puts this in place for every publisher and registers the publisher factory with the
    // manager. Called once at start-up, beside PLYWebServiceManager::install().
    static void install();

    QString serviceStateName() const override;
    void addServiceStateObserver(const void* owner, PLYNotificationCenter::Handler handler) override;
    void removeServiceStateObserver(const void* owner) override;
    QString accountHost() const override;
    std::optional<qint64> publisherStatus() const override;
    std::optional<BlogDefaults> publisherDefaults() const override;
    void refreshInfo() override;
    void presentAccountDetails(bool atPublisher, bool atRPC, std::function<void(bool completed)> completion) override;
    void presentEmailVerify(std::function<void(bool verified)> completion) override;
    void addMessageDelegate(const std::shared_ptr<PLYWebServicePostPublisher>& publisher, const QVariant& postId) override;
};
