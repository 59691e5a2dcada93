#include "PLYScriptedAlertPresenter.h"

qint64 PLYScriptedAlertPresenter::runModal(const PLYAlertRequest& alert, QWidget*) {
    m_presented.append(alert);
    return FirstButtonReturn + (m_script.isEmpty() ? 0 : m_script.takeFirst());
}

qint64 PLYScriptedAlertPresenter::runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent) {
    const bool ticked = alert.showsSuppressionButton && !m_suppression.isEmpty() && m_suppression.takeFirst();
    if (suppressed) *suppressed = ticked;
    return runModal(alert, parent);
}
