#pragma once

#include "PLYAuthForms.h"
#include "PLYSessionObserver.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class PLYErrorBox;
class PLYProgressIndicator;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The login view ("PLYAuthViewController" of "Main"): a sign-in form, a create-account form
// and a page shown once an account was created. It only collects input, asks the session
// manager and answers the session's state changes.
class PLYAuthViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int CreateAccountTab = 0;
    static constexpr int SignInTab = 1;
    static constexpr int CreatedTab = 2;

    explicit PLYAuthViewController(QWidget* parent = nullptr);
    ~PLYAuthViewController() override;

    // Called with true when the user is through; queued on the main thread.
    void setAuthCompletionBlock(std::function<void(bool)> block) { m_authCompletionBlock = std::move(block); }

    bool tryingLogin() const { return m_tryingLogin; }
    bool tryingSignup() const { return m_tryingSignup; }

    void signInAction();
    void createAccountAction();
    void forgotPasswordAction();
    void switchMethod();
    void showTermsAndConditionsAction();
    void finishCreation();
    void presentFailureAlert(const QString& activity);
    // The reaction to one announced change of the session's state.
    void webServiceManagerStateChange(const PLYSessionChange& change);
    // Marks a field (or the form) with a problem, or shows the problem's alert.
    void showProblem(const PLYAuthForms::Problem& problem);
    void selectTab(int index);

    static QUrl termsAndConditionsURL();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* keychainNote(const QString& name, QWidget* page);
    QWidget* buildSignInPage();
    QWidget* buildCreatePage();
    QWidget* buildCreatedPage();
    void clearBoxes(std::initializer_list<PLYErrorBox*> boxes);
    void endAttempt();

    QStackedWidget* m_tabView = nullptr;
    QLineEdit* m_username = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    PLYErrorBox* m_usernameBox = nullptr;
    PLYErrorBox* m_passwordBox = nullptr;
    QLabel* m_signInError = nullptr;
    QLineEdit* m_firstName = nullptr;
    QLineEdit* m_lastName = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_createPassword = nullptr;
    QLineEdit* m_confirmPassword = nullptr;
    QCheckBox* m_terms = nullptr;
    PLYErrorBox* m_firstNameBox = nullptr;
    PLYErrorBox* m_lastNameBox = nullptr;
    PLYErrorBox* m_emailBox = nullptr;
    PLYErrorBox* m_createPasswordBox = nullptr;
    PLYErrorBox* m_createPassword2Box = nullptr;
    QLabel* m_createError = nullptr;
    QLabel* m_createdNote = nullptr;
    PLYProgressIndicator* m_progress = nullptr;
    PLYProgressIndicator* m_createProgress = nullptr;

    bool m_tryingLogin = false;
    bool m_tryingSignup = false;
    std::function<void(bool)> m_authCompletionBlock;
    std::unique_ptr<PLYSessionObserver> m_observer;
};
