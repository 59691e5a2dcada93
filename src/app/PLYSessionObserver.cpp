#include "PLYSessionObserver.h"

#include "PLYDispatch.h"
#include "PLYFiniteTransition.h"
#include "PLYNotificationCenter.h"
#include "PLYWebServiceManager.h"

PLYSessionChange PLYSessionChange::fromNotification(const PLYNotification& notification) {
    PLYSessionChange change;
    const auto transition = PLYFiniteTransition::fromUserInfo(notification.userInfo);
    if (!transition) return change;
    if (transition->destinationState()) change.state = transition->destinationState()->name();
    if (transition->sourceState()) change.source = transition->sourceState()->name();
    const QVariant error = transition->userInfo().value(QString::fromLatin1(PLYWebServiceManager::ErrorKey));
    if (error.canConvert<PLYServiceError>() && error.userType() == qMetaTypeId<PLYServiceError>())
        change.error = error.value<PLYServiceError>();
    return change;
}

PLYSessionObserver::PLYSessionObserver(QObject* context, Delivery delivery, Handler handler) {
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (!manager || !handler) return;
    m_manager = manager;
    QPointer<QObject> receiver(context);
    manager->addStateChangeNotificationHandler(this, [receiver, delivery, handler](const PLYNotification& note) {
        if (!receiver) return;
        // The state announced, not the one current when the reaction runs: a queued reaction
        // must answer the change it was told about.
        const PLYSessionChange change = PLYSessionChange::fromNotification(note);
        if (delivery == Delivery::Immediate) {
            handler(change);
            return;
        }
        PLYDispatch::mainAsync([receiver, handler, change] {
            if (receiver) handler(change);
        }, receiver.data());
    });
}

PLYSessionObserver::~PLYSessionObserver() {
    if (auto* manager = this->manager()) manager->removeStateChangeNotificationHandler(this);
}

PLYWebServiceManager* PLYSessionObserver::manager() const { return static_cast<PLYWebServiceManager*>(m_manager.data()); }
