#include "PLYReachability.h"

#include "PLYLog.h"

#include <QNetworkInformation>

namespace {
// Loads a backend once per process; null when none is available.
QNetworkInformation* networkInformation() {
    static QNetworkInformation* info = [] {
        if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
            PLY_LOG_INFO(QStringLiteral("No network-information backend; the internet is assumed reachable."));
            return static_cast<QNetworkInformation*>(nullptr);
        }
        return QNetworkInformation::instance();
    }();
    return info;
}
}  // namespace

std::shared_ptr<PLYReachability> PLYReachability::reachabilityForInternetConnection() {
    return std::make_shared<PLYReachability>();
}

PLYReachability::PLYReachability(QObject* parent) : QObject(parent) {}

PLYReachability::~PLYReachability() { stopNotifier(); }

bool PLYReachability::backendReachable() const {
    QNetworkInformation* info = networkInformation();
    if (!info) return true;
    // Only a plain "disconnected" counts against us: "local" and "site" may still reach a
    // service on this machine or network, and "unknown" says nothing.
    return info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

bool PLYReachability::isReachable() const { return m_injected ? *m_injected : backendReachable(); }

bool PLYReachability::startNotifier() {
    if (m_notifying) return true;
    m_notifying = true;
    if (QNetworkInformation* info = networkInformation())
        connect(info, &QNetworkInformation::reachabilityChanged, this, [this] { evaluate(false); });
    // The first report, like a change, arrives from the event loop rather than inside this call.
    QMetaObject::invokeMethod(this, [this] { if (m_notifying) evaluate(true); }, Qt::QueuedConnection);
    return true;
}

void PLYReachability::stopNotifier() {
    if (!m_notifying) return;
    m_notifying = false;
    if (QNetworkInformation* info = networkInformation()) disconnect(info, nullptr, this, nullptr);
    m_lastReported.reset();
}

void PLYReachability::setReachableForTesting(std::optional<bool> state) {
    m_injected = state;
    if (m_notifying) evaluate(false);
}

void PLYReachability::evaluate(bool always) {
    const bool reachable = isReachable();
    if (!always && m_lastReported == reachable) return;
    m_lastReported = reachable;
    const Block block = reachable ? m_reachableBlock : m_unreachableBlock;
    if (block) block(this);
}
