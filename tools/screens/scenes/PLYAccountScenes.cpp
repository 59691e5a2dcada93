// The account windows: the sign-in and create-account forms, the sign-in prompt, e-mail
// verification, the account-details wizard's pages, preferences, the service host panel and
// the main window's account status; each also with an error shown.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYAccountInfoViewController.h"
#include "PLYAuthViewController.h"
#include "PLYEmailVerificationViewController.h"
#include "PLYKeyChain.h"
#include "PLYPreferencesViewController.h"
#include "PLYPreferencesWindowController.h"
#include "PLYSignInViewController.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceHostViewController.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePublisher.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace {

using Problem = PLYAuthForms::Problem;

// A blog on WordPress with a few categories, as the wizard and preferences read it.
PLYAccountDetails wordpressAccount(qint64 status = 0) {
    PLYAccountDetails details;
    details.account = std::make_shared<PLYWebServiceAccount>();
    details.account->setHost(QStringLiteral("highlands-journal.com"));
    details.publisher = std::make_shared<PLYWebServicePublisher>();
    details.publisher->setType(PLYWebServicePublisher::TypeWordpress);
    details.publisher->setUsername(QStringLiteral("ada.lovelace"));
    details.publisher->setStatus(status);
    details.publisher->setCategories({QStringLiteral("Uncategorized"), QStringLiteral("Travel Stories"),
                                      QStringLiteral("Landscapes of the Scottish Highlands"), QStringLiteral("Portraits")});
    details.publisher->setDefaultCategory(QStringLiteral("Travel Stories"));
    return details;
}

PLYAuthViewController* authView(int tab) {
    auto* view = new PLYAuthViewController;
    view->resize(760, 620);
    view->selectTab(tab);
    return view;
}

void type(QWidget* root, const char* name, const QString& text) {
    if (auto* edit = root->findChild<QLineEdit*>(QString::fromLatin1(name))) edit->setText(text);
}

PLYAccountInfoViewController* wizard(const PLYAccountDetails& details) {
    auto* view = new PLYAccountInfoViewController;
    view->setDetailsSource([details] { return details; });
    view->ensureHostView();
    return view;
}

const bool registered = [] {
    PLYScreens::add(QStringLiteral("sign-in"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = authView(PLYAuthViewController::SignInTab);
        type(view, "usernameTextField", QStringLiteral("ada.lovelace@highlands-journal.com"));
        return view;
    });
    // A desktop without a Secret Service: the form says the password will not be remembered.
    PLYScreens::add(QStringLiteral("sign-in-without-keychain"), [](PLYScreensFixture&) -> QWidget* {
        PLYKeyChain::resetForTesting(true);
        auto* view = authView(PLYAuthViewController::SignInTab);
        PLYKeyChain::resetForTesting(false);
        type(view, "usernameTextField", QStringLiteral("ada.lovelace@highlands-journal.com"));
        return view;
    });
    PLYScreens::add(QStringLiteral("sign-in-error"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = authView(PLYAuthViewController::SignInTab);
        type(view, "usernameTextField", QStringLiteral("ada.lovelace@highlands-journal.com"));
        type(view, "passwordTextField", QStringLiteral("wrong-password"));
        view->showProblem(Problem{QStringLiteral("passwordErrorBox"), QStringLiteral("passwordErrorLabel"),
                                  QStringLiteral("Incorrect password"), {}});
        return view;
    });
    PLYScreens::add(QStringLiteral("create-account"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = authView(PLYAuthViewController::CreateAccountTab);
        type(view, "firstNameTextField", QStringLiteral("Ada"));
        type(view, "lastNameTextField", QStringLiteral("Lovelace"));
        type(view, "emailTextField", QStringLiteral("ada.lovelace@highlands-journal.com"));
        return view;
    });
    PLYScreens::add(QStringLiteral("create-account-error"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = authView(PLYAuthViewController::CreateAccountTab);
        type(view, "firstNameTextField", QStringLiteral("Ada"));
        type(view, "lastNameTextField", QStringLiteral("Lovelace"));
        type(view, "emailTextField", QStringLiteral("ada.lovelace@highlands-journal.com"));
        type(view, "createPasswordTextField", QStringLiteral("correct horse"));
        type(view, "confirmPasswordTextField", QStringLiteral("correct horse"));
        view->showProblem(Problem{QStringLiteral("emailErrorBox"), QStringLiteral("emailErrorLabel"),
                                  QStringLiteral("This email is already registered"), {}});
        return view;
    });
    PLYScreens::add(QStringLiteral("account-created"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = authView(PLYAuthViewController::CreatedTab);
        if (auto* note = view->findChild<QLabel*>(QStringLiteral("createdNoteLabel")))
            note->setText(QStringLiteral("Your account is ready. Pellory sent a message to ada.lovelace@highlands-journal.com "
                                         "to confirm the address; follow its link when you are ready to publish."));
        return view;
    });

    PLYScreens::add(QStringLiteral("sign-in-prompt"), [](PLYScreensFixture&) -> QWidget* {
        auto* prompt = new PLYSignInViewController;
        prompt->presentWithTitle(QStringLiteral("login"), QStringLiteral("ada.lovelace@highlands-journal.com"), [](bool, const QString&, const QString&) {});
        return prompt;
    });
    PLYScreens::add(QStringLiteral("sign-in-prompt-error"), [](PLYScreensFixture&) -> QWidget* {
        // The prompt reports a refused attempt in an alert over it, as the alert presenter builds it.
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Error"));
        box->setInformativeText(QStringLiteral("Please sign in as ada.lovelace@highlands-journal.com."));
        box->addButton(QStringLiteral("OK"), QMessageBox::ActionRole);
        return box;
    });

    PLYScreens::add(QStringLiteral("email-verification"), [](PLYScreensFixture&) -> QWidget* {
        PLYWebServiceHost::currentHost()->setEmail(QStringLiteral("ada.lovelace@highlands-journal.com"), false);
        auto* window = new PLYEmailVerificationViewController;
        window->prepareForRun();
        return window;
    });
    PLYScreens::add(QStringLiteral("email-verification-error"), [](PLYScreensFixture&) -> QWidget* {
        PLYWebServiceHost::currentHost()->setEmail(QStringLiteral("ada.lovelace@highlands-journal.com"), false);
        auto* window = new PLYEmailVerificationViewController;
        window->prepareForRun();
        window->managerChangedState({QString::fromLatin1(PLYWebServiceManager::StateNotVerified), {}, std::nullopt});
        return window;
    });

    PLYScreens::add(QStringLiteral("account-details-host"), [](PLYScreensFixture&) -> QWidget* {
        return wizard(wordpressAccount());
    });
    PLYScreens::add(QStringLiteral("account-details-host-error"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = wizard({});
        type(view, "hostTextField", QStringLiteral("my blog on the web"));
        if (auto* popUp = view->findChild<QComboBox*>(QStringLiteral("publisherPopUpButton"))) popUp->setCurrentIndex(1);
        view->showHostError(QStringLiteral("The domain is not valid."));
        return view;
    });
    PLYScreens::add(QStringLiteral("account-details-wordpress"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = wizard(wordpressAccount());
        view->startAtPublisher();
        return view;
    });
    PLYScreens::add(QStringLiteral("account-details-wordpress-login-error"), [](PLYScreensFixture&) -> QWidget* {
        PLYAccountDetails details = wordpressAccount();
        details.publisher.reset();
        auto* view = wizard(details);
        view->startAtPublisher();
        type(view, "wordpressUsernameTextField", QStringLiteral("ada.lovelace"));
        view->handleStatus(4);
        return view;
    });
    PLYScreens::add(QStringLiteral("account-details-rpc"), [](PLYScreensFixture&) -> QWidget* {
        auto* view = wizard(wordpressAccount(6));
        view->startAtRPC();
        return view;
    });

    PLYScreens::add(QStringLiteral("preferences-general"), [](PLYScreensFixture&) -> QWidget* {
        return new PLYPreferencesWindowController;
    });
    PLYScreens::add(QStringLiteral("preferences-account"), [](PLYScreensFixture&) -> QWidget* {
        auto* window = new PLYPreferencesWindowController;
        const PLYAccountDetails details = wordpressAccount();
        window->contentViewController()->setDetailsSource([details] { return details; });
        window->changeTab(window->findChild<QAction*>(QString::fromLatin1(PLYPreferencesViewController::AccountTab)));
        return window;
    });
    PLYScreens::add(QStringLiteral("preferences-account-not-configured"), [](PLYScreensFixture&) -> QWidget* {
        auto* window = new PLYPreferencesWindowController;
        window->changeTab(window->findChild<QAction*>(QString::fromLatin1(PLYPreferencesViewController::AccountTab)));
        return window;
    });

    PLYScreens::add(QStringLiteral("service-host-panel"), [](PLYScreensFixture&) -> QWidget* {
        return new PLYWebServiceHostViewController;
    });
    PLYScreens::add(QStringLiteral("service-host-panel-error"), [](PLYScreensFixture&) -> QWidget* {
        auto* panel = new PLYWebServiceHostViewController;
        panel->show();
        type(panel, "customHostTextField", QStringLiteral("pellory.internal.example"));
        type(panel, "customPortTextField", QStringLiteral("99999"));
        panel->saveCustomAction();
        return panel;
    });

    return true;
}();

}  // namespace
