#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The failure the publishing service described in the body of a response outside 200-299.
class PLYServiceError {
public:
    // The service's refusals of credentials at sign-in, and of sign-up fields.
    static constexpr qint64 CodeIncorrectPassword = 1;
    static constexpr qint64 CodeIncorrectEmail = 2;
    static constexpr qint64 CodeInvalidSignUp = 100;
    static constexpr qint64 CodePostGone = 301;
    static constexpr qint64 CodeNoPublisher = 501;
    static constexpr qint64 CodePublisherFailed = 502;
    static constexpr qint64 CodeRefreshToken = 10000;

    PLYServiceError() = default;
    // `body` is the whole parsed body; anything but a JSON object counts as no body (code 0).
    explicit PLYServiceError(const QVariant& body);
    static PLYServiceError serviceErrorWithDictionary(const QVariant& body) { return PLYServiceError(body); }

    // The bundled message for a code ("%03lu" of the code as unsigned), or a null string.
    static QString errorMessageForCode(qint64 code);
    // Tests: load the message table from another file next time ("" forgets the table only).
    static void setErrorMapPathForTesting(const QString& path);

    qint64 code() const { return m_code; }
    void setCode(qint64 code) { m_code = code; }
    // The message to show; a null string when neither the service nor the table has one. The
    // service's own message is kept without control characters (line breaks stay) and cut, between
    // characters, to PLYWebServiceModelObject::MaxDisplayFieldLength.
    QString error() const { return m_error; }
    void setError(const QString& error) { m_error = error; }
    QVariantMap changesetErrors() const { return m_changesetErrors; }
    void setChangesetErrors(const QVariantMap& errors) { m_changesetErrors = errors; }
    QVariantMap info() const { return m_info; }
    void setInfo(const QVariantMap& info) { m_info = info; }

    QString description() const;

private:
    qint64 m_code = 0;
    QString m_error;
    QVariantMap m_changesetErrors;
    QVariantMap m_info;
};

Q_DECLARE_METATYPE(PLYServiceError)
