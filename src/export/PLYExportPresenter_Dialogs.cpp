#include "PLYExportPresenter_Dialogs.h"

#include "PLYAlertPresenter.h"
#include "PLYExportManager.h"
#include "PLYFileDialogs.h"
#include "PLYUserNotifier.h"

#include <QDir>
#include <QFileInfo>

#include <QInputDialog>
#include <QProgressDialog>
#include <QStandardPaths>

PLYExportPresenter_Dialogs::PLYExportPresenter_Dialogs(QWidget* parent) : m_parent(parent) {}

PLYExportPresenter_Dialogs::~PLYExportPresenter_Dialogs() { closeProgress(); }

std::optional<int> PLYExportPresenter_Dialogs::chooseExportWidth(int proposed) {
    bool ok = false;
    const int width = QInputDialog::getInt(m_parent, QObject::tr("Export"), QObject::tr("Width of the images (pixels):"),
                                           proposed, PLYExportManager::kMinimumExportWidth,
                                           PLYExportManager::kMaximumExportWidth, 100, &ok);
    if (!ok)
        return std::nullopt;
    return width;
}

QString PLYExportPresenter_Dialogs::chooseExportFolder() {
    const std::shared_ptr<PLYFileDialogs> dialogs = PLYFileDialogs::shared();
    if (!dialogs)
        return {};
    return dialogs->chooseFolder(m_parent, QObject::tr("Export To"),
                                 QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
}

void PLYExportPresenter_Dialogs::exportProgress(int done, int total) {
    // An export begins at 0 and its end closes the dialog: later progress of it is stale.
    if (!m_progress && done > 0)
        return;
    if (!m_progress) {
        m_progress = new QProgressDialog(QObject::tr("Exporting images…"), QString(), 0, total, m_parent);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(0);
    }
    m_progress->setMaximum(total);
    // A window-modal dialog runs the event loop inside setValue, where the export's end may
    // arrive: that end closes the dialog but leaves deleting it until this call has returned.
    m_progress->setValue(done);
}

void PLYExportPresenter_Dialogs::closeProgress() {
    QProgressDialog* dialog = m_progress.data();
    m_progress = nullptr;
    if (!dialog)
        return;
    dialog->hide();
    dialog->deleteLater();
}

void PLYExportPresenter_Dialogs::exportFinished(const QStringList& files, const QString& error) {
    closeProgress();
    if (error.isEmpty()) {
        if (!files.isEmpty())
            reportWritten(files);
        return;
    }
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    alert.messageText = files.isEmpty() ? QObject::tr("Export Failed") : QObject::tr("Some Images Were Not Exported");
    alert.informativeText =
        error + QLatin1Char('\n') + QObject::tr("%n image(s) were written.", nullptr, int(files.size()));
    alert.buttonTitles = {QObject::tr("OK")};
    if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared())
        presenter->runModal(alert, m_parent);
}

void PLYExportPresenter_Dialogs::reportWritten(const QStringList& files) {
    // All of one export go into one folder.
    const QString folder = QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath());
    PLYUserNotification notification;
    notification.identifier = QStringLiteral("pellory.export");
    notification.title = QStringLiteral("Pellory");
    notification.subtitle = QObject::tr("Export Finished");
    notification.informativeText =
        QObject::tr("%n image(s) saved in \"%1\"", nullptr, int(files.size())).arg(folder);
    if (PLYUserNotifier::deliverShown(notification))
        return;
    // Where the desktop shows no notifications, the window says it.
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Informational;
    alert.messageText = notification.subtitle;
    alert.informativeText = notification.informativeText;
    alert.buttonTitles = {QObject::tr("OK")};
    if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared())
        presenter->runModal(alert, m_parent);
}

void PLYExportPresenter_Dialogs::exportRefused(const QString& message) {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Informational;
    alert.messageText = QObject::tr("Export");
    alert.informativeText = message;
    alert.buttonTitles = {QObject::tr("OK")};
    if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared())
        presenter->runModal(alert, m_parent);
}
