#pragma once

#include <QString>
#include <QVariantMap>

class PLYWebServiceHost;

// Hears the channel messages about one remote post (registered with
// PLYWebServiceHost::addMessageDelegate). Called on the main thread.
class PLYWebServiceHostRealTimeDelegate {
public:
    virtual ~PLYWebServiceHostRealTimeDelegate() = default;
    // `event` is the message's "event", `payload` its "payload" object.
    virtual void webServiceHostDidRecieveEvent(PLYWebServiceHost* host, const QString& event,
                                               const QVariantMap& payload) = 0;
};
