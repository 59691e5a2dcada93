#pragma once

#include "SimplePing.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

// Watches whether one host answers: one echo at a time, each given `timeout` seconds, the next
// sent `interval` seconds after each answer or time-out. The completion hears only of changes;
// the host counts as unreachable until its first answer.
class PLYPingHelper : public QObject, private SimplePingDelegate {
    Q_OBJECT
public:
    using Completion = std::function<void(bool reachable, const QString& reason)>;

    explicit PLYPingHelper(QObject* parent = nullptr);
    ~PLYPingHelper() override;

    // Starts (or restarts, for another host) the watch. Runs on the calling thread's event loop.
    void runWithHostName(const QString& hostName, Completion completion);
    void stop();

    // The result of the last echo; false before the first answer.
    bool reachable() const { return m_reachable; }
    QString hostName() const { return m_hostName; }
    // Whether echoes are TCP connections to the service port (ICMP sockets refused).
    bool usesTcpFallback() const { return m_pinger && m_pinger->usesTcpFallback(); }

    // The port connected to where ICMP sockets are refused (the service's port).
    void setServicePort(quint16 port) { m_servicePort = port; }
    // Tests: shorter waits, and the TCP fallback without trying ICMP.
    void setIntervals(double timeoutSeconds, double intervalSeconds);
    void setForceTcpFallback(bool force) { m_forceTcp = force; }

    static constexpr double DefaultTimeout = 1.0;
    static constexpr double DefaultInterval = 5.0;

private:
    void simplePingDidStart(SimplePing*, const QHostAddress&) override;
    void simplePingDidFail(SimplePing*, const QString& error) override;
    void simplePingDidFailToSendPacket(SimplePing*, quint16 sequence, const QString& error) override;
    void simplePingDidReceivePingResponse(SimplePing*, quint16 sequence) override;

    void startPinger();
    void sendEcho();
    void outcome(bool reachable, const QString& reason, bool restart);

    QString m_hostName;
    Completion m_completion;
    std::unique_ptr<SimplePing> m_pinger;
    quint16 m_servicePort = 0;
    bool m_forceTcp = false;
    bool m_reachable = false;
    std::optional<quint16> m_pending;
    int m_timeoutMs = int(DefaultTimeout * 1000);
    int m_intervalMs = int(DefaultInterval * 1000);
    QTimer m_timeout;
    QTimer m_next;
    bool m_restartNext = false;
};
