// What the sign-in forms and the account-details wizard decide, without their widgets.
#include "PLYAccountInfoFlow.h"
#include "PLYAuthForms.h"
#include "PLYWebServiceManager.h"

#include <gtest/gtest.h>

namespace {

using M = PLYWebServiceManager;
using Kind = PLYAuthForms::Reaction::Kind;

PLYServiceError serviceError(qint64 code, const QString& message = {}, const QVariantMap& changeset = {},
                             const QVariantMap& info = {}) {
    PLYServiceError error;
    error.setCode(code);
    error.setError(message);
    error.setChangesetErrors(changeset);
    error.setInfo(info);
    return error;
}

QString firstProblemBox(const PLYAuthForms::SignUp& form) {
    const auto problem = PLYAuthForms::validateSignUp(form);
    return problem ? (problem->box.isEmpty() ? problem->alertTitle : problem->box + "|" + problem->message) : QString("ok");
}

TEST(AuthForms, SignUpChecksInOrderAndCountsPasswordsInCharacters) {
    PLYAuthForms::SignUp form;
    // Everything empty: only the first name is marked, without text.
    EXPECT_EQ(firstProblemBox(form), "firstNameErrorBox|");
    form.firstName = "Ada";
    EXPECT_EQ(firstProblemBox(form), "lastNameErrorBox|");
    form.lastName = "Lovelace";
    form.email = "   ";
    EXPECT_EQ(firstProblemBox(form), "emailErrorBox|Email required") << "blank counts as empty";
    form.email = "ada@example.org";
    EXPECT_EQ(firstProblemBox(form), "createPasswordErrorBox|Password required");
    form.password = "1234567";
    EXPECT_EQ(firstProblemBox(form), "createPasswordErrorBox|Password must be at least 8 characters long");
    // Seven letters of two bytes each, or built of a letter and a combining accent, are seven.
    form.password = QString::fromUtf8("ñññññññ");
    EXPECT_EQ(firstProblemBox(form), "createPasswordErrorBox|Password must be at least 8 characters long");
    form.password = QString::fromUtf8("e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301");
    EXPECT_EQ(PLYAuthForms::passwordLength(form.password), 7);
    EXPECT_EQ(firstProblemBox(form), "createPasswordErrorBox|Password must be at least 8 characters long");
    // Four emoji are eight UTF-16 units but four characters.
    form.password = QString::fromUtf8("😀😀😀😀");
    EXPECT_EQ(firstProblemBox(form), "createPasswordErrorBox|Password must be at least 8 characters long");
    form.password = QString::fromUtf8("пароль12");  // eight characters, fourteen bytes
    EXPECT_EQ(firstProblemBox(form), "createPassword2ErrorBox|Confirm password");
    form.confirmation = QString::fromUtf8("пароль13");
    EXPECT_EQ(firstProblemBox(form), "createPassword2ErrorBox|Password does not match");
    form.confirmation = form.password;
    EXPECT_EQ(firstProblemBox(form), "Accept Terms and Conditions") << "the only check shown as an alert";
    form.termsAccepted = true;
    EXPECT_EQ(firstProblemBox(form), "ok");

    EXPECT_EQ(PLYAuthForms::validateSignIn(" ", "x")->message, "email required");
    EXPECT_EQ(PLYAuthForms::validateSignIn("a@b.c", "")->box, "passwordErrorBox");
    EXPECT_FALSE(PLYAuthForms::validateSignIn("a@b.c", " "));
}

TEST(AuthForms, TheLoginReactionAnswersOnlyItsOwnAttemptWithTheServicesWords) {
    // Without an attempt under way nothing on the form changes.
    EXPECT_EQ(PLYAuthForms::react(M::StateNotAuthd, false, false, serviceError(1)).kind, Kind::None);
    EXPECT_EQ(PLYAuthForms::react(M::StateFetchingInfo, false, false, std::nullopt).kind, Kind::None);
    EXPECT_EQ(PLYAuthForms::react(M::StateIdle, true, false, std::nullopt).kind, Kind::None);

    auto refusal = PLYAuthForms::react(M::StateNotAuthd, true, false, serviceError(1, "whatever the service says"));
    EXPECT_EQ(refusal.problem.box, "passwordErrorBox");
    EXPECT_EQ(refusal.problem.message, "Incorrect password");
    refusal = PLYAuthForms::react(M::StateNotAuthd, true, false, serviceError(2));
    EXPECT_EQ(refusal.problem.box + "|" + refusal.problem.message, "usernameErrorBox|Incorrect email");
    // Another refusal is still told: the service's message, else the bundled one of its code.
    refusal = PLYAuthForms::react(M::StateNotAuthd, true, false, serviceError(401, "Try again later."));
    EXPECT_EQ(refusal.problem.label + "|" + refusal.problem.message, "signInErrorLabel|Try again later.");
    refusal = PLYAuthForms::react(M::StateNotAuthd, true, false, serviceError(503));
    EXPECT_EQ(refusal.problem.message, PLYServiceError::errorMessageForCode(503));
    EXPECT_FALSE(refusal.problem.message.isEmpty());

    auto signUp = PLYAuthForms::react(M::StateNoAccount, false, true,
                                      serviceError(100, {}, {{"email", QVariantList{"has invalid format"}}}));
    EXPECT_EQ(signUp.problem.box + "|" + signUp.problem.message, "emailErrorBox|The email is not valid");
    signUp = PLYAuthForms::react(M::StateNoAccount, false, true, serviceError(100, {}, {{"email", QVariantList{"has already been taken"}}}));
    EXPECT_EQ(signUp.problem.message, "This email is already registered");
    signUp = PLYAuthForms::react(M::StateNoAccount, false, true, serviceError(100, "Name too long", {{"f_name", QVariantList{"x"}}}));
    EXPECT_EQ(signUp.problem.label + "|" + signUp.problem.message, "createErrorLabel|Name too long");

    EXPECT_EQ(PLYAuthForms::react(M::StateFetchingInfo, true, false, std::nullopt).kind, Kind::SignedIn);
    EXPECT_EQ(PLYAuthForms::react(M::StateFetchingInfo, false, true, std::nullopt).kind, Kind::AccountCreated);
    EXPECT_EQ(PLYAuthForms::react(M::StateNoInternet, false, true, std::nullopt).activity, "creating an account");
    EXPECT_EQ(PLYAuthForms::react(M::StateServerConnection, true, false, std::nullopt).activity, "logging in");
    EXPECT_EQ(PLYAuthForms::react(M::StateServerConnection, false, false, std::nullopt).kind, Kind::None);
}

namespace Flow = PLYAccountInfoFlow;
using R = Flow::Reaction::Kind;

PLYSessionChange idleFrom(const char* source, std::optional<PLYServiceError> error = std::nullopt) {
    return {M::StateIdle, source, std::move(error)};
}

TEST(AccountInfoFlow, TheHostChecksOutcomeAlwaysEndsTheCheckUnlessThePublisherMustGoFirst) {
    const Flow::Publisher none;
    Flow::Publisher working{true, 0, true, false};
    Flow::Publisher noRPC{true, 6, false, false};
    // Only IDLE answers.
    EXPECT_EQ(Flow::react({M::StateUpdatingAccount, M::StateIdle, {}}, true, false, 1, none).kind, R::None);

    auto r = Flow::react(idleFrom(M::StateUpdatingAccount), true, false, Flow::TagWordpress, none);
    EXPECT_EQ(r.kind, R::ShowWordpressPage);
    EXPECT_TRUE(r.endsHostCheck);
    EXPECT_EQ(Flow::react(idleFrom(M::StateUpdatingAccount), true, false, Flow::TagWordpress, noRPC).kind, R::ShowRPCPage);
    EXPECT_EQ(Flow::react(idleFrom(M::StateUpdatingAccount), true, false, Flow::TagNoPublisher, none).kind, R::Close);
    r = Flow::react(idleFrom(M::StateUpdatingAccount), true, false, Flow::TagNoPublisher, working);
    EXPECT_EQ(r.kind, R::DeletePublisher);
    EXPECT_FALSE(r.endsHostCheck) << "the check goes on through the deletion";
    EXPECT_EQ(Flow::react(idleFrom(M::StateDeletingPublisher), true, false, Flow::TagNoPublisher, none).kind, R::Close);

    // Refusals of any code are shown and end the check; so does a refused deletion.
    r = Flow::react(idleFrom(M::StateUpdatingAccount, serviceError(203, "The domain is not valid.")), true, false, 1, none);
    EXPECT_EQ(r.kind, R::HostFailed);
    EXPECT_EQ(r.message, "The domain is not valid.");
    EXPECT_TRUE(r.endsHostCheck);
    EXPECT_EQ(Flow::react(idleFrom(M::StateUpdatingAccount, serviceError(500)), true, false, 1, none).kind, R::HostFailed);
    EXPECT_EQ(Flow::react(idleFrom(M::StateDeletingPublisher, serviceError(404)), true, false, -1, working).kind, R::HostFailed);
    // Back at IDLE by way of the connection road, the request's fate is unknown.
    r = Flow::react(idleFrom(M::StateFetchingInfo), true, false, Flow::TagWordpress, none);
    EXPECT_EQ(r.kind, R::HostFailed);
    EXPECT_TRUE(r.endsHostCheck);
}

TEST(AccountInfoFlow, PublisherOutcomesAndStatuses) {
    Flow::Publisher created{true, 0, false, false};
    Flow::Publisher withCategory{true, 0, true, false};
    Flow::Publisher refused{true, 4, false, false};
    EXPECT_EQ(Flow::react(idleFrom(M::StateCreatingPublisher), false, true, 1, created).kind, R::ShowWordpressPage);
    EXPECT_EQ(Flow::react(idleFrom(M::StateUpdatingPublisher), false, true, 1, created).kind, R::ShowWordpressPage)
        << "no default category yet: the category must still be chosen";
    EXPECT_EQ(Flow::react(idleFrom(M::StateUpdatingPublisher), false, true, 1, withCategory).kind, R::Close);
    auto r = Flow::react(idleFrom(M::StateCreatingPublisher), false, true, 1, refused);
    EXPECT_EQ(r.kind, R::PublisherStatus);
    EXPECT_EQ(r.status, 4);
    r = Flow::react(idleFrom(M::StateCreatingPublisher, serviceError(505, {}, {}, {{"status_code", 6}})), false, true, 1, {});
    EXPECT_EQ(r.kind, R::PublisherStatus);
    EXPECT_EQ(r.status, 6);
    r = Flow::react(idleFrom(M::StateCreatingPublisher, serviceError(409, "The account already has a publisher.")), false, true, 1, {});
    EXPECT_EQ(r.kind, R::PublisherFailed);
    EXPECT_EQ(r.message, "The account already has a publisher.");
    EXPECT_TRUE(r.endsPublisherCheck);
    EXPECT_EQ(Flow::react(idleFrom(M::StateFetchingInfo), false, true, 1, created).kind, R::PublisherFailed);

    using S = Flow::StatusAction::Kind;
    EXPECT_EQ(Flow::statusAction(1).kind, S::Alert);
    EXPECT_TRUE(Flow::statusAction(2).message.startsWith("Your Wordpress website is failing to respond."));
    EXPECT_EQ(Flow::statusAction(3).message, "Incorrect username");
    EXPECT_EQ(Flow::statusAction(4).kind, S::PasswordError);
    EXPECT_EQ(Flow::statusAction(5).message, "Incorrect username or password");
    EXPECT_EQ(Flow::statusAction(5).kind, S::UsernameError);
    EXPECT_EQ(Flow::statusAction(6).kind, S::ShowRPCPage);
    EXPECT_EQ(Flow::statusAction(0).kind, S::None);
    EXPECT_EQ(Flow::statusAction(7).kind, S::None);

    using W = Flow::WordpressRequest::Kind;
    EXPECT_EQ(Flow::wordpressContinue({}, "", "").kind, W::UsernameMissing);
    EXPECT_EQ(Flow::wordpressContinue({}, "ada", "").kind, W::PasswordMissing);
    EXPECT_EQ(Flow::wordpressContinue({}, "ada", "pw").kind, W::Create);
    EXPECT_EQ(Flow::wordpressContinue({true, 6, false, true}, "ada", "").kind, W::UpdateCredentials);
    EXPECT_EQ(Flow::wordpressContinue({true, 0, true, true}, "ada", "").kind, W::UpdateSettings);
    // A settings update needs a category where the blog offers some; the other roads do not.
    EXPECT_EQ(Flow::wordpressContinue({true, 0, true, true}, "ada", "", true).kind, W::CategoryMissing);
    EXPECT_EQ(Flow::wordpressContinue({true, 6, false, true}, "ada", "", true).kind, W::UpdateCredentials);
    EXPECT_EQ(Flow::wordpressContinue({}, "ada", "pw", true).kind, W::Create);
}

}  // namespace
