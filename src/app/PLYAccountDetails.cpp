#include "PLYAccountDetails.h"

#include "PLYWebServiceManager.h"

PLYAccountDetails PLYAccountDetails::fromSession() {
    const PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (!manager) return {};
    return {manager->remoteAccount(), manager->remotePublisher()};
}
