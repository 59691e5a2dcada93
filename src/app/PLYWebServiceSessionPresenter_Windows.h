#pragma once

#include "PLYEmailVerificationViewController.h"
#include "PLYSignInViewController.h"
#include "PLYWebServiceSessionPresenter.h"

#include <QPointer>

// The session's modal windows as the application shows them: the sign-in prompt and the
// e-mail verification window of "Login", the account-details wizard of "Settings". Each runs
// through the shared modal runner.
class PLYWebServiceSessionPresenter_Windows : public PLYWebServiceSessionPresenter {
public:
    ~PLYWebServiceSessionPresenter_Windows() override;

    void runSignInPrompt(const QString& title, const QString& email, SignInHandler handler) override;
    void assertSignInAttemptResult(bool success, const QString& reason) override;
    void closeSignInPrompt() override;
    qint64 runEmailVerifyWindow() override;
    qint64 runAccountDetailsWindow(bool startAtPublisher, bool startAtRPC) override;

    // The windows while they exist (the prompt from its first showing to its close, the
    // verification window once made).
    PLYSignInViewController* signInPrompt() const { return m_signIn; }
    PLYEmailVerificationViewController* emailVerifyWindow() const { return m_emailVerify; }

private:
    QPointer<PLYSignInViewController> m_signIn;
    QPointer<PLYEmailVerificationViewController> m_emailVerify;
};
