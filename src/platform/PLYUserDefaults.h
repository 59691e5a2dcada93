#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <mutex>

// The user's preferences, keyed as the application spells them, stored through QSettings.
// An absent key reads as the caller's default.
class PLYUserDefaults {
public:
    static PLYUserDefaults& standardUserDefaults();
    // Points the standard defaults at another file (tests use a temporary one). Empty path:
    // the platform's usual location.
    static void resetStandardUserDefaults(const QString& iniPath = {});

    explicit PLYUserDefaults(const QString& iniPath);

    bool contains(const QString& key) const;
    QVariant objectForKey(const QString& key) const;
    void setObject(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);

    bool boolForKey(const QString& key, bool fallback = false) const;
    qint64 integerForKey(const QString& key, qint64 fallback = 0) const;
    double doubleForKey(const QString& key, double fallback = 0.0) const;
    QString stringForKey(const QString& key, const QString& fallback = {}) const;
    QStringList stringArrayForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;

    void setBool(bool value, const QString& key) { setObject(value, key); }
    void setInteger(qint64 value, const QString& key) { setObject(value, key); }
    void setDouble(double value, const QString& key) { setObject(value, key); }
    void setString(const QString& value, const QString& key) { setObject(value, key); }

    void synchronize();
    QString fileName() const;

private:
    mutable std::recursive_mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
