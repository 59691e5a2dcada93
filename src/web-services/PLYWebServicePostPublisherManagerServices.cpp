#include "PLYWebServicePostPublisherManagerServices.h"

#include "PLYWebServiceAccount.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePublisher.h"

void PLYWebServicePostPublisherManagerServices::install() {
    setShared(std::make_shared<PLYWebServicePostPublisherManagerServices>());
    PLYWebServiceManager::setPublisherFactory([](const std::shared_ptr<PLYPersistantPost>& post) {
        return std::static_pointer_cast<PLYWebServicePostPublisherBase>(PLYWebServicePostPublisher::initWithPost(post));
    });
}

QString PLYWebServicePostPublisherManagerServices::serviceStateName() const {
    return PLYWebServiceManager::globalManager()->currentStateName();
}

void PLYWebServicePostPublisherManagerServices::addServiceStateObserver(const void* owner,
                                                                        PLYNotificationCenter::Handler handler) {
    PLYWebServiceManager::globalManager()->addStateChangeNotificationHandler(owner, std::move(handler));
}

void PLYWebServicePostPublisherManagerServices::removeServiceStateObserver(const void* owner) {
    // Publishers go with the manager that holds them: removing an observer must not make a
    // fresh manager (and start a new session) while the old one is being destroyed.
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager())
        manager->removeStateChangeNotificationHandler(owner);
}

QString PLYWebServicePostPublisherManagerServices::accountHost() const {
    const auto account = PLYWebServiceManager::globalManager()->remoteAccount();
    return account ? account->host() : QString();
}

std::optional<qint64> PLYWebServicePostPublisherManagerServices::publisherStatus() const {
    const auto publisher = PLYWebServiceManager::globalManager()->remotePublisher();
    if (!publisher) return std::nullopt;
    return publisher->status();
}

std::optional<PLYWebServicePostPublisherServices::BlogDefaults>
PLYWebServicePostPublisherManagerServices::publisherDefaults() const {
    const auto publisher = PLYWebServiceManager::globalManager()->remotePublisher();
    if (!publisher) return std::nullopt;
    const QString category = publisher->defaultCategory();
    return BlogDefaults{category.isEmpty() ? QString() : category, publisher->autoPublish()};
}

void PLYWebServicePostPublisherManagerServices::refreshInfo() { PLYWebServiceManager::globalManager()->refreshInfo(); }

void PLYWebServicePostPublisherManagerServices::presentAccountDetails(bool atPublisher, bool atRPC,
                                                                      std::function<void(bool)> completion) {
    PLYWebServiceManager::globalManager()->presentAccountDetailsNotification(
        atPublisher, atRPC, [completion](bool ok, const QVariant&, const auto&, const auto&) {
            if (completion) completion(ok);
        });
}

void PLYWebServicePostPublisherManagerServices::presentEmailVerify(std::function<void(bool)> completion) {
    PLYWebServiceManager::globalManager()->presentEmailVerifyNotification(
        [completion](bool ok, const QVariant&, const auto&, const auto&) {
            if (completion) completion(ok);
        });
}

void PLYWebServicePostPublisherManagerServices::addMessageDelegate(const std::shared_ptr<PLYWebServicePostPublisher>& publisher,
                                                                   const QVariant& postId) {
    PLYWebServiceHost::currentHost()->addMessageDelegate(publisher, postId);
}
