#pragma once

#include "PLYSessionObserver.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;

// What the main window shows of the session until its home screen takes over: the account,
// the session's state in words, and the account actions that state allows (verify the
// address, sign out).
class PLYAccountStatusView : public QWidget {
    Q_OBJECT
public:
    struct Status {
        QString text;
        bool signedIn = false;
        bool offerVerification = false;
    };
    static Status statusForState(const QString& state);
    // Whether the state needs the sign-in forms.
    static bool needsLogin(const QString& state);

    explicit PLYAccountStatusView(QWidget* parent = nullptr);

    void refresh(const QString& state);
    void verifyEmailAction();
    void signOutAction();

    // Forgets the account here and on the service host, and has the session run its road
    // again, which ends in NO_ACCOUNT.
    static void signOut();

private:
    QLabel* m_account = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_verify = nullptr;
    QPushButton* m_signOut = nullptr;
};
