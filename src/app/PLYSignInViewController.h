#pragma once

#include <QWidget>
#include <functional>

class PLYProgressIndicator;
class QLabel;
class QLineEdit;

// The small window ("SignInWindow" of "Login") in which the session asks again for the
// password of a known e-mail. It is its own window; the session presenter runs it modally.
class PLYSignInViewController : public QWidget {
    Q_OBJECT
public:
    // Whether to sign in (false: cancelled), the e-mail and the password.
    using Completion = std::function<void(bool signIn, const QString& email, const QString& password)>;

    explicit PLYSignInViewController(QWidget* parent = nullptr);

    void presentWithTitle(const QString& title, const QString& email, Completion completion);
    void signInAction();
    void cancelAction();
    void forgotPasswordAction();
    // The outcome of an attempt; a refusal is shown with `reason`.
    void assertAttemptResult(bool success, const QString& reason);
    // Closes the window without answering (the session ended the prompt).
    void dismiss();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void presentAlert(const QString& title, const QString& text);

    QLabel* m_title = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_password = nullptr;
    PLYProgressIndicator* m_progress = nullptr;
    Completion m_completion;
    bool m_dismissing = false;
};
