#pragma once

#include <QString>
#include <functional>
#include <memory>

class PLYWebServiceHost;

// Tells whether the service host answers. The manager makes a new probe for every environment;
// tests put a scripted one in place of the ping.
class PLYWebServiceHostProbe {
public:
    // Called on the main thread when the host's reachability changes.
    using Completion = std::function<void(bool reachable)>;

    virtual ~PLYWebServiceHostProbe() = default;
    virtual void start(PLYWebServiceHost* host, Completion completion) = 0;
    // The last known answer; false before the first.
    virtual bool reachable() const = 0;

    // The probe over PLYPingHelper (ICMP echo, or a TCP connect to the service port).
    static std::unique_ptr<PLYWebServiceHostProbe> makePingProbe();
};
