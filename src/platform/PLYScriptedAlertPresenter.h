#pragma once

#include "PLYAlertPresenter.h"

#include <QList>

// Test double: records every alert and answers with the scripted button indices in turn
// (the first button once the script runs out).
class PLYScriptedAlertPresenter : public PLYAlertPresenter {
public:
    qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) override;
    qint64 runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent = nullptr) override;
    void scriptButtonIndex(int index) { m_script.append(index); }
    // The suppression check box of the next alerts that show one is ticked (or not) in turn.
    void scriptSuppression(bool ticked) { m_suppression.append(ticked); }
    const QList<PLYAlertRequest>& presented() const { return m_presented; }

private:
    QList<int> m_script;
    QList<bool> m_suppression;
    QList<PLYAlertRequest> m_presented;
};
