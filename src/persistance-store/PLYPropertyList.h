#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

// XML property lists through libplist++. Values: QString, integers, bool, double, QDateTime
// (written as ISO 8601 text, read back with QVariant::toDateTime()),
// QByteArray, lists and maps (nested freely).
class PLYPropertyList {
public:
    static constexpr const char* ErrorDomain = "com.pellory.propertylist";
    // Bounds on what is read: our files nest 4 levels at most.
    static constexpr int MaxDepth = 32;
    static constexpr qint64 MaxBytes = 128 * 1024 * 1024;

    static QByteArray toXml(const QVariantMap& map);
    // False (with the reason) when the bytes are not a dictionary property list, are larger than
    // MaxBytes, nest deeper than MaxDepth or hold a NUL character.
    static bool fromXml(const QByteArray& xml, QVariantMap* out, PLYError* error = nullptr);

    // Written atomically: a reader sees the old file or the new one, never a torn one.
    static bool writeFile(const QString& path, const QVariantMap& map, PLYError* error = nullptr);
    // The error names the path and the reason.
    static bool readFile(const QString& path, QVariantMap* out, PLYError* error = nullptr);

    // Atomic write of raw bytes (layouts, previews share this).
    static bool writeBytesAtomically(const QString& path, const QByteArray& bytes, PLYError* error = nullptr);
};
