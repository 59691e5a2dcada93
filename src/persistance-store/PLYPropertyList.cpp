#include "PLYPropertyList.h"
#include "PLYAtomicFile.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <plist/plist++.h>

#include <memory>
#include <cstdlib>

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

// Reading walks the C nodes: libplist++'s wrappers of parsed arrays come out empty.
QVariant fromNode(plist_t node) {
    if (!node) return {};
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        const QString value = QString::fromUtf8(text ? text : "");
        free(text);
        return value;
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b != 0;
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return static_cast<qint64>(v);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch((qint64(sec) + kReferenceDateOffset) * 1000 + usec / 1000, QTimeZone::utc());
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const QByteArray value(bytes, qsizetype(length));
        free(bytes);
        return value;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) list.append(fromNode(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key) break;
            map.insert(QString::fromUtf8(key), fromNode(value));
            free(key);
        }
        free(it);
        return map;
    }
    default:
        return {};
    }
}

}  // namespace

QByteArray PLYPropertyList::toXml(const QVariantMap& map) {
    return QByteArray::fromStdString(toDictionary(map)->ToXml());
}

bool PLYPropertyList::fromXml(const QByteArray& xml, QVariantMap* out, PLYError* error) {
    // libplist reads a truncated or foreign file as nothing; refuse anything but an XML plist.
    if (!xml.contains("<plist")) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), 1, QStringLiteral("Not a property list")));
        return false;
    }
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (!root || plist_get_node_type(root) != PLIST_DICT) {
        if (root) plist_free(root);
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), 2,
                                      QStringLiteral("The property list is damaged or not a dictionary")));
        return false;
    }
    if (out) *out = fromNode(root).toMap();
    plist_free(root);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), 4, QStringLiteral("Could not read %1").arg(path),
                                      file.errorString()));
        return false;
    }
    return fromXml(file.readAll(), out, error);
}
