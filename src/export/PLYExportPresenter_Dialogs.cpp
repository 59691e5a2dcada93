#include "PLYExportPresenter_Dialogs.h"

#include "PLYExportManager.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>

PLYExportPresenter_Dialogs::PLYExportPresenter_Dialogs(QWidget* parent) : m_parent(parent) {}

PLYExportPresenter_Dialogs::~PLYExportPresenter_Dialogs() { delete m_progress; }

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
    return QFileDialog::getExistingDirectory(m_parent, QObject::tr("Export To"),
                                             QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
}

void PLYExportPresenter_Dialogs::exportProgress(int done, int total) {
    if (!m_progress) {
        m_progress = new QProgressDialog(QObject::tr("Exporting images…"), QString(), 0, total, m_parent);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(0);
    }
    m_progress->setMaximum(total);
    m_progress->setValue(done);
}

void PLYExportPresenter_Dialogs::exportFinished(const QStringList& files, const QString& error) {
    delete m_progress;
    if (!error.isEmpty()) {
        QMessageBox box(QMessageBox::Critical, QObject::tr("Export Failed"), error, QMessageBox::Ok, m_parent);
        box.setInformativeText(QObject::tr("%n image(s) were written before the failure.", nullptr, int(files.size())));
        box.exec();
    }
}

void PLYExportPresenter_Dialogs::exportRefused(const QString& message) {
    QMessageBox box(QMessageBox::Information, QObject::tr("Export"), message, QMessageBox::Ok, m_parent);
    box.exec();
}
