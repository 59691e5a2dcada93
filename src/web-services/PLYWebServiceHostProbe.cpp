#include "PLYWebServiceHostProbe.h"

#include "PLYPingHelper.h"
#include "PLYWebServiceHost.h"

namespace {

// Pings the host's name; where ICMP sockets are refused the echo is a TCP connect to the
// service's own port.
class PLYPingHostProbe : public PLYWebServiceHostProbe {
public:
    void start(PLYWebServiceHost* host, Completion completion) override {
        m_ping.setServicePort(quint16(host->port().toUInt()));
        m_ping.runWithHostName(host->hostName(), [completion](bool reachable, const QString&) {
            if (completion) completion(reachable);
        });
    }
    bool reachable() const override { return m_ping.reachable(); }

private:
    PLYPingHelper m_ping;
};

}  // namespace

std::unique_ptr<PLYWebServiceHostProbe> PLYWebServiceHostProbe::makePingProbe() {
    return std::make_unique<PLYPingHostProbe>();
}
