#pragma once

#include "PLYSessionObserver.h"

#include <QString>
#include <QStringList>

// What the account-details wizard decides, kept apart from its widgets.
namespace PLYAccountInfoFlow {

// Tags of the publisher pop-up.
constexpr qint64 TagNothingChosen = 0;
constexpr qint64 TagWordpress = 1;
constexpr qint64 TagNoPublisher = -1;

// Publisher statuses the service reports.
constexpr qint64 StatusWorking = 0;
constexpr qint64 StatusServerFailed = 1;
constexpr qint64 StatusSiteNotResponding = 2;
constexpr qint64 StatusWrongUsername = 3;
constexpr qint64 StatusWrongPassword = 4;
constexpr qint64 StatusWrongCredentials = 5;
constexpr qint64 StatusRPCUnreachable = 6;

// The error code whose info carries the publisher status under "status_code".
constexpr qint64 CodePublisherStatus = 505;

// What the wizard reads of the account's publisher.
struct Publisher {
    bool exists = false;
    qint64 status = StatusWorking;
    bool hasDefaultCategory = false;
    bool autoPublish = false;
};

struct Reaction {
    enum class Kind {
        None,
        Close,              // end the run with Continue
        DeletePublisher,    // the account keeps only its domain: the publisher goes first
        ShowWordpressPage,
        ShowRPCPage,
        HostFailed,         // `message` on the host page
        PublisherStatus,    // status handling with `status`
        PublisherFailed,    // an "Error" alert with `message`
    };
    Kind kind = Kind::None;
    qint64 status = 0;
    QString message;
    // The check the reaction ends: its flag is cleared and its spinner stopped.
    bool endsHostCheck = false;
    bool endsPublisherCheck = false;
};

// The category pop-up: which of the blog's categories is chosen (-1: none) and what the line
// under it says (empty: it hides). A default the blog no longer offers is shown as gone, never
// replaced by another category behind the user's back.
struct CategoryChoice {
    int selectedIndex = -1;
    QString message;
};
CategoryChoice categoryChoice(const QStringList& categories, const QString& defaultCategory);

// The wizard's answer to a change the session announced.
Reaction react(const PLYSessionChange& change, bool checkingHost, bool checkingPublisher, qint64 hostTag,
               const Publisher& publisher);

struct StatusAction {
    enum class Kind { None, Alert, UsernameError, PasswordError, ShowRPCPage };
    Kind kind = Kind::None;
    QString message;
};
StatusAction statusAction(qint64 status);

// Continue on the WordPress page.
struct WordpressRequest {
    enum class Kind { UsernameMissing, PasswordMissing, CategoryMissing, Create, UpdateCredentials, UpdateSettings };
    Kind kind = Kind::Create;
};
// `categoryMissing`: the blog offers categories and none is chosen (the default may have gone);
// only a settings update needs one.
WordpressRequest wordpressContinue(const Publisher& publisher, const QString& username, const QString& password,
                                   bool categoryMissing = false);

}  // namespace PLYAccountInfoFlow
