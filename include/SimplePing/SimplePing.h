#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTcpSocket;
class SimplePing;

// Receives what a SimplePing learns. All calls arrive on the pinger's thread.
class SimplePingDelegate {
public:
    virtual ~SimplePingDelegate() = default;
    // The host name is resolved and the socket is open; pings may be sent.
    virtual void simplePingDidStart(SimplePing*, const QHostAddress&) {}
    // Resolution or the socket failed; the pinger has stopped.
    virtual void simplePingDidFail(SimplePing*, const QString&) {}
    virtual void simplePingDidSendPacket(SimplePing*, quint16) {}
    // The echo could not be sent, or (TCP fallback) the connection was refused or failed.
    virtual void simplePingDidFailToSendPacket(SimplePing*, quint16, const QString&) {}
    virtual void simplePingDidReceivePingResponse(SimplePing*, quint16) {}
    virtual void simplePingDidReceiveUnexpectedPacket(SimplePing*, const QByteArray&) {}
};

// An ICMP echo client over an unprivileged datagram socket (IPPROTO_ICMP / IPPROTO_ICMPV6).
// Where the kernel refuses such sockets (see net.ipv4.ping_group_range) and a fallback port is
// set, each "echo" is a TCP connection attempt to that port instead: a completed connection
// counts as the answer.
class SimplePing : public QObject {
    Q_OBJECT
public:
    explicit SimplePing(QString hostName, QObject* parent = nullptr);
    ~SimplePing() override;

    const QString& hostName() const { return m_hostName; }
    void setDelegate(SimplePingDelegate* delegate) { m_delegate = delegate; }
    // The TCP port tried when ICMP sockets are refused; 0 disables the fallback.
    void setFallbackPort(quint16 port) { m_fallbackPort = port; }
    // Tests: skip ICMP and use the TCP fallback straight away.
    void setForceTcpFallback(bool force) { m_forceTcp = force; }

    // Resolves the host and opens the socket; reports through the delegate.
    void start();
    // Sends one echo; answers its sequence number. Requires a started pinger.
    quint16 sendPing(const QByteArray& payload = {});
    void stop();

    bool isStarted() const { return m_started; }
    bool usesTcpFallback() const { return m_tcp; }
    QHostAddress hostAddress() const { return m_address; }
    quint16 nextSequenceNumber() const { return m_nextSequence; }

    // The ICMP echo request for `sequence` (checksummed for IPv4), and the sequence number of an
    // echo reply (-1 when `packet` is not one). Exposed for tests.
    static QByteArray echoRequest(bool ipv6, quint16 identifier, quint16 sequence, const QByteArray& payload);
    static int echoReplySequence(bool ipv6, const QByteArray& packet);
    static quint16 checksum(const QByteArray& data);

private:
    void resolved(const QList<QHostAddress>& addresses, const QString& error);
    bool openIcmpSocket(QString* error, bool* refused);
    void readIcmp();
    void fail(const QString& error);

    QString m_hostName;
    SimplePingDelegate* m_delegate = nullptr;
    quint16 m_fallbackPort = 0;
    bool m_forceTcp = false;
    bool m_started = false;
    bool m_tcp = false;
    int m_lookupId = -1;
    quint64 m_generation = 0;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QHostAddress m_address;
    quint16 m_identifier = 0;
    quint16 m_nextSequence = 0;
    QList<QPointer<QTcpSocket>> m_connections;
};
