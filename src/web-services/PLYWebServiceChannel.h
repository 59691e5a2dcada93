#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWebSocket>
#include <functional>
#include <memory>

class PLYWebServiceHost;
class PLYWebServiceHostRealTimeDelegate;

// The real-time channel of one service host: a web socket speaking the Phoenix channel form
// ({"topic", "event", "payload", "ref"}). It joins the signed-in account's topic, keeps the
// connection alive with ping frames and hands each message about a remote post to the
// delegates registered for that post. Main thread only.
class PLYWebServiceChannel : public QObject {
public:
    explicit PLYWebServiceChannel(PLYWebServiceHost* host);
    ~PLYWebServiceChannel() override;

    // Where the identifier of the signed-in account comes from (empty: not known yet).
    static void setAccountIdentifierProvider(std::function<QString()> provider);
    // Seconds between keep-alive pings (5 by default; tests use less).
    static void setKeepAliveInterval(double seconds);
    // The largest message (and frame) the channel takes; a larger one ends the connection
    // instead of being read into memory. 1 MiB unless set.
    static void setMaximumIncomingMessageSize(qint64 bytes);
    static qint64 maximumIncomingMessageSize();

    // Opens a new socket unless one is connecting or open; does nothing without a token.
    void ensureConnection();
    // Closes an open socket and drops it; a socket still connecting is left alone.
    void closeIfOpen();
    // Drops the socket whatever its state (the host is going away).
    void shutdown();
    // Joins the account's topic when the socket is open and the joined (or joining) topic is
    // another one, e.g. after a fresh sign-in fetched the account once the socket was open.
    void joinIfNeeded();

    QWebSocket* webSocket() const { return m_socket; }
    bool isConnected() const;
    // The topic whose join the service accepted; empty when none.
    QString joinedTopic() const { return m_joinedTopic; }

    // Post identifiers are compared as text, whatever JSON type carried them. A number that is
    // not a whole number within 64 bits names no post.
    void addMessageDelegate(const std::shared_ptr<PLYWebServiceHostRealTimeDelegate>& delegate, const QVariant& postId);
    void removeMessageDelegate(const PLYWebServiceHostRealTimeDelegate* delegate, const QVariant& postId = {});
    int messageDelegateCount(const QVariant& postId) const;

    static QString postKey(const QVariant& postId);

private:
    void socketDidOpen();
    void didReceiveMessage(const QByteArray& text);
    void socketDidClose();
    void join(const QString& topic);
    void sendPing();
    QString accountTopic() const;

    PLYWebServiceHost* m_host;
    QPointer<QWebSocket> m_socket;
    // The token the socket was opened with: another token means another session.
    QString m_socketToken;
    QTimer m_keepAlive;
    QString m_joiningTopic;
    QString m_joinedTopic;
    QMap<QString, QList<std::weak_ptr<PLYWebServiceHostRealTimeDelegate>>> m_delegates;
};
