#include "PLYSignInViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYDesktopServices.h"
#include "PLYErrorBox.h"
#include "PLYFormWidgets.h"
#include "PLYProgressIndicator.h"
#include "PLYWebServiceHost.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

PLYSignInViewController::PLYSignInViewController(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(tr("Sign In"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(10);
    m_title = heading(QString(), this);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    layout->addWidget(m_title);
    layout->addWidget(note(tr("Your session has ended. Enter your password to go on where you left off."), this));
    m_email = field(QStringLiteral("emailTextField"), tr("Email"), this);
    layout->addWidget(fieldBox(m_email, QStringLiteral("emailBox"), {}, this));
    m_password = field(QStringLiteral("passwordTextField"), tr("Password"), this, true);
    layout->addWidget(fieldBox(m_password, QStringLiteral("passwordBox"), {}, this));

    QPushButton* forgot = linkButton(tr("Forgot password?"), QStringLiteral("forgotPasswordButton"), this);
    connect(forgot, &QPushButton::clicked, this, &PLYSignInViewController::forgotPasswordAction);
    layout->addWidget(forgot, 0, Qt::AlignLeft);

    auto* buttons = new QHBoxLayout;
    m_progress = new PLYProgressIndicator(this);
    m_progress->setObjectName(QStringLiteral("progressIndicator"));
    buttons->addWidget(m_progress);
    buttons->addStretch();
    QPushButton* cancel = button(tr("Cancel"), QStringLiteral("cancelButton"), this);
    QPushButton* signIn = button(tr("Sign In"), QStringLiteral("signInButton"), this, true);
    connect(cancel, &QPushButton::clicked, this, &PLYSignInViewController::cancelAction);
    connect(signIn, &QPushButton::clicked, this, &PLYSignInViewController::signInAction);
    buttons->addWidget(cancel);
    buttons->addWidget(signIn);
    layout->addLayout(buttons);
    connect(m_email, &QLineEdit::returnPressed, this, &PLYSignInViewController::signInAction);
    connect(m_password, &QLineEdit::returnPressed, this, &PLYSignInViewController::signInAction);
    setFixedWidth(380);
}

void PLYSignInViewController::presentWithTitle(const QString& title, const QString& email, Completion completion) {
    // The session names the prompt in lower case ("login"); a heading starts with a capital.
    QString heading = title;
    if (!heading.isEmpty()) heading[0] = heading[0].toUpper();
    m_title->setText(heading);
    m_email->setText(email.isEmpty() ? QString() : email);
    m_password->clear();
    m_progress->stopAnimation();
    m_completion = std::move(completion);
    m_dismissing = false;
    (email.isEmpty() ? m_email : m_password)->setFocus();
}

void PLYSignInViewController::presentAlert(const QString& title, const QString& text) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Informational;
    alert.messageText = title;
    alert.informativeText = text;
    alert.buttonTitles = {QStringLiteral("OK")};
    PLYAlertPresenter::shared()->runModal(alert, this);
}

void PLYSignInViewController::signInAction() {
    const QString email = m_email->text().trimmed();
    const QString password = m_password->text();
    if (email.isEmpty()) {
        presentAlert(QStringLiteral("Email Required"), QStringLiteral("Enter your email address to login."));
        return;
    }
    if (password.isEmpty()) {
        presentAlert(QStringLiteral("Password Required"), QStringLiteral("Enter your password to login."));
        return;
    }
    if (!m_completion) return;
    m_progress->startAnimation();
    // A copy: the answer may end this prompt, and with it the stored completion.
    const Completion completion = m_completion;
    completion(true, email, password);
}

void PLYSignInViewController::cancelAction() {
    if (!m_completion) return;
    const Completion completion = std::exchange(m_completion, {});
    completion(false, QString(), QString());
}

void PLYSignInViewController::forgotPasswordAction() {
    // Asked for a password it does not remember, the user is better served by the reset page
    // than by a button that does nothing.
    PLYDesktopServices::shared()->openURL(PLYWebServiceHost::currentHost()->passwordResetURL());
}

void PLYSignInViewController::assertAttemptResult(bool success, const QString& reason) {
    m_progress->stopAnimation();
    if (success) return;
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    alert.messageText = QStringLiteral("Error");
    alert.informativeText = reason.isEmpty()
                                ? QStringLiteral("Pellory could not reach the service. Check your connection and try again.")
                                : reason;
    alert.buttonTitles = {QStringLiteral("OK")};
    PLYAlertPresenter::shared()->runModal(alert, this);
}

void PLYSignInViewController::dismiss() {
    m_completion = {};
    m_dismissing = true;
    m_progress->stopAnimation();
    close();
}

void PLYSignInViewController::closeEvent(QCloseEvent* event) {
    // Closing the window is the user's cancel; a close the session asked for answers nothing.
    if (!m_dismissing) cancelAction();
    QWidget::closeEvent(event);
}

void PLYSignInViewController::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
