// A newcomer's road through the account windows, with the application's own web-service
// installation against the development service in this process: sign up in the main window,
// verify the address, set up the blog and its WordPress account from the preferences, sign out
// and in again, and switch the service host in the panel.

#include "../web-services/PLYSessionTestSupport.h"
#include "PLYAccountWizardScript.h"

#include "AppDelegate.h"
#include "PLYAccountInfoViewController.h"
#include "PLYAccountScenes.h"
#include "PLYBaseViewController.h"
#include "PLYHomeViewController.h"
#include "PLYAuthViewController.h"
#include "PLYBaseWindowController.h"
#include "PLYEmailVerificationViewController.h"
#include "PLYMigrator.h"
#include "PLYPreferencesViewController.h"
#include "PLYPreferencesWindowController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedModalRunner.h"
#include "PLYSignInViewController.h"
#include "PLYTestWidgets.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceHostViewController.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServicePostPublisherServices.h"
#include "PLYWebServiceUser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#ifdef PELLORY_HAS_DEVSERVICE
#include "../web-services/PLYDevServiceRoad.h"

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using PLYTestWidgets::child;
using PLYTestWidgets::click;
using PLYTestWidgets::type;

class AccountRoad : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        PLYMigrator::clearRegisteredSteps();
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("library"));
        PLYDevService::Options options;
        options.verifyOnSignUp = false;  // as scripts/run starts it
        ASSERT_TRUE(dev.start(options));
        PLYAlertPresenter::setShared(alerts);
        PLYModalRunner::setShared(runner);
        PLYDesktopServices::setShared(std::make_shared<PLYScriptedDesktopServices>());
        // Start-up as the application does it: the web service with its windows, the scenes,
        // the library.
        AppDelegate::defaultOptions().installWebService();
        PLYAccountScenes::registerMissingScenes();
        PLYCoreManager::globalManager()->startManager();
    }
    void TearDown() override {
        window.reset();
        AppDelegate::defaultOptions().shutdownWebService();
        PLYDevServiceRoad::restoreSession();
        PLYAlertPresenter::setShared(nullptr);
        PLYModalRunner::setShared(nullptr);
        PLYDesktopServices::setShared(nullptr);
        PLYCoreManager::resetGlobalManager();
        dev.stop();
    }

    Manager* manager() { return Manager::globalManager(); }
    bool reach(const char* state) {
        return waitUntil([&] { return manager()->currentStateName() == QLatin1String(state); });
    }
    void signIn(const QString& email, const QString& password) {
        PLYAuthViewController* login = window->authViewController();
        ASSERT_NE(login, nullptr);
        type(login, "usernameTextField", email);
        type(login, "passwordTextField", password, true);
        ASSERT_TRUE(waitUntil([&] { return !window->authViewController(); }));
        ASSERT_TRUE(reach(Manager::StateIdle));
    }

    PLYDevServiceRoad dev;
    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedModalRunner> runner = std::make_shared<PLYScriptedModalRunner>();
    std::unique_ptr<PLYBaseWindowController> window;
};

TEST_F(AccountRoad, ANewcomerSignsUpVerifiesSetsUpTheBlogSignsOutAndInAndSwitchesHosts) {
    const QString email = "ada@dev.example.org";
    const QString password = "correct horse";
    window = std::make_unique<PLYBaseWindowController>();
    window->show();
    ASSERT_TRUE(waitUntil([&] { return window->authViewController() != nullptr; })) << "nobody is signed in";

    // Sign up.
    PLYAuthViewController* login = window->authViewController();
    click(login, "switchToCreateButton");
    type(login, "firstNameTextField", "Ada");
    type(login, "lastNameTextField", "Lovelace");
    type(login, "emailTextField", email);
    type(login, "createPasswordTextField", password);
    type(login, "confirmPasswordTextField", password);
    click(login, "termsAndConditionsButton");
    click(login, "createAccountButton");
    ASSERT_TRUE(waitUntil([&] { return child<QStackedWidget>(login, "tabView")->currentIndex() == PLYAuthViewController::CreatedTab; }));
    click(login, "finishCreationButton");
    ASSERT_TRUE(waitUntil([&] { return !window->authViewController(); }));
    ASSERT_TRUE(reach(Manager::StateNotVerified));
    // The account line of the home screen.
    PLYHomeViewController* status = window->baseViewController()->homeViewController();
    ASSERT_TRUE(waitUntil([&] { return child(status, "verifyEmailButton")->isVisible(); }));

    // Verify: too early first, then the message is sent again (and followed), then it is done.
    runner->setWhileRunning([&](QWidget* shown) {
        auto* verify = qobject_cast<PLYEmailVerificationViewController*>(shown);
        ASSERT_NE(verify, nullptr);
        shown->show();
        click(verify, "checkButton");
        ASSERT_TRUE(waitUntil([&] { return verify->isShaking(); }));
        EXPECT_TRUE(verify->isRunning());
        click(verify, "resendButton");
        ASSERT_TRUE(waitUntil([&] { return child<QLabel>(verify, "statusLabel")->text().contains("on its way"); }));
        click(verify, "checkButton");
        ASSERT_TRUE(waitUntil([&] { return !verify->isRunning(); }));
    });
    click(status, "verifyEmailButton");
    ASSERT_TRUE(reach(Manager::StateIdle));
    ASSERT_TRUE(waitUntil([&] { return child(status, "signOutButton")->isVisible() && !child(status, "verifyEmailButton")->isVisible(); }));
    EXPECT_EQ(child<QLabel>(status, "accountNameLabel")->text(), "Ada Lovelace");

    // Set up the blog from the preferences: its domain, then WordPress with a category.
    PLYPreferencesWindowController prefs;
    prefs.show();
    prefs.changeTab(child<QAction>(&prefs, PLYPreferencesViewController::AccountTab));
    EXPECT_EQ(child<QLabel>(&prefs, "domainNameLabel")->text(), "Not Configured");
    runner->setWhileRunning([&](QWidget* shown) { PLYCompleteAccountWizardWithWordpress(shown, "ada.example.org"); });
    click(&prefs, "showDomainDetailsButton");
    ASSERT_TRUE(reach(Manager::StateIdle));
    EXPECT_EQ(child<QLabel>(&prefs, "domainNameLabel")->text(), "ada.example.org");
    EXPECT_EQ(child<QLabel>(&prefs, "wordpressUsernameLabel")->text(), "ada");
    ASSERT_TRUE(manager()->remotePublisher());
    EXPECT_EQ(manager()->remotePublisher()->defaultCategory(), "Uncategorized");

    // Sign out, and in again.
    click(status, "signOutButton");
    ASSERT_TRUE(waitUntil([&] { return window->authViewController() != nullptr; }));
    EXPECT_EQ(manager()->currentStateName(), Manager::StateNoAccount);
    EXPECT_TRUE(PLYWebServiceHost::currentHost()->jwt().isEmpty());
    EXPECT_FALSE(PLYCoreManager::persistantStore()->currentAccount());
    signIn(email, password);
    EXPECT_EQ(manager()->remoteAccount()->host(), "ada.example.org");

    // Another service in the panel: it knows nobody, so the session asks for the password;
    // giving up leaves nobody signed in there.
    PLYDevService other(PLYDevService::Options{});
    ASSERT_TRUE(other.start(0));
    int prompts = 0;
    runner->setWhileRunning([&](QWidget* shown) {
        ++prompts;
        ASSERT_NE(qobject_cast<PLYSignInViewController*>(shown), nullptr);
        shown->show();
        click(shown, "cancelButton");
    });
    PLYWebServiceHostViewController panel;
    panel.show();
    type(&panel, "customPortTextField", QString::number(other.port()), true);
    ASSERT_TRUE(waitUntil([&] { return window->authViewController() != nullptr; }));
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(other.fakeService().requestsMatching("POST", "/api/log-in").isEmpty());
    EXPECT_EQ(child<QLineEdit>(&panel, "currentURLTextField")->text(), QString("http://127.0.0.1:%1").arg(other.port()));

    // Back to the first service: sign in there again.
    type(&panel, "customPortTextField", QString::number(dev->port()), true);
    ASSERT_TRUE(reach(Manager::StateNoAccount));
    signIn(email, password);
    EXPECT_EQ(manager()->remoteUser()->email(), email);
}

}  // namespace

#endif
