#pragma once

#include "PLYAuthViewController.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class PLYAccountStatusView;
class PLYSessionObserver;
class QStackedWidget;

// The main window ("base" of storyboard "Main"). Until the root navigation puts its screens
// here, it shows the account's status and, while the session has nobody signed in
// ("NO_ACCOUNT", "NOT_AUTHD"), the sign-in forms.
class PLYBaseWindowController : public QMainWindow {
    Q_OBJECT
public:
    explicit PLYBaseWindowController(QWidget* parent = nullptr);
    ~PLYBaseWindowController() override;

    // The login view while it is up.
    PLYAuthViewController* authViewController() const { return m_auth; }
    PLYAccountStatusView* accountStatusView() const { return m_status; }

    // Puts the login view up, once.
    void presentLogin();

private:
    void sessionChanged(const QString& state);
    void loginCompleted();

    QStackedWidget* m_stack = nullptr;
    PLYAccountStatusView* m_status = nullptr;
    QPointer<PLYAuthViewController> m_auth;
    std::unique_ptr<PLYSessionObserver> m_observer;
};
