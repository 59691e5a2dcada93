#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Generic-password items by key (account) and service. Values are stored as UTF-8 text; items
// that earlier versions stored as archived values are still read (text values only).
// Backed by the Secret Service; without one, items live in memory for the process's life
// (one warning is logged) and are never written to a plain file.
class PLYKeyChain {
public:
    static constexpr const char* ErrorDomain = "com.vezovuroru.KeyChain";
    static constexpr qint64 ErrorItemNotFound = -25300;
    static constexpr qint64 ErrorUnarchive = 21;
    // The Secret Service refused or failed the request (locked collection, dismissed prompt...).
    static constexpr qint64 ErrorNotAvailable = -25291;
    // A value that is not text (a list, a map...) or is too long.
    static constexpr qint64 ErrorParam = -50;
    static constexpr qint64 MaxSecretBytes = 64 * 1024;

    // The stored text (a QString), or an invalid QVariant when there is none or it cannot be
    // read (ErrorUnarchive).
    static QVariant itemForKey(const QString& key, const QString& service, PLYError* error = nullptr);
    // Saves or updates text (a string, UTF-8 bytes, a number or a boolean, kept as its text);
    // other values are refused with ErrorParam. Saving an invalid/null value deletes the item.
    static bool saveItem(const QVariant& item, const QString& key, const QString& service, PLYError* error = nullptr);
    // Reports ErrorItemNotFound when there is no such item.
    static bool deleteItemForKey(const QString& key, const QString& service, PLYError* error = nullptr);

    // Whether a Secret Service answered (false: the in-memory fallback is in use).
    static bool usesSecretService();
    // Tests: forget the in-memory items and probe the backend again.
    static void resetForTesting(bool forceInMemory = false);
    // Tests: stores `secret` as the item's raw stored bytes, in the earlier archived form or as text.
    static bool storeRawSecretForTesting(const QByteArray& secret, const QString& key, const QString& service,
                                         bool archived = true);

    // The earlier stored form of a value (QDataStream archive, base64; tests make legacy items
    // with it) and its bounded, type-checked reader: a QString, or an invalid QVariant and
    // ErrorUnarchive for anything but an archived string or byte array.
    static QByteArray archive(const QVariant& value);
    static QVariant unarchive(const QByteArray& secret, PLYError* error = nullptr);
};
