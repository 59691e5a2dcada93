#include "PLYFakeService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

QVariant PLYFakeRequest::json() const {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) return {};
    return document.isObject() ? QVariant(document.object().toVariantMap()) : QVariant(document.array().toVariantList());
}

QString PLYFakeRequest::bearerToken() const {
    const QByteArray value = header("authorization");
    if (!value.startsWith("Bearer ")) return {};
    return QString::fromUtf8(value.mid(7)).trimmed();
}

PLYFakeReply PLYFakeReply::json(int status, const QVariant& body) {
    PLYFakeReply reply;
    reply.status = status;
    if (body.isValid()) reply.body = QJsonDocument::fromVariant(body).toJson(QJsonDocument::Compact);
    return reply;
}

PLYFakeReply PLYFakeReply::text(int status, const QByteArray& body, const QByteArray& contentType) {
    PLYFakeReply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

PLYFakeReply PLYFakeReply::closeConnection() {
    PLYFakeReply reply;
    reply.abruptClose = true;
    return reply;
}

PLYFakeReply PLYFakeReply::cut(PLYFakeReply reply, int bytes) {
    reply.cutBodyAfter = qMax(0, bytes);
    return reply;
}

PLYFakeReply PLYFakeReply::stalled(PLYFakeReply reply, int bytes) {
    reply.stallBodyAfter = qMax(0, bytes);
    return reply;
}

PLYFakeService::PLYFakeService(QObject* parent) : QObject(parent) {
    m_channelServer = new QWebSocketServer(QStringLiteral("PLYFakeService"), QWebSocketServer::NonSecureMode, this);
    connect(m_channelServer, &QWebSocketServer::newConnection, this, &PLYFakeService::acceptChannelClient);
}

PLYFakeService::~PLYFakeService() { stop(); }

bool PLYFakeService::start(quint16 port, const QHostAddress& address) {
    stop();
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &PLYFakeService::acceptConnections);
    if (!m_server->listen(address, port)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

void PLYFakeService::stop() {
    closeChannelClients();
    for (const QPointer<QTcpSocket>& socket : std::as_const(m_stalled))
        if (socket) socket->abort();
    m_stalled.clear();
    if (!m_server) return;
    m_server->close();
    for (QTcpSocket* socket : m_server->findChildren<QTcpSocket*>()) socket->abort();
    delete m_server;
    m_server = nullptr;
}

quint16 PLYFakeService::port() const { return m_server ? m_server->serverPort() : 0; }

QUrl PLYFakeService::baseUrl() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port());
    return url;
}

void PLYFakeService::setHandler(const QByteArray& method, const QString& pattern, Handler handler) {
    for (Route& route : m_routes) {
        if (route.method == method && route.pattern == pattern) {
            route.handler = std::move(handler);
            return;
        }
    }
    m_routes.append(Route{method, pattern, {}, std::move(handler)});
}

void PLYFakeService::setHandlerDelay(const QByteArray& method, const QString& pattern, int ms) {
    for (Route& route : m_routes) {
        if (route.method == method && route.pattern == pattern) {
            route.handlerDelayMs = ms;
            return;
        }
    }
    m_routes.append(Route{method, pattern, {}, {}, ms});
}

void PLYFakeService::holdReplies(const QByteArray& method, const QString& pattern) {
    for (Route& route : m_routes) {
        if (route.method == method && route.pattern == pattern) {
            route.held = true;
            return;
        }
    }
    Route route{method, pattern, {}, {}};
    route.held = true;
    m_routes.append(route);
}

void PLYFakeService::releaseHeldReplies() {
    for (Route& route : m_routes) route.held = false;
    const QList<HeldReply> held = std::exchange(m_held, {});
    for (const HeldReply& h : held) {
        m_busy.remove(h.key);
        if (h.socket) answerInTime(h.socket, h.reply);
    }
}

void PLYFakeService::enqueueReply(const QByteArray& method, const QString& pattern, const PLYFakeReply& reply) {
    for (Route& route : m_routes) {
        if (route.method == method && route.pattern == pattern) {
            route.queue.append(reply);
            return;
        }
    }
    m_routes.append(Route{method, pattern, {reply}, nullptr});
}

void PLYFakeService::removeAllRoutes() { m_routes.clear(); }

QList<PLYFakeRequest> PLYFakeService::requestsMatching(const QByteArray& method, const QString& pattern) const {
    QList<PLYFakeRequest> found;
    for (const PLYFakeRequest& request : m_requests)
        if ((method.isEmpty() || request.method == method) && matches(pattern, request.path, nullptr)) found.append(request);
    return found;
}

bool PLYFakeService::matches(const QString& pattern, const QString& path, QStringList* captures) {
    const QStringList want = pattern.split(QLatin1Char('/'));
    const QStringList have = path.split(QLatin1Char('/'));
    if (want.size() != have.size()) return false;
    QStringList found;
    for (qsizetype i = 0; i < want.size(); ++i) {
        if (want[i] == QLatin1String("*")) {
            if (have[i].isEmpty()) return false;
            found.append(have[i]);
        } else if (want[i] != have[i]) {
            return false;
        }
    }
    if (captures) *captures = found;
    return true;
}

void PLYFakeService::acceptConnections() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A later connection may get the same address: it must not inherit this one's stall.
        connect(socket, &QObject::destroyed, this, [this, socket] { m_busy.remove(socket); });
    }
}

void PLYFakeService::readFrom(QTcpSocket* socket) {
    // A client that sends again on a connection whose answer stalled has given that answer up:
    // the connection is dead to both sides, and a new request must not wait behind it.
    for (const QPointer<QTcpSocket>& stalled : std::as_const(m_stalled))
        if (stalled == socket) {
            socket->abort();
            return;
        }
    // Peek until a whole request is there, so that an upgrade request can be handed to the
    // web-socket server unread.
    while (!m_busy.contains(socket) && socket->state() == QAbstractSocket::ConnectedState) {
        const QByteArray available = socket->peek(socket->bytesAvailable());
        const qsizetype headerEnd = available.indexOf("\r\n\r\n");
        if (headerEnd < 0) return;
        const QList<QByteArray> lines = available.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() < 2) {
            socket->abort();
            return;
        }
        PLYFakeRequest request;
        request.method = requestLine[0];
        const QUrl target(QString::fromUtf8(requestLine[1]));
        request.path = target.path(QUrl::FullyDecoded);
        request.query = target.query(QUrl::FullyEncoded);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0) request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        if (request.header("upgrade").toLower() == "websocket") {
            m_requests.append(request);
            emit requestReceived(request);
            disconnect(socket, nullptr, this, nullptr);
            if (request.path == QLatin1String("/socket/websocket")) m_channelServer->handleConnection(socket);
            else socket->abort();
            return;
        }
        const qsizetype length = request.header("content-length").toLongLong();
        if (length < 0) {
            socket->abort();
            return;
        }
        const qsizetype total = headerEnd + 4 + length;
        if (available.size() < total) return;
        socket->read(total);
        request.body = available.mid(headerEnd + 4, length);
        m_requests.append(request);
        emit requestReceived(request);
        bool held = false;
        const PLYFakeReply reply = route(request, &held);
        if (held) {
            m_busy.insert(socket);
            m_held.append(HeldReply{socket, socket, reply});
            return;
        }
        if (reply.delayMs > 0) {
            answerInTime(socket, reply);
            return;
        }
        answer(socket, reply);
    }
}

void PLYFakeService::answerInTime(QTcpSocket* socket, const PLYFakeReply& reply) {
    m_busy.insert(socket);
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(qMax(0, reply.delayMs), this, [this, guard, socket, reply] {
        m_busy.remove(socket);
        if (!guard) return;
        answer(guard, reply);
        if (guard && guard->bytesAvailable() > 0) readFrom(guard);
    });
}

PLYFakeReply PLYFakeService::route(PLYFakeRequest& request, bool* held) {
    *held = false;
    for (const Route& route : std::as_const(m_routes))
        if (route.held && (route.method.isEmpty() || route.method == request.method) && matches(route.pattern, request.path, nullptr))
            *held = true;
    for (Route& route : m_routes) {
        if (!route.method.isEmpty() && route.method != request.method) continue;
        if (!matches(route.pattern, request.path, &request.captures)) continue;
        if (!route.queue.isEmpty()) return route.queue.takeFirst();
        if (route.handler) {
            PLYFakeReply reply = route.handler(request);
            reply.delayMs += route.handlerDelayMs;
            return reply;
        }
    }
    request.captures.clear();
    return PLYFakeReply::json(404, QVariantMap{{QStringLiteral("code"), 404}});
}

QByteArray PLYFakeService::reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 409: return "Conflict";
    case 422: return "Unprocessable Entity";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

void PLYFakeService::answer(QTcpSocket* socket, const PLYFakeReply& reply) {
    if (reply.abruptClose) {
        socket->abort();
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (!reply.body.isEmpty()) out += "Content-Type: " + reply.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    out += "Connection: keep-alive\r\n\r\n";
    if (reply.cutBodyAfter >= 0) {
        socket->write(out + reply.body.left(reply.cutBodyAfter));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    if (reply.stallBodyAfter >= 0) {
        // Nothing more is read or written on this connection until the service stops.
        socket->write(out + reply.body.left(reply.stallBodyAfter));
        socket->flush();
        m_busy.insert(socket);
        m_stalled.append(socket);
        return;
    }
    out += reply.body;
    socket->write(out);
    socket->flush();
}

// ---- Channel ----

void PLYFakeService::acceptChannelClient() {
    while (QWebSocket* client = m_channelServer->nextPendingConnection()) {
        client->setParent(this);
        m_clients.append(ChannelClient{client, {}});
        connect(client, &QWebSocket::textMessageReceived, this,
                [this, client](const QString& text) { channelFrame(client, text.toUtf8(), false); });
        connect(client, &QWebSocket::binaryMessageReceived, this,
                [this, client](const QByteArray& data) { channelFrame(client, data, true); });
        connect(client, &QWebSocket::disconnected, this, [this, client] {
            for (qsizetype i = m_clients.size() - 1; i >= 0; --i)
                if (!m_clients[i].socket || m_clients[i].socket == client) m_clients.removeAt(i);
            client->deleteLater();
        });
    }
}

void PLYFakeService::channelFrame(QWebSocket* client, const QByteArray& frame, bool binary) {
    const QJsonDocument document = QJsonDocument::fromJson(frame);
    if (!document.isObject()) return;
    const QVariantMap message = document.object().toVariantMap();
    m_channelMessages.append(message);
    m_channelMessagesBinary.append(binary);
    emit channelMessageReceived(message);
    const QString topic = message.value(QStringLiteral("topic")).toString();
    const QString event = message.value(QStringLiteral("event")).toString();
    const bool heartbeat = topic == QLatin1String("phoenix") && event == QLatin1String("heartbeat");
    const bool join = event == QLatin1String("phx_join");
    if (!heartbeat && !join) return;
    const bool joined = heartbeat || m_joinStatus == QLatin1String("ok");
    if (join && joined) {
        for (ChannelClient& entry : m_clients)
            if (entry.socket == client) entry.topics.insert(topic);
    }
    sendFrame(client, {{QStringLiteral("topic"), topic},
                       {QStringLiteral("event"), QStringLiteral("phx_reply")},
                       {QStringLiteral("payload"), QVariantMap{{QStringLiteral("status"), heartbeat ? QStringLiteral("ok") : m_joinStatus},
                                                              {QStringLiteral("response"), QVariantMap()}}},
                       {QStringLiteral("ref"), message.value(QStringLiteral("ref"))}});
}

void PLYFakeService::sendFrame(QWebSocket* client, const QVariantMap& message) {
    client->sendTextMessage(QString::fromUtf8(QJsonDocument::fromVariant(message).toJson(QJsonDocument::Compact)));
}

QList<PLYFakeRequest> PLYFakeService::httpRequests() const {
    QList<PLYFakeRequest> plain;
    for (const PLYFakeRequest& request : m_requests)
        if (request.header("upgrade").toLower() != "websocket") plain.append(request);
    return plain;
}

int PLYFakeService::channelClientCount() const {
    int count = 0;
    for (const ChannelClient& entry : m_clients)
        if (entry.socket && entry.socket->state() == QAbstractSocket::ConnectedState) ++count;
    return count;
}

QList<QUrl> PLYFakeService::channelRequestUrls() const {
    QList<QUrl> urls;
    for (const ChannelClient& entry : m_clients)
        if (entry.socket) urls.append(entry.socket->requestUrl());
    return urls;
}

int PLYFakeService::push(const QString& topic, const QString& event, const QVariantMap& payload) {
    int sent = 0;
    for (const ChannelClient& entry : m_clients) {
        if (!entry.socket || !entry.topics.contains(topic)) continue;
        sendFrame(entry.socket, {{QStringLiteral("topic"), topic},
                                 {QStringLiteral("event"), event},
                                 {QStringLiteral("payload"), payload},
                                 {QStringLiteral("ref"), QVariant::fromValue(nullptr)}});
        ++sent;
    }
    return sent;
}

void PLYFakeService::closeChannelClients() {
    const QList<ChannelClient> clients = m_clients;
    m_clients.clear();
    for (const ChannelClient& entry : clients)
        if (entry.socket) entry.socket->abort();
}
