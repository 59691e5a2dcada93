#pragma once

#include "PLYNotificationCenter.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class PLYWebServicePostPublisher;

// What a post publisher needs of the web-service session: the service state and its changes,
// the account's host and blog publisher, a refresh, the account windows, and channel messages
// about its remote post. The web-service manager provides it at start-up; the publishers
// reach the session only through it.
class PLYWebServicePostPublisherServices {
public:
    virtual ~PLYWebServicePostPublisherServices() = default;

    // The name of the "Web_Service" machine's current state; empty before it runs.
    virtual QString serviceStateName() const = 0;
    // Registers `handler` for every state change of the service machine; removable by owner.
    virtual void addServiceStateObserver(const void* owner, PLYNotificationCenter::Handler handler) = 0;
    virtual void removeServiceStateObserver(const void* owner) = 0;

    // The remote account's host: null when there is no account, empty when it has none.
    virtual QString accountHost() const = 0;
    // The status of the account's blog publisher; nothing when the account has none.
    virtual std::optional<qint64> publisherStatus() const = 0;
    // The blog publisher's default category (null for none) and whether it publishes at once
    // rather than as a draft; nothing when the account has no blog publisher.
    struct BlogDefaults {
        QString category;
        bool autoPublish = false;
    };
    virtual std::optional<BlogDefaults> publisherDefaults() const { return std::nullopt; }

    // Re-reads the user, account and publisher.
    virtual void refreshInfo() = 0;
    // Runs the account-details window (at its publisher page, or its RPC page); `completion`
    // gets whether the user went through it.
    virtual void presentAccountDetails(bool atPublisher, bool atRPC, std::function<void(bool completed)> completion) = 0;
    // Runs the e-mail verification window; `completion` gets whether the user is verified now.
    virtual void presentEmailVerify(std::function<void(bool verified)> completion) = 0;

    // Channel messages about remote post `postId` go to the publisher's
    // webServiceHostDidRecieveEvent from now on. Registering twice keeps one entry.
    virtual void addMessageDelegate(const std::shared_ptr<PLYWebServicePostPublisher>& publisher,
                                    const QVariant& postId) = 0;

    // The session in use; null until one registers.
    static std::shared_ptr<PLYWebServicePostPublisherServices> shared() { return slot(); }
    static void setShared(std::shared_ptr<PLYWebServicePostPublisherServices> services) { slot() = std::move(services); }

private:
    static std::shared_ptr<PLYWebServicePostPublisherServices>& slot() {
        static std::shared_ptr<PLYWebServicePostPublisherServices> services;
        return services;
    }
};
