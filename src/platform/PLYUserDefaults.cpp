#include "PLYUserDefaults.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {
std::unique_ptr<PLYUserDefaults>& standardSlot() {
    static std::unique_ptr<PLYUserDefaults> slot;
    return slot;
}
std::mutex& standardMutex() {
    static std::mutex m;
    return m;
}
QString defaultPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Pellory");
    return dir + QStringLiteral("/defaults.ini");
}
// QSettings stores booleans and numbers as text in INI files; read them back leniently.
bool variantToBool(const QVariant& v, bool fallback) {
    if (!v.isValid() || v.isNull()) return fallback;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("yes")) return true;
        if (s == QLatin1String("false") || s == QLatin1String("no") || s.isEmpty()) return false;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok ? d != 0.0 : fallback;
    }
    return v.toBool();
}
}  // namespace

PLYUserDefaults& PLYUserDefaults::standardUserDefaults() {
    std::lock_guard lock(standardMutex());
    auto& slot = standardSlot();
    if (!slot) slot = std::make_unique<PLYUserDefaults>(defaultPath());
    return *slot;
}

void PLYUserDefaults::resetStandardUserDefaults(const QString& iniPath) {
    std::lock_guard lock(standardMutex());
    standardSlot() = std::make_unique<PLYUserDefaults>(iniPath.isEmpty() ? defaultPath() : iniPath);
}

PLYUserDefaults::PLYUserDefaults(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

bool PLYUserDefaults::contains(const QString& key) const {
    std::lock_guard lock(m_mutex);
    return m_settings->contains(key);
}

QVariant PLYUserDefaults::objectForKey(const QString& key) const {
    std::lock_guard lock(m_mutex);
    return m_settings->value(key);
}

void PLYUserDefaults::setObject(const QVariant& value, const QString& key) {
    std::lock_guard lock(m_mutex);
    if (!value.isValid() || value.isNull()) m_settings->remove(key);
    else m_settings->setValue(key, value);
}

void PLYUserDefaults::removeObjectForKey(const QString& key) {
    std::lock_guard lock(m_mutex);
    m_settings->remove(key);
}

bool PLYUserDefaults::boolForKey(const QString& key, bool fallback) const {
    return variantToBool(objectForKey(key), fallback);
}

qint64 PLYUserDefaults::integerForKey(const QString& key, qint64 fallback) const {
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return fallback;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok) return i;
    const double d = v.toDouble(&ok);
    return ok ? qint64(d) : fallback;
}

double PLYUserDefaults::doubleForKey(const QString& key, double fallback) const {
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return fallback;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : fallback;
}

QString PLYUserDefaults::stringForKey(const QString& key, const QString& fallback) const {
    const QVariant v = objectForKey(key);
    return v.isValid() ? v.toString() : fallback;
}

QStringList PLYUserDefaults::stringArrayForKey(const QString& key) const {
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return {};
    // A one-element list comes back from INI files as a plain string.
    if (v.typeId() == QMetaType::QString) return {v.toString()};
    return v.toStringList();
}

QVariantList PLYUserDefaults::arrayForKey(const QString& key) const {
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return {};
    if (v.typeId() == QMetaType::QString) return {v};
    return v.toList();
}

QVariantMap PLYUserDefaults::dictionaryForKey(const QString& key) const {
    return objectForKey(key).toMap();
}

QByteArray PLYUserDefaults::dataForKey(const QString& key) const {
    return objectForKey(key).toByteArray();
}

void PLYUserDefaults::synchronize() {
    std::lock_guard lock(m_mutex);
    m_settings->sync();
}

QString PLYUserDefaults::fileName() const {
    std::lock_guard lock(m_mutex);
    return m_settings->fileName();
}
