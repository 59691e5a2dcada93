#include "PLYAccountStatus.h"

#include "PLYCoreManager.h"
#include "PLYError.h"
#include "PLYLog.h"
#include "PLYPersistantStore.h"
#include "PLYRootNavigation.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceManager.h"

#include <QObject>

namespace {
bool in(const QString& state, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (state == QLatin1String(name)) return true;
    return false;
}
}  // namespace

PLYAccountStatus::Status PLYAccountStatus::statusForState(const QString& state) {
    using M = PLYWebServiceManager;
    Status status;
    // No session at all (no web service): nothing to say.
    if (state.isEmpty()) return status;
    if (in(state, {M::StateIdle, M::StateUpdatingAccount, M::StateUpdatingUser, M::StateUpdatingPublisher,
                   M::StateCreatingPublisher, M::StateDeletingPublisher})) {
        status.signedIn = true;
    } else if (in(state, {M::StateFetchingInfo, M::StateRefreshingAuth})) {
        status.text = QObject::tr("Signing in…");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateNotVerified)) {
        status.text = QObject::tr("Confirm your email address to start publishing.");
        status.signedIn = true;
        status.offerVerification = true;
    } else if (state == QLatin1String(M::StateAccountLocked)) {
        status.text = QObject::tr("Your account is locked. Contact Pellory support.");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateAccountPendingDeletion)) {
        status.text = QObject::tr("Your account is being deleted.");
        status.signedIn = true;
    } else if (state == QLatin1String(M::StateNoInternet)) {
        status.text = QObject::tr("No internet connection. Pellory will connect when it is back.");
    } else if (state == QLatin1String(M::StateServerConnection)) {
        status.text = QObject::tr("The Pellory service cannot be reached. Pellory keeps trying.");
    } else if (state == QLatin1String(M::StateOutOfDateVersion)) {
        status.text = QObject::tr("This version of Pellory is no longer supported by the service. Please update Pellory.");
    } else if (PLYRootNavigation::needsLogin(state) || state == QLatin1String(M::StateCreatingAccount)) {
        status.text = QObject::tr("Not signed in.");
    } else {
        status.text = QObject::tr("Connecting to Pellory…");
    }
    return status;
}

bool PLYAccountStatus::signOut(const std::function<bool(const PLYSaveOutcome::Failure&)>& confirmLoss) {
    if (const auto store = PLYCoreManager::persistantStore()) {
        // The account's work is written before it stops being current: once it is, no later
        // save writes it again.
        PLYError error;
        if (!store->save(&error)) {
            const PLYSaveOutcome::Failure failure = PLYSaveOutcome::failureFrom(error, PLYCoreManager::libraryDirectory());
            PLY_LOG_ERROR(QStringLiteral("Could not save before signing out: %1 (library %2): %3")
                              .arg(failure.what, failure.folder, failure.why));
            if (!confirmLoss || !confirmLoss(failure)) {
                PLY_LOG_INFO(QStringLiteral("Not signing out: the account stays signed in with its unsaved changes"));
                return false;
            }
            PLY_LOG_WARN(QStringLiteral("Signing out as the user chose: the changes that could not be saved are lost"));
        }
        store->signOut();
    }
    // Whether or not the library reached the host, nothing of this account stays stored.
    PLYWebServiceHost::currentHost()->clearStoredKeys();
    PLY_LOG_INFO(QStringLiteral("Signed out"));
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::currentHost()->hostType());
    return true;
}
