#pragma once

#include <functional>
#include <memory>

class PLYWebServiceAccount;
class PLYWebServicePublisher;

// What the account windows show of the session: the fetched account and its publisher.
struct PLYAccountDetails {
    std::shared_ptr<PLYWebServiceAccount> account;
    std::shared_ptr<PLYWebServicePublisher> publisher;

    // What the session manager holds now (nothing of either without a manager).
    static PLYAccountDetails fromSession();

    using Source = std::function<PLYAccountDetails()>;
};
