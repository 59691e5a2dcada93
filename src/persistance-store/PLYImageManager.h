#pragma once

#include "PLYError.h"
#include "PLYMemoryBudget.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>

#include <atomic>
#include <functional>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <utility>

class PLYSourceImage;

// The image cache: for each image identifier a preview JPEG 200 pixels wide and an export
// JPEG at most 1500 pixels wide, both made from one reduced-scale decode of the file, in
// "<cache folder>/<identifier>/preview.jpg" and "export.jpg". Renditions are made five at a
// time on low-priority threads; everything else runs on the main thread. The jobs share one
// memory budget: each holds, while it decodes, what its picture's header says the decode needs,
// and a picture that alone needs more is refused as unusable.
class PLYImageManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* CacheCreatedNotification = "kPLY_NOTIFICATION_IMAGE_CACHE_CREATED";
    static constexpr int PreviewWidth = 200;
    static constexpr int ExportWidth = 1500;
    static constexpr int JpegQuality = 70;
    static constexpr int MaxConcurrentRenditions = 5;
    // As much as Qt lets one decoded picture take. A picture that needs more is decoded alone,
    // up to the single-picture limit; beyond that it is refused.
    static constexpr qint64 DefaultRenditionMemoryBudget = qint64(256) * 1024 * 1024;
    static constexpr qint64 DefaultSingleDecodeLimit = qint64(1024) * 1024 * 1024;

    // The singleton, made on first use with its cache under the application-support folder.
    static PLYImageManager* sharedManager();
    // Tests start from a fresh manager (optionally over another cache folder).
    static void resetSharedManager(const QString& cacheDirectory = {});
    // At quit, before the application object goes: the shared manager, if any, shuts down and
    // is destroyed. A manager asked for afterwards takes no work (until resetSharedManager).
    static void shutdownSharedManager();
    // The library was just written (a save succeeded): the shared manager, if one was made, tries
    // again the renditions that could not be written.
    static void libraryWasWritten();

    // Why renditions could not be made: the error's code. A file that cannot be read or decoded,
    // or is too large, stays failed until it changes; renditions that could not be written (no
    // room, a read-only cache) are made again once writing works.
    enum RenditionFailure { CannotRead = 1, CannotDecode = 2, CannotWrite = 3, TooLarge = 4 };

    explicit PLYImageManager(const QString& cacheDirectory, QObject* parent = nullptr);
    ~PLYImageManager() override;

    QString cacheDirectory() const { return m_cacheDirectory; }
    // Empty for an identifier that is not a safe folder name (nothing is read or written then).
    QString previewPathForIdentifier(const QString& identifier) const;
    QString exportPathForIdentifier(const QString& identifier) const;

    // Queues the pair for an image unless it exists and is newer than the file (or `force`).
    // One job per image at a time: a forced request while one runs is done after it.
    // Posts CacheCreatedNotification with the image as object when done, also when the file
    // could not be decoded (the image is then marked failed and shows the placeholder).
    void requestRenditions(const std::shared_ptr<PLYSourceImage>& image, bool force = false);
    // As requestRenditions(image) for each image, from a caller that has just looked at the files:
    // each comes with its modification time (nanoseconds since the epoch, as the file system keeps
    // it), which is not asked for again.
    using ImageModified = std::pair<std::shared_ptr<PLYSourceImage>, qint64>;
    void requestRenditionsIfOlderThan(const QList<ImageModified>& images);
    bool hasRenditions(const QString& identifier) const;
    bool isFailed(const QString& identifier) const { return m_failed.contains(identifier); }
    bool isPending(const QString& identifier) const { return m_inFlight.contains(identifier); }
    // Starts again the renditions that could not be written. Also done after any rendition is
    // written, which shows that writing works again.
    void retryFailedWrites();

    // From memory, else from its file; the placeholder for an image that failed; null otherwise.
    QImage previewImageForIdentifier(const QString& identifier);
    // Empty when the file is missing.
    QByteArray exportDataForIdentifier(const QString& identifier) const;
    QImage exportImageForIdentifier(const QString& identifier) const;
    static QImage placeholderImage();

    // Writes both renditions of one file from a single reduced-scale decode (any thread). With a
    // budget, the decode waits for its share of it (a picture that needs more than all of it
    // waits to run alone), and a picture that needs more than `singleDecodeLimit` is refused.
    static bool renderRenditions(const QString& sourcePath, const QString& previewPath, const QString& exportPath,
                                 PLYError* error = nullptr, PLYMemoryBudget* budget = nullptr,
                                 qint64 singleDecodeLimit = DefaultSingleDecodeLimit,
                                 const std::function<bool()>& stopRequested = {});
    // The memory the rendition jobs share.
    PLYMemoryBudget& renditionBudget() { return m_budget; }
    // The most one picture may take to decode; more is refused as unusable. For jobs from now on.
    void setSingleDecodeLimit(qint64 bytes) { m_singleDecodeLimit = bytes; }

    // Blocks until the queued renditions are written (tests, benchmarks).
    void waitForDone();
    // Takes no more work, drops what is queued and waits for the renditions being written.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

private:
    // Whether both renditions are there and the export was written at or after `sourceModifiedNs`;
    // `cacheFolder` is an open descriptor of the cache folder, or -1 to look by the whole path.
    bool hasRenditionsNewerThan(const QString& identifier, qint64 sourceModifiedNs, int cacheFolder = -1) const;
    bool acceptsRequest(const std::shared_ptr<PLYSourceImage>& image, bool force);
    void start(const std::shared_ptr<PLYSourceImage>& image);
    void finished(const QString& identifier, const std::weak_ptr<PLYSourceImage>& image, bool ok, bool writeFailed,
                  quint64 generation);

    QString m_cacheDirectory;
    QThreadPool m_pool;
    PLYMemoryBudget m_budget{DefaultRenditionMemoryBudget};
    qint64 m_singleDecodeLimit = DefaultSingleDecodeLimit;
    QCache<QString, QImage> m_previews{64 * 1024};  // cost in KiB: about 64 MiB of previews
    QHash<QString, quint64> m_inFlight;  // identifier -> generation of the newest request
    QSet<QString> m_failed;
    QHash<QString, std::weak_ptr<PLYSourceImage>> m_writeFailed;  // failed, but only to write: tried again
    QSet<QString> m_rerun;  // asked again, by force, while in flight
    quint64 m_generation = 0;
    bool m_shutDown = false;
    // Asked by the rendition jobs before each chunk they read: the quit stops a long read at once.
    std::shared_ptr<std::atomic_bool> m_stopReading = std::make_shared<std::atomic_bool>(false);
};
