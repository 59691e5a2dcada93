#include "PLYScriptedAlertPresenter.h"

qint64 PLYScriptedAlertPresenter::runModal(const PLYAlertRequest& alert, QWidget*) {
    m_presented.append(alert);
    return FirstButtonReturn + (m_script.isEmpty() ? 0 : m_script.takeFirst());
}
