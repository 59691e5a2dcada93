#include "PLYJSONSerialization.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {
PLYError jsonError(const QString& description) {
    return PLYError(QString::fromLatin1(PLYJSONSerialization::ErrorDomain), 3840, description);
}
}  // namespace

bool PLYJSONSerialization::isNull(const QVariant& value) {
    return value.typeId() == QMetaType::Nullptr;
}

QVariant PLYJSONSerialization::JSONObjectWithData(const QByteArray& data, qint64 options, PLYError* error) {
    if (data.isNull()) return {};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error == QJsonParseError::NoError) {
        if (document.isObject()) return document.object().toVariantMap();
        if (document.isArray()) return document.array().toVariantList();
    }
    if (options & ReadingAllowFragments) {
        // QJsonDocument holds only objects and arrays: read a bare value as the one element of an array.
        QJsonParseError fragmentError;
        const QJsonDocument wrapped = QJsonDocument::fromJson("[" + data + "]", &fragmentError);
        if (fragmentError.error == QJsonParseError::NoError && wrapped.isArray() && wrapped.array().size() == 1)
            return wrapped.array().first().toVariant();
    }
    PLYError::set(error, jsonError(parseError.error == QJsonParseError::NoError
                                       ? QStringLiteral("JSON text did not start with array or object")
                                       : parseError.errorString()));
    return {};
}

QByteArray PLYJSONSerialization::dataWithJSONObject(const QVariant& object, qint64 options, PLYError* error) {
    const QJsonValue value = QJsonValue::fromVariant(object);
    const QJsonDocument::JsonFormat format =
        (options & WritingPrettyPrinted) ? QJsonDocument::Indented : QJsonDocument::Compact;
    if (value.isObject()) return QJsonDocument(value.toObject()).toJson(format);
    if (value.isArray()) return QJsonDocument(value.toArray()).toJson(format);
    PLYError::set(error, jsonError(QStringLiteral("Invalid top-level type in JSON write")));
    return {};
}

QString PLYJSONSerialization::abbreviated(const QString& text, qsizetype limit) {
    if (limit < 0 || text.size() <= limit) return text;
    return text.left(limit) + QStringLiteral("... (%1 more characters)").arg(text.size() - limit);
}

QString PLYJSONSerialization::logText(const QVariant& object, qsizetype limit, bool pretty) {
    if (!object.isValid()) return QStringLiteral("(null)");
    const QByteArray json = dataWithJSONObject(object, pretty ? WritingPrettyPrinted : 0);
    return abbreviated(json.isNull() ? object.toString() : QString::fromUtf8(json).trimmed(), limit);
}
