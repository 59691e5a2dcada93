#include "PLYEmailVerificationViewController.h"

#include "PLYAuthForms.h"
#include "PLYColor.h"
#include "PLYFormWidgets.h"
#include "PLYModalRunner.h"
#include "PLYProgressIndicator.h"
#include "PLYSafeText.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServiceUser.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

PLYEmailVerificationViewController::PLYEmailVerificationViewController(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(tr("Verify Your Email"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(10);
    layout->addWidget(heading(tr("Verify your email"), this));
    m_message = note(QString(), this);
    m_message->setObjectName(QStringLiteral("messageLabel"));
    layout->addWidget(m_message);
    m_status = new QLabel(this);
    PLYSafeText::makePlain(m_status);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setWordWrap(true);
    m_status->hide();
    layout->addWidget(m_status);
    layout->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    m_indicator = new PLYProgressIndicator(this);
    m_indicator->setObjectName(QStringLiteral("indicator"));
    buttons->addWidget(m_indicator);
    buttons->addStretch();
    QPushButton* cancel = button(tr("Not Now"), QStringLiteral("cancelButton"), this);
    QPushButton* resend = button(tr("Resend Email"), QStringLiteral("resendButton"), this);
    QPushButton* check = button(tr("I Have Verified"), QStringLiteral("checkButton"), this, true);
    connect(cancel, &QPushButton::clicked, this, &PLYEmailVerificationViewController::cancelAction);
    connect(resend, &QPushButton::clicked, this, &PLYEmailVerificationViewController::resendAction);
    connect(check, &QPushButton::clicked, this, &PLYEmailVerificationViewController::checkAction);
    buttons->addWidget(cancel);
    buttons->addWidget(resend);
    buttons->addWidget(check);
    layout->addLayout(buttons);
    setFixedWidth(460);

    m_indicator->stopAnimation();
    m_observer = std::make_unique<PLYSessionObserver>(this, PLYSessionObserver::Delivery::Immediate,
                                                      [this](const PLYSessionChange& change) { managerChangedState(change); });
}

PLYEmailVerificationViewController::~PLYEmailVerificationViewController() = default;

void PLYEmailVerificationViewController::prepareForRun() {
    m_running = true;
    m_indicator->stopAnimation();
    m_status->hide();
    const PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    const auto user = manager ? manager->remoteUser() : nullptr;
    const QString email = user && !user->email().isEmpty() ? user->email() : PLYWebServiceHost::currentHost()->email();
    m_message->setText(tr("Pellory sent a message to %1. Follow the link in it to confirm your address, "
                          "then come back here and choose I Have Verified.")
                           .arg(email.isEmpty() ? tr("your email address") : email));
}

void PLYEmailVerificationViewController::closeEvent(QCloseEvent* event) {
    m_running = false;
    m_indicator->stopAnimation();
    QWidget::closeEvent(event);
}

void PLYEmailVerificationViewController::showStatus(const QString& text, bool error) {
    QPalette p = m_status->palette();
    p.setColor(QPalette::WindowText, error ? PLYColor::kro_errorRedColour() : QColor(0x3C, 0x40, 0x43));
    m_status->setPalette(p);
    m_status->setText(text);
    m_status->show();
    // The window grows to the new line rather than squeezing it.
    if (isWindow()) adjustSize();
}

void PLYEmailVerificationViewController::resendAction() {
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    const auto user = manager ? manager->remoteUser() : nullptr;
    if (!user) return;
    m_indicator->startAnimation();
    QPointer<PLYEmailVerificationViewController> self(this);
    const QString email = user->email();
    const bool sent = user->sendEmailVerifyMail([self, email](bool success, const QVariant&,
                                                              const std::optional<PLYServiceError>& error,
                                                              const std::optional<PLYError>&) {
        if (!self) return;
        self->m_indicator->stopAnimation();
        // Whether the message left is worth saying either way.
        if (success) self->showStatus(tr("A new message is on its way to %1.").arg(email), false);
        else self->showStatus(PLYAuthForms::messageForError(error), true);
    });
    if (!sent) m_indicator->stopAnimation();
}

void PLYEmailVerificationViewController::checkAction() {
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    m_indicator->startAnimation();
    m_status->hide();
    // Refused, nothing will come back to stop the spinner.
    if (!manager || !manager->refreshInfo()) {
        m_indicator->stopAnimation();
        showStatus(tr("Pellory is still talking to the service. Try again in a moment."), true);
    }
}

void PLYEmailVerificationViewController::cancelAction() { endRun(PLYModalRunner::Stop); }

void PLYEmailVerificationViewController::endRun(qint64 response) {
    m_running = false;
    m_indicator->stopAnimation();
    PLYModalRunner::shared()->stopModalWithCode(response);
}

void PLYEmailVerificationViewController::managerChangedState(const PLYSessionChange& change) {
    // The window is kept between runs: while it is not running, the session's road is not
    // its business (and ending a modal run then would end another window's).
    if (!m_running) return;
    if (change.state == QLatin1String(PLYWebServiceManager::StateNotVerified)) {
        m_indicator->stopAnimation();
        showStatus(tr("Your address is not confirmed yet. Follow the link in the message, then try again."), true);
        shakeWindow();
    } else if (change.state == QLatin1String(PLYWebServiceManager::StateIdle)) {
        endRun(PLYModalRunner::Continue);
    }
}

QList<QPoint> PLYEmailVerificationViewController::shakePath(const QPoint& origin, int width) {
    const int offset = qRound(double(0.05f) * width);
    QList<QPoint> path{origin};
    for (int i = 0; i < 3; ++i) {
        path << origin - QPoint(offset, 0);
        path << origin + QPoint(offset, 0);
    }
    // The path is closed: the window ends where it started.
    path << origin;
    return path;
}

bool PLYEmailVerificationViewController::isShaking() const {
    return m_shake && m_shake->state() == QAbstractAnimation::Running;
}

void PLYEmailVerificationViewController::shakeWindow() {
    // A shake over a shake starts again from where the first one began, not from mid-swing.
    QPoint origin = pos();
    if (isShaking()) {
        origin = m_shakeOrigin;
        m_shake->stop();
        move(origin);
    }
    m_shakeOrigin = origin;
    if (!m_shake) m_shake = new QPropertyAnimation(this, "pos", this);
    const QList<QPoint> path = shakePath(origin, width());
    m_shake->setDuration(ShakeDurationMs);
    m_shake->setKeyValues({});
    for (qsizetype i = 0; i < path.size(); ++i) m_shake->setKeyValueAt(double(i) / double(path.size() - 1), path[i]);
    m_shake->start();
}
