#pragma once

#include <QString>
#include <functional>
#include <memory>

class PLYPersistantPost;

// What the post library asks of the web-service side. The web-service code registers its
// implementation at start-up with PLYCoreManager::setWebServiceGateway(); the library does
// not link against it.
class PLYWebServiceGateway {
public:
    virtual ~PLYWebServiceGateway() = default;
    // The web-service manager's start-up hook.
    virtual void beginManager() = 0;
    // The current service host forgets its e-mail, password and token.
    virtual void clearStoredKeys() = 0;
    // The e-mail the current service host holds; empty when none.
    virtual QString storedEmail() const = 0;
    // The post's publisher deletes the remote post; `completion` gets the success, on the
    // main thread.
    virtual void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>& post,
                                  std::function<void(bool success)> completion) = 0;
};
