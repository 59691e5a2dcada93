#include "SimplePing.h"

#include <QHostInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr quint8 kEchoRequestV4 = 8, kEchoReplyV4 = 0, kEchoRequestV6 = 128, kEchoReplyV6 = 129;
}

SimplePing::SimplePing(QString hostName, QObject* parent) : QObject(parent), m_hostName(std::move(hostName)) {
    m_identifier = quint16(QRandomGenerator::global()->bounded(1, 0xFFFF));
}

SimplePing::~SimplePing() {
    m_delegate = nullptr;
    stop();
}

quint16 SimplePing::checksum(const QByteArray& data) {
    quint32 sum = 0;
    const auto* p = reinterpret_cast<const quint8*>(data.constData());
    const qsizetype n = data.size();
    for (qsizetype i = 0; i + 1 < n; i += 2) sum += quint32(p[i]) << 8 | p[i + 1];
    if (n % 2) sum += quint32(p[n - 1]) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

QByteArray SimplePing::echoRequest(bool ipv6, quint16 identifier, quint16 sequence, const QByteArray& payload) {
    QByteArray packet(8, '\0');
    packet[0] = char(ipv6 ? kEchoRequestV6 : kEchoRequestV4);
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xFF);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xFF);
    packet += payload;
    if (!ipv6) {  // the kernel fills in the ICMPv6 checksum itself
        const quint16 sum = checksum(packet);
        packet[2] = char(sum >> 8);
        packet[3] = char(sum & 0xFF);
    }
    return packet;
}

int SimplePing::echoReplySequence(bool ipv6, const QByteArray& packet) {
    if (packet.size() < 8) return -1;
    if (quint8(packet[0]) != (ipv6 ? kEchoReplyV6 : kEchoReplyV4) || packet[1] != 0) return -1;
    if (!ipv6 && checksum(packet) != 0) return -1;
    return int(quint8(packet[6])) << 8 | quint8(packet[7]);
}

void SimplePing::start() {
    stop();
    QHostAddress literal;
    if (literal.setAddress(m_hostName)) {
        // Queued, so the delegate hears of the start after start() returns, as with a lookup.
        m_started = true;
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this, [this, literal, generation] { if (generation == m_generation) resolved({literal}, {}); }, Qt::QueuedConnection);
        return;
    }
    m_started = true;
    m_lookupId = QHostInfo::lookupHost(m_hostName, this, [this](const QHostInfo& info) {
        m_lookupId = -1;
        resolved(info.addresses(), info.error() == QHostInfo::NoError ? QString() : info.errorString());
    });
}

void SimplePing::resolved(const QList<QHostAddress>& addresses, const QString& error) {
    if (!m_started) return;
    if (addresses.isEmpty()) {
        fail(error.isEmpty() ? QStringLiteral("The host name '%1' could not be resolved.").arg(m_hostName) : error);
        return;
    }
    // IPv4 first: it is the likelier to have a working route.
    m_address = addresses.first();
    for (const auto& a : addresses)
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            m_address = a;
            break;
        }
    QString socketError;
    bool refused = false;
    m_tcp = m_forceTcp;
    if (!m_tcp && !openIcmpSocket(&socketError, &refused)) {
        if (!refused || m_fallbackPort == 0) {
            fail(socketError);
            return;
        }
        m_tcp = true;
    }
    if (m_tcp && m_fallbackPort == 0) {
        fail(QStringLiteral("ICMP sockets are not available and no fallback port is set."));
        return;
    }
    if (m_delegate) m_delegate->simplePingDidStart(this, m_address);
}

bool SimplePing::openIcmpSocket(QString* error, bool* refused) {
    const bool v6 = m_address.protocol() == QAbstractSocket::IPv6Protocol;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP));
    if (fd < 0) {
        const int e = errno;
        *refused = (e == EACCES || e == EPERM || e == EPROTONOSUPPORT || e == EAFNOSUPPORT);
        *error = QStringLiteral("Could not open an ICMP socket: %1").arg(QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    m_fd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimplePing::readIcmp);
    return true;
}

quint16 SimplePing::sendPing(const QByteArray& payload) {
    const quint16 sequence = m_nextSequence++;
    if (!m_started || m_address.isNull()) {
        if (m_delegate) m_delegate->simplePingDidFailToSendPacket(this, sequence, QStringLiteral("The pinger has not started."));
        return sequence;
    }
    if (m_tcp) {
        auto* socket = new QTcpSocket(this);
        m_connections.removeIf([](const QPointer<QTcpSocket>& s) { return s.isNull(); });
        m_connections.append(socket);
        connect(socket, &QTcpSocket::connected, this, [this, socket, sequence] {
            socket->abort();
            socket->deleteLater();
            if (m_delegate) m_delegate->simplePingDidReceivePingResponse(this, sequence);
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket, sequence](QAbstractSocket::SocketError) {
            const QString reason = socket->errorString();
            socket->deleteLater();
            if (m_delegate) m_delegate->simplePingDidFailToSendPacket(this, sequence, reason);
        });
        socket->connectToHost(m_address, m_fallbackPort);
        if (m_delegate) m_delegate->simplePingDidSendPacket(this, sequence);
        return sequence;
    }

    const bool v6 = m_address.protocol() == QAbstractSocket::IPv6Protocol;
    const QByteArray packet = echoRequest(v6, m_identifier, sequence, payload);
    ssize_t sent = -1;
    if (v6) {
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        const Q_IPV6ADDR a = m_address.toIPv6Address();
        std::memcpy(&to.sin6_addr, &a, sizeof(a));
        to.sin6_scope_id = m_address.scopeId().toUInt();
        sent = ::sendto(m_fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    } else {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(m_address.toIPv4Address());
        sent = ::sendto(m_fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    if (m_delegate) {
        if (sent == packet.size())
            m_delegate->simplePingDidSendPacket(this, sequence);
        else
            m_delegate->simplePingDidFailToSendPacket(this, sequence, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return sequence;
}

void SimplePing::readIcmp() {
    QByteArray buffer(65536, '\0');
    const ssize_t n = ::recv(m_fd, buffer.data(), size_t(buffer.size()), 0);
    if (n <= 0) return;
    buffer.truncate(n);
    const bool v6 = m_address.protocol() == QAbstractSocket::IPv6Protocol;
    // The kernel matches replies to this socket by identifier; the sequence tells which echo.
    const int sequence = echoReplySequence(v6, buffer);
    if (!m_delegate) return;
    if (sequence >= 0)
        m_delegate->simplePingDidReceivePingResponse(this, quint16(sequence));
    else
        m_delegate->simplePingDidReceiveUnexpectedPacket(this, buffer);
}

void SimplePing::fail(const QString& error) {
    stop();
    if (m_delegate) m_delegate->simplePingDidFail(this, error);
}

void SimplePing::stop() {
    m_started = false;
    ++m_generation;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    for (const auto& socket : m_connections)
        if (socket) {
            socket->disconnect(this);
            socket->abort();
            socket->deleteLater();
        }
    m_connections.clear();
    m_address = QHostAddress();
}
