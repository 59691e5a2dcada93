#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QVariant>

// JSON reading and writing over QVariant (objects are QVariantMap, arrays QVariantList,
// null is a QVariant holding std::nullptr_t).
class PLYJSONSerialization {
public:
    static constexpr qint64 ReadingAllowFragments = 4;
    static constexpr qint64 WritingPrettyPrinted = 1;
    static constexpr const char* ErrorDomain = "PLYJSONSerializationErrorDomain";

    // Nothing (an invalid QVariant) for absent (null) data. A top-level value other than an
    // object or array is accepted only with ReadingAllowFragments.
    static QVariant JSONObjectWithData(const QByteArray& data, qint64 options = 0, PLYError* error = nullptr);
    // An object or array as JSON text, pretty-printed with WritingPrettyPrinted, else compact.
    static QByteArray dataWithJSONObject(const QVariant& object, qint64 options = 0, PLYError* error = nullptr);

    // Whether a parsed value is JSON null.
    static bool isNull(const QVariant& value);

    // How much of a payload a log line shows.
    static constexpr qsizetype LogTextLimit = 2000;
    // `object` as JSON text for a log line ("(null)" for nothing, the value's text for a bare
    // value), cut to `limit` characters with a note of how much was left out.
    static QString logText(const QVariant& object, qsizetype limit = LogTextLimit, bool pretty = true);
    // `text` cut to `limit` characters with a note of how much was left out.
    static QString abbreviated(const QString& text, qsizetype limit = LogTextLimit);
};
