#pragma once

#include "PLYAlertPresenter.h"

#include <QList>

// Test double: records every alert and answers with the scripted button indices in turn
// (the first button once the script runs out).
class PLYScriptedAlertPresenter : public PLYAlertPresenter {
public:
    qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) override;
    void scriptButtonIndex(int index) { m_script.append(index); }
    const QList<PLYAlertRequest>& presented() const { return m_presented; }

private:
    QList<int> m_script;
    QList<PLYAlertRequest> m_presented;
};
