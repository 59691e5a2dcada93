#pragma once

#include "PLYServiceError.h"

#include <QString>
#include <optional>

// What the sign-in and create-account forms decide, kept apart from their widgets.
namespace PLYAuthForms {

constexpr int MinimumPasswordLength = 8;

// A problem with one field: the error box to turn red, the label that explains it (none for
// a box shown without text) and the text. A problem without a box is an alert.
struct Problem {
    QString box;
    QString label;
    QString message;
    // Set for the one problem that is an alert rather than an inline message.
    QString alertTitle;
};

// The length a person counts: user-perceived characters, so an accented letter or an emoji
// is one, whatever its bytes or UTF-16 units.
int passwordLength(const QString& password);

// The first problem of the sign-in form, in the order the form checks them.
std::optional<Problem> validateSignIn(const QString& email, const QString& password);

struct SignUp {
    QString firstName, lastName, email, password, confirmation;
    bool termsAccepted = false;
};
// The first problem of the create-account form; nothing when it may be sent.
std::optional<Problem> validateSignUp(const SignUp& form);

// The login view's answer to a state the session announced.
struct Reaction {
    enum class Kind {
        None,               // not about an attempt of this view
        ConnectionFailure,  // "Cannot Reach Server" for `activity`
        Refused,            // `problem` goes on the form
        SignedIn,           // the user is through
        AccountCreated,     // show the page after a created account
    };
    Kind kind = Kind::None;
    QString activity;
    Problem problem;
    // Every reaction but None ends the attempt under way: the view clears both flags and
    // stops the spinner of the form that made the attempt.
    bool endsAttempt() const { return kind != Kind::None; }
};

// `state` is the state the notification announced; `error` the "error" of its transition.
Reaction react(const QString& state, bool tryingLogin, bool tryingSignup, const std::optional<PLYServiceError>& error);

// The service's text for a refusal: its own message, the bundled one for the code, or a
// general one.
QString messageForError(const std::optional<PLYServiceError>& error);

}  // namespace PLYAuthForms
