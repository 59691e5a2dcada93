#pragma once

#include "PLYServiceError.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class PLYWebServiceManager;
struct PLYNotification;

// One change of the session's state as its notification announced it: the state entered,
// the state left and the failure the transition carried under "error".
struct PLYSessionChange {
    QString state;
    QString source;
    std::optional<PLYServiceError> error;

    static PLYSessionChange fromNotification(const PLYNotification& notification);
};

// Follows the state changes of the session manager that exists when it is made (none: it
// follows nothing). Queued changes reach the handler later on the main thread and are dropped
// when `context` has gone; the registration ends with this object.
class PLYSessionObserver {
public:
    using Handler = std::function<void(const PLYSessionChange&)>;
    enum class Delivery { Queued, Immediate };

    PLYSessionObserver(QObject* context, Delivery delivery, Handler handler);
    ~PLYSessionObserver();
    PLYSessionObserver(const PLYSessionObserver&) = delete;
    PLYSessionObserver& operator=(const PLYSessionObserver&) = delete;

    // The manager followed, or nothing once it has gone.
    PLYWebServiceManager* manager() const;

private:
    QPointer<QObject> m_manager;
};
