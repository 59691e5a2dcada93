#include "PLYAuthForms.h"

#include "PLYWebServiceManager.h"

#include <QTextBoundaryFinder>

namespace PLYAuthForms {

namespace {

QString S(const char* text) { return QString::fromLatin1(text); }

Problem inlineProblem(const char* box, const char* label, const QString& message) {
    return Problem{S(box), label ? S(label) : QString(), message, {}};
}

}  // namespace

int passwordLength(const QString& password) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, password);
    int count = 0;
    while (finder.toNextBoundary() != -1) ++count;
    return count;
}

std::optional<Problem> validateSignIn(const QString& email, const QString& password) {
    if (email.trimmed().isEmpty()) return inlineProblem("usernameErrorBox", "usernameErrorLabel", QStringLiteral("email required"));
    if (password.isEmpty()) return inlineProblem("passwordErrorBox", "passwordErrorLabel", QStringLiteral("password required"));
    return std::nullopt;
}

std::optional<Problem> validateSignUp(const SignUp& form) {
    if (form.firstName.trimmed().isEmpty()) return inlineProblem("firstNameErrorBox", nullptr, {});
    if (form.lastName.trimmed().isEmpty()) return inlineProblem("lastNameErrorBox", nullptr, {});
    if (form.email.trimmed().isEmpty())
        return inlineProblem("emailErrorBox", "emailErrorLabel", QStringLiteral("Email required"));
    if (form.password.isEmpty())
        return inlineProblem("createPasswordErrorBox", "createPasswordErrorLabel", QStringLiteral("Password required"));
    if (passwordLength(form.password) < MinimumPasswordLength)
        return inlineProblem("createPasswordErrorBox", "createPasswordErrorLabel",
                             QStringLiteral("Password must be at least 8 characters long"));
    if (form.confirmation.isEmpty())
        return inlineProblem("createPassword2ErrorBox", "createPassword2ErrorLabel", QStringLiteral("Confirm password"));
    if (form.confirmation != form.password)
        return inlineProblem("createPassword2ErrorBox", "createPassword2ErrorLabel", QStringLiteral("Password does not match"));
    if (!form.termsAccepted)
        return Problem{{}, {}, QStringLiteral("You must accept the terms and conditions. To read the terms and conditions click on the text"),
                       QStringLiteral("Accept Terms and Conditions")};
    return std::nullopt;
}

QString messageForError(const std::optional<PLYServiceError>& error) {
    if (error && !error->error().trimmed().isEmpty()) return error->error();
    const QString bundled = PLYServiceError::errorMessageForCode(error ? error->code() : 0);
    if (!bundled.isEmpty()) return bundled;
    return QStringLiteral("Something went wrong while talking to Pellory. Please try again.");
}

Reaction react(const QString& state, bool tryingLogin, bool tryingSignup, const std::optional<PLYServiceError>& error) {
    using M = PLYWebServiceManager;
    Reaction reaction;
    const bool trying = tryingLogin || tryingSignup;
    if ((state == S(M::StateNoInternet) || state == S(M::StateServerConnection)) && trying) {
        reaction.kind = Reaction::Kind::ConnectionFailure;
        reaction.activity = tryingSignup ? QStringLiteral("creating an account") : QStringLiteral("logging in");
        return reaction;
    }
    if (state == S(M::StateNotAuthd) && tryingLogin) {
        reaction.kind = Reaction::Kind::Refused;
        const qint64 code = error ? error->code() : 0;
        if (code == 1)
            reaction.problem = inlineProblem("passwordErrorBox", "passwordErrorLabel", QStringLiteral("Incorrect password"));
        else if (code == 2)
            reaction.problem = inlineProblem("usernameErrorBox", "usernameErrorLabel", QStringLiteral("Incorrect email"));
        else
            // Any other refusal still says why, rather than leaving the form silent.
            reaction.problem = Problem{{}, QStringLiteral("signInErrorLabel"), messageForError(error), {}};
        return reaction;
    }
    if (state == S(M::StateNoAccount) && tryingSignup) {
        reaction.kind = Reaction::Kind::Refused;
        const QVariantList emailErrors =
            error ? error->changesetErrors().value(QStringLiteral("email")).toList() : QVariantList();
        if (error && error->code() == 100 && error->changesetErrors().contains(QStringLiteral("email"))) {
            const QString first = emailErrors.value(0).toString();
            reaction.problem = inlineProblem("emailErrorBox", "emailErrorLabel",
                                             first == QLatin1String("has invalid format")
                                                 ? QStringLiteral("The email is not valid")
                                                 : QStringLiteral("This email is already registered"));
        } else {
            reaction.problem = Problem{{}, QStringLiteral("createErrorLabel"), messageForError(error), {}};
        }
        return reaction;
    }
    if (state == S(M::StateFetchingInfo) && tryingLogin) {
        reaction.kind = Reaction::Kind::SignedIn;
        return reaction;
    }
    if (state == S(M::StateFetchingInfo) && tryingSignup) {
        reaction.kind = Reaction::Kind::AccountCreated;
        return reaction;
    }
    return reaction;
}

}  // namespace PLYAuthForms
