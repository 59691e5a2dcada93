#include "PLYUserNotifier.h"

#include "PLYQtUserNotifier.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYUserNotifier, PLYQtUserNotifier>;
std::shared_ptr<PLYUserNotifier> PLYUserNotifier::shared() { return Instance::get(); }
void PLYUserNotifier::setShared(std::shared_ptr<PLYUserNotifier> notifier) { Instance::set(std::move(notifier)); }
