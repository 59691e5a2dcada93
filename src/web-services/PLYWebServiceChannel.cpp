#include "PLYWebServiceChannel.h"

#include "PLYJSONSerialization.h"
#include "PLYLog.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceHostRealTimeDelegate.h"

#include <QWebSocket>
#include <cmath>
#include <mutex>

namespace {

struct ChannelSettings {
    std::mutex mutex;
    std::function<QString()> accountIdentifier;
    int keepAliveMs = 5000;
    qint64 maximumMessageBytes = 1024 * 1024;
};

ChannelSettings& settings() {
    static ChannelSettings s;
    return s;
}

QString jsonText(const QVariant& value) { return PLYJSONSerialization::logText(value); }

}  // namespace

void PLYWebServiceChannel::setAccountIdentifierProvider(std::function<QString()> provider) {
    std::lock_guard lock(settings().mutex);
    settings().accountIdentifier = std::move(provider);
}

void PLYWebServiceChannel::setKeepAliveInterval(double seconds) {
    std::lock_guard lock(settings().mutex);
    settings().keepAliveMs = qMax(1, int(seconds * 1000));
}

void PLYWebServiceChannel::setMaximumIncomingMessageSize(qint64 bytes) {
    std::lock_guard lock(settings().mutex);
    settings().maximumMessageBytes = qMax<qint64>(1024, bytes);
}

qint64 PLYWebServiceChannel::maximumIncomingMessageSize() {
    std::lock_guard lock(settings().mutex);
    return settings().maximumMessageBytes;
}

PLYWebServiceChannel::PLYWebServiceChannel(PLYWebServiceHost* host) : QObject(host), m_host(host) {
    connect(&m_keepAlive, &QTimer::timeout, this, &PLYWebServiceChannel::sendPing);
}

PLYWebServiceChannel::~PLYWebServiceChannel() { shutdown(); }

QString PLYWebServiceChannel::postKey(const QVariant& postId) {
    if (!postId.isValid() || PLYJSONSerialization::isNull(postId)) return {};
    // JSON numbers may arrive as doubles: 17.0 and "17" name the same post. One that is not a
    // whole number within 64 bits is refused before it is converted (the conversion would be
    // undefined).
    if (postId.typeId() == QMetaType::Double || postId.typeId() == QMetaType::Float) {
        const double value = postId.toDouble();
        if (!std::isfinite(value) || value < -9223372036854775808.0 || value >= 9223372036854775808.0 ||
            value != std::trunc(value))
            return {};
        return QString::number(qint64(value));
    }
    return postId.toString().trimmed();
}

QString PLYWebServiceChannel::accountTopic() const {
    std::function<QString()> provider;
    {
        std::lock_guard lock(settings().mutex);
        provider = settings().accountIdentifier;
    }
    const QString identifier = provider ? provider() : QString();
    return identifier.isEmpty() ? QString() : QStringLiteral("account:") + identifier;
}

bool PLYWebServiceChannel::isConnected() const {
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void PLYWebServiceChannel::ensureConnection() {
    const QString token = m_host->jwt();
    if (m_socket && (m_socket->state() == QAbstractSocket::ConnectedState ||
                     m_socket->state() == QAbstractSocket::ConnectingState ||
                     m_socket->state() == QAbstractSocket::HostLookupState)) {
        // The socket speaks for the session whose token opened it: another user's token must
        // never ride on it (nor join its topics over it).
        if (token.isEmpty() || token == m_socketToken) return;
        PLY_LOG_INFO(QStringLiteral("The token changed: the channel opens again"));
        shutdown();
    }
    // Only the environment in use talks to its service: a token that reaches another one (an
    // answer arriving after a switch) must not open a channel there, with that account's topic.
    if (m_host != PLYWebServiceHost::currentHost()) return;
    if (token.isEmpty()) return;
    PLY_LOG_INFO(QStringLiteral("about to open socket"));
    shutdown();
    auto* socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    const qint64 bound = maximumIncomingMessageSize();
    socket->setMaxAllowedIncomingFrameSize(quint64(bound));
    socket->setMaxAllowedIncomingMessageSize(quint64(bound));
    m_socket = socket;
    m_socketToken = token;
    connect(socket, &QWebSocket::connected, this, &PLYWebServiceChannel::socketDidOpen);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { didReceiveMessage(text.toUtf8()); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, &PLYWebServiceChannel::didReceiveMessage);
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this, socket](QAbstractSocket::SocketError) {
        PLY_LOG_ERROR(QStringLiteral("Socket failed to connect: %1").arg(socket->errorString()));
        if (socket == m_socket && socket->state() == QAbstractSocket::UnconnectedState) socketDidClose();
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        PLY_LOG_INFO(QStringLiteral("Socket Closed: %1 reason: %2").arg(int(socket->closeCode())).arg(socket->closeReason()));
        if (socket == m_socket) socketDidClose();
    });
    socket->open(m_host->socketURL());
}

void PLYWebServiceChannel::closeIfOpen() {
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) return;
    shutdown();
}

void PLYWebServiceChannel::shutdown() {
    m_keepAlive.stop();
    m_socketToken.clear();
    m_joiningTopic.clear();
    m_joinedTopic.clear();
    if (!m_socket) return;
    QWebSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->close();
    socket->deleteLater();
}

void PLYWebServiceChannel::socketDidOpen() {
    const QString token = m_host->jwt();
    if (!token.isEmpty() && token != m_socketToken) {
        // Another session signed in while this socket was connecting.
        QMetaObject::invokeMethod(this, [this] { ensureConnection(); }, Qt::QueuedConnection);
        shutdown();
        return;
    }
    join(accountTopic());
    sendPing();
    std::lock_guard lock(settings().mutex);
    m_keepAlive.start(settings().keepAliveMs);
}

void PLYWebServiceChannel::socketDidClose() {
    // Nothing reconnects here: the next token or the next idle opens a new socket.
    m_keepAlive.stop();
    m_joiningTopic.clear();
    m_joinedTopic.clear();
}

void PLYWebServiceChannel::joinIfNeeded() {
    if (!isConnected()) return;
    const QString topic = accountTopic();
    if (topic.isEmpty() || topic == m_joinedTopic || topic == m_joiningTopic) return;
    join(topic);
}

void PLYWebServiceChannel::join(const QString& topic) {
    // Without an account there is nothing to join yet; the next idle joins.
    if (topic.isEmpty() || !isConnected()) return;
    m_joiningTopic = topic;
    const QVariantMap message{{QStringLiteral("topic"), topic},
                              {QStringLiteral("event"), QStringLiteral("phx_join")},
                              {QStringLiteral("payload"), QVariantMap()},
                              {QStringLiteral("ref"), 1}};
    m_socket->sendBinaryMessage(PLYJSONSerialization::dataWithJSONObject(message, PLYJSONSerialization::WritingPrettyPrinted));
}

void PLYWebServiceChannel::sendPing() {
    if (!isConnected()) {
        m_keepAlive.stop();
        return;
    }
    m_socket->ping();
}

void PLYWebServiceChannel::didReceiveMessage(const QByteArray& text) {
    const QVariant parsed = PLYJSONSerialization::JSONObjectWithData(text, PLYJSONSerialization::ReadingAllowFragments);
    PLY_LOG_INFO(QStringLiteral("WS raw message: %1").arg(jsonText(parsed)));
    if (parsed.typeId() != QMetaType::QVariantMap) return;
    const QVariantMap message = parsed.toMap();
    const QString event = message.value(QStringLiteral("event")).toString();
    if (event == QLatin1String("phx_reply")) {
        PLY_LOG_INFO(QStringLiteral("joined socket: %1").arg(jsonText(message)));
        const QString topic = message.value(QStringLiteral("topic")).toString();
        if (topic.isEmpty() || topic != m_joiningTopic) return;
        m_joiningTopic.clear();
        const QString status = message.value(QStringLiteral("payload")).toMap().value(QStringLiteral("status")).toString();
        if (status == QLatin1String("ok")) {
            m_joinedTopic = topic;
        } else {
            m_joinedTopic.clear();
            PLY_LOG_WARN(QStringLiteral("The service refused to join %1: %2").arg(topic, status));
        }
        return;
    }
    const QVariantMap payload = message.value(QStringLiteral("payload")).toMap();
    const QString key = postKey(payload.value(QStringLiteral("post")));
    if (key.isEmpty()) return;
    // Over a copy: a delegate may register or leave while it is told.
    const QList<std::weak_ptr<PLYWebServiceHostRealTimeDelegate>> delegates = m_delegates.value(key);
    for (const auto& weak : delegates)
        if (const auto delegate = weak.lock()) delegate->webServiceHostDidRecieveEvent(m_host, event, payload);
}

void PLYWebServiceChannel::addMessageDelegate(const std::shared_ptr<PLYWebServiceHostRealTimeDelegate>& delegate,
                                              const QVariant& postId) {
    const QString key = postKey(postId);
    if (!delegate || key.isEmpty()) return;
    auto& list = m_delegates[key];
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        const auto existing = list[i].lock();
        if (!existing) list.removeAt(i);
        else if (existing == delegate) return;
    }
    list.append(delegate);
}

void PLYWebServiceChannel::removeMessageDelegate(const PLYWebServiceHostRealTimeDelegate* delegate, const QVariant& postId) {
    const QString only = postKey(postId);
    for (auto it = m_delegates.begin(); it != m_delegates.end();) {
        if (only.isEmpty() || it.key() == only) {
            auto& list = it.value();
            for (qsizetype i = list.size() - 1; i >= 0; --i) {
                const auto existing = list[i].lock();
                if (!existing || existing.get() == delegate) list.removeAt(i);
            }
        }
        it = it.value().isEmpty() ? m_delegates.erase(it) : std::next(it);
    }
}

int PLYWebServiceChannel::messageDelegateCount(const QVariant& postId) const {
    int count = 0;
    for (const auto& weak : m_delegates.value(postKey(postId)))
        if (!weak.expired()) ++count;
    return count;
}
