#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Generic-password items by key (account) and service. Values are archived QVariants.
// Backed by the Secret Service; without one, items live in memory for the process's life
// (one warning is logged) and are never written to a plain file.
class PLYKeyChain {
public:
    static constexpr const char* ErrorDomain = "com.vezovuroru.KeyChain";
    static constexpr qint64 ErrorItemNotFound = -25300;
    static constexpr qint64 ErrorUnarchive = 21;
    // The Secret Service refused or failed the request (locked collection, dismissed prompt...).
    static constexpr qint64 ErrorNotAvailable = -25291;

    // The stored object, or an invalid QVariant when there is none.
    static QVariant itemForKey(const QString& key, const QString& service, PLYError* error = nullptr);
    // Saves or updates; saving an invalid/null value deletes the item.
    static bool saveItem(const QVariant& item, const QString& key, const QString& service, PLYError* error = nullptr);
    // Reports ErrorItemNotFound when there is no such item.
    static bool deleteItemForKey(const QString& key, const QString& service, PLYError* error = nullptr);

    // Whether a Secret Service answered (false: the in-memory fallback is in use).
    static bool usesSecretService();
    // Tests: forget the in-memory items and probe the backend again.
    static void resetForTesting(bool forceInMemory = false);
    // Tests: stores `secret` as the item's raw stored text, bypassing the archiver.
    static bool storeRawSecretForTesting(const QByteArray& secret, const QString& key, const QString& service);

    // The stored form of a value (QDataStream archive, base64) and back; unreadable text gives
    // an invalid QVariant and ErrorUnarchive.
    static QByteArray archive(const QVariant& value);
    static QVariant unarchive(const QByteArray& secret, PLYError* error = nullptr);
};
