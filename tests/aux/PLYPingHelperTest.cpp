#include <gtest/gtest.h>

#include "PLYPingHelper.h"
#include "PLYTestEnvironment.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using PLYTestEnvironment::waitUntil;

namespace {

struct Outcome {
    bool reachable;
    QString reason;
};

// A loopback listener that counts the connections made to it (each TCP echo is one).
struct Listener {
    QTcpServer server;
    int connections = 0;
    bool listen(quint16 port = 0) {
        if (!server.listen(QHostAddress::LocalHost, port)) return false;
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++connections;
                s->deleteLater();
            }
        });
        return true;
    }
};

// A loopback port that refuses every connection for as long as this holds it: bound, never
// listening. A port merely closed again could be taken meanwhile by a server of another test
// running at the same time, which would then answer the echoes.
struct RefusingPort {
    int fd = -1;
    quint16 port = 0;
    bool bind(quint16 wanted = 0) {
        release();
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(wanted);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            release();
            return false;
        }
        port = ntohs(address.sin_port);
        return true;
    }
    void release() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    ~RefusingPort() { release(); }
};

}  // namespace

TEST(PingHelper, LoopbackIsReachableAndReportedOnce) {
    Listener listener;
    ASSERT_TRUE(listener.listen());
    PLYPingHelper ping;
    ping.setServicePort(listener.server.serverPort());
    ping.setIntervals(2.0, 0.01);
    std::vector<Outcome> outcomes;
    ping.runWithHostName(QStringLiteral("127.0.0.1"), [&](bool r, const QString& why) { outcomes.push_back({r, why}); });
    EXPECT_FALSE(ping.reachable());  // nothing has answered yet
    ASSERT_TRUE(waitUntil([&] { return ping.reachable(); }));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].reachable);
    EXPECT_FALSE(outcomes[0].reason.isEmpty());
    if (ping.usesTcpFallback()) {
        // Several more echoes, all answered: no further completion.
        ASSERT_TRUE(waitUntil([&] { return listener.connections >= 4; }));
        EXPECT_EQ(outcomes.size(), 1u);
    }
}

TEST(PingHelper, ClosedPortInFallbackModeIsUnreachableWithoutCompletion) {
    RefusingPort refusing;
    ASSERT_TRUE(refusing.bind());
    PLYPingHelper ping;
    ping.setForceTcpFallback(true);
    ping.setServicePort(refusing.port);
    ping.setIntervals(2.0, 0.01);
    int completions = 0;
    ping.runWithHostName(QStringLiteral("127.0.0.1"), [&](bool, const QString&) { ++completions; });
    ASSERT_TRUE(waitUntil([&] { return ping.usesTcpFallback(); }));
    waitUntil([] { return false; }, 200);  // let several refused echoes happen
    EXPECT_FALSE(ping.reachable());
    EXPECT_EQ(completions, 0);  // unreachable from the start is no change
}

TEST(PingHelper, ReportsEachChangeOfAServiceGoingDownAndUp) {
    Listener listener;
    ASSERT_TRUE(listener.listen());
    const quint16 port = listener.server.serverPort();
    PLYPingHelper ping;
    ping.setForceTcpFallback(true);
    ping.setServicePort(port);
    ping.setIntervals(2.0, 0.01);
    std::vector<Outcome> outcomes;
    ping.runWithHostName(QStringLiteral("localhost"), [&](bool r, const QString& why) { outcomes.push_back({r, why}); });
    ASSERT_TRUE(waitUntil([&] { return outcomes.size() == 1; }));
    EXPECT_TRUE(outcomes[0].reachable);

    listener.server.close();
    // Held while the service is down, so that no other test's server answers on it meanwhile.
    RefusingPort down;
    ASSERT_TRUE(down.bind(port));
    ASSERT_TRUE(waitUntil([&] { return outcomes.size() == 2; }));
    EXPECT_FALSE(outcomes[1].reachable);
    EXPECT_FALSE(ping.reachable());
    EXPECT_FALSE(outcomes[1].reason.isEmpty());

    down.release();
    ASSERT_TRUE(listener.server.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(waitUntil([&] { return outcomes.size() == 3; }));
    EXPECT_TRUE(outcomes[2].reachable);
    const int seen = listener.connections;
    ASSERT_TRUE(waitUntil([&] { return listener.connections >= seen + 3; }));
    EXPECT_EQ(outcomes.size(), 3u);
}

TEST(PingHelper, StoppedHelperCallsNothing) {
    Listener listener;
    ASSERT_TRUE(listener.listen());
    auto ping = std::make_unique<PLYPingHelper>();
    ping->setServicePort(listener.server.serverPort());
    ping->setForceTcpFallback(true);
    int completions = 0;
    ping->runWithHostName(QStringLiteral("127.0.0.1"), [&](bool, const QString&) { ++completions; });
    ping->stop();
    ping.reset();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(completions, 0);
}

TEST(SimplePingPacket, EchoRequestIsChecksummedAndRepliesAreRecognised) {
    const QByteArray request = SimplePing::echoRequest(false, 0x1234, 7, QByteArray("payload"));
    EXPECT_EQ(quint8(request[0]), 8);
    EXPECT_EQ(SimplePing::checksum(request), 0);  // a packet with its own checksum sums to zero
    QByteArray reply = request;
    reply[0] = 0;  // echo reply: fix the checksum as a host would
    reply[2] = reply[3] = 0;
    const quint16 sum = SimplePing::checksum(reply);
    reply[2] = char(sum >> 8);
    reply[3] = char(sum & 0xFF);
    EXPECT_EQ(SimplePing::echoReplySequence(false, reply), 7);
    EXPECT_EQ(SimplePing::echoReplySequence(false, request), -1);  // a request is not a reply
    reply[9] = 'X';
    EXPECT_EQ(SimplePing::echoReplySequence(false, reply), -1);  // corrupted
    EXPECT_EQ(SimplePing::echoReplySequence(false, QByteArray(4, '\0')), -1);
}
