#pragma once

#include "PLYAlertPresenter.h"
#include "PLYError.h"

#include <QString>

// What the application makes of its saves' results: a failure is shown once until a save
// succeeds again (a save the user asked for shows it each time), the edits stay in memory for
// the next save to retry, and a quit or a sign-out while the last save failed must be confirmed.
class PLYSaveOutcome {
public:
    enum class Trigger { Autosave, User, Quit };

    struct Failure {
        QString what;    // what could not be written
        QString folder;  // the library's folder
        QString why;     // the system's reason
    };
    static Failure failureFrom(const PLYError& error, const QString& libraryFolder);

    void recordSuccess() { m_failing = false; m_alerted = false; }
    // Answers whether the failure is to be shown now.
    bool recordFailure(const Failure& failure, Trigger trigger);

    // The last save failed: what is in memory is not on disk.
    bool hasUnsavedFailure() const { return m_failing; }
    const Failure& lastFailure() const { return m_last; }

    // What failed, in which library and why, as every alert here says it.
    static QString describe(const Failure& failure);
    // The alert that shows a failed save.
    static PLYAlertRequest failureAlert(const Failure& failure);
    // The question asked before a quit would lose the unsaved edits; its second button quits.
    static PLYAlertRequest quitAnywayAlert(const Failure& failure);
    static constexpr qint64 QuitAnywayReturn = PLYAlertPresenter::SecondButtonReturn;
    // The question asked before a sign-out would lose the unsaved edits: its first, default
    // button keeps the account signed in with its edits (the next save retries them), its
    // second signs out and loses them.
    static PLYAlertRequest signOutAnywayAlert(const Failure& failure);
    static constexpr qint64 SignOutAnywayReturn = PLYAlertPresenter::SecondButtonReturn;
    // The alert of a post deletion that could not remove the post from the library (it is kept);
    // `unpublished`: the service had already unpublished it.
    static PLYAlertRequest deleteFailureAlert(const QString& postName, const Failure& failure, bool unpublished);

private:
    Failure m_last;
    bool m_failing = false;
    bool m_alerted = false;
};
