#include "PLYLog.h"
#include "PLYWebServiceChannel.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServiceHostRealTimeDelegate.h"
#include "PLYWebServiceTestSupport.h"

#include <QUrlQuery>
#include <QWebSocket>

namespace {

struct RecordingDelegate : PLYWebServiceHostRealTimeDelegate {
    void webServiceHostDidRecieveEvent(PLYWebServiceHost*, const QString& event, const QVariantMap& payload) override {
        received.append({event, payload});
    }
    QList<std::pair<QString, QVariantMap>> received;
};

class WebServiceChannelTest : public PLYWebServiceTest {
protected:
    void SetUp() override {
        PLYWebServiceTest::SetUp();
        PLYWebServiceChannel::setKeepAliveInterval(0.03);
        PLYWebServiceChannel::setAccountIdentifierProvider([this] { return accountId; });
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) { logLines << line; });
    }
    void TearDown() override {
        PLYLog::removeObserver(logToken);
        PLYWebServiceChannel::setAccountIdentifierProvider({});
        PLYWebServiceChannel::setKeepAliveInterval(5.0);
        PLYWebServiceTest::TearDown();
    }
    bool connected() {
        return PLYTestEnvironment::waitUntil([&] { return host()->socketConnected() && service.channelClientCount() == 1; });
    }
    QList<QVariantMap> joins() const {
        QList<QVariantMap> found;
        for (const QVariantMap& message : service.channelMessages())
            if (message.value("event") == "phx_join") found << message;
        return found;
    }

    QString accountId;
    QStringList logLines;
    int logToken = 0;
};

TEST_F(WebServiceChannelTest, WithoutATokenNothingOpens) {
    host()->ensureSocketConnection();
    EXPECT_FALSE(host()->webSocket());
    EXPECT_FALSE(host()->socketConnected());
}

TEST_F(WebServiceChannelTest, AConnectingOrOpenSocketIsNotReplacedAndItsAddressIsNeverLogged) {
    signIn("tok-secret-1");
    QWebSocket* first = host()->webSocket();
    ASSERT_TRUE(first);
    host()->ensureSocketConnection();
    host()->setJWT("tok-secret-1");
    EXPECT_EQ(host()->webSocket(), first) << "still connecting";
    ASSERT_TRUE(connected());
    host()->ensureSocketConnection();
    EXPECT_EQ(host()->webSocket(), first);
    EXPECT_EQ(service.channelRequestUrls().value(0).query(), "token=tok-secret-1");
    for (const QString& line : logLines) {
        EXPECT_FALSE(line.contains("tok-secret-1")) << line.toStdString();
        EXPECT_FALSE(line.contains("/socket/websocket")) << line.toStdString();
    }
}

TEST_F(WebServiceChannelTest, JoinsOnlyOnceTheAccountIsKnownAndOnlyAnOkReplyCountsAsJoined) {
    signIn();
    ASSERT_TRUE(connected());
    EXPECT_TRUE(joins().isEmpty()) << "no account yet";

    // The socket keeps the order: a join sent before the account was known would come first.
    accountId = "42";
    host()->joinChannelIfNeeded();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
    ASSERT_EQ(joins().size(), 1) << "no join before the account was known";
    EXPECT_EQ(joins()[0], (QVariantMap{{"topic", "account:42"}, {"event", "phx_join"}, {"payload", QVariantMap()}, {"ref", 1}}));
    host()->joinChannelIfNeeded();

    // The next join comes after any second join of the same topic.
    service.setJoinReplyStatus("error");
    accountId = "43";
    host()->joinChannelIfNeeded();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !joins().isEmpty() && joins().last().value("topic") == "account:43"; }));
    EXPECT_EQ(joins().size(), 2) << "the same topic is not joined twice";
    PLYTestEnvironment::waitUntil([] { return false; }, 50);
    EXPECT_TRUE(host()->joinedChannelTopic().isEmpty());
}

TEST_F(WebServiceChannelTest, PostMessagesReachTheDelegatesOfThatPostWhateverTheIdentifierType) {
    accountId = "42";
    signIn();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
    auto byNumber = std::make_shared<RecordingDelegate>();
    auto byText = std::make_shared<RecordingDelegate>();
    auto otherPost = std::make_shared<RecordingDelegate>();
    auto gone = std::make_shared<RecordingDelegate>();
    host()->addMessageDelegate(byNumber, 17);
    host()->addMessageDelegate(byNumber, 17);
    host()->addMessageDelegate(byText, QStringLiteral("17"));
    host()->addMessageDelegate(otherPost, 18);
    host()->addMessageDelegate(gone, 17);
    host()->addMessageDelegate(byText, QVariant());  // no identifier: nothing
    EXPECT_EQ(host()->messageDelegateCount(17), 3);
    gone.reset();
    EXPECT_EQ(host()->messageDelegateCount("17"), 2);

    service.push("account:42", "phx_reply", {{"post", 17}, {"status", "ok"}});
    service.push("account:42", "revision_active", {{"post", 17}, {"revision", 5}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return byText->received.size() == 1; }));
    ASSERT_EQ(byNumber->received.size(), 1);
    EXPECT_EQ(byNumber->received[0].first, "revision_active");
    EXPECT_EQ(byNumber->received[0].second.value("revision").toInt(), 5);
    EXPECT_TRUE(otherPost->received.isEmpty());

    host()->removeMessageDelegate(byNumber.get(), 17);
    service.push("account:42", "revision_failed", {{"post", "17"}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return byText->received.size() == 2; }));
    EXPECT_EQ(byNumber->received.size(), 1);
}

TEST_F(WebServiceChannelTest, KeepAlivePingsUntilTheServerClosesThenTheNextOpeningReplaces) {
    accountId = "42";
    signIn();
    ASSERT_TRUE(connected());
    QWebSocket* socket = host()->webSocket();
    int pongs = 0;
    QObject::connect(socket, &QWebSocket::pong, socket, [&] { ++pongs; });
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return pongs >= 2; }));

    service.closeChannelClients();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !host()->socketConnected(); }));
    EXPECT_TRUE(host()->joinedChannelTopic().isEmpty());
    PLYTestEnvironment::waitUntil([] { return false; }, 60);
    EXPECT_FALSE(host()->socketConnected()) << "nothing reconnects by itself";
    host()->ensureSocketConnection();
    ASSERT_TRUE(connected());
    EXPECT_NE(host()->webSocket(), socket);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
}

TEST_F(WebServiceChannelTest, ClearingTheKeysClosesAnOpenSocketButLeavesAConnectingOne) {
    signIn();
    host()->clearStoredKeys();
    EXPECT_TRUE(host()->webSocket()) << "still connecting";
    ASSERT_TRUE(connected());
    host()->clearStoredKeys();
    EXPECT_FALSE(host()->webSocket());
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.channelClientCount() == 0; }));
}

TEST_F(WebServiceChannelTest, ANewTokenOpensANewSocketSoAnotherUserNeverRidesOnTheOldOne) {
    accountId = "42";
    signIn("tok-ada");
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
    QWebSocket* first = host()->webSocket();

    // Another user signs in: the socket opened with the first token is not reused.
    accountId = "77";
    signIn("tok-bo");
    EXPECT_NE(host()->webSocket(), first);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:77"; }));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.channelClientCount() == 1; }));
    EXPECT_EQ(QUrlQuery(service.channelRequestUrls().last()).queryItemValue("token"), "tok-bo");
    EXPECT_EQ(service.push("account:42", "revision_active", {{"post", 1}}), 0) << "nobody listens on the old topic";
    // Every join went out as a data frame, never as text.
    ASSERT_EQ(joins().size(), 2);
    EXPECT_EQ(service.channelMessagesBinary(), (QList<bool>{true, true}));

    // Numbers beyond 64 bits name no post, and are never converted.
    auto delegate = std::make_shared<RecordingDelegate>();
    host()->addMessageDelegate(delegate, 9.3e18);
    host()->addMessageDelegate(delegate, 1e300);
    EXPECT_EQ(host()->messageDelegateCount(9.3e18), 0);
    host()->addMessageDelegate(delegate, 17);
    service.push("account:77", "revision_active", {{"post", 1e20}});
    service.push("account:77", "revision_active", {{"post", -9.3e18}});
    service.push("account:77", "revision_active", {{"post", 17}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return delegate->received.size() == 1; }));
    // A last message, which comes after the others on the socket: nothing else was delivered.
    service.push("account:77", "revision_failed", {{"post", 17}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return delegate->received.size() >= 2; }));
    EXPECT_EQ(delegate->received.size(), 2);
    EXPECT_EQ(delegate->received.last().first, "revision_failed");
}

TEST_F(WebServiceChannelTest, AMessagePastTheSizeBoundIsNeverReadAndLogLinesStayShort) {
    PLYWebServiceChannel::setMaximumIncomingMessageSize(8 * 1024);
    accountId = "42";
    signIn();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
    auto delegate = std::make_shared<RecordingDelegate>();
    host()->addMessageDelegate(delegate, 17);
    // A readable one, longer than a log line shows.
    service.push("account:42", "html_prep", {{"post", 17}, {"html", QString(5000, 'h')}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return delegate->received.size() == 1; }));
    service.push("account:42", "html_prep", {{"post", 17}, {"html", QString(20000, 'x')}});
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !host()->socketConnected(); })) << "the channel refuses it";
    EXPECT_EQ(delegate->received.size(), 1);
    PLYWebServiceChannel::setMaximumIncomingMessageSize(1024 * 1024);
    for (const QString& line : logLines) EXPECT_LT(line.size(), 2600) << line.left(80).toStdString();
}

TEST_F(WebServiceChannelTest, OnlyTheEnvironmentInUseOpensItsChannel) {
    // The custom environment points at the fake service, but development is in use: a token
    // that reaches the custom host (a late sign-in answer after a switch) opens nothing there.
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::HostTypeDev);
    PLYWebServiceHost* custom = PLYWebServiceHost::customHost();
    custom->setJWT("late-token");
    EXPECT_FALSE(custom->webSocket());
    custom->ensureSocketConnection();
    EXPECT_FALSE(custom->webSocket());

    // Once it is in use again, its next opening point opens it with its own token.
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::HostTypeCustom);
    custom->ensureSocketConnection();
    ASSERT_TRUE(connected());
    ASSERT_EQ(service.channelRequestUrls().size(), 1);
    EXPECT_EQ(QUrlQuery(service.channelRequestUrls().first()).queryItemValue("token"), "late-token");
}

TEST_F(WebServiceChannelTest, EndingTheWebServiceClosesEveryChannelWhileTheEventLoopRuns) {
    accountId = "42";
    signIn();
    ASSERT_TRUE(connected());
    PLYWebServiceManager::shutdown();
    EXPECT_FALSE(host()->webSocket());
    EXPECT_FALSE(host()->socketConnected());
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.channelClientCount() == 0; }));
}

}  // namespace
