#include "PLYPingHelper.h"

#include "PLYLog.h"

#include <QPointer>

PLYPingHelper::PLYPingHelper(QObject* parent) : QObject(parent) {
    m_timeout.setSingleShot(true);
    m_next.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_pending) outcome(false, QStringLiteral("The host '%1' did not answer within the time-out.").arg(m_hostName), false);
    });
    connect(&m_next, &QTimer::timeout, this, [this] {
        if (m_restartNext)
            startPinger();
        else
            sendEcho();
    });
}

PLYPingHelper::~PLYPingHelper() { stop(); }

void PLYPingHelper::setIntervals(double timeoutSeconds, double intervalSeconds) {
    m_timeoutMs = qMax(1, int(timeoutSeconds * 1000));
    m_intervalMs = qMax(0, int(intervalSeconds * 1000));
}

void PLYPingHelper::runWithHostName(const QString& hostName, Completion completion) {
    stop();
    m_hostName = hostName;
    m_completion = std::move(completion);
    m_reachable = false;
    startPinger();
}

void PLYPingHelper::stop() {
    m_timeout.stop();
    m_next.stop();
    m_pending.reset();
    if (m_pinger) {
        m_pinger->setDelegate(nullptr);
        m_pinger->stop();
        m_pinger.reset();
    }
}

void PLYPingHelper::startPinger() {
    if (m_pinger) {
        m_pinger->setDelegate(nullptr);
        m_pinger.reset();
    }
    m_pinger = std::make_unique<SimplePing>(m_hostName);
    m_pinger->setDelegate(this);
    m_pinger->setFallbackPort(m_servicePort);
    m_pinger->setForceTcpFallback(m_forceTcp);
    m_pinger->start();
}

void PLYPingHelper::sendEcho() {
    if (!m_pinger || !m_pinger->isStarted()) {
        startPinger();
        return;
    }
    m_pending = m_pinger->nextSequenceNumber();
    m_timeout.start(m_timeoutMs);
    m_pinger->sendPing();
}

void PLYPingHelper::simplePingDidStart(SimplePing*, const QHostAddress&) { sendEcho(); }

void PLYPingHelper::simplePingDidFail(SimplePing*, const QString& error) { outcome(false, error, true); }

void PLYPingHelper::simplePingDidFailToSendPacket(SimplePing*, quint16 sequence, const QString& error) {
    if (m_pending == sequence) outcome(false, error, false);
}

void PLYPingHelper::simplePingDidReceivePingResponse(SimplePing*, quint16 sequence) {
    if (m_pending == sequence) outcome(true, QStringLiteral("The host '%1' answered.").arg(m_hostName), false);
}

void PLYPingHelper::outcome(bool reachable, const QString& reason, bool restart) {
    m_timeout.stop();
    m_pending.reset();
    m_restartNext = restart;
    m_next.start(m_intervalMs);
    const bool changed = reachable != m_reachable;
    m_reachable = reachable;
    if (!changed) return;
    PLY_LOG_INFO(QStringLiteral("Ping of '%1': %2").arg(m_hostName, reason));
    if (Completion completion = m_completion) completion(reachable, reason);
}
