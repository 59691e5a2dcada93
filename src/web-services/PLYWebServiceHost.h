#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <mutex>
#include <optional>

class PLYWebServiceChannel;
class PLYWebServiceHostRealTimeDelegate;
class QWebSocket;

// One environment of the publishing service: where it lives, the addresses of its roots and
// the credentials kept for it. Exactly one environment is current, chosen in the user defaults.
class PLYWebServiceHost : public QObject {
    Q_OBJECT
public:
    static constexpr const char* HostTypeDev = "PLYWebServiceHost_DEV";
    static constexpr const char* HostTypeStaging = "PLYWebServiceHost_STAGING";
    static constexpr const char* HostTypeProd = "PLYWebServiceHost_PROD";
    static constexpr const char* HostTypeCustom = "PLYWebServiceHost_CUSTOM";

    static constexpr const char* kHostTypeKey = "WEB_SERVICE_HOST_TYPE";
    static constexpr const char* kCustomHostKey = "WEB_SERVICE_KEY_HOST";
    static constexpr const char* kCustomPortKey = "WEB_SERVICE_KEY_PORT";
    static constexpr const char* kCustomHTTPSKey = "WEB_SERVICE_KEY_HTTPS";

    // Posted by setCurrentHostType, and by the custom setters when they change the address of
    // the current (custom) host; the object is classObject(), no user info.
    static constexpr const char* DidChangeCurrentHostNotification = "PLYWebServiceHostDidChangeCurrentHostNotification";
    // Stands for the host class as the poster of class-level notifications.
    static void* classObject();

    static constexpr const char* kEmailKey = "email";
    static constexpr const char* kPasswordKey = "password";
    static constexpr const char* kJWTKey = "jwt";

    // The environment named under "WEB_SERVICE_HOST_TYPE" (development when none; custom when
    // the name is none of the fixed three). Instances live for the process.
    static PLYWebServiceHost* currentHost();
    static PLYWebServiceHost* devHost();
    static PLYWebServiceHost* stagingHost();
    static PLYWebServiceHost* prodHost();
    static PLYWebServiceHost* customHost();

    static void setCurrentHostType(const QString& hostType);
    // The three custom setters, changing anything, close the custom host's channel (opened on
    // the address left behind) and announce the change while the custom host is current.
    static void setCustomHostName(const QString& hostName);
    // Stores the custom port when it is a whole number from 1 to 65535 (or empty, for the
    // scheme's own port); anything else is refused and the stored port stays as it was, so
    // that the probe and the addresses always use the same port.
    static bool setCustomPort(const QString& port);
    static bool isValidPort(const QString& port);
    static void setCustomHTTPS(bool https);

    static QUrl urlComponentWithHost(const QString& host, const QString& port, bool https);

    // The last component of the application's identifier, e.g. "pellory".
    static QString bundleIdentifierLastComponent();

    // Tests: forget every instance so that the next accessor call makes a fresh one.
    static void resetForTesting();
    // Closes the channel of every environment; at the end of the process, while the
    // application object (and its event loop) still exists.
    static void closeAllChannels();

    explicit PLYWebServiceHost(const QString& hostType, QObject* parent = nullptr);
    ~PLYWebServiceHost() override;

    QString hostType() const { return m_hostType; }
    QString hostName() const;
    QString port() const;
    bool isHTTPS() const;
    QString keychainSuffix() const;
    // "com.<identifier>.<suffix>": the keychain service of this environment's credentials.
    QString keychainServiceName() const;

    QUrl serviceURL() const;
    QUrl serviceCoreURL() const;
    QUrl serviceApiURL() const;
    QUrl serviceMeURL() const;
    QUrl serviceURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters = std::nullopt) const;
    QUrl serviceCoreURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters = std::nullopt) const;
    QUrl serviceApiURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters = std::nullopt) const;
    QUrl serviceMeURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters = std::nullopt) const;
    QUrl passwordResetURL() const;
    // The channel address, carrying this host's token: never log it unredacted.
    QUrl socketURL() const;

    QString email() const;
    QString password() const;
    QString jwt() const;
    void setEmail(const QString& email, bool remember);
    void setPassword(const QString& password, bool remember);
    // Caches and saves the token, then makes sure the channel is open.
    void setJWT(const QString& jwt);
    // Forgets the three credentials in memory and in the keychain, and closes an open channel.
    void clearStoredKeys();

    // ---- The real-time channel (main thread) ----
    // Opens the channel unless it is connecting or open; nothing happens without a token.
    void ensureSocketConnection();
    // Whether the channel's socket is open.
    bool socketConnected() const;
    // The channel's socket, or nothing.
    QWebSocket* webSocket() const;
    // Joins the signed-in account's topic when the open channel has joined another (or none).
    void joinChannelIfNeeded();
    // The topic whose join the service accepted; empty when none.
    QString joinedChannelTopic() const;
    // Messages whose payload names this remote post (compared as text) reach `delegate`. Not
    // owning: a delegate that is gone is skipped and forgotten. Adding twice keeps one entry.
    void addMessageDelegate(const std::shared_ptr<PLYWebServiceHostRealTimeDelegate>& delegate, const QVariant& postId);
    // Removes the delegate for that post, or for every post when `postId` is invalid.
    void removeMessageDelegate(const PLYWebServiceHostRealTimeDelegate* delegate, const QVariant& postId = {});
    int messageDelegateCount(const QVariant& postId) const;

    // Tests may stand in for the channel: while hooks are set they run instead of it.
    struct ChannelHooks {
        std::function<void(PLYWebServiceHost*)> ensureConnection;
        std::function<void(PLYWebServiceHost*)> closeIfOpen;
    };
    static void setChannelHooks(ChannelHooks hooks);

private:
    QString cachedOrStored(QString& cache, const char* key) const;
    void store(QString& cache, const QString& value, const char* key, bool remember);
    QUrl urlWithPath(const QString& path, const std::optional<QVariantMap>& parameters) const;

    PLYWebServiceChannel* channel();
    void closeChannelIfOpen();
    // A part of the custom address changed: announced as a change of host.
    static void customAddressChanged();

    const QString m_hostType;
    PLYWebServiceChannel* m_channel = nullptr;  // made on first use, a child of this host
    mutable std::recursive_mutex m_mutex;
    mutable QString m_email;
    mutable QString m_password;
    mutable QString m_jwt;
};
