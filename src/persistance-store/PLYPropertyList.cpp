#include "PLYPropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

#include <plist/plist++.h>

#include <memory>
#include <sys/time.h>

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
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kReferenceDateOffset * 1000;
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000));
        tv.tv_usec = static_cast<suseconds_t>((ms - qint64(tv.tv_sec) * 1000) * 1000);
        return std::make_unique<PList::Date>(tv);
    }
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
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

QVariant fromNode(const PList::Node* node) {
    if (!node) return {};
    switch (node->GetType()) {
    case PLIST_STRING:
        return QString::fromStdString(static_cast<const PList::String*>(node)->GetValue());
    case PLIST_BOOLEAN:
        return static_cast<const PList::Boolean*>(node)->GetValue();
    case PLIST_UINT:
        return static_cast<qint64>(static_cast<const PList::Integer*>(node)->GetValue());
    case PLIST_REAL:
        return static_cast<const PList::Real*>(node)->GetValue();
    case PLIST_DATE: {
        const timeval tv = static_cast<const PList::Date*>(node)->GetValue();
        const qint64 ms = (qint64(tv.tv_sec) + kReferenceDateOffset) * 1000 + tv.tv_usec / 1000;
        return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    }
    case PLIST_DATA: {
        const std::vector<char> v = static_cast<const PList::Data*>(node)->GetValue();
        return QByteArray(v.data(), qsizetype(v.size()));
    }
    case PLIST_ARRAY: {
        auto* array = const_cast<PList::Array*>(static_cast<const PList::Array*>(node));
        QVariantList list;
        for (unsigned i = 0; i < array->GetSize(); ++i) list.append(fromNode((*array)[i]));
        return list;
    }
    case PLIST_DICT: {
        const auto* dict = static_cast<const PList::Dictionary*>(node);
        QVariantMap map;
        for (auto it = dict->Begin(); it != dict->End(); ++it)
            map.insert(QString::fromStdString(it->first), fromNode(it->second));
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
    PList::Dictionary dict(root);
    if (out) *out = fromNode(&dict).toMap();
    return true;
}

bool PLYPropertyList::writeBytesAtomically(const QString& path, const QByteArray& bytes, PLYError* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), 3, QStringLiteral("Could not write %1").arg(path),
                                      file.errorString()));
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
