#pragma once

#include "PLYSessionObserver.h"

#include <QList>
#include <QPoint>
#include <QWidget>
#include <memory>

class PLYProgressIndicator;
class QLabel;
class QPropertyAnimation;

// The e-mail verification window ("EmailVerifyWindow" of "Login"), run modally by the session
// while the account's address is not verified. It ends its run with Continue once the session
// is idle again, or with Stop when the user gives up.
class PLYEmailVerificationViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int ShakeDurationMs = 500;

    explicit PLYEmailVerificationViewController(QWidget* parent = nullptr);
    ~PLYEmailVerificationViewController() override;

    // Before each modal run: the message names the address, and state changes count from now
    // until the run ends.
    void prepareForRun();
    bool isRunning() const { return m_running; }

    void resendAction();
    void checkAction();
    void cancelAction();
    // The reaction to each change of the session's state, delivered as it happens.
    void managerChangedState(const PLYSessionChange& change);
    void shakeWindow();

    // The window's positions over one shake from `origin`: three times 5 % of `width` to the
    // left and to the right, and back where it started.
    static QList<QPoint> shakePath(const QPoint& origin, int width);

    bool isShaking() const;
    PLYProgressIndicator* indicator() const { return m_indicator; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void endRun(qint64 response);
    void showStatus(const QString& text, bool error);

    PLYProgressIndicator* m_indicator = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_status = nullptr;
    QPropertyAnimation* m_shake = nullptr;
    QPoint m_shakeOrigin;
    bool m_running = false;
    std::unique_ptr<PLYSessionObserver> m_observer;
};
