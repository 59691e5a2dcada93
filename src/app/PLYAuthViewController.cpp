#include "PLYAuthViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYColor.h"
#include "PLYCoreManager.h"
#include "PLYDesktopServices.h"
#include "PLYDispatch.h"
#include "PLYErrorBox.h"
#include "PLYFormWidgets.h"
#include "PLYKeyChain.h"
#include "PLYLog.h"
#include "PLYPersistantStore.h"
#include "PLYProgressIndicator.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

namespace {
constexpr int kCardWidth = 420;

// Widgets side by side; a null entry is a stretch.
QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : widgets) {
        if (w) layout->addWidget(w);
        else layout->addStretch();
    }
    return layout;
}

// A page of the view: its form on a card of its own height, centred.
QWidget* centredCard(QWidget* content) {
    auto* page = new QWidget;
    QWidget* frame = PLYFormWidgets::card(page);
    frame->setFixedWidth(kCardWidth);
    auto* cardLayout = new QVBoxLayout(frame);
    cardLayout->setContentsMargins(32, 28, 32, 28);
    content->setParent(frame);
    cardLayout->addWidget(content);
    auto* outer = new QVBoxLayout(page);
    outer->addStretch();
    outer->addLayout(row({nullptr, frame, nullptr}));
    outer->addStretch();
    return page;
}
}  // namespace

PLYAuthViewController::PLYAuthViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYAuthViewController"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, PLYColor::kro_layoutBackground());
    setPalette(p);

    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    m_tabView->addWidget(centredCard(buildCreatePage()));
    m_tabView->addWidget(centredCard(buildSignInPage()));
    m_tabView->addWidget(centredCard(buildCreatedPage()));
    m_tabView->setCurrentIndex(SignInTab);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_tabView);

    m_observer = std::make_unique<PLYSessionObserver>(this, PLYSessionObserver::Delivery::Queued,
                                                      [this](const PLYSessionChange& change) { webServiceManagerStateChange(change); });
}

PLYAuthViewController::~PLYAuthViewController() = default;

QLabel* PLYAuthViewController::keychainNote(const QString& name, QWidget* page) {
    // Without a Secret Service the password lives only as long as this run: say so before the
    // user counts on "Remember me".
    QLabel* label = note(tr("This desktop has no keychain service, so your password cannot be remembered: "
                            "you will be asked to sign in again next time."),
                         page);
    label->setObjectName(name);
    label->setVisible(!PLYKeyChain::usesSecretService());
    return label;
}

QWidget* PLYAuthViewController::buildSignInPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(heading(tr("Sign in to Pellory"), page));
    layout->addWidget(note(tr("Lay out your photo stories and publish them to your blog."), page));
    layout->addSpacing(6);

    m_username = field(QStringLiteral("usernameTextField"), tr("Email"), page);
    m_usernameBox = fieldBox(m_username, QStringLiteral("usernameErrorBox"), QStringLiteral("usernameErrorLabel"), page);
    layout->addWidget(m_usernameBox);
    m_password = field(QStringLiteral("passwordTextField"), tr("Password"), page, true);
    m_passwordBox = fieldBox(m_password, QStringLiteral("passwordErrorBox"), QStringLiteral("passwordErrorLabel"), page);
    layout->addWidget(m_passwordBox);

    m_remember = new QCheckBox(tr("Remember me"), page);
    m_remember->setObjectName(QStringLiteral("rememberButton"));
    m_remember->setChecked(true);
    QPushButton* forgot = linkButton(tr("Forgot password?"), QStringLiteral("forgotPasswordButton"), page);
    connect(forgot, &QPushButton::clicked, this, &PLYAuthViewController::forgotPasswordAction);
    layout->addLayout(row({m_remember, nullptr, forgot}));
    layout->addWidget(keychainNote(QStringLiteral("signInKeychainNoteLabel"), page));

    m_signInError = errorLine(QStringLiteral("signInErrorLabel"), page);
    layout->addWidget(m_signInError);

    m_progress = new PLYProgressIndicator(page);
    m_progress->setObjectName(QStringLiteral("progressIndicator"));
    QPushButton* signIn = button(tr("Sign In"), QStringLiteral("signInButton"), page, true);
    connect(signIn, &QPushButton::clicked, this, &PLYAuthViewController::signInAction);
    layout->addLayout(row({m_progress, nullptr, signIn}));
    connect(m_username, &QLineEdit::returnPressed, this, &PLYAuthViewController::signInAction);
    connect(m_password, &QLineEdit::returnPressed, this, &PLYAuthViewController::signInAction);

    layout->addSpacing(8);
    QPushButton* create = linkButton(tr("Create an account"), QStringLiteral("switchToCreateButton"), page);
    connect(create, &QPushButton::clicked, this, &PLYAuthViewController::switchMethod);
    layout->addLayout(row({caption(tr("New to Pellory?"), page), create, nullptr}));
    return page;
}

QWidget* PLYAuthViewController::buildCreatePage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(heading(tr("Create your account"), page));
    layout->addSpacing(6);

    m_firstName = field(QStringLiteral("firstNameTextField"), tr("First name"), page);
    m_firstNameBox = fieldBox(m_firstName, QStringLiteral("firstNameErrorBox"), {}, page);
    m_lastName = field(QStringLiteral("lastNameTextField"), tr("Last name"), page);
    m_lastNameBox = fieldBox(m_lastName, QStringLiteral("lastNameErrorBox"), {}, page);
    // Both name boxes are marked without text: the red border says enough.
    m_firstNameBox->setShowsErrorLabel(false);
    m_lastNameBox->setShowsErrorLabel(false);
    auto* names = row({m_firstNameBox, m_lastNameBox});
    names->setSpacing(10);
    layout->addLayout(names);

    m_email = field(QStringLiteral("emailTextField"), tr("Email"), page);
    m_emailBox = fieldBox(m_email, QStringLiteral("emailErrorBox"), QStringLiteral("emailErrorLabel"), page);
    layout->addWidget(m_emailBox);
    m_createPassword = field(QStringLiteral("createPasswordTextField"), tr("Password (at least 8 characters)"), page, true);
    m_createPasswordBox =
        fieldBox(m_createPassword, QStringLiteral("createPasswordErrorBox"), QStringLiteral("createPasswordErrorLabel"), page);
    layout->addWidget(m_createPasswordBox);
    m_confirmPassword = field(QStringLiteral("confirmPasswordTextField"), tr("Confirm password"), page, true);
    m_createPassword2Box =
        fieldBox(m_confirmPassword, QStringLiteral("createPassword2ErrorBox"), QStringLiteral("createPassword2ErrorLabel"), page);
    layout->addWidget(m_createPassword2Box);

    m_terms = new QCheckBox(tr("I accept the"), page);
    m_terms->setObjectName(QStringLiteral("termsAndConditionsButton"));
    QPushButton* terms = linkButton(tr("terms and conditions"), QStringLiteral("termsAndConditionsLink"), page);
    connect(terms, &QPushButton::clicked, this, &PLYAuthViewController::showTermsAndConditionsAction);
    auto* termsRow = row({m_terms, terms, nullptr});
    termsRow->setSpacing(4);
    layout->addLayout(termsRow);
    layout->addWidget(keychainNote(QStringLiteral("createKeychainNoteLabel"), page));

    m_createError = errorLine(QStringLiteral("createErrorLabel"), page);
    layout->addWidget(m_createError);

    m_createProgress = new PLYProgressIndicator(page);
    m_createProgress->setObjectName(QStringLiteral("createProgressIndicator"));
    QPushButton* createButton = button(tr("Create Account"), QStringLiteral("createAccountButton"), page, true);
    connect(createButton, &QPushButton::clicked, this, &PLYAuthViewController::createAccountAction);
    layout->addLayout(row({m_createProgress, nullptr, createButton}));
    for (QLineEdit* edit : {m_firstName, m_lastName, m_email, m_createPassword, m_confirmPassword})
        connect(edit, &QLineEdit::returnPressed, this, &PLYAuthViewController::createAccountAction);

    layout->addSpacing(8);
    QPushButton* signIn = linkButton(tr("Sign in"), QStringLiteral("switchToSignInButton"), page);
    connect(signIn, &QPushButton::clicked, this, &PLYAuthViewController::switchMethod);
    layout->addLayout(row({caption(tr("Already have an account?"), page), signIn, nullptr}));
    return page;
}

QWidget* PLYAuthViewController::buildCreatedPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(heading(tr("Welcome to Pellory"), page));
    m_createdNote = note(QString(), page);
    m_createdNote->setObjectName(QStringLiteral("createdNoteLabel"));
    layout->addWidget(m_createdNote);
    layout->addSpacing(8);
    QPushButton* start = button(tr("Get Started"), QStringLiteral("finishCreationButton"), page, true);
    connect(start, &QPushButton::clicked, this, &PLYAuthViewController::finishCreation);
    layout->addLayout(row({nullptr, start}));
    return page;
}

void PLYAuthViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_tryingLogin = false;
    m_tryingSignup = false;
    m_progress->stopAnimation();
    m_createProgress->stopAnimation();
}

void PLYAuthViewController::clearBoxes(std::initializer_list<PLYErrorBox*> boxes) {
    for (PLYErrorBox* box : boxes) box->setErrorState(false);
}

void PLYAuthViewController::showProblem(const PLYAuthForms::Problem& problem) {
    if (!problem.alertTitle.isEmpty()) {
        PLYAlertRequest alert;
        alert.style = PLYAlertRequest::Style::Informational;
        alert.messageText = problem.alertTitle;
        alert.informativeText = problem.message;
        alert.buttonTitles = {QStringLiteral("OK")};
        PLYAlertPresenter::shared()->runModal(alert, window());
        return;
    }
    if (!problem.label.isEmpty()) {
        if (auto* label = findChild<QLabel*>(problem.label)) {
            label->setText(problem.message);
            // A form-wide line has no box to show it.
            if (problem.box.isEmpty()) label->show();
        }
    }
    if (!problem.box.isEmpty()) {
        if (auto* box = findChild<PLYErrorBox*>(problem.box)) box->setErrorState(true);
    }
}

void PLYAuthViewController::signInAction() {
    if (m_tryingLogin || m_tryingSignup) return;
    const QString email = m_username->text().trimmed();
    const QString password = m_password->text();
    clearBoxes({m_usernameBox, m_passwordBox});
    m_signInError->hide();
    if (const auto problem = PLYAuthForms::validateSignIn(email, password)) {
        showProblem(*problem);
        return;
    }
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (manager && manager->loginWithEmail(email, password, m_remember->isChecked())) {
        m_tryingLogin = true;
        m_progress->startAnimation();
    } else {
        presentFailureAlert(QStringLiteral("logging in"));
    }
}

void PLYAuthViewController::createAccountAction() {
    if (m_tryingLogin || m_tryingSignup) return;
    PLYAuthForms::SignUp form;
    form.firstName = m_firstName->text().trimmed();
    form.lastName = m_lastName->text().trimmed();
    form.email = m_email->text().trimmed();
    form.password = m_createPassword->text();
    form.confirmation = m_confirmPassword->text();
    form.termsAccepted = m_terms->isChecked();
    clearBoxes({m_firstNameBox, m_lastNameBox, m_emailBox, m_createPasswordBox, m_createPassword2Box});
    m_createError->hide();
    if (const auto problem = PLYAuthForms::validateSignUp(form)) {
        showProblem(*problem);
        return;
    }
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (manager && manager->createUserAccountWithFirstName(form.firstName, form.lastName, form.email, form.password)) {
        m_tryingSignup = true;
        m_createProgress->startAnimation();
    } else {
        presentFailureAlert(QStringLiteral("creating an account"));
    }
}

void PLYAuthViewController::forgotPasswordAction() {
    PLYDesktopServices::shared()->openURL(PLYWebServiceHost::currentHost()->passwordResetURL());
}

void PLYAuthViewController::selectTab(int index) { m_tabView->setCurrentIndex(index); }

void PLYAuthViewController::switchMethod() {
    m_tryingLogin = false;
    m_tabView->setCurrentIndex(m_tabView->currentIndex() == CreateAccountTab ? SignInTab : CreateAccountTab);
}

QUrl PLYAuthViewController::termsAndConditionsURL() {
    return QUrl(QStringLiteral("https://%1/terms-and-conditions").arg(QStringLiteral(PELLORY_SERVICE_DOMAIN)));
}

void PLYAuthViewController::showTermsAndConditionsAction() { PLYDesktopServices::shared()->openURL(termsAndConditionsURL()); }

void PLYAuthViewController::finishCreation() {
    if (!m_authCompletionBlock) return;
    QPointer<PLYAuthViewController> self(this);
    PLYDispatch::mainAsync([self] {
        if (self && self->m_authCompletionBlock) self->m_authCompletionBlock(true);
    }, this);
}

void PLYAuthViewController::presentFailureAlert(const QString& activity) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    alert.messageText = QStringLiteral("Cannot Reach Server");
    alert.informativeText =
        QStringLiteral("An error occured while %1. Ensure you have an internet connection and try again.").arg(activity);
    alert.buttonTitles = {QStringLiteral("OK")};
    PLYAlertPresenter::shared()->runModal(alert, window());
}

void PLYAuthViewController::endAttempt() {
    // Each form's own spinner: the one of the attempt that ended.
    if (m_tryingLogin) m_progress->stopAnimation();
    if (m_tryingSignup) m_createProgress->stopAnimation();
    m_tryingLogin = false;
    m_tryingSignup = false;
}

void PLYAuthViewController::webServiceManagerStateChange(const PLYSessionChange& change) {
    using Kind = PLYAuthForms::Reaction::Kind;
    const auto reaction = PLYAuthForms::react(change.state, m_tryingLogin, m_tryingSignup, change.error);
    if (!reaction.endsAttempt()) return;
    endAttempt();
    switch (reaction.kind) {
    case Kind::ConnectionFailure:
        presentFailureAlert(reaction.activity);
        break;
    case Kind::Refused:
        showProblem(reaction.problem);
        break;
    case Kind::SignedIn:
    case Kind::AccountCreated: {
        const QString email = PLYWebServiceHost::currentHost()->email();
        if (const auto store = PLYCoreManager::persistantStore()) store->signInUser(email);
        if (reaction.kind == Kind::SignedIn) {
            if (m_authCompletionBlock) m_authCompletionBlock(true);
        } else {
            m_createdNote->setText(tr("Your account is ready. Pellory sent a message to %1 to confirm the address; "
                                      "follow its link when you are ready to publish.")
                                       .arg(email));
            m_tabView->setCurrentIndex(CreatedTab);
        }
        break;
    }
    case Kind::None:
        break;
    }
}
