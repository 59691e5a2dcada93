#include "PLYAccountInfoFlow.h"

#include <QCoreApplication>

#include "PLYAuthForms.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServiceManager.h"

namespace PLYAccountInfoFlow {

namespace {

using M = PLYWebServiceManager;

bool is(const QString& state, const char* name) { return state == QLatin1String(name); }

// The session went round its connection road instead of answering the request: whether the
// change was kept is unknown, so the user is asked to try again.
QString interruptedMessage() {
    return QStringLiteral("Pellory could not confirm that your change was saved. Check your connection and try again.");
}

}  // namespace

Reaction react(const PLYSessionChange& change, bool checkingHost, bool checkingPublisher, qint64 hostTag,
               const Publisher& publisher) {
    Reaction reaction;
    if (!is(change.state, M::StateIdle)) return reaction;
    if (checkingHost) {
        reaction.endsHostCheck = true;
        if (is(change.source, M::StateDeletingPublisher)) {
            // A refused deletion is no success: the account still has its publisher.
            if (change.error) {
                reaction.kind = Reaction::Kind::HostFailed;
                reaction.message = PLYAuthForms::messageForError(change.error);
            } else {
                reaction.kind = Reaction::Kind::Close;
            }
            return reaction;
        }
        if (change.error) {
            reaction.kind = Reaction::Kind::HostFailed;
            reaction.message = PLYAuthForms::messageForError(change.error);
            return reaction;
        }
        if (!is(change.source, M::StateUpdatingAccount)) {
            reaction.kind = Reaction::Kind::HostFailed;
            reaction.message = interruptedMessage();
            return reaction;
        }
        if (hostTag == TagNoPublisher) {
            if (publisher.exists) {
                reaction.kind = Reaction::Kind::DeletePublisher;
                reaction.endsHostCheck = false;
            } else {
                reaction.kind = Reaction::Kind::Close;
            }
            return reaction;
        }
        reaction.kind = publisher.exists && publisher.status == StatusRPCUnreachable ? Reaction::Kind::ShowRPCPage
                                                                                     : Reaction::Kind::ShowWordpressPage;
        return reaction;
    }
    if (!checkingPublisher) return reaction;
    reaction.endsPublisherCheck = true;
    if (change.error) {
        if (change.error->code() == CodePublisherStatus) {
            reaction.kind = Reaction::Kind::PublisherStatus;
            reaction.status = change.error->info().value(QStringLiteral("status_code")).toLongLong();
        } else {
            // Any other refusal is still reported, not dropped.
            reaction.kind = Reaction::Kind::PublisherFailed;
            reaction.message = PLYAuthForms::messageForError(change.error);
        }
        return reaction;
    }
    if (!is(change.source, M::StateCreatingPublisher) && !is(change.source, M::StateUpdatingPublisher)) {
        reaction.kind = Reaction::Kind::PublisherFailed;
        reaction.message = interruptedMessage();
        return reaction;
    }
    if (!publisher.exists || publisher.status != StatusWorking) {
        reaction.kind = Reaction::Kind::PublisherStatus;
        reaction.status = publisher.exists ? publisher.status : StatusWorking;
        return reaction;
    }
    reaction.kind = is(change.source, M::StateUpdatingPublisher) && publisher.hasDefaultCategory
                        ? Reaction::Kind::Close
                        : Reaction::Kind::ShowWordpressPage;
    return reaction;
}

StatusAction statusAction(qint64 status) {
    StatusAction action;
    switch (status) {
    case StatusServerFailed:
        // The service could not do it: saying so beats a spinner that simply stops.
        action.kind = StatusAction::Kind::Alert;
        action.message = PLYWebServicePublisher::errorStringForStatus(status) + QLatin1Char('.');
        break;
    case StatusSiteNotResponding:
        action.kind = StatusAction::Kind::Alert;
        action.message = QStringLiteral(
            "Your Wordpress website is failing to respond. Ensure the domain you entered is correct, and try again.");
        break;
    case StatusWrongUsername:
        action.kind = StatusAction::Kind::UsernameError;
        action.message = QStringLiteral("Incorrect username");
        break;
    case StatusWrongPassword:
        action.kind = StatusAction::Kind::PasswordError;
        action.message = QStringLiteral("Incorrect password");
        break;
    case StatusWrongCredentials:
        action.kind = StatusAction::Kind::UsernameError;
        action.message = QStringLiteral("Incorrect username or password");
        break;
    case StatusRPCUnreachable:
        action.kind = StatusAction::Kind::ShowRPCPage;
        break;
    default:
        break;
    }
    return action;
}

CategoryChoice categoryChoice(const QStringList& categories, const QString& defaultCategory) {
    CategoryChoice choice;
    if (defaultCategory.isEmpty()) {
        choice.message = QCoreApplication::translate("PLYAccountInfoFlow", "Choose the category your posts go into, then Continue.");
        return choice;
    }
    choice.selectedIndex = int(categories.indexOf(defaultCategory));
    if (choice.selectedIndex < 0)
        choice.message = QCoreApplication::translate("PLYAccountInfoFlow",
                                                     "Your blog no longer has the category \"%1\". Choose the category "
                                                     "your posts go into, then Continue.")
                             .arg(defaultCategory);
    return choice;
}

WordpressRequest wordpressContinue(const Publisher& publisher, const QString& username, const QString& password,
                                   bool categoryMissing) {
    WordpressRequest request;
    if (!publisher.exists) {
        if (username.trimmed().isEmpty()) request.kind = WordpressRequest::Kind::UsernameMissing;
        else if (password.isEmpty()) request.kind = WordpressRequest::Kind::PasswordMissing;
        else request.kind = WordpressRequest::Kind::Create;
    } else if (publisher.status == StatusRPCUnreachable) {
        request.kind = WordpressRequest::Kind::UpdateCredentials;
    } else {
        request.kind = categoryMissing ? WordpressRequest::Kind::CategoryMissing : WordpressRequest::Kind::UpdateSettings;
    }
    return request;
}

}  // namespace PLYAccountInfoFlow
