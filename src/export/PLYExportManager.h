#pragma once

#include "PLYLayout.pb.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

class PLYExportPresenter;
class PLYLayoutImageSource;
class PLYLayoutManager;
class PLYPersistantPost;

// What an export works on: the layout manager of the post being edited and a name for the
// exported files (the post's name).
struct PLYExportSource {
    std::shared_ptr<PLYLayoutManager> layoutManager;
    QString name;
};

// JPEG export of the visible layout or of the selected blocks, and the background previews of
// posts. Exports render on a worker thread from a copy of the layout and never overwrite a
// file; previews render on the serial "Export Layout Preview" queue.
class PLYExportManager : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultExportWidth = 1500;
    static constexpr int kMinimumExportWidth = 100;
    static constexpr int kMaximumExportWidth = 10000;
    static constexpr double kExportQuality = 0.7;
    static constexpr int kPreviewWidth = 600;
    static constexpr int kPreviewMaxHeight = 2400;

    PLYExportManager();
    ~PLYExportManager() override;

    // The process-wide manager; tests start from a fresh one with resetSharedManager().
    static PLYExportManager* sharedManager();
    static void resetSharedManager();
    // At quit, before the application object goes: the shared manager, if any, shuts down and
    // is destroyed. A manager asked for afterwards takes no work (until resetSharedManager).
    static void shutdownSharedManager();
    // Makes the shared manager what PLYCoreManager::exportManager() gives; the application calls
    // it at start-up. Repeating it changes nothing.
    static void install();

    void setPresenter(std::shared_ptr<PLYExportPresenter> presenter);
    std::shared_ptr<PLYExportPresenter> presenter() const { return m_presenter; }
    // Gives the post being edited (the core manager's current post unless set).
    void setSourceProvider(std::function<PLYExportSource()> provider);
    // The images to draw; the process-wide source when none is set.
    void setImageSource(std::shared_ptr<PLYLayoutImageSource> source);

    // Takes no more work, drops queued previews, stops a running export after the image it is
    // writing (reported as cut short) and waits for the workers.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

    // One JPEG per top-level image or container block of the first section.
    void exportCurrentVisibleLayout();
    // One JPEG per selected image or container block.
    void exportCurrentVisibleSelectedBlocks();
    // The blocks of `layout` named by `blockIds`, asking for width and folder. A block that
    // cannot be rendered, encoded or written is skipped and the others go on; the export then
    // ends with an error naming every image not written and why (never a silent success).
    void exportBlocks(const PLYLayout& layout, const QStringList& blockIds, const QString& name);
    bool isExporting() const { return m_exporting; }

    // Claims `folder`/`baseName`.`extension`, or with " 2", " 3"... added to the base name, by
    // creating it exclusively, and answers its path; empty, with *error, when none can be made.
    static QString reserveFilePath(const QString& folder, const QString& baseName, const QString& extension,
                                   QString* error = nullptr);

    // Renders the post's layout preview in the background, unless its layout is the one last
    // previewed and the preview exists; the post then stores it as "preview.jpg" and posts
    // "kPLY_NOTIFICATION_POST_PREVIEW_CREATED". Call after every save: unchanged layouts cost
    // one hash. Answers whether a preview was queued.
    bool createPostPreview(const std::shared_ptr<PLYPersistantPost>& post);
    // Blocks until queued previews are written (quit, tests).
    void waitForPreviews();
    // Blocks, without running the event loop, until the running export's background work is
    // done: its last progress and its end are then queued on the main thread (tests).
    void waitForExportWork();

signals:
    void exportProgressed(int done, int total);
    void exportFinished(const QStringList& files, const QString& error);

private:
    std::shared_ptr<PLYLayoutImageSource> imageSource() const;
    void finishExport(const QStringList& files, const QString& error);

    std::shared_ptr<PLYExportPresenter> m_presenter;
    std::function<PLYExportSource()> m_sourceProvider;
    std::shared_ptr<PLYLayoutImageSource> m_imageSource;
    std::atomic<bool> m_exporting{false};
    // Numbers the exports: progress and ends queued by an export that has ended are dropped.
    quint64 m_exportRun = 0;
    bool m_shutDown = false;
    // Read by the export worker between images.
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
    QThreadPool m_exportQueue;
    QThreadPool m_previewQueue;
    QHash<QString, QByteArray> m_lastPreviewHash;  // post folder -> hash of the layout previewed
};
