#include "PLYWebServiceSessionPresenter_Windows.h"

#include "PLYAccountInfoViewController.h"
#include "PLYEmailVerificationViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYLog.h"
#include "PLYModalRunner.h"
#include "PLYSignInViewController.h"
#include "PLYStoryboard.h"

#include <QApplication>

namespace {

template <class T>
T* makeScene(const char* storyboard, const char* identifier) {
    QObject* scene = PLYStoryboard::instantiate(QString::fromLatin1(storyboard), QString::fromLatin1(identifier));
    T* window = qobject_cast<T*>(scene);
    if (!window) {
        PLY_LOG_ERROR(QStringLiteral("The scene %1 of %2 is not the expected window").arg(QLatin1String(identifier), QLatin1String(storyboard)));
        delete scene;
        return nullptr;
    }
    // These windows never keep the application running on their own.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    return window;
}

}  // namespace

PLYWebServiceSessionPresenter_Windows::~PLYWebServiceSessionPresenter_Windows() {
    delete m_signIn.data();
    delete m_emailVerify.data();
}

void PLYWebServiceSessionPresenter_Windows::runSignInPrompt(const QString& title, const QString& email, SignInHandler handler) {
    if (!m_signIn) m_signIn = makeScene<PLYSignInViewController>(PLYInterfaceNames::LoginStoryboard, PLYInterfaceNames::SignInWindowScene);
    if (!m_signIn) {
        if (handler) handler(false, QString(), QString());
        return;
    }
    QPointer<PLYSignInViewController> prompt = m_signIn;
    prompt->presentWithTitle(title, email, std::move(handler));
    PLYModalRunner::shared()->runModalForWindow(prompt);
    // However the run ended, the prompt answers nothing more; the next showing makes a new one.
    if (m_signIn == prompt) m_signIn.clear();
    if (prompt) {
        prompt->dismiss();
        prompt->deleteLater();
    }
}

void PLYWebServiceSessionPresenter_Windows::assertSignInAttemptResult(bool success, const QString& reason) {
    if (m_signIn) m_signIn->assertAttemptResult(success, reason);
}

void PLYWebServiceSessionPresenter_Windows::closeSignInPrompt() {
    if (!m_signIn) return;
    QPointer<PLYSignInViewController> prompt = m_signIn;
    m_signIn.clear();
    prompt->dismiss();
    PLYModalRunner::shared()->stopModalWithCode(PLYModalRunner::Stop);
}

qint64 PLYWebServiceSessionPresenter_Windows::runEmailVerifyWindow() {
    if (!m_emailVerify)
        m_emailVerify = makeScene<PLYEmailVerificationViewController>(PLYInterfaceNames::LoginStoryboard,
                                                                      PLYInterfaceNames::EmailVerifyWindowScene);
    if (!m_emailVerify) return PLYModalRunner::Stop;
    m_emailVerify->prepareForRun();
    const qint64 response = PLYModalRunner::shared()->runModalForWindow(m_emailVerify);
    if (m_emailVerify) m_emailVerify->hide();
    return response;
}

qint64 PLYWebServiceSessionPresenter_Windows::runAccountDetailsWindow(bool startAtPublisher, bool startAtRPC) {
    QPointer<PLYAccountInfoViewController> wizard =
        makeScene<PLYAccountInfoViewController>(PLYInterfaceNames::SettingsStoryboard, PLYInterfaceNames::AccountInfoWindowScene);
    if (!wizard) return PLYModalRunner::Stop;
    if (startAtPublisher) wizard->startAtPublisher();
    if (startAtRPC) wizard->startAtRPC();
    PLYModalRunner::shared()->runModalForWindow(wizard);
    if (!wizard) return PLYModalRunner::Stop;
    const qint64 response = wizard->actionResponse();
    wizard->hide();
    // The wizard lives for one run.
    wizard->deleteLater();
    return response;
}
