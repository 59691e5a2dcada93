#include "PLYAccountStatusView.h"

#include "PLYCoreManager.h"
#include "PLYError.h"
#include "PLYFormWidgets.h"
#include "PLYLog.h"
#include "PLYPersistantStore.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

namespace {
bool in(const QString& state, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (state == QLatin1String(name)) return true;
    return false;
}
}  // namespace

bool PLYAccountStatusView::needsLogin(const QString& state) {
    return in(state, {PLYWebServiceManager::StateNoAccount, PLYWebServiceManager::StateNotAuthd});
}

PLYAccountStatusView::Status PLYAccountStatusView::statusForState(const QString& state) {
    using M = PLYWebServiceManager;
    Status status;
    if (in(state, {M::StateIdle, M::StateUpdatingAccount, M::StateUpdatingUser, M::StateUpdatingPublisher,
                   M::StateCreatingPublisher, M::StateDeletingPublisher})) {
        status.text = tr("Signed in and connected to Pellory.");
        status.signedIn = true;
    } else if (in(state, {M::StateFetchingInfo, M::StateRefreshingAuth})) {
        status.text = tr("Signing in…");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateNotVerified)) {
        status.text = tr("Confirm your email address to start publishing.");
        status.signedIn = true;
        status.offerVerification = true;
    } else if (state == QLatin1String(M::StateAccountLocked)) {
        status.text = tr("Your account is locked. Contact Pellory support.");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateAccountPendingDeletion)) {
        status.text = tr("Your account is being deleted.");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateNoInternet)) {
        status.text = tr("No internet connection. Pellory will connect when it is back.");
    } else if (state == QLatin1String(M::StateServerConnection)) {
        status.text = tr("The Pellory service cannot be reached. Pellory keeps trying.");
    } else if (state == QLatin1String(M::StateOutOfDateVersion)) {
        status.text = tr("This version of Pellory is no longer supported by the service. Please update Pellory.");
    } else if (needsLogin(state) || state == QLatin1String(M::StateCreatingAccount)) {
        status.text = tr("Not signed in.");
    } else {
        status.text = tr("Connecting to Pellory…");
    }
    return status;
}

PLYAccountStatusView::PLYAccountStatusView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("accountStatusView"));
    QWidget* frame = card(this);
    frame->setFixedWidth(440);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(10);
    layout->addWidget(heading(QStringLiteral("Pellory"), frame));
    m_account = note(QString(), frame);
    m_account->setObjectName(QStringLiteral("accountLabel"));
    layout->addWidget(m_account);
    m_status = new QLabel(frame);
    m_status->setObjectName(QStringLiteral("sessionStatusLabel"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    layout->addSpacing(6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_verify = button(tr("Verify Email…"), QStringLiteral("verifyEmailButton"), frame, true);
    m_signOut = button(tr("Sign Out"), QStringLiteral("signOutButton"), frame);
    connect(m_verify, &QPushButton::clicked, this, &PLYAccountStatusView::verifyEmailAction);
    connect(m_signOut, &QPushButton::clicked, this, &PLYAccountStatusView::signOutAction);
    buttons->addWidget(m_signOut);
    buttons->addWidget(m_verify);
    layout->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    outer->addStretch();
    auto* centre = new QHBoxLayout;
    centre->addStretch();
    centre->addWidget(frame);
    centre->addStretch();
    outer->addLayout(centre);
    outer->addStretch();
}

void PLYAccountStatusView::refresh(const QString& state) {
    const Status status = statusForState(state);
    const QString email = PLYWebServiceHost::currentHost()->email();
    m_account->setText(status.signedIn && !email.isEmpty() ? tr("Signed in as %1").arg(email) : QString());
    m_account->setVisible(!m_account->text().isEmpty());
    m_status->setText(status.text);
    m_verify->setVisible(status.offerVerification);
    m_signOut->setVisible(status.signedIn);
}

void PLYAccountStatusView::verifyEmailAction() {
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager()) manager->presentEmailVerifyNotification({});
}

void PLYAccountStatusView::signOutAction() { signOut(); }

void PLYAccountStatusView::signOut() {
    if (const auto store = PLYCoreManager::persistantStore()) {
        // The account's work is written before it stops being current.
        PLYError error;
        if (!store->save(&error)) PLY_LOG_ERROR(QStringLiteral("Could not save before signing out: %1").arg(error.toString()));
        store->signOut();
    }
    // Whether or not the library reached the host, nothing of this account stays stored.
    PLYWebServiceHost::currentHost()->clearStoredKeys();
    PLY_LOG_INFO(QStringLiteral("Signed out"));
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::currentHost()->hostType());
}
