#include "PLYSaveOutcome.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString tr(const char* text) { return QCoreApplication::translate("PLYSaveOutcome", text); }

QString describe(const PLYSaveOutcome::Failure& failure) {
    return tr("%1\n\nLibrary folder: %2\nReason: %3")
        .arg(failure.what, QDir::toNativeSeparators(failure.folder), failure.why);
}
}  // namespace

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
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = tr("Quit anyway?");
    alert.informativeText = tr("Pellory could not save your changes.\n\n") + describe(failure) +
                            tr("\n\nIf you quit now, the changes made since the last successful save are lost.");
    // The first, default button keeps Pellory running.
    alert.buttonTitles = {tr("Don't Quit"), tr("Quit Anyway")};
    return alert;
}
