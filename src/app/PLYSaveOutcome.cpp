#include "PLYSaveOutcome.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString tr(const char* text) { return QCoreApplication::translate("PLYSaveOutcome", text); }

// A question before leaving with edits that could not be saved: the first, default button stays.
PLYAlertRequest lossQuestion(const QString& title, const PLYSaveOutcome::Failure& failure, const QString& consequence,
                             const QString& stay, const QString& leave) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = title;
    alert.informativeText = tr("Pellory could not save your changes.\n\n") + PLYSaveOutcome::describe(failure) +
                            QStringLiteral("\n\n") + consequence;
    alert.buttonTitles = {stay, leave};
    return alert;
}
}  // namespace

QString PLYSaveOutcome::describe(const Failure& failure) {
    return tr("%1\n\nLibrary folder: %2\nReason: %3")
        .arg(failure.what, QDir::toNativeSeparators(failure.folder), failure.why);
}

PLYSaveOutcome::Failure PLYSaveOutcome::failureFrom(const PLYError& error, const QString& libraryFolder) {
    Failure failure;
    failure.folder = libraryFolder;
    failure.what = error.description.isEmpty() ? tr("The library could not be written.") : error.description;
    failure.why = error.failureReason.isEmpty() ? tr("unknown (see the log)") : error.failureReason;
    return failure;
}

bool PLYSaveOutcome::recordFailure(const Failure& failure, Trigger trigger) {
    m_last = failure;
    m_failing = true;
    // At quit the question replaces the alert; an autosave says it once, not every two minutes.
    if (trigger == Trigger::Quit) return false;
    if (trigger == Trigger::Autosave && m_alerted) return false;
    m_alerted = true;
    return true;
}

PLYAlertRequest PLYSaveOutcome::failureAlert(const Failure& failure) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    alert.messageText = tr("Pellory Could Not Save Your Changes");
    alert.informativeText = describe(failure) +
                            tr("\n\nYour changes are kept while Pellory runs, and saving is tried again at the next "
                               "autosave. Free some space or make the folder writable, or they are lost when Pellory quits.");
    alert.buttonTitles = {tr("OK")};
    return alert;
}

PLYAlertRequest PLYSaveOutcome::quitAnywayAlert(const Failure& failure) {
    return lossQuestion(tr("Quit anyway?"), failure,
                        tr("If you quit now, the changes made since the last successful save are lost."), tr("Don't Quit"),
                        tr("Quit Anyway"));
}

PLYAlertRequest PLYSaveOutcome::signOutAnywayAlert(const Failure& failure) {
    return lossQuestion(tr("Sign out anyway?"), failure,
                        tr("If you sign out now, the changes made since the last successful save are lost. If you stay "
                           "signed in, they are kept and saving is tried again at the next autosave."),
                        tr("Stay Signed In"), tr("Sign Out and Lose Changes"));
}

PLYAlertRequest PLYSaveOutcome::deleteFailureAlert(const QString& postName, const Failure& failure, bool unpublished) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    alert.messageText = tr("The Blog Could Not Be Deleted");
    alert.informativeText = tr("\"%1\" could not be removed from the library, so it is kept.").arg(postName) +
                            (unpublished ? tr(" It is no longer published.") : QString()) + QStringLiteral("\n\n") +
                            describe(failure) + tr("\n\nMake the folder writable, then delete the blog again.");
    alert.buttonTitles = {tr("OK")};
    return alert;
}
