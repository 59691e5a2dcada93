#pragma once

#include "PLYWebServiceModelObject.h"

#include <memory>

class PLYPersistantPost;

// What the web-service manager needs of one post's publisher. The publisher registers its
// factory with PLYWebServiceManager::setPublisherFactory at start-up; the manager keeps one
// publisher per post for the life of the process.
class PLYWebServicePostPublisherBase {
public:
    virtual ~PLYWebServicePostPublisherBase() = default;
    // The local post this publisher follows.
    virtual std::shared_ptr<PLYPersistantPost> localPost() const = 0;
    // Deletes the remote post; answers whether the request was sent. The completion runs on
    // the main thread.
    virtual bool deletePost(const PLYWebServiceCompletionBlock& completion) = 0;
    // A publisher whose post has left the library (or whose account is no longer the signed-in
    // one) does nothing more and may be dropped.
    virtual bool isDetached() const { return false; }
    // Stops the publisher for good: no further requests, events or saves.
    virtual void detach() {}
};
