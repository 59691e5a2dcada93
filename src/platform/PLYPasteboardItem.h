#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// One item of a pasteboard: its data under each of its types (reverse-DNS names).
class PLYPasteboardItem {
public:
    PLYPasteboardItem() = default;
    PLYPasteboardItem(const QString& type, const QString& value) { setString(value, type); }

    void setData(const QByteArray& data, const QString& type) { m_data.insert(type, data); }
    void setString(const QString& value, const QString& type) { m_data.insert(type, value.toUtf8()); }
    QByteArray dataForType(const QString& type) const { return m_data.value(type); }
    // A null string when the item does not have the type.
    QString stringForType(const QString& type) const {
        return m_data.contains(type) ? QString::fromUtf8(m_data.value(type)) : QString();
    }
    bool hasType(const QString& type) const { return m_data.contains(type); }
    QStringList types() const { return m_data.keys(); }
    const QMap<QString, QByteArray>& data() const { return m_data; }

    bool operator==(const PLYPasteboardItem& other) const { return m_data == other.m_data; }

private:
    QMap<QString, QByteArray> m_data;
};
