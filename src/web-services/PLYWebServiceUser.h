#pragma once

#include "PLYWebServiceModelObject.h"

#include <functional>

// The signed-in person: name, e-mail, verification and the usage report sent back to the service.
class PLYWebServiceUser : public PLYWebServiceModelObject {
public:
    void initFromJSON(const QVariantMap& json) override;
    // GET on the "/api/me" root.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    // {"id", "app_usage": {"app_ver", "os_ver", "p_count", "m_count", "l_p_count"}}.
    QVariantMap dictionary() const override;
    static QStringList resourcePath() { return {}; }
    // PUT {"user": dictionary() with `dictionary`'s entries laid over it}.
    bool updateObjectWithDictionary(const QVariantMap& dictionary, const PLYWebServiceCompletionBlock& completion) override;
    // POST /api/request-email-verify {"email"}; needs no sign-in, so it is always sent.
    bool sendEmailVerifyMail(const PLYWebServiceCompletionBlock& completion);

    // The number of posts of the current account in the local store, for the usage report.
    static void setLocalPostCountProvider(std::function<quint64()> provider);

    QString firstName() const { return m_firstName; }
    void setFirstName(const QString& value) { m_firstName = value; }
    QString lastName() const { return m_lastName; }
    void setLastName(const QString& value) { m_lastName = value; }
    QString email() const { return m_email; }
    void setEmail(const QString& value) { m_email = value; }
    bool verified() const { return m_verified; }
    void setVerified(bool value) { m_verified = value; }
    QVariantMap usage() const { return m_usage; }
    void setUsage(const QVariantMap& value) { m_usage = value; }

private:
    void takeFields(const QVariantMap& json);

    QString m_firstName;
    QString m_lastName;
    QString m_email;
    bool m_verified = false;
    QVariantMap m_usage;
};
