#pragma once

#include "PLYAlertPresenter.h"

// Alerts as QMessageBox dialogs.
class PLYQtAlertPresenter : public PLYAlertPresenter {
public:
    qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) override;
    qint64 runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent = nullptr) override;
};
