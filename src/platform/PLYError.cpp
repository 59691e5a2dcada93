#include "PLYError.h"

QString PLYError::toString() const {
    QString s = QStringLiteral("%1 (%2): %3").arg(domain).arg(code).arg(description);
    if (!failureReason.isEmpty()) s += QStringLiteral(" [%1]").arg(failureReason);
    return s;
}

PLYException::PLYException(QString name, QString reason)
    : m_name(std::move(name)), m_reason(std::move(reason)),
      m_what((m_name + QStringLiteral(": ") + m_reason).toStdString()) {}
