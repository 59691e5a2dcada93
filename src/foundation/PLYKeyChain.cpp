#include "PLYKeyChain.h"

#include "PLYLog.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QMetaType>
#include <memory>
#include <mutex>

// glib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace {

// Items are UTF-8 text under the text schema. Items saved by earlier versions hold an archived
// value under the archive schema; they are still read (see unarchive) and replaced by text at
// their next save. Two schemas, rather than a marker inside the text, so that no secret can be
// mistaken for the other form.
enum class Format { Text, Archive };

const SecretSchema* schema(Format format) {
    static const SecretSchema text = {
        "com.vezovuroru.KeyChain.Text",
        SECRET_SCHEMA_NONE,
        {
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    static const SecretSchema archive = {
        "com.vezovuroru.KeyChain.GenericPassword",
        SECRET_SCHEMA_NONE,
        {
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return format == Format::Text ? &text : &archive;
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
    virtual bool lookup(Format f, const QString& key, const QString& service, QByteArray* secret, PLYError* error) = 0;
    virtual bool store(Format f, const QString& key, const QString& service, const QByteArray& secret, PLYError* error) = 0;
    // Missing item: false with ErrorItemNotFound.
    virtual bool remove(Format f, const QString& key, const QString& service, PLYError* error) = 0;
};

class MemoryStore final : public Store {
public:
    bool lookup(Format f, const QString& key, const QString& service, QByteArray* secret, PLYError*) override {
        *secret = m_items.value(slot(f, key, service));
        return true;
    }
    bool store(Format f, const QString& key, const QString& service, const QByteArray& secret, PLYError*) override {
        m_items.insert(slot(f, key, service), secret);
        return true;
    }
    bool remove(Format f, const QString& key, const QString& service, PLYError* error) override {
        if (m_items.remove(slot(f, key, service))) return true;
        PLYError::set(error, notFound());
        return false;
    }

private:
    static QString slot(Format f, const QString& key, const QString& service) {
        return QString::number(int(f)) + QChar(0x1f) + service + QChar(0x1f) + key;
    }
    QHash<QString, QByteArray> m_items;
};

class SecretServiceStore final : public Store {
public:
    bool lookup(Format f, const QString& key, const QString& service, QByteArray* secret, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        gchar* value = secret_password_lookup_sync(schema(f), nullptr, &gerror, "account", k.constData(), "service",
                                                   s.constData(), nullptr);
        if (gerror) return fail(gerror, QStringLiteral("read"), error);
        *secret = value ? QByteArray(value) : QByteArray();
        if (value) secret_password_free(value);
        return true;
    }
    bool store(Format f, const QString& key, const QString& service, const QByteArray& secret, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        const QByteArray label = QStringLiteral("%1 (%2)").arg(service, key).toUtf8();
        const gboolean ok = secret_password_store_sync(schema(f), SECRET_COLLECTION_DEFAULT, label.constData(),
                                                       secret.constData(), nullptr, &gerror, "account", k.constData(),
                                                       "service", s.constData(), nullptr);
        if (gerror || !ok) return fail(gerror, QStringLiteral("save"), error);
        return true;
    }
    bool remove(Format f, const QString& key, const QString& service, PLYError* error) override {
        GError* gerror = nullptr;
        const QByteArray k = key.toUtf8(), s = service.toUtf8();
        const gboolean removed = secret_password_clear_sync(schema(f), nullptr, &gerror, "account", k.constData(),
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
    // A keyring that reloads its file (another program just wrote to it) answers for a moment that
    // it has no default collection: asked again a few times before the credentials are kept in
    // memory for the whole session.
    constexpr int Asks = 5;
    bool ok = false;
    for (int ask = 1; ask <= Asks && !ok; ++ask) {
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service", "ReadAlias",
            g_variant_new("(s)", "default"), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 1500, nullptr, &gerror);
        if (!reply) {
            *why = QStringLiteral("no Secret Service answered (%1)").arg(gerror ? QString::fromUtf8(gerror->message) : QString());
            if (gerror) g_error_free(gerror);
            break;
        }
        const gchar* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        ok = path && QByteArray(path) != "/";
        g_variant_unref(reply);
        if (!ok) {
            *why = QStringLiteral("the Secret Service has no default collection");
            if (ask < Asks) g_usleep(G_USEC_PER_SEC / 20);
        }
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

namespace {
PLYError unreadable(const QString& why) {
    return keychainError(PLYKeyChain::ErrorUnarchive, QStringLiteral("The keychain item could not be read."), why);
}

quint32 bigEndian32(const char* p) {
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8) | quint32(quint8(p[3]));
}
}  // namespace

QVariant PLYKeyChain::unarchive(const QByteArray& secret, PLYError* error) {
    // Decoded by hand rather than by QDataStream's QVariant reader, which trusts the stored type
    // and lengths (a 13-byte item crashed it; others had it allocate gigabytes). Only the text
    // values that earlier versions stored are taken: a QString or a QByteArray of UTF-8.
    if (secret.size() > MaxSecretBytes * 2) {
        PLYError::set(error, unreadable(QStringLiteral("The stored data is larger than %1 bytes.").arg(MaxSecretBytes * 2)));
        return {};
    }
    const auto decoded = QByteArray::fromBase64Encoding(secret, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        PLYError::set(error, unreadable(QStringLiteral("The stored data is not an archived value.")));
        return {};
    }
    const QByteArray& bytes = *decoded;
    // type (32 bits), null flag (8 bits), length (32 bits), then the bytes.
    if (bytes.size() < 9) {
        PLYError::set(error, unreadable(QStringLiteral("The stored data is cut short.")));
        return {};
    }
    const quint32 type = bigEndian32(bytes.constData());
    if (type != QMetaType::QString && type != QMetaType::QByteArray) {
        PLYError::set(error, unreadable(QStringLiteral("The stored value is of type %1, not text.").arg(type)));
        return {};
    }
    const quint32 length = bigEndian32(bytes.constData() + 5);
    const qsizetype rest = bytes.size() - 9;
    if (length == 0xFFFFFFFFu && rest == 0) return QString();
    if (qsizetype(length) != rest || (type == QMetaType::QString && length % 2 != 0)) {
        PLYError::set(error, unreadable(QStringLiteral("The stored length does not match the stored data.")));
        return {};
    }
    const char* data = bytes.constData() + 9;
    if (type == QMetaType::QByteArray) return QString::fromUtf8(data, rest);
    QString text(rest / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t((quint8(data[2 * i]) << 8) | quint8(data[2 * i + 1])));
    return text;
}

QVariant PLYKeyChain::itemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    QByteArray secret;
    bool archived = false;
    {
        std::lock_guard lock(state().mutex);
        if (!state().current().lookup(Format::Text, key, service, &secret, error)) return {};
        if (secret.isNull()) {
            if (!state().current().lookup(Format::Archive, key, service, &secret, error)) return {};
            archived = !secret.isNull();
        }
    }
    if (secret.isNull()) {
        PLYError::set(error, notFound());
        return {};
    }
    if (archived) return unarchive(secret, error);
    if (secret.size() > MaxSecretBytes) {
        PLYError::set(error, unreadable(QStringLiteral("The stored text is larger than %1 bytes.").arg(MaxSecretBytes)));
        return {};
    }
    return QString::fromUtf8(secret);
}

bool PLYKeyChain::saveItem(const QVariant& item, const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    if (!item.isValid() || item.isNull()) return deleteItemForKey(key, service, error);
    const int type = item.typeId();
    const bool text = type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::Int ||
                      type == QMetaType::LongLong || type == QMetaType::UInt || type == QMetaType::ULongLong ||
                      type == QMetaType::Double || type == QMetaType::Bool;
    const QByteArray secret = type == QMetaType::QByteArray ? item.toByteArray() : item.toString().toUtf8();
    if (!text || secret.size() > MaxSecretBytes) {
        PLYError::set(error, keychainError(ErrorParam, QStringLiteral("Only text of at most %1 bytes is kept in the keychain.").arg(MaxSecretBytes)));
        return false;
    }
    std::lock_guard lock(state().mutex);
    if (!state().current().store(Format::Text, key, service, secret, error)) return false;
    // The earlier form of the same item would only be read if the text one went missing.
    state().current().remove(Format::Archive, key, service, nullptr);
    return true;
}

bool PLYKeyChain::deleteItemForKey(const QString& key, const QString& service, PLYError* error) {
    checkArgs(key, service);
    std::lock_guard lock(state().mutex);
    PLYError textError, archiveError;
    const bool text = state().current().remove(Format::Text, key, service, &textError);
    const bool archived = state().current().remove(Format::Archive, key, service, &archiveError);
    if (text || archived) return true;
    PLYError::set(error, textError.code != ErrorItemNotFound ? textError : archiveError);
    return false;
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

bool PLYKeyChain::storeRawSecretForTesting(const QByteArray& secret, const QString& key, const QString& service, bool archived) {
    checkArgs(key, service);
    std::lock_guard lock(state().mutex);
    return state().current().store(archived ? Format::Archive : Format::Text, key, service, secret, nullptr);
}
