// The account windows driven by synthesized clicks and keys, against the real session manager
// and the scripted service on loopback: sign-in and sign-up with the service's refusals, the
// sign-in prompt of re-authentication, the account-details wizard's roads, preferences and
// the host panel switching the session's service.
#include "../web-services/PLYSessionTestSupport.h"

#include "PLYAccountInfoFlow.h"
#include "PLYAccountInfoViewController.h"
#include "PLYAccountScenes.h"
#include "PLYAuthViewController.h"
#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYErrorBox.h"
#include "PLYKeyChain.h"
#include "PLYLayoutManager.h"
#include "PLYPreferencesViewController.h"
#include "PLYPreferencesWindowController.h"
#include "PLYProgressIndicator.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedModalRunner.h"
#include "PLYSignInViewController.h"
#include "PLYTestWidgets.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceHostViewController.h"
#include "PLYWebServiceSessionPresenter_Windows.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

namespace {

using M = PLYWebServiceManager;
using PLYTestEnvironment::waitUntil;
using PLYTestWidgets::child;
using PLYTestWidgets::click;
using PLYTestWidgets::type;

class AccountWindows : public PLYWebServiceManagerTest {
protected:
    void SetUp() override {
        PLYWebServiceManagerTest::SetUp();
        PLYAlertPresenter::setShared(alerts);
        PLYModalRunner::setShared(runner);
        PLYDesktopServices::setShared(desktop);
        windows = std::make_shared<PLYWebServiceSessionPresenter_Windows>();
        PLYWebServiceSessionPresenter::setShared(windows);
        PLYAccountScenes::registerMissingScenes();
    }
    void TearDown() override {
        PLYWebServiceSessionPresenter::setShared(nullptr);
        windows.reset();
        PLYAlertPresenter::setShared(nullptr);
        PLYModalRunner::setShared(nullptr);
        PLYDesktopServices::setShared(nullptr);
        PLYWebServiceManagerTest::TearDown();
    }

    static bool inError(QWidget* root, const char* box) {
        auto* found = child<PLYErrorBox>(root, box);
        return found && found->errorState();
    }
    static QString text(QWidget* root, const char* label) {
        auto* found = child<QLabel>(root, label);
        return found ? found->text() : QString();
    }
    int requests(const QByteArray& method, const QString& path) const { return int(service.requestsMatching(method, path).size()); }
    QString lastAlert() const { return alerts->presented().isEmpty() ? QString() : alerts->presented().last().messageText; }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedModalRunner> runner = std::make_shared<PLYScriptedModalRunner>();
    std::shared_ptr<PLYScriptedDesktopServices> desktop = std::make_shared<PLYScriptedDesktopServices>();
    std::shared_ptr<PLYWebServiceSessionPresenter_Windows> windows;
};

// ---- Sign-in and sign-up ----

TEST_F(AccountWindows, SignInShowsEachRefusalInPlaceThenLetsTheUserThrough) {
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    PLYAuthViewController view;
    int through = 0;
    view.setAuthCompletionBlock([&](bool ok) { through += ok; });
    view.show();
    auto* spinner = child<PLYProgressIndicator>(&view, "progressIndicator");

    click(&view, "signInButton");
    EXPECT_TRUE(inError(&view, "usernameErrorBox"));
    EXPECT_EQ(text(&view, "usernameErrorLabel"), "email required");
    EXPECT_EQ(requests("POST", "/api/log-in"), 0);

    type(&view, "usernameTextField", script.email);
    type(&view, "passwordTextField", "wrong");
    service.enqueueReply("POST", "/api/log-in", PLYErrorReply(401, 1, "The password is incorrect."));
    click(&view, "signInButton");
    EXPECT_TRUE(view.tryingLogin());
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(inError(&view, "usernameErrorBox")) << "each attempt starts clean";
    click(&view, "signInButton");  // while the attempt runs: nothing
    ASSERT_TRUE(waitUntil([&] { return !view.tryingLogin(); }));
    EXPECT_EQ(requests("POST", "/api/log-in"), 1);
    EXPECT_EQ(manager()->currentStateName(), M::StateNotAuthd);
    EXPECT_TRUE(inError(&view, "passwordErrorBox"));
    EXPECT_EQ(text(&view, "passwordErrorLabel"), "Incorrect password");
    EXPECT_FALSE(spinner->isAnimating());

    service.enqueueReply("POST", "/api/log-in", PLYErrorReply(401, 2, "No account has this email address."));
    type(&view, "passwordTextField", "anything", true);  // Return signs in too
    ASSERT_TRUE(waitUntil([&] { return inError(&view, "usernameErrorBox"); }));
    EXPECT_EQ(text(&view, "usernameErrorLabel"), "Incorrect email");
    EXPECT_FALSE(inError(&view, "passwordErrorBox"));

    // A refusal of another code still says why.
    click(&view, "signInButton");
    ASSERT_TRUE(waitUntil([&] { return !view.tryingLogin(); }));
    EXPECT_TRUE(child<QLabel>(&view, "signInErrorLabel")->isVisible());
    EXPECT_EQ(text(&view, "signInErrorLabel"), "Wrong e-mail or password.");

    type(&view, "passwordTextField", script.password);
    click(&view, "signInButton");
    ASSERT_TRUE(waitUntil([&] { return through == 1; }));
    EXPECT_FALSE(child<QLabel>(&view, "signInErrorLabel")->isVisible());
    ASSERT_TRUE(store()->currentAccount());
    EXPECT_EQ(store()->currentAccount()->email(), script.email);
    EXPECT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(alerts->presented().isEmpty());
}

// Where no Secret Service keeps secrets, both forms say the password cannot be remembered
// before the user counts on "Remember me"; with one, they say nothing of it.
TEST_F(AccountWindows, BothFormsSayWhenThePasswordCannotBeRemembered) {
    PLYKeyChain::resetForTesting(true);
    ASSERT_FALSE(PLYKeyChain::usesSecretService());
    {
        PLYAuthViewController view;
        view.show();
        auto* signIn = child<QLabel>(&view, "signInKeychainNoteLabel");
        ASSERT_TRUE(signIn);
        EXPECT_TRUE(signIn->isVisible());
        EXPECT_TRUE(signIn->text().contains("cannot be remembered")) << signIn->text().toStdString();
        EXPECT_TRUE(child<QCheckBox>(&view, "rememberButton")->isVisible());
        click(&view, "switchToCreateButton");
        auto* create = child<QLabel>(&view, "createKeychainNoteLabel");
        ASSERT_TRUE(create);
        ASSERT_TRUE(waitUntil([&] { return create->isVisible(); }));
        EXPECT_EQ(create->text(), signIn->text());
    }
    PLYKeyChain::resetForTesting(false);
    if (!PLYKeyChain::usesSecretService()) GTEST_SKIP() << "no Secret Service on this desktop";
    PLYAuthViewController view;
    view.show();
    EXPECT_FALSE(child<QLabel>(&view, "signInKeychainNoteLabel")->isVisible());
    EXPECT_FALSE(child<QLabel>(&view, "createKeychainNoteLabel")->isVisible());
    PLYKeyChain::resetForTesting(true);
}

TEST_F(AccountWindows, SignUpValidatesThenShowsTheServicesFieldErrorsThenCreates) {
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    PLYAuthViewController view;
    int through = 0;
    view.setAuthCompletionBlock([&](bool ok) { through += ok; });
    view.show();
    auto* tabs = child<QStackedWidget>(&view, "tabView");
    EXPECT_EQ(tabs->currentIndex(), PLYAuthViewController::SignInTab);
    click(&view, "switchToCreateButton");
    EXPECT_EQ(tabs->currentIndex(), PLYAuthViewController::CreateAccountTab);

    click(&view, "createAccountButton");
    for (const char* box : {"lastNameErrorBox", "emailErrorBox", "createPasswordErrorBox", "createPassword2ErrorBox"})
        EXPECT_FALSE(inError(&view, box)) << box;
    EXPECT_TRUE(inError(&view, "firstNameErrorBox"));

    type(&view, "firstNameTextField", "Grace");
    type(&view, "lastNameTextField", "Hopper");
    type(&view, "emailTextField", "grace@example");
    type(&view, "createPasswordTextField", QString::fromUtf8("ñññññññ"));
    click(&view, "createAccountButton");
    EXPECT_FALSE(inError(&view, "firstNameErrorBox"));
    EXPECT_EQ(text(&view, "createPasswordErrorLabel"), "Password must be at least 8 characters long");
    type(&view, "createPasswordTextField", QString::fromUtf8("ñññññññn"));
    type(&view, "confirmPasswordTextField", QString::fromUtf8("ñññññññm"));
    click(&view, "createAccountButton");
    EXPECT_EQ(text(&view, "createPassword2ErrorLabel"), "Password does not match");
    type(&view, "confirmPasswordTextField", QString::fromUtf8("ñññññññn"));
    click(&view, "createAccountButton");
    EXPECT_EQ(lastAlert(), "Accept Terms and Conditions");
    EXPECT_EQ(requests("POST", "/api/user"), 0);

    click(&view, "termsAndConditionsLink");
    EXPECT_EQ(desktop->openedURLs().value(0).path(), "/terms-and-conditions");
    click(&view, "termsAndConditionsButton");
    service.enqueueReply("POST", "/api/user", PLYFakeReply::json(422, QVariantMap{{"code", 100}, {"errors", QVariantMap{{"email", QVariantList{"has invalid format"}}}}}));
    service.enqueueReply("POST", "/api/user", PLYFakeReply::json(422, QVariantMap{{"code", 100}, {"errors", QVariantMap{{"email", QVariantList{"has already been taken"}}}}}));
    click(&view, "createAccountButton");
    EXPECT_TRUE(child<PLYProgressIndicator>(&view, "createProgressIndicator")->isAnimating());
    ASSERT_TRUE(waitUntil([&] { return inError(&view, "emailErrorBox"); }));
    EXPECT_EQ(text(&view, "emailErrorLabel"), "The email is not valid");
    EXPECT_FALSE(view.tryingSignup());
    EXPECT_FALSE(child<PLYProgressIndicator>(&view, "createProgressIndicator")->isAnimating());

    type(&view, "emailTextField", "grace@example.org");
    click(&view, "createAccountButton");
    ASSERT_TRUE(waitUntil([&] { return !view.tryingSignup(); }));
    EXPECT_EQ(text(&view, "emailErrorLabel"), "This email is already registered");

    click(&view, "createAccountButton");
    ASSERT_TRUE(waitUntil([&] { return tabs->currentIndex() == PLYAuthViewController::CreatedTab; }));
    ASSERT_TRUE(store()->currentAccount());
    EXPECT_EQ(store()->currentAccount()->email(), "grace@example.org");
    EXPECT_EQ(service.requestsMatching("POST", "/api/user").last().json().toMap().value("user").toMap().value("password_raw"),
              QString::fromUtf8("ñññññññn"));
    EXPECT_EQ(through, 0) << "the user leaves the welcome page by hand";
    click(&view, "finishCreationButton");
    EXPECT_TRUE(waitUntil([&] { return through == 1; }));
}

// ---- The sign-in prompt ----

TEST_F(AccountWindows, ThePromptTakesOnlyTheSignedInEmailAndResumesOnceSignedIn) {
    host()->setEmail(script.email, true);
    host()->setJWT("expired");
    int runs = 0;
    runner->setWhileRunning([&](QWidget* window) {
        ++runs;
        auto* prompt = qobject_cast<PLYSignInViewController*>(window);
        ASSERT_NE(prompt, nullptr);
        prompt->show();
        EXPECT_EQ(text(prompt, "titleLabel"), "Login");
        EXPECT_EQ(child<QLineEdit>(prompt, "emailTextField")->text(), script.email);
        EXPECT_TRUE(child<QLineEdit>(prompt, "passwordTextField")->text().isEmpty());

        click(prompt, "signInButton");
        EXPECT_EQ(alerts->presented().last().messageText, "Password Required");

        type(prompt, "emailTextField", "mallory@example.org");
        type(prompt, "passwordTextField", script.password);
        click(prompt, "signInButton");
        EXPECT_EQ(alerts->presented().last().informativeText, "Please sign in as " + script.email + ".");
        EXPECT_EQ(requests("POST", "/api/log-in"), 0) << "another person's sign-in is never sent";
        EXPECT_FALSE(child<PLYProgressIndicator>(prompt, "progressIndicator")->isAnimating());

        type(prompt, "emailTextField", script.email);
        type(prompt, "passwordTextField", "wrong", true);
        ASSERT_TRUE(waitUntil([&] { return alerts->presented().size() == 3; }));
        EXPECT_EQ(alerts->presented().last().messageText, "Error");
        EXPECT_EQ(alerts->presented().last().informativeText, "Wrong e-mail or password.");
        EXPECT_EQ(windows->signInPrompt(), prompt) << "a refused attempt leaves the prompt open";

        type(prompt, "passwordTextField", script.password);
        click(prompt, "signInButton");
        ASSERT_TRUE(waitUntil([&] { return windows->signInPrompt() == nullptr; }));
    });
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(PLYKeyChain::itemForKey("password", host()->keychainServiceName()).toString(), script.password);
}

TEST_F(AccountWindows, ClosingThePromptCancelsAndEndsInNoAccount) {
    host()->setEmail(script.email, true);
    host()->setJWT("expired");
    runner->setWhileRunning([&](QWidget* window) {
        window->show();
        window->close();
    });
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    EXPECT_EQ(requests("POST", "/api/log-in"), 0);
}

// ---- The account-details wizard ----

class AccountWizard : public AccountWindows {
protected:
    void SetUp() override {
        AccountWindows::SetUp();
        script.host.clear();
        script.hasPublisher = false;
        // A WordPress publisher whose categories the blog reports once it signed in.
        service.setHandler("POST", "/api/me/publisher", [this](const PLYFakeRequest& request) {
            const QVariantMap fields = request.json().toMap().value("publisher").toMap();
            publisher = {{"id", 9}, {"type", 1}, {"username", fields.value("username")}, {"status", 0},
                         {"categories", QVariantList{"Uncategorized", "Travel"}}};
            script.hasPublisher = true;
            return PLYFakeReply::json(201, QVariantMap{{"data", publisher}});
        });
        service.setHandler("PUT", "/api/me/publisher", [this](const PLYFakeRequest& request) {
            const QVariantMap fields = request.json().toMap().value("publisher").toMap();
            for (auto it = fields.begin(); it != fields.end(); ++it)
                if (it.key() != "password") publisher.insert(it.key(), it.value());
            return PLYFakeReply::json(200, QVariantMap{{"data", publisher}});
        });
        host()->setJWT(script.validToken);
        start();
        ASSERT_TRUE(reach(M::StateIdle));
    }
    // Runs the wizard as the preferences and the publish panel do, with `user` at the controls.
    bool runWizard(const std::function<void(PLYAccountInfoViewController*)>& user) {
        runner->setWhileRunning([&](QWidget* window) {
            auto* wizard = qobject_cast<PLYAccountInfoViewController*>(window);
            ASSERT_NE(wizard, nullptr);
            wizard->show();
            user(wizard);
        });
        PLYCompletionRecord record;
        manager()->presentAccountDetailsNotification(false, false, record.block());
        EXPECT_TRUE(record.called);
        return record.success;
    }
    static void choosePlatform(QWidget* wizard, int index) {
        auto* popUp = child<QComboBox>(wizard, "publisherPopUpButton");
        popUp->setFocus();
        QTest::keyClick(popUp, Qt::Key_Home);
        for (int i = 0; i < index; ++i) QTest::keyClick(popUp, Qt::Key_Down);
    }
    QVariantMap publisher;
};

TEST_F(AccountWizard, HostAcceptedThenPublisherRefusedThenCreatedThenItsCategoryChosen) {
    const bool through = runWizard([&](PLYAccountInfoViewController* wizard) {
        using P = PLYAccountInfoViewController;
        click(wizard, "primaryActionButton");
        EXPECT_EQ(lastAlert(), "Select Host");
        EXPECT_EQ(requests("PUT", "/api/me/account"), 0);

        type(wizard, "hostTextField", "  myblog.example.org ");
        choosePlatform(wizard, 1);
        click(wizard, "primaryActionButton");
        EXPECT_TRUE(wizard->checkingHost());
        EXPECT_TRUE(child<PLYProgressIndicator>(wizard, "hostProgressIndicator")->isAnimating());
        ASSERT_TRUE(waitUntil([&] { return wizard->currentPage() == P::WordpressPage; }));
        EXPECT_EQ(script.host, "myblog.example.org");
        EXPECT_FALSE(wizard->checkingHost());
        EXPECT_FALSE(child<PLYProgressIndicator>(wizard, "hostProgressIndicator")->isAnimating());
        EXPECT_EQ(child<QPushButton>(wizard, "primaryActionButton")->text(), "Log in");
        EXPECT_FALSE(child(wizard, "wordpressSettingsView")->isVisible());

        click(wizard, "primaryActionButton");
        EXPECT_TRUE(child(wizard, "wordpressUsernameErrorLabelView")->isVisible());
        EXPECT_EQ(text(wizard, "wordpressUsernameErrorLabel"), "Username required");
        EXPECT_FALSE(child(wizard, "wordpressPasswordErrorLabelView")->isVisible());

        // The blog refuses the password.
        service.enqueueReply("POST", "/api/me/publisher",
                             PLYFakeReply::json(422, QVariantMap{{"code", 505}, {"info", QVariantMap{{"status_code", 4}}}}));
        type(wizard, "wordpressUsernameTextField", "ada");
        type(wizard, "wordpressPasswordTextField", "wrong");
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return !wizard->checkingPublisher(); }));
        EXPECT_FALSE(child<PLYProgressIndicator>(wizard, "wordpressProgressIndicator")->isAnimating());
        EXPECT_TRUE(inError(wizard, "wordpressPasswordErrorBox"));
        EXPECT_EQ(text(wizard, "wordpressPasswordErrorLabel"), "Incorrect password");
        EXPECT_FALSE(child(wizard, "wordpressUsernameErrorLabelView")->isVisible());
        EXPECT_EQ(wizard->currentPage(), P::WordpressPage);

        // Created: the wizard stays for the category, which is still missing.
        type(wizard, "wordpressPasswordTextField", "right");
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return child(wizard, "wordpressSettingsView")->isVisible(); }));
        EXPECT_TRUE(child(wizard, "wordpressCategoryErrorView")->isVisible());
        EXPECT_EQ(child<QComboBox>(wizard, "wordpressCategoryPopUpButton")->count(), 2);
        EXPECT_EQ(child<QPushButton>(wizard, "primaryActionButton")->text(), "Continue");
        EXPECT_TRUE(child<QLineEdit>(wizard, "wordpressPasswordTextField")->text().isEmpty());

        auto* categories = child<QComboBox>(wizard, "wordpressCategoryPopUpButton");
        categories->setFocus();
        QTest::keyClick(categories, Qt::Key_End);
        EXPECT_TRUE(child<QCheckBox>(wizard, "wordpressDraftButton")->isChecked());
        click(wizard, "wordpressDraftButton");
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
    });
    EXPECT_TRUE(through);
    const QVariantMap update = service.requestsMatching("PUT", "/api/me/publisher").last().json().toMap().value("publisher").toMap();
    EXPECT_EQ(update.value("default_category"), "Travel");
    EXPECT_EQ(update.value("auto_publish"), true) << "drafts off: published at once";
    EXPECT_FALSE(update.contains("password")) << "an unchanged password is not sent";
    EXPECT_EQ(manager()->currentStateName(), M::StateIdle);
}

TEST_F(AccountWizard, ADefaultCategoryTheBlogNoLongerOffersIsShownGoneAndNeverReplacedBehindTheUsersBack) {
    // The blog's categories no longer include the publisher's default.
    service.setHandler("POST", "/api/me/publisher", [this](const PLYFakeRequest& request) {
        const QVariantMap fields = request.json().toMap().value("publisher").toMap();
        publisher = {{"id", 9}, {"type", 1}, {"username", fields.value("username")}, {"status", 0},
                     {"categories", QVariantList{"Uncategorized", "Travel"}}, {"default_category", "Food"}};
        script.hasPublisher = true;
        return PLYFakeReply::json(201, QVariantMap{{"data", publisher}});
    });
    const bool through = runWizard([&](PLYAccountInfoViewController* wizard) {
        type(wizard, "hostTextField", "myblog.example.org");
        choosePlatform(wizard, 1);
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return wizard->currentPage() == PLYAccountInfoViewController::WordpressPage; }));
        type(wizard, "wordpressUsernameTextField", "ada");
        type(wizard, "wordpressPasswordTextField", "right");
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return child(wizard, "wordpressSettingsView")->isVisible(); }));
        auto* categories = child<QComboBox>(wizard, "wordpressCategoryPopUpButton");
        EXPECT_EQ(categories->count(), 2);
        EXPECT_EQ(categories->currentIndex(), -1) << "no other category stands in for the missing one";
        EXPECT_TRUE(child(wizard, "wordpressCategoryErrorView")->isVisible());
        EXPECT_TRUE(text(wizard, "wordpressCategoryErrorLabel").contains("\"Food\"")) << text(wizard, "wordpressCategoryErrorLabel").toStdString();

        // Continue without a choice sends nothing and keeps the page.
        const int puts = requests("PUT", "/api/me/publisher");
        click(wizard, "primaryActionButton");
        EXPECT_EQ(wizard->currentPage(), PLYAccountInfoViewController::WordpressPage);
        EXPECT_FALSE(wizard->checkingPublisher());

        categories->setFocus();
        QTest::keyClick(categories, Qt::Key_End);
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
        // Answered after anything the first Continue could have sent.
        EXPECT_EQ(requests("PUT", "/api/me/publisher"), puts + 1) << "only the Continue with a category sent the publisher";
    });
    EXPECT_TRUE(through);
    const QVariantMap update = service.requestsMatching("PUT", "/api/me/publisher").last().json().toMap().value("publisher").toMap();
    EXPECT_EQ(update.value("default_category"), "Travel");
}

// Return does the window's default action wherever the focus is: on the Platform pop-up (where
// Tab leaves it after the domain) and on the category pop-up as in the text fields, and once.
TEST_F(AccountWizard, ReturnDoesTheDefaultActionFromThePopUpsAndTheFieldsOnce) {
    const bool through = runWizard([&](PLYAccountInfoViewController* wizard) {
        type(wizard, "hostTextField", "myblog.example.org");
        choosePlatform(wizard, 1);
        QTest::keyClick(child<QComboBox>(wizard, "publisherPopUpButton"), Qt::Key_Return);
        EXPECT_TRUE(wizard->checkingHost());
        ASSERT_TRUE(waitUntil([&] { return wizard->currentPage() == PLYAccountInfoViewController::WordpressPage; }));
        EXPECT_EQ(requests("PUT", "/api/me/account"), 1);

        type(wizard, "wordpressUsernameTextField", "ada");
        type(wizard, "wordpressPasswordTextField", "right");
        QTest::keyClick(child<QLineEdit>(wizard, "wordpressPasswordTextField"), Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return child(wizard, "wordpressSettingsView")->isVisible(); }));
        EXPECT_EQ(requests("POST", "/api/me/publisher"), 1) << "one Return, one request";

        auto* categories = child<QComboBox>(wizard, "wordpressCategoryPopUpButton");
        categories->setFocus();
        QTest::keyClick(categories, Qt::Key_End);
        QTest::keyClick(categories, Qt::Key_Enter);
        ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
    });
    EXPECT_TRUE(through);
    EXPECT_EQ(requests("PUT", "/api/me/publisher"), 1);
}

TEST(AccountInfoFlow, TheCategoryChoiceKeepsAGoneDefaultVisibleAndChoosesNothingForIt) {
    using PLYAccountInfoFlow::categoryChoice;
    EXPECT_EQ(categoryChoice({"A", "B"}, "B").selectedIndex, 1);
    EXPECT_TRUE(categoryChoice({"A", "B"}, "B").message.isEmpty());
    EXPECT_EQ(categoryChoice({"A", "B"}, "").selectedIndex, -1);
    EXPECT_FALSE(categoryChoice({"A", "B"}, "").message.isEmpty());
    EXPECT_EQ(categoryChoice({"A", "B"}, "C").selectedIndex, -1);
    EXPECT_TRUE(categoryChoice({"A", "B"}, "C").message.contains("\"C\""));
    EXPECT_EQ(categoryChoice({}, "C").selectedIndex, -1);
}

TEST_F(AccountWizard, HostRefusedStopsTheCheckAndShowsTheServicesWordsThenAcceptsTheCorrection) {
    const bool through = runWizard([&](PLYAccountInfoViewController* wizard) {
        service.enqueueReply("PUT", "/api/me/account", PLYErrorReply(422, 203, "The domain is not valid."));
        type(wizard, "hostTextField", "my blog");
        choosePlatform(wizard, 2);  // a site without a publisher
        click(wizard, "primaryActionButton");
        ASSERT_TRUE(waitUntil([&] { return !wizard->checkingHost(); }));
        EXPECT_FALSE(child<PLYProgressIndicator>(wizard, "hostProgressIndicator")->isAnimating());
        EXPECT_TRUE(inError(wizard, "hostErrorBox"));
        EXPECT_EQ(text(wizard, "hostErrorLabel"), "The domain is not valid.");
        EXPECT_EQ(wizard->currentPage(), PLYAccountInfoViewController::HostPage);

        type(wizard, "hostTextField", "myblog.example.org", true);
        ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
        EXPECT_FALSE(inError(wizard, "hostErrorBox"));
    });
    EXPECT_TRUE(through) << "a site without a publisher is set up once its domain is kept";
    EXPECT_EQ(script.host, "myblog.example.org");
}

TEST_F(AccountWizard, CancelAnywhereAnswersNoAndLeavesTheAccountAsItWas) {
    EXPECT_FALSE(runWizard([&](PLYAccountInfoViewController* wizard) {
        type(wizard, "hostTextField", "other.example.org");
        QTest::keyClick(wizard, Qt::Key_Escape);
    }));
    EXPECT_TRUE(script.host.isEmpty());
    EXPECT_EQ(requests("PUT", "/api/me/account"), 0);
}

// ---- Preferences ----

TEST_F(AccountWindows, PreferencesStoreWhatIsEnteredRefuseNonsenseAndShowItAgain) {
    {
        PLYPreferencesWindowController prefs;
        prefs.show();
        EXPECT_EQ(child<QLineEdit>(&prefs, "generalPaddingTextField")->text(), "10.000000");
        type(&prefs, "generalPaddingTextField", "12.5", true);
        EXPECT_DOUBLE_EQ(PLYDefaults::defaultPadding(), 12.5);
        EXPECT_EQ(child<QLineEdit>(&prefs, "generalPaddingTextField")->text(), "12.500000");
        for (const char* nonsense : {"abc", "", "nan"}) {
            type(&prefs, "generalPaddingTextField", nonsense, true);
            EXPECT_DOUBLE_EQ(PLYDefaults::defaultPadding(), 12.5) << nonsense;
            EXPECT_EQ(child<QLineEdit>(&prefs, "generalPaddingTextField")->text(), "12.500000") << nonsense;
        }
        // Numbers are kept within the padding a layout accepts.
        type(&prefs, "generalPaddingTextField", "1e9", true);
        EXPECT_DOUBLE_EQ(PLYDefaults::defaultPadding(), double(PLYLayoutManager::MaximumPadding));
        type(&prefs, "generalPaddingTextField", "12.5", true);
        click(&prefs, "generalImportSubFoldersButton");
        EXPECT_TRUE(PLYDefaults::defaultIncludeSubfolders());
        auto* well = child<PLYColourWell>(&prefs, "generalColourWell");
        QTest::mouseClick(well, Qt::LeftButton);
        auto* panel = prefs.findChild<QColorDialog*>();
        ASSERT_NE(panel, nullptr);
        panel->setCurrentColor(QColor(20, 40, 60));
        EXPECT_EQ(PLYDefaults::defaultBackgroundColour(), QColor(20, 40, 60));
        EXPECT_FALSE(child<QCheckBox>(&prefs, "generalAutoUpdateButton")->isEnabled());
    }
    PLYPreferencesWindowController again;
    again.show();
    EXPECT_EQ(child<QLineEdit>(&again, "generalPaddingTextField")->text(), "12.500000");
    EXPECT_TRUE(child<QCheckBox>(&again, "generalImportSubFoldersButton")->isChecked());
    EXPECT_EQ(child<PLYColourWell>(&again, "generalColourWell")->colour(), QColor(20, 40, 60));
    click(&again, "generalImportSubFoldersButton");
    EXPECT_FALSE(PLYDefaults::defaultIncludeSubfolders());
}

TEST_F(AccountWindows, ThePreferencesAccountTabReadsTheSessionAndOpensTheWizard) {
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    PLYPreferencesWindowController prefs;
    prefs.show();
    prefs.changeTab(child<QAction>(&prefs, PLYPreferencesViewController::AccountTab));
    EXPECT_EQ(text(&prefs, "domainNameLabel"), script.host);
    EXPECT_EQ(text(&prefs, "domainHostLabel"), "Wordpress");
    EXPECT_EQ(text(&prefs, "wordpressUsernameLabel"), "ada");
    EXPECT_EQ(text(&prefs, "wordpressPasswordLabel"), "**********");

    // The wizard opens on the WordPress page; once it ends, the tab reads the session again.
    script.hasPublisher = false;
    runner->setWhileRunning([&](QWidget* window) {
        auto* wizard = qobject_cast<PLYAccountInfoViewController*>(window);
        ASSERT_NE(wizard, nullptr);
        EXPECT_EQ(wizard->currentPage(), PLYAccountInfoViewController::WordpressPage);
        ASSERT_TRUE(manager()->refreshInfo());
        ASSERT_TRUE(reach(M::StateIdle));
        click(wizard, "cancelButton");
    });
    click(&prefs, "showWordpressDetailsButton");
    EXPECT_EQ(runner->windows().size(), 1);
    EXPECT_EQ(text(&prefs, "domainHostLabel"), "Squarespace / Other");
    EXPECT_EQ(text(&prefs, "wordpressUsernameLabel"), "Not Configured");
    EXPECT_EQ(text(&prefs, "wordpressPasswordLabel"), "Not Configured");
}

// ---- The host panel ----

TEST_F(AccountWindows, SwitchingHostsInThePanelTakesTheSignedInSessionAlong) {
    PLYFakeService other;
    ASSERT_TRUE(other.start());
    PLYScriptedAccount otherScript;
    otherScript.host = "other-blog.example.org";
    PLYInstallSessionRoutes(other, otherScript);
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));

    PLYWebServiceHostViewController panel;
    panel.show();
    auto* type = child<QComboBox>(&panel, "hostTypePopUpButton");
    EXPECT_EQ(type->currentData().toInt(), 4);
    EXPECT_EQ(child<QLineEdit>(&panel, "customPortTextField")->text(), QString::number(service.port()));
    EXPECT_EQ(child<QLineEdit>(&panel, "currentURLTextField")->text(), QString("http://127.0.0.1:%1").arg(service.port()));
    EXPECT_TRUE(panel.refreshTimer().isActive());

    PLYTestWidgets::type(&panel, "customPortTextField", QString::number(other.port()), true);
    EXPECT_EQ(child<QLineEdit>(&panel, "currentURLTextField")->text(), QString("http://127.0.0.1:%1").arg(other.port()))
        << "at once, not at the next refresh";
    ASSERT_TRUE(waitUntil([&] {
        return manager()->currentStateName() == M::StateIdle && manager()->remoteAccount() &&
               manager()->remoteAccount()->host() == otherScript.host;
    }));
    EXPECT_FALSE(other.requestsMatching("GET", "/api/me").isEmpty());

    PLYTestWidgets::type(&panel, "customPortTextField", "70000", true);
    EXPECT_TRUE(child<QLabel>(&panel, "customPortErrorLabel")->isVisible());
    EXPECT_EQ(PLYWebServiceHost::currentHost()->port(), QString::number(other.port())) << "a bad port is not stored";

    type->setFocus();
    QTest::keyClick(type, Qt::Key_Home);
    EXPECT_EQ(PLYWebServiceHost::currentHost()->hostType(), PLYWebServiceHost::HostTypeDev);
    EXPECT_EQ(child<QLineEdit>(&panel, "currentURLTextField")->text(), "http://localhost:4000");
    QTest::keyClick(type, Qt::Key_End);
    EXPECT_EQ(PLYWebServiceHost::currentHost()->hostType(), PLYWebServiceHost::HostTypeCustom);
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(child<QLineEdit>(&panel, "currentWSStatusTextField")->text(),
              PLYWebServiceHost::currentHost()->socketConnected() ? "Connected" : "Not Connected");

    panel.hide();
    EXPECT_FALSE(panel.refreshTimer().isActive()) << "a hidden panel does not refresh";
}

TEST_F(AccountWindows, EscapeClosesTheHostPanelFromAnyOfItsControls) {
    PLYWebServiceHostViewController panel;
    for (const char* control : {"hostTypePopUpButton", "customHostTextField", "customPortTextField"}) {
        SCOPED_TRACE(control);
        panel.show();
        ASSERT_TRUE(panel.isVisible());
        QTest::keyClick(child<QWidget>(&panel, control), Qt::Key_Escape);
        EXPECT_FALSE(panel.isVisible());
    }
}

}  // namespace
