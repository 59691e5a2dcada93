#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// One HTTP request as the fake service received it.
struct PLYFakeRequest {
    QByteArray method;
    QString path;          // decoded path, without the query
    QString query;         // the raw query, without "?"
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
    QStringList captures;  // the segments matched by "*" in the route's pattern

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    QString queryValue(const QString& key) const { return QUrlQuery(query).queryItemValue(key, QUrl::FullyDecoded); }
    // The body parsed as JSON (objects are QVariantMap), invalid when it is not JSON.
    QVariant json() const;
    // The bearer token of the "Authorization" header, empty when there is none.
    QString bearerToken() const;
};

// What the fake service answers to one request.
struct PLYFakeReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    int delayMs = 0;           // answer this much later
    bool abruptClose = false;  // drop the connection instead of answering
    // Announce the whole body but send only this many bytes of it, then close (a cut transfer).
    int cutBodyAfter = -1;
    // Announce the whole body, send this many bytes of it, then fall silent with the
    // connection held open (a stalled transfer).
    int stallBodyAfter = -1;

    static PLYFakeReply json(int status, const QVariant& body);
    static PLYFakeReply text(int status, const QByteArray& body, const QByteArray& contentType = "text/plain");
    static PLYFakeReply closeConnection();
    // `reply` with its body cut after `bytes`, or stalled after `bytes`.
    static PLYFakeReply cut(PLYFakeReply reply, int bytes);
    static PLYFakeReply stalled(PLYFakeReply reply, int bytes);
};

// A scriptable publishing service on loopback: HTTP/1.1 with keep-alive, and the Phoenix V1
// channel protocol over the web socket at "/socket/websocket", both on one port.
class PLYFakeService : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<PLYFakeReply(const PLYFakeRequest&)>;

    explicit PLYFakeService(QObject* parent = nullptr);
    ~PLYFakeService() override;

    // Listens on `address`:`port` (0: an ephemeral port). Answers whether it listens.
    bool start(quint16 port = 0, const QHostAddress& address = QHostAddress::LocalHost);
    void stop();
    quint16 port() const;
    QUrl baseUrl() const;

    // Routes: `method` ("" for any) and a path pattern in which "*" stands for one segment.
    // Queued replies are answered first, in order, once each; then the route's handler; then 404.
    void setHandler(const QByteArray& method, const QString& pattern, Handler handler);
    void enqueueReply(const QByteArray& method, const QString& pattern, const PLYFakeReply& reply);
    void removeAllRoutes();
    // Every reply that the route's handler gives is answered `ms` later (the handler itself
    // still runs when the request arrives).
    void setHandlerDelay(const QByteArray& method, const QString& pattern, int ms);
    // The route's replies are kept back until releaseHeldReplies(): its requests stay in flight
    // for as long as a test needs them to, however slow the machine.
    void holdReplies(const QByteArray& method, const QString& pattern);
    // Stops holding every route and sends the replies kept back, in the order their requests came.
    void releaseHeldReplies();
    int heldReplyCount() const { return int(m_held.size()); }

    // Every request received, in order (web-socket upgrades included).
    QList<PLYFakeRequest> requests() const { return m_requests; }
    // The same without the web-socket upgrades.
    QList<PLYFakeRequest> httpRequests() const;
    QList<PLYFakeRequest> requestsMatching(const QByteArray& method, const QString& pattern) const;
    void clearRequests() { m_requests.clear(); }

    // ---- Channel ----
    // Status of the replies to "phx_join" ("ok" unless told otherwise).
    void setJoinReplyStatus(const QString& status) { m_joinStatus = status; }
    // Frames received from clients, parsed ({topic, event, payload, ref}), in order.
    QList<QVariantMap> channelMessages() const { return m_channelMessages; }
    // For each of channelMessages(): whether it came as a data (binary) message, not text.
    QList<bool> channelMessagesBinary() const { return m_channelMessagesBinary; }
    int channelClientCount() const;
    // The addresses the channel clients connected with (these carry their tokens).
    QList<QUrl> channelRequestUrls() const;
    // Sends {topic, event, payload, ref: null} to every client that joined `topic`; answers how many.
    int push(const QString& topic, const QString& event, const QVariantMap& payload);
    void closeChannelClients();

    static QByteArray reasonPhrase(int status);

signals:
    void requestReceived(const PLYFakeRequest& request);
    void channelMessageReceived(const QVariantMap& message);

private:
    struct Route {
        QByteArray method;
        QString pattern;
        QList<PLYFakeReply> queue;
        Handler handler;
        int handlerDelayMs = 0;
        bool held = false;
    };
    struct HeldReply {
        QPointer<QTcpSocket> socket;
        QTcpSocket* key;  // in m_busy, which the socket leaves once answered
        PLYFakeReply reply;
    };
    void acceptConnections();
    void readFrom(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const PLYFakeReply& reply);
    PLYFakeReply route(PLYFakeRequest& request, bool* held);
    // Answers `reply.delayMs` later (at once without a delay), then reads on.
    void answerInTime(QTcpSocket* socket, const PLYFakeReply& reply);
    static bool matches(const QString& pattern, const QString& path, QStringList* captures);
    void acceptChannelClient();
    void channelFrame(QWebSocket* client, const QByteArray& frame, bool binary);
    void sendFrame(QWebSocket* client, const QVariantMap& message);

    QTcpServer* m_server = nullptr;
    QWebSocketServer* m_channelServer = nullptr;
    QList<Route> m_routes;
    QList<PLYFakeRequest> m_requests;
    QSet<QTcpSocket*> m_busy;
    QList<HeldReply> m_held;
    QString m_joinStatus = QStringLiteral("ok");
    QList<QVariantMap> m_channelMessages;
    QList<bool> m_channelMessagesBinary;
    QList<QPointer<QTcpSocket>> m_stalled;
    struct ChannelClient {
        QPointer<QWebSocket> socket;
        QSet<QString> topics;
    };
    QList<ChannelClient> m_clients;
};
