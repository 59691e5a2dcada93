#pragma once

#include "PLYExportPresenter.h"

#include <QPointer>

class QProgressDialog;
class QWidget;

// The export's dialogs: a width prompt, a folder chooser, a progress window and alerts.
class PLYExportPresenter_Dialogs : public PLYExportPresenter {
public:
    explicit PLYExportPresenter_Dialogs(QWidget* parent = nullptr);
    ~PLYExportPresenter_Dialogs() override;

    std::optional<int> chooseExportWidth(int proposed) override;
    QString chooseExportFolder() override;
    void exportProgress(int done, int total) override;
    void exportFinished(const QStringList& files, const QString& error) override;
    void exportRefused(const QString& message) override;

private:
    // Hides the progress dialog now and deletes it from the event loop, never inside one of its
    // own calls.
    void closeProgress();
    // Says where the files of an export that went well were written.
    void reportWritten(const QStringList& files);

    QPointer<QWidget> m_parent;
    QPointer<QProgressDialog> m_progress;
};
