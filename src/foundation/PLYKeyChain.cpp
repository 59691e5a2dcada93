#include "PLYKeyChain.h"

#include "PLYLog.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <memory>
#include <mutex>

// glib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {
        "com.vezovuroru.KeyChain.GenericPassword",
        SECRET_SCHEMA_NONE,
        {
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &s;
}

PLYError keychainError(qint64 code, const QString& description, const QString& reason = {}) {
    return PLYError(QString::fromLatin1(PLYKeyChain::ErrorDomain), code, description, reason);
}

PLYError notFound() { return keychainError(PLYKeyChain::ErrorItemNotFound, QStringLiteral("The item could not be found.")); }

void checkArgs(const QString& key, const QString& service) {
    const QString invalid = QString::fromLatin1(PLYException::InvalidArgument);
    if (key.isEmpty()) throw PLYException(invalid, QStringLiteral("The keychain key cannot be empty."));
    if (service.isEmpty()) throw PLYException(invalid, QStringLiteral("The keychain service cannot be empty."));
}

// Where the archived secrets live. Each call answers false with *error filled on failure.
class Store {
public:
    virtual ~Store() = default;
    // Found: true with *secret set. Missing: true with *secret null.
    virtual bool lookup(const QString& key, const QString& service, QByteArray* secret, PLYError* error) = 0;
    virtual bool store(const QString& key, const QString& service, const QByteArray& secret, PLYError* error) = 0;
    // Missing item: false with ErrorItemNotFound.
    virtual bool remove(const QString& key, const QString& service, PLYError* error) = 0;
};

class MemoryStore final : public Store {
public:
    bool lookup(const QString& key, const QString& service, QByteArray* secret, PLYError*) override {
        *secret = m_items.value(slot(key, service));
        return true;
    }
    bool store(const QString& key, const QString& service, const QByteArray& secret, PLYError*) override {
        m_items.insert(slot(key, service), secret);
        return true;
    }
    bool remove(const QString& key, const QString& service, PLYError* error) override {
        if (m_items.remove(slot(key, service))) return true;
        PLYError::set(error, notFound());
        return false;
    }

private:
    static QString slot(const QString& key, const QString& service) { return service + QChar(0x1f) + key; }
    QHash<QString, QByteArray> m_items;
};

class SecretServiceStore final : public Store {
public:
    bool lookup(const QString& key, const QString& service, QByteArray* secret, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        gchar* value = secret_password_lookup_sync(schema(), nullptr, &gerror, "account", k.constData(), "service",
                                                   s.constData(), nullptr);
        if (gerror) return fail(gerror, QStringLiteral("read"), error);
        *secret = value ? QByteArray(value) : QByteArray();
        if (value) secret_password_free(value);
        return true;
    }
    bool store(const QString& key, const QString& service, const QByteArray& secret, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        const QByteArray label = QStringLiteral("%1 (%2)").arg(service, key).toUtf8();
        const gboolean ok = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                                                       secret.constData(), nullptr, &gerror, "account", k.constData(),
                                                       "service", s.constData(), nullptr);
        if (gerror || !ok) return fail(gerror, QStringLiteral("save"), error);
        return true;
    }
    bool remove(const QString& key, const QString& service, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        const gboolean removed = secret_password_clear_sync(schema(), nullptr, &gerror, "account", k.constData(),
                                                            "service", s.constData(), nullptr);
        if (gerror) return fail(gerror, QStringLiteral("delete"), error);
        if (!removed) {
            PLYError::set(error, notFound());
            return false;
        }
        return true;
    }

private:
    static bool fail(GError* gerror, const QString& what, PLYError* error) {
        const QString message = gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("unknown failure");
        if (gerror) g_error_free(gerror);
        // The message names the operation only, never the value.
        PLY_LOG_ERROR(QStringLiteral("Keychain: could not %1 an item: %2").arg(what, message));
        PLYError::set(error, keychainError(PLYKeyChain::ErrorNotAvailable,
                                           QStringLiteral("The keychain could not %1 the item.").arg(what), message));
        return false;
    }
};

// Asks the session bus, with short time-outs, whether a Secret Service with a default
// collection answers. Never blocks for long: a desktop without a keyring would otherwise stall
// start-up while D-Bus tries to activate one.
bool secretServiceAnswers(QString* why) {
    GError* gerror = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &gerror);
    if (!bus) {
        *why = QStringLiteral("no D-Bus session bus (%1)").arg(gerror ? QString::fromUtf8(gerror->message) : QString());
        if (gerror) g_error_free(gerror);
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service", "ReadAlias",
        g_variant_new("(s)", "default"), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 1500, nullptr, &gerror);
    bool ok = false;
    if (!reply) {
        *why = QStringLiteral("no Secret Service answered (%1)").arg(gerror ? QString::fromUtf8(gerror->message) : QString());
        if (gerror) g_error_free(gerror);
    } else {
        const gchar* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        ok = path && QByteArray(path) != "/";
        if (!ok) *why = QStringLiteral("the Secret Service has no default collection");
        g_variant_unref(reply);
    }
    g_object_unref(bus);
    return ok;
}

struct State {
    std::mutex mutex;
    std::unique_ptr<Store> store;
    bool secretService = false;
    bool forceInMemory = false;

    Store& current() {
        if (!store) {
            QString why;
            if (!forceInMemory && secretServiceAnswers(&why)) {
                store = std::make_unique<SecretServiceStore>();
                secretService = true;
            } else {
                if (forceInMemory) why = QStringLiteral("in-memory keychain requested");
                PLY_LOG_WARN(QStringLiteral("Keychain: %1; credentials are kept in memory until the application quits.").arg(why));
                store = std::make_unique<MemoryStore>();
                secretService = false;
            }
        }
        return *store;
    }
};

State& state() {
    static State s;
    return s;
}

}  // namespace

QByteArray PLYKeyChain::archive(const QVariant& value) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << value;
    return bytes.toBase64();
}

QVariant PLYKeyChain::unarchive(const QByteArray& secret, PLYError* error) {
    auto base64 = QByteArray::fromBase64Encoding(secret, QByteArray::AbortOnBase64DecodingErrors);
    QVariant value;
    if (base64) {
        QDataStream in(*base64);
        in.setVersion(QDataStream::Qt_6_0);
        in >> value;
        if (in.status() != QDataStream::Ok || !in.atEnd()) value = QVariant();
    }
    if (!value.isValid()) {
        PLYError::set(error, keychainError(ErrorUnarchive, QStringLiteral("The keychain item could not be read."),
                                           QStringLiteral("The stored data is not an archived value.")));
        return {};
    }
    return value;
}

QVariant PLYKeyChain::itemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    QByteArray secret;
    {
        std::lock_guard lock(state().mutex);
        if (!state().current().lookup(key, service, &secret, error)) return {};
    }
    if (secret.isNull()) {
        PLYError::set(error, notFound());
        return {};
    }
    return unarchive(secret, error);
}

bool PLYKeyChain::saveItem(const QVariant& item, const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    if (!item.isValid() || item.isNull()) return deleteItemForKey(key, service, error);
    std::lock_guard lock(state().mutex);
    return state().current().store(key, service, archive(item), error);
}

bool PLYKeyChain::deleteItemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    std::lock_guard lock(state().mutex);
    return state().current().remove(key, service, error);
}

bool PLYKeyChain::usesSecretService() {
    std::lock_guard lock(state().mutex);
    state().current();
    return state().secretService;
}

void PLYKeyChain::resetForTesting(bool forceInMemory) {
    std::lock_guard lock(state().mutex);
    state().store.reset();
    state().secretService = false;
    state().forceInMemory = forceInMemory;
}

bool PLYKeyChain::storeRawSecretForTesting(const QByteArray& secret, const QString& key, const QString& service) {
    checkArgs(key, service);
    std::lock_guard lock(state().mutex);
    return state().current().store(key, service, secret, nullptr);
}
