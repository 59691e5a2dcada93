#pragma once

#include "PLYWebServiceModelObject.h"

// The account: its state and the domain host of its blog.
class PLYWebServiceAccount : public PLYWebServiceModelObject {
public:
    void initFromJSON(const QVariantMap& json) override;
    // GET account?expand=true
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    static QStringList resourcePath() { return {QStringLiteral("account")}; }
    // PUT account?expand=true {"account": dictionary}
    bool updateObjectWithDictionary(const QVariantMap& dictionary, const PLYWebServiceCompletionBlock& completion) override;

    QString name() const { return m_name; }
    void setName(const QString& value) { m_name = value; }
    bool active() const { return m_active; }
    void setActive(bool value) { m_active = value; }
    qint64 status() const { return m_status; }
    void setStatus(qint64 value) { m_status = value; }
    qint64 genericStatus() const { return m_genericStatus; }
    void setGenericStatus(qint64 value) { m_genericStatus = value; }
    QString host() const { return m_host; }
    void setHost(const QString& value) { m_host = value; }

    // Any status but 0 and 1.
    bool locked() const { return m_status != 0 && m_status != 1; }
    // Bit 5 (32) of the status.
    bool deleted() const { return (m_status & 32) != 0; }

private:
    void takeFields(const QVariantMap& json);

    QString m_name;
    bool m_active = false;
    qint64 m_status = 0;
    qint64 m_genericStatus = 0;
    QString m_host;
};
