#include "PLYQtAlertPresenter.h"

#include "PLYSafeText.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

qint64 PLYQtAlertPresenter::runModal(const PLYAlertRequest& alert, QWidget* parent) {
    return runModalWithSuppression(alert, nullptr, parent);
}

QMessageBox* PLYQtAlertPresenter::makeMessageBox(const PLYAlertRequest& alert, QWidget* parent,
                                                QList<QAbstractButton*>* buttonsOut) {
    auto* box = new QMessageBox(parent);
    if (alert.showsSuppressionButton) box->setCheckBox(new QCheckBox(QObject::tr("Do not show this message again")));
    switch (alert.style) {
    case PLYAlertRequest::Style::Warning: box->setIcon(QMessageBox::Warning); break;
    case PLYAlertRequest::Style::Informational: box->setIcon(QMessageBox::Information); break;
    case PLYAlertRequest::Style::Critical: box->setIcon(QMessageBox::Critical); break;
    }
    // The texts often carry a post's name or the service's own words: shown as typed.
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = box->findChild<QLabel*>(QLatin1String(name))) {
            PLYSafeText::makePlain(label);
            label->setWordWrap(true);
        }
    }
    // The message reads as the alert's title over its text.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setWeight(QFont::DemiBold);
        label->setFont(font);
    }
    const QStringList titles = alert.buttonTitles.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttonTitles;
    QList<QAbstractButton*> buttons;
    for (const auto& title : titles) buttons << box->addButton(PLYSafeText::escapedMnemonic(title), QMessageBox::ActionRole);
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    // Escape picks "Cancel" when there is one, else the last button.
    const qsizetype cancel = titles.indexOf(QStringLiteral("Cancel"));
    box->setEscapeButton(buttons.at(cancel >= 0 ? cancel : buttons.size() - 1));
    if (buttonsOut) *buttonsOut = buttons;
    return box;
}

qint64 PLYQtAlertPresenter::runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent) {
    QList<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> box(makeMessageBox(alert, parent, &buttons));
    box->exec();
    if (suppressed) *suppressed = box->checkBox() && box->checkBox()->isChecked();
    const qsizetype index = buttons.indexOf(box->clickedButton());
    return FirstButtonReturn + (index >= 0 ? index : buttons.size() - 1);
}
