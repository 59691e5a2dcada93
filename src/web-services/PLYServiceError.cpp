#include "PLYServiceError.h"

#include "PLYJSONSerialization.h"
#include "PLYWebServiceModelObject.h"

#include <QFile>
#include <mutex>
#include <optional>

namespace {

struct ErrorMap {
    std::mutex mutex;
    std::optional<QVariantMap> messages;
    QString path = QStringLiteral(":/error_map.json");
};

ErrorMap& errorMap() {
    static ErrorMap map;
    return map;
}

// Any JSON value the service sends as the message is kept; containers as their JSON text.
QString stringValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantList)
        return QString::fromUtf8(PLYJSONSerialization::dataWithJSONObject(value));
    return value.toString();
}

}  // namespace

PLYServiceError::PLYServiceError(const QVariant& body) {
    if (body.typeId() != QMetaType::QVariantMap) {
        m_error = errorMessageForCode(0);
        return;
    }
    const QVariantMap map = body.toMap();
    const QVariant code = map.value(QStringLiteral("code"));
    // A number beyond 64 bits is clamped rather than converted into an undefined value.
    m_code = PLYWebServiceModelObject::integerFromJSON(code);
    const QVariant error = map.value(QStringLiteral("error"));
    // Shown in alerts and forms: a message of megabytes would stall the window that lays it out.
    if (error.isValid() && !PLYJSONSerialization::isNull(error))
        m_error = PLYWebServiceModelObject::boundedDisplayText(stringValue(error), QStringLiteral("error"), true);
    if (m_error.isNull()) m_error = errorMessageForCode(m_code);
    const QVariant errors = map.value(QStringLiteral("errors"));
    if (errors.typeId() == QMetaType::QVariantMap) m_changesetErrors = errors.toMap();
    const QVariant info = map.value(QStringLiteral("info"));
    if (info.typeId() == QMetaType::QVariantMap) m_info = info.toMap();
}

QString PLYServiceError::errorMessageForCode(qint64 code) {
    ErrorMap& map = errorMap();
    std::lock_guard lock(map.mutex);
    if (!map.messages) {
        // A missing or broken table costs only the fallback message; the next lookup tries again.
        QFile file(map.path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QVariant parsed = PLYJSONSerialization::JSONObjectWithData(file.readAll());
        if (parsed.typeId() != QMetaType::QVariantMap) return {};
        map.messages = parsed.toMap();
    }
    const QString key = QString::asprintf("%03llu", static_cast<unsigned long long>(static_cast<quint64>(code)));
    const QVariant message = map.messages->value(key);
    if (!message.isValid() || PLYJSONSerialization::isNull(message)) return {};
    return message.toString();
}

void PLYServiceError::setErrorMapPathForTesting(const QString& path) {
    ErrorMap& map = errorMap();
    std::lock_guard lock(map.mutex);
    map.messages.reset();
    map.path = path.isEmpty() ? QStringLiteral(":/error_map.json") : path;
}

QString PLYServiceError::description() const {
    // Descriptions go into log lines: whatever the service sent is shown cut to a readable length.
    const auto json = [](const QVariantMap& value) { return PLYJSONSerialization::logText(value, 500, false); };
    return QStringLiteral("<PLYServiceError:%1 code=%2, error='%3', info=%4, changeset=%5>")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)))
        .arg(m_code)
        .arg(PLYJSONSerialization::abbreviated(m_error, 500), json(m_info), json(m_changesetErrors));
}
