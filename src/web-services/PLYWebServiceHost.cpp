#include "PLYWebServiceHost.h"

#include "PLYDispatch.h"

#include "PLYKeyChain.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceChannel.h"

#include <QCoreApplication>
#include <QUrlQuery>
#include <memory>

#ifndef PELLORY_STAGING_HOST
#define PELLORY_STAGING_HOST "staging.pellory.app"
#endif
#ifndef PELLORY_PRODUCTION_HOST
#define PELLORY_PRODUCTION_HOST "api.pellory.app"
#endif

namespace {

struct Registry {
    std::recursive_mutex mutex;
    std::unique_ptr<PLYWebServiceHost> dev, staging, prod, custom;
    PLYWebServiceHost::ChannelHooks hooks;
};

Registry& registry() {
    static Registry r;
    return r;
}

PLYWebServiceHost* instance(std::unique_ptr<PLYWebServiceHost>& slot, const char* type) {
    std::lock_guard lock(registry().mutex);
    if (!slot) slot = std::make_unique<PLYWebServiceHost>(QString::fromLatin1(type));
    return slot.get();
}

PLYUserDefaults& defaults() { return PLYUserDefaults::standardUserDefaults(); }

}  // namespace

void* PLYWebServiceHost::classObject() {
    return const_cast<QMetaObject*>(&PLYWebServiceHost::staticMetaObject);
}

PLYWebServiceHost* PLYWebServiceHost::devHost() { return instance(registry().dev, HostTypeDev); }
PLYWebServiceHost* PLYWebServiceHost::stagingHost() { return instance(registry().staging, HostTypeStaging); }
PLYWebServiceHost* PLYWebServiceHost::prodHost() { return instance(registry().prod, HostTypeProd); }
PLYWebServiceHost* PLYWebServiceHost::customHost() { return instance(registry().custom, HostTypeCustom); }

PLYWebServiceHost* PLYWebServiceHost::currentHost() {
    const QString type = defaults().stringForKey(QString::fromLatin1(kHostTypeKey));
    if (type.isEmpty() || type == QLatin1String(HostTypeDev)) return devHost();
    if (type == QLatin1String(HostTypeStaging)) return stagingHost();
    if (type == QLatin1String(HostTypeProd)) return prodHost();
    return customHost();
}

namespace {
// The custom address is set a part at a time (host, port, HTTPS): its announcement waits for the
// turn of the event loop so that one change of address is announced once, and an announcement
// made meanwhile by setCurrentHostType stands for it.
quint64 g_pendingAddressAnnouncement = 0;
}  // namespace

void PLYWebServiceHost::setCurrentHostType(const QString& hostType) {
    ++g_pendingAddressAnnouncement;
    defaults().setString(hostType, QString::fromLatin1(kHostTypeKey));
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(DidChangeCurrentHostNotification), classObject());
}

void PLYWebServiceHost::customAddressChanged() {
    // The custom host's channel was opened on the old address; while that host is current the
    // session follows it to the new one (it checks the connection and reopens the channel).
    customHost()->closeChannelIfOpen();
    if (currentHost()->hostType() != QLatin1String(HostTypeCustom)) return;
    const quint64 announcement = ++g_pendingAddressAnnouncement;
    PLYDispatch::mainAsync([announcement] {
        if (announcement != g_pendingAddressAnnouncement) return;
        if (currentHost()->hostType() == QLatin1String(HostTypeCustom))
            PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(DidChangeCurrentHostNotification), classObject());
    });
}

void PLYWebServiceHost::setCustomHostName(const QString& hostName) {
    const QString key = QString::fromLatin1(kCustomHostKey);
    if (defaults().stringForKey(key) == hostName) return;
    defaults().setString(hostName, key);
    customAddressChanged();
}

bool PLYWebServiceHost::isValidPort(const QString& port) {
    const QString text = port.trimmed();
    if (text.isEmpty() || text.size() > 5) return false;
    for (const QChar c : text)
        if (!c.isDigit() || c.unicode() > 0x7f) return false;
    const int number = text.toInt();
    return number > 0 && number < 65536;
}

bool PLYWebServiceHost::setCustomPort(const QString& port) {
    if (!port.trimmed().isEmpty() && !isValidPort(port)) {
        PLY_LOG_WARN(QStringLiteral("Refused the custom port '%1': a port is a number from 1 to 65535").arg(port));
        return false;
    }
    const QString key = QString::fromLatin1(kCustomPortKey);
    if (defaults().stringForKey(key) == port.trimmed()) return true;
    defaults().setString(port.trimmed(), key);
    customAddressChanged();
    return true;
}

void PLYWebServiceHost::setCustomHTTPS(bool https) {
    const QString key = QString::fromLatin1(kCustomHTTPSKey);
    if (defaults().boolForKey(key, false) == https) return;
    defaults().setBool(https, key);
    customAddressChanged();
}

QUrl PLYWebServiceHost::urlComponentWithHost(const QString& host, const QString& port, bool https) {
    QUrl url;
    url.setScheme(https ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    bool ok = false;
    const int number = port.trimmed().toInt(&ok);
    const int defaultPort = https ? 443 : 80;
    const int chosen = ok && number > 0 && number < 65536 ? number : defaultPort;
    // The scheme's own port is left implicit so that addresses read as people write them.
    url.setPort(chosen == defaultPort ? -1 : chosen);
    return url;
}

QString PLYWebServiceHost::bundleIdentifierLastComponent() {
    const QString name = QCoreApplication::applicationName().toLower().remove(QLatin1Char(' '));
    if (name.isEmpty()) return QStringLiteral("pellory");
    return name.split(QLatin1Char('.')).last();
}

void PLYWebServiceHost::resetForTesting() {
    std::lock_guard lock(registry().mutex);
    registry().dev.reset();
    registry().staging.reset();
    registry().prod.reset();
    registry().custom.reset();
}

void PLYWebServiceHost::closeAllChannels() {
    std::lock_guard lock(registry().mutex);
    for (auto* slot : {&registry().dev, &registry().staging, &registry().prod, &registry().custom})
        if (*slot && (*slot)->m_channel) (*slot)->m_channel->shutdown();
}

void PLYWebServiceHost::setChannelHooks(ChannelHooks hooks) {
    std::lock_guard lock(registry().mutex);
    registry().hooks = std::move(hooks);
}

PLYWebServiceHost::PLYWebServiceHost(const QString& hostType, QObject* parent)
    : QObject(parent), m_hostType(hostType) {}

PLYWebServiceHost::~PLYWebServiceHost() {
    std::function<void(PLYWebServiceHost*)> close;
    {
        std::lock_guard lock(registry().mutex);
        close = registry().hooks.closeIfOpen;
    }
    if (close) close(this);
    if (m_channel) m_channel->shutdown();
}

QString PLYWebServiceHost::hostName() const {
    if (m_hostType == QLatin1String(HostTypeDev)) return QStringLiteral("localhost");
    if (m_hostType == QLatin1String(HostTypeStaging)) return QStringLiteral(PELLORY_STAGING_HOST);
    if (m_hostType == QLatin1String(HostTypeProd)) return QStringLiteral(PELLORY_PRODUCTION_HOST);
    // A custom environment with no host stored points at this machine rather than nowhere.
    const QString stored = defaults().stringForKey(QString::fromLatin1(kCustomHostKey)).trimmed();
    return stored.isEmpty() ? QStringLiteral("localhost") : stored;
}

QString PLYWebServiceHost::port() const {
    if (m_hostType == QLatin1String(HostTypeDev)) return QStringLiteral("4000");
    if (m_hostType == QLatin1String(HostTypeStaging) || m_hostType == QLatin1String(HostTypeProd))
        return QStringLiteral("443");
    // A port stored before ports were checked is read as no port at all, as the address does.
    const QString stored = defaults().stringForKey(QString::fromLatin1(kCustomPortKey)).trimmed();
    if (isValidPort(stored)) return QString::number(stored.toInt());
    return isHTTPS() ? QStringLiteral("443") : QStringLiteral("80");
}

bool PLYWebServiceHost::isHTTPS() const {
    if (m_hostType == QLatin1String(HostTypeDev)) return false;
    if (m_hostType == QLatin1String(HostTypeStaging) || m_hostType == QLatin1String(HostTypeProd)) return true;
    return defaults().boolForKey(QString::fromLatin1(kCustomHTTPSKey), false);
}

QString PLYWebServiceHost::keychainSuffix() const {
    if (m_hostType == QLatin1String(HostTypeDev)) return QStringLiteral("dev");
    if (m_hostType == QLatin1String(HostTypeStaging)) return QStringLiteral("staging");
    if (m_hostType == QLatin1String(HostTypeProd)) return QStringLiteral("prod");
    return QStringLiteral("custom");
}

QString PLYWebServiceHost::keychainServiceName() const {
    return QStringLiteral("com.%1.%2").arg(bundleIdentifierLastComponent(), keychainSuffix());
}

QUrl PLYWebServiceHost::serviceURL() const { return urlComponentWithHost(hostName(), port(), isHTTPS()); }

QUrl PLYWebServiceHost::urlWithPath(const QString& path, const std::optional<QVariantMap>& parameters) const {
    QUrl url = serviceURL();
    url.setPath(path);
    if (parameters) {
        QUrlQuery query;
        for (auto it = parameters->constBegin(); it != parameters->constEnd(); ++it)
            query.addQueryItem(it.key(), it.value().toString());
        url.setQuery(query);
    }
    return url;
}

QUrl PLYWebServiceHost::serviceCoreURL() const { return urlWithPath(QStringLiteral("/core"), std::nullopt); }
QUrl PLYWebServiceHost::serviceApiURL() const { return urlWithPath(QStringLiteral("/api"), std::nullopt); }
QUrl PLYWebServiceHost::serviceMeURL() const { return urlWithPath(QStringLiteral("/api/me"), std::nullopt); }

QUrl PLYWebServiceHost::serviceURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters) const {
    return urlWithPath(QStringLiteral("/%1").arg(paths.join(QLatin1Char('/'))), parameters);
}
QUrl PLYWebServiceHost::serviceCoreURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters) const {
    return urlWithPath(QStringLiteral("/core/%1").arg(paths.join(QLatin1Char('/'))), parameters);
}
QUrl PLYWebServiceHost::serviceApiURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters) const {
    return urlWithPath(QStringLiteral("/api/%1").arg(paths.join(QLatin1Char('/'))), parameters);
}
QUrl PLYWebServiceHost::serviceMeURLWithPaths(const QStringList& paths, const std::optional<QVariantMap>& parameters) const {
    return urlWithPath(QStringLiteral("/api/me/%1").arg(paths.join(QLatin1Char('/'))), parameters);
}

QUrl PLYWebServiceHost::passwordResetURL() const {
    return serviceCoreURLWithPaths({QStringLiteral("request-password")});
}

QUrl PLYWebServiceHost::socketURL() const {
    QUrl url = serviceURL();
    url.setScheme(isHTTPS() ? QStringLiteral("wss") : QStringLiteral("ws"));
    url.setPath(QStringLiteral("/socket/websocket"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("token"), jwt());
    url.setQuery(query);
    return url;
}

QString PLYWebServiceHost::cachedOrStored(QString& cache, const char* key) const {
    std::lock_guard lock(m_mutex);
    if (cache.isEmpty()) {
        // A failed read leaves the cache empty so that the next read tries again.
        const QVariant stored = PLYKeyChain::itemForKey(QString::fromLatin1(key), keychainServiceName());
        if (stored.isValid() && !stored.isNull()) cache = stored.toString();
    }
    return cache;
}

QString PLYWebServiceHost::email() const { return cachedOrStored(m_email, kEmailKey); }
QString PLYWebServiceHost::password() const { return cachedOrStored(m_password, kPasswordKey); }
QString PLYWebServiceHost::jwt() const { return cachedOrStored(m_jwt, kJWTKey); }

void PLYWebServiceHost::store(QString& cache, const QString& value, const char* key, bool remember) {
    std::lock_guard lock(m_mutex);
    cache = value;
    if (!remember) return;
    PLYError error;
    const QVariant item = value.isEmpty() ? QVariant() : QVariant(value);
    if (!PLYKeyChain::saveItem(item, QString::fromLatin1(key), keychainServiceName(), &error) &&
        error.code != PLYKeyChain::ErrorItemNotFound)
        PLY_LOG_WARN(QStringLiteral("Could not save the %1 of %2: %3").arg(QString::fromLatin1(key), m_hostType, error.description));
}

void PLYWebServiceHost::setEmail(const QString& email, bool remember) { store(m_email, email, kEmailKey, remember); }
void PLYWebServiceHost::setPassword(const QString& password, bool remember) { store(m_password, password, kPasswordKey, remember); }

void PLYWebServiceHost::setJWT(const QString& jwt) {
    store(m_jwt, jwt, kJWTKey, true);
    ensureSocketConnection();
}

void PLYWebServiceHost::clearStoredKeys() {
    {
        std::lock_guard lock(m_mutex);
        m_email.clear();
        m_password.clear();
        m_jwt.clear();
        for (const char* key : {kEmailKey, kPasswordKey, kJWTKey})
            PLYKeyChain::deleteItemForKey(QString::fromLatin1(key), keychainServiceName());  // a missing item is fine
    }
    closeChannelIfOpen();
}

void PLYWebServiceHost::closeChannelIfOpen() {
    std::function<void(PLYWebServiceHost*)> close;
    {
        std::lock_guard lock(registry().mutex);
        close = registry().hooks.closeIfOpen;
    }
    if (close) close(this);
    else if (m_channel) m_channel->closeIfOpen();
}

PLYWebServiceChannel* PLYWebServiceHost::channel() {
    if (!m_channel) m_channel = new PLYWebServiceChannel(this);
    return m_channel;
}

void PLYWebServiceHost::ensureSocketConnection() {
    std::function<void(PLYWebServiceHost*)> ensure;
    {
        std::lock_guard lock(registry().mutex);
        ensure = registry().hooks.ensureConnection;
    }
    if (ensure) ensure(this);
    else channel()->ensureConnection();
}

bool PLYWebServiceHost::socketConnected() const { return m_channel && m_channel->isConnected(); }
QWebSocket* PLYWebServiceHost::webSocket() const { return m_channel ? m_channel->webSocket() : nullptr; }
void PLYWebServiceHost::joinChannelIfNeeded() { if (m_channel) m_channel->joinIfNeeded(); }
QString PLYWebServiceHost::joinedChannelTopic() const { return m_channel ? m_channel->joinedTopic() : QString(); }

void PLYWebServiceHost::addMessageDelegate(const std::shared_ptr<PLYWebServiceHostRealTimeDelegate>& delegate,
                                           const QVariant& postId) {
    channel()->addMessageDelegate(delegate, postId);
}

void PLYWebServiceHost::removeMessageDelegate(const PLYWebServiceHostRealTimeDelegate* delegate, const QVariant& postId) {
    if (m_channel) m_channel->removeMessageDelegate(delegate, postId);
}

int PLYWebServiceHost::messageDelegateCount(const QVariant& postId) const {
    return m_channel ? m_channel->messageDelegateCount(postId) : 0;
}
