#pragma once

#include "PLYAlertPresenter.h"

class QAbstractButton;
class QMessageBox;

// Alerts as QMessageBox dialogs.
class PLYQtAlertPresenter : public PLYAlertPresenter {
public:
    // The dialog of an alert, not yet shown; its buttons in the alert's order go to `buttons`.
    static QMessageBox* makeMessageBox(const PLYAlertRequest& alert, QWidget* parent = nullptr,
                                       QList<QAbstractButton*>* buttons = nullptr);

    qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) override;
    qint64 runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent = nullptr) override;
};
