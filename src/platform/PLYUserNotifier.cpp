#include "PLYUserNotifier.h"

#include "PLYQtUserNotifier.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYUserNotifier, PLYQtUserNotifier>;
std::shared_ptr<PLYUserNotifier> PLYUserNotifier::shared() { return Instance::get(); }
bool PLYUserNotifier::deliverShown(const PLYUserNotification& notification) {
    const std::shared_ptr<PLYUserNotifier> notifier = shared();
    if (!notifier) return false;
    notifier->deliverNotification(notification);
    return notifier->showsMessages();
}

void PLYUserNotifier::setShared(std::shared_ptr<PLYUserNotifier> notifier) { Instance::set(std::move(notifier)); }
