#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The export's conversation with the user: which width, which folder, how far along, how it
// ended. The application shows dialogs; tests script the answers.
class PLYExportPresenter {
public:
    virtual ~PLYExportPresenter() = default;
    // The width in pixels of the exported images, `proposed` offered; nothing on cancel.
    virtual std::optional<int> chooseExportWidth(int proposed) = 0;
    // The folder to write into; an empty string on cancel.
    virtual QString chooseExportFolder() = 0;
    virtual void exportProgress(int done, int total) { (void)done, (void)total; }
    // `error` is empty on success; `files` lists what was written either way.
    virtual void exportFinished(const QStringList& files, const QString& error) { (void)files, (void)error; }
    // Why nothing was exported (nothing to export, a bad width, an export already running).
    virtual void exportRefused(const QString& message) { (void)message; }
};
