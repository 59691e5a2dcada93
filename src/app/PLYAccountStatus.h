#pragma once

#include "PLYSaveOutcome.h"

#include <QString>
#include <functional>

// What the home screen's account header says of the session in each of its states, and the
// account actions that state allows (verify the address, sign out).
class PLYAccountStatus {
public:
    struct Status {
        // A line about the session; empty while all is well (signed in and connected).
        QString text;
        bool signedIn = false;
        bool offerVerification = false;
        bool operator==(const Status&) const = default;
    };
    static Status statusForState(const QString& state);

    // Saves the account's work, then forgets the account here and on the service host and has
    // the session run its road again, which ends in "NO_ACCOUNT" (and the login view). When the
    // save fails, `confirmLoss` is asked with what failed, where and why: unless it accepts
    // losing the edits, the account stays signed in with them for the next save to retry.
    // Answers whether the account was signed out.
    static bool signOut(const std::function<bool(const PLYSaveOutcome::Failure&)>& confirmLoss);
};
