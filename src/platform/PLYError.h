#pragma once

#include <QString>
#include <QVariantMap>
#include <exception>
#include <string>

// A recoverable failure: a domain, a code, a description and a failure reason.
// Returned through an optional out-parameter beside a bool or empty result.
struct PLYError {
    QString domain;
    qint64 code = 0;
    QString description;
    QString failureReason;
    QVariantMap userInfo;

    PLYError() = default;
    PLYError(QString d, qint64 c, QString desc = {}, QString reason = {}, QVariantMap info = {})
        : domain(std::move(d)), code(c), description(std::move(desc)), failureReason(std::move(reason)),
          userInfo(std::move(info)) {}

    bool isNull() const { return domain.isEmpty() && code == 0; }
    QString toString() const;

    // Fills *out when the caller asked for the error; a null out is allowed everywhere.
    static void set(PLYError* out, const PLYError& value) {
        if (out) *out = value;
    }
};

// Misuse by a caller raises a named exception; never used for recoverable failures.
class PLYException : public std::exception {
public:
    PLYException(QString name, QString reason);
    const QString& name() const { return m_name; }
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.c_str(); }

    static constexpr const char* InvalidArgument = "NSInvalidArgumentException";
    static constexpr const char* InternalInconsistency = "NSInternalInconsistencyException";

private:
    QString m_name;
    QString m_reason;
    std::string m_what;
};
