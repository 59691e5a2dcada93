#pragma once

#include <QString>
#include <functional>
#include <memory>

// The windows the web-service manager runs modally: the sign-in prompt of re-authentication,
// the e-mail verification window and the account-details wizard. The application installs
// the real windows; tests install a scripted presenter. Everything runs on the main thread.
class PLYWebServiceSessionPresenter {
public:
    // The prompt's answer: signIn false means cancelled.
    using SignInHandler = std::function<void(bool signIn, const QString& email, const QString& password)>;

    virtual ~PLYWebServiceSessionPresenter() = default;

    // Shows the sign-in prompt with `title` and the e-mail filled in, and runs it modally until
    // closeSignInPrompt. Each attempt or the cancel reaches `handler`.
    virtual void runSignInPrompt(const QString& title, const QString& email, SignInHandler handler) = 0;
    // The prompt shows the outcome of an attempt (success false: `reason` says why, may be empty).
    virtual void assertSignInAttemptResult(bool success, const QString& reason) = 0;
    // Closes the prompt and ends its modal run.
    virtual void closeSignInPrompt() = 0;

    // Run modally; each answers the modal response (PLYModalRunner::Continue when the user is
    // through, PLYModalRunner::Stop on cancel).
    virtual qint64 runEmailVerifyWindow() = 0;
    virtual qint64 runAccountDetailsWindow(bool startAtPublisher, bool startAtRPC) = 0;

    // The installed presenter; without one, prompts count as cancelled.
    static std::shared_ptr<PLYWebServiceSessionPresenter> shared();
    static void setShared(std::shared_ptr<PLYWebServiceSessionPresenter> presenter);
};
