#include "PLYSaveOutcome.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iostream>

namespace {
PLYSaveOutcome::Failure failure(int n) {
    return {QStringLiteral("Could not write /lib/f%1").arg(n), QStringLiteral("/lib"), QStringLiteral("No space left on device")};
}
}  // namespace

TEST(SaveOutcome, AnAutosaveFailureIsShownOnceUntilASaveSucceeds) {
    PLYSaveOutcome outcome;
    EXPECT_FALSE(outcome.hasUnsavedFailure());
    EXPECT_TRUE(outcome.recordFailure(failure(1), PLYSaveOutcome::Trigger::Autosave));
    EXPECT_FALSE(outcome.recordFailure(failure(2), PLYSaveOutcome::Trigger::Autosave));
    EXPECT_TRUE(outcome.hasUnsavedFailure());
    EXPECT_EQ(outcome.lastFailure().what, failure(2).what) << "the question at quit names the latest failure";
    EXPECT_TRUE(outcome.recordFailure(failure(3), PLYSaveOutcome::Trigger::User)) << "File > Save always answers";
    EXPECT_FALSE(outcome.recordFailure(failure(4), PLYSaveOutcome::Trigger::Quit)) << "at quit the question replaces the alert";
    outcome.recordSuccess();
    EXPECT_FALSE(outcome.hasUnsavedFailure());
    EXPECT_TRUE(outcome.recordFailure(failure(5), PLYSaveOutcome::Trigger::Autosave)) << "a new failure after a success is shown";
}

TEST(SaveOutcome, TheAlertsSayWhatFailedWhereAndWhy) {
    PLYError error(QStringLiteral("com.pellory.propertylist"), 3, QStringLiteral("Could not write /lib/a/info.plist"),
                   QStringLiteral("Read-only file system"));
    const PLYSaveOutcome::Failure f = PLYSaveOutcome::failureFrom(error, QStringLiteral("/lib"));
    for (const PLYAlertRequest& alert :
         {PLYSaveOutcome::failureAlert(f), PLYSaveOutcome::quitAnywayAlert(f), PLYSaveOutcome::signOutAnywayAlert(f),
          PLYSaveOutcome::deleteFailureAlert("Lofoten", f, false)}) {
        EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Could not write /lib/a/info.plist")));
        EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Library folder: /lib")));
        EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Reason: Read-only file system")));
    }
    const PLYAlertRequest question = PLYSaveOutcome::quitAnywayAlert(f);
    EXPECT_EQ(question.messageText, QStringLiteral("Quit anyway?"));
    ASSERT_EQ(question.buttonTitles.size(), 2);
    EXPECT_EQ(question.buttonTitles.at(PLYSaveOutcome::QuitAnywayReturn - PLYAlertPresenter::FirstButtonReturn),
              QStringLiteral("Quit Anyway"));
    EXPECT_EQ(question.buttonTitles.first(), QStringLiteral("Don't Quit")) << "the default keeps Pellory running";
    // Signing out: the default stays signed in with the edits; leaving says plainly they are lost.
    const PLYAlertRequest signOut = PLYSaveOutcome::signOutAnywayAlert(f);
    EXPECT_EQ(signOut.style, PLYAlertRequest::Style::Warning);
    ASSERT_EQ(signOut.buttonTitles.size(), 2);
    EXPECT_EQ(signOut.buttonTitles.first(), QStringLiteral("Stay Signed In"));
    EXPECT_EQ(signOut.buttonTitles.at(PLYSaveOutcome::SignOutAnywayReturn - PLYAlertPresenter::FirstButtonReturn),
              QStringLiteral("Sign Out and Lose Changes"));
    EXPECT_TRUE(signOut.informativeText.contains(QStringLiteral("If you sign out now, the changes made since the last "
                                                                "successful save are lost.")));
    // A deletion that did not happen names the post it kept.
    const PLYAlertRequest deletion = PLYSaveOutcome::deleteFailureAlert("Lofoten", f, false);
    EXPECT_EQ(deletion.style, PLYAlertRequest::Style::Critical);
    EXPECT_TRUE(deletion.informativeText.startsWith(QStringLiteral("\"Lofoten\" could not be removed from the library, "
                                                                   "so it is kept.\n\n")));
    // One the service already unpublished says so.
    EXPECT_TRUE(PLYSaveOutcome::deleteFailureAlert("Lofoten", f, true)
                    .informativeText.startsWith(QStringLiteral("\"Lofoten\" could not be removed from the library, so it is "
                                                               "kept. It is no longer published.\n\n")));
    // An error without words still says something.
    const PLYSaveOutcome::Failure bare = PLYSaveOutcome::failureFrom(PLYError(), QStringLiteral("/lib"));
    EXPECT_FALSE(bare.what.isEmpty());
    EXPECT_FALSE(bare.why.isEmpty());
}

// Random saves and failures: an alert comes at the first autosave failure after a success (or
// at the start), at every failing File > Save, never at quit; the unsaved flag follows the last
// result.
TEST(SaveOutcome, RandomWalkKeepsTheAlertRules) {
    const quint32 seed = QRandomGenerator::global()->generate();
    std::cout << "seed " << seed << std::endl;
    QRandomGenerator random(seed);
    PLYSaveOutcome outcome;
    bool alertedSinceSuccess = false;
    for (int step = 0; step < 2000; ++step) {
        const int move = random.bounded(4);
        if (move == 0) {
            outcome.recordSuccess();
            alertedSinceSuccess = false;
            ASSERT_FALSE(outcome.hasUnsavedFailure()) << "seed " << seed << " step " << step;
            continue;
        }
        const auto trigger = move == 1 ? PLYSaveOutcome::Trigger::Autosave
                           : move == 2 ? PLYSaveOutcome::Trigger::User
                                       : PLYSaveOutcome::Trigger::Quit;
        const bool expected = trigger == PLYSaveOutcome::Trigger::User ||
                              (trigger == PLYSaveOutcome::Trigger::Autosave && !alertedSinceSuccess);
        ASSERT_EQ(outcome.recordFailure(failure(step), trigger), expected) << "seed " << seed << " step " << step;
        alertedSinceSuccess = alertedSinceSuccess || expected;
        ASSERT_TRUE(outcome.hasUnsavedFailure()) << "seed " << seed << " step " << step;
    }
}
