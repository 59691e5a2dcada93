#include "PLYPropertyList.h"
#include "PLYAtomicFile.h"
#include "PLYLibraryFiles.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <plist/plist++.h>

#include <memory>
#include <cstdlib>
#include <cstring>

namespace {

// Property-list dates count from 2001-01-01 UTC.
constexpr qint64 kReferenceDateOffset = 978307200;

std::unique_ptr<PList::Node> toNode(const QVariant& value);

std::unique_ptr<PList::Dictionary> toDictionary(const QVariantMap& map) {
    auto dict = std::make_unique<PList::Dictionary>();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (auto node = toNode(it.value())) dict->Set(it.key().toStdString(), node.get());
    }
    return dict;
}

std::unique_ptr<PList::Node> toNode(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return std::make_unique<PList::String>(value.toString().toStdString());
    case QMetaType::Bool:
        return std::make_unique<PList::Boolean>(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
        return std::make_unique<PList::Integer>(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return std::make_unique<PList::Real>(value.toDouble());
    case QMetaType::QDateTime:
        // libplist++'s date nodes cannot be written reliably (their value is stored in a form
        // its own getters reject), so dates are kept as ISO 8601 text in UTC.
        return std::make_unique<PList::String>(
            value.toDateTime().toUTC().toString(Qt::ISODateWithMs).toStdString());
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        // libplist++ cannot hold empty data; an absent key reads back as empty bytes.
        if (b.isEmpty()) return nullptr;
        return std::make_unique<PList::Data>(std::vector<char>(b.cbegin(), b.cend()));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        auto array = std::make_unique<PList::Array>();
        for (const QVariant& v : value.toList()) {
            if (auto node = toNode(v)) array->Append(node.get());  // Append clones
        }
        return array;
    }
    case QMetaType::QVariantMap:
        return toDictionary(value.toMap());
    default:
        return nullptr;
    }
}

// Reading walks the C nodes: libplist++'s wrappers of parsed arrays come out empty. The depth
// was checked on the text already; the walk checks it again rather than trust that.
bool fromNode(plist_t node, int depth, QVariant* out, QString* why) {
    if (!node) return true;
    if (depth > PLYPropertyList::MaxDepth) {
        *why = QStringLiteral("nested deeper than %1 levels").arg(PLYPropertyList::MaxDepth);
        return false;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        // plist_get_string_val() asserts (and aborts the process) on a string holding a NUL.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (!text) text = "";
        if (length > 0 && memchr(text, 0, size_t(length))) {
            *why = QStringLiteral("a string holds a NUL character");
            return false;
        }
        *out = QString::fromUtf8(text, qsizetype(length));
        return true;
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        *out = b != 0;
        return true;
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        *out = static_cast<qint64>(v);
        return true;
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        *out = d;
        return true;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        *out = QDateTime::fromMSecsSinceEpoch((qint64(sec) + kReferenceDateOffset) * 1000 + usec / 1000, QTimeZone::utc());
        return true;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        *out = QByteArray(bytes, bytes ? qsizetype(length) : 0);
        return true;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) {
            QVariant item;
            if (!fromNode(plist_array_get_item(node, i), depth + 1, &item, why)) return false;
            list.append(item);
        }
        *out = list;
        return true;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        bool ok = true;
        while (ok) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key) break;
            QVariant item;
            ok = fromNode(value, depth + 1, &item, why);
            if (ok) map.insert(QString::fromUtf8(key), item);
            free(key);
        }
        free(it);
        if (ok) *out = map;
        return ok;
    }
    default:
        return true;
    }
}

// The deepest nesting of <dict> and <array> in the text, without parsing it: libplist and its
// node destructor recurse, and a file nested 100,000 deep must never reach them.
int nestingDepth(const QByteArray& xml) {
    int depth = 0, deepest = 0;
    const char* p = xml.constData();
    const char* end = p + xml.size();
    for (; p < end; ++p) {
        if (*p != '<') continue;
        const qsizetype left = end - p;
        const bool closing = left > 1 && p[1] == '/';
        const char* name = p + (closing ? 2 : 1);
        const qsizetype room = end - name;
        int len = 0;
        if (room >= 4 && memcmp(name, "dict", 4) == 0) len = 4;
        else if (room >= 5 && memcmp(name, "array", 5) == 0) len = 5;
        if (!len || room <= len) continue;
        const char after = name[len];
        if (after != '>' && after != '/' && after != ' ' && after != '\t' && after != '\n' && after != '\r') continue;
        if (closing) {
            if (depth > 0) --depth;
            continue;
        }
        // "<dict/>" opens nothing.
        const char* close = static_cast<const char*>(memchr(name, '>', size_t(end - name)));
        if (close && close > name && close[-1] == '/') continue;
        deepest = qMax(deepest, ++depth);
    }
    return deepest;
}

}  // namespace

QByteArray PLYPropertyList::toXml(const QVariantMap& map) {
    return QByteArray::fromStdString(toDictionary(map)->ToXml());
}

bool PLYPropertyList::fromXml(const QByteArray& xml, QVariantMap* out, PLYError* error) {
    auto refuse = [&](qint64 code, const QString& why) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), code, why));
        return false;
    };
    if (xml.size() > MaxBytes) return refuse(5, QStringLiteral("The property list is larger than %1 bytes").arg(MaxBytes));
    // libplist reads a truncated or foreign file as nothing; refuse anything but an XML plist.
    if (!xml.contains("<plist")) return refuse(1, QStringLiteral("Not a property list"));
    // XML never holds a NUL byte, and libplist would keep it inside a string.
    if (xml.contains('\0')) return refuse(6, QStringLiteral("The property list holds a NUL byte"));
    if (nestingDepth(xml) > MaxDepth)
        return refuse(7, QStringLiteral("The property list is nested deeper than %1 levels").arg(MaxDepth));
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (!root || plist_get_node_type(root) != PLIST_DICT) {
        if (root) plist_free(root);
        return refuse(2, QStringLiteral("The property list is damaged or not a dictionary"));
    }
    QVariant value;
    QString why;
    const bool ok = fromNode(root, 0, &value, &why);
    plist_free(root);
    if (!ok) return refuse(8, QStringLiteral("The property list is damaged: %1").arg(why));
    if (out) *out = value.toMap();
    return true;
}

bool PLYPropertyList::writeBytesAtomically(const QString& path, const QByteArray& bytes, PLYError* error) {
    QString reason;
    if (!PLYAtomicFile::write(path, bytes, &reason)) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), 3, QStringLiteral("Could not write %1").arg(path),
                                      reason));
        return false;
    }
    return true;
}

bool PLYPropertyList::writeFile(const QString& path, const QVariantMap& map, PLYError* error) {
    return writeBytesAtomically(path, toXml(map), error);
}

bool PLYPropertyList::readFile(const QString& path, QVariantMap* out, PLYError* error) {
    QByteArray bytes;
    if (!PLYLibraryFiles::readFile(path, MaxBytes, &bytes, error)) return false;
    PLYError parseError;
    if (fromXml(bytes, out, &parseError)) return true;
    PLYError::set(error, PLYLibraryFiles::fileError(parseError.code, path, parseError.description));
    return false;
}
