#pragma once

#include "PLYNotificationCenter.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <limits>

// Decoded pictures of the image cache's renditions and of the posts' layout previews, for
// painting. A paint asks for a picture and
// gets it only when it is resident; otherwise its decode is queued and the paint shows what it
// has. Decodes run on worker threads, visible work first; each finished one is announced with
// DecodedNotification so views repaint. Nothing here reads a file on the main thread.
//
// An entry is keyed by image identifier, rendition and the modification time of the rendition
// file it was decoded from. When the image cache writes new renditions of an image
// ("kPLY_NOTIFICATION_IMAGE_CACHE_CREATED") its entries are dropped, and a decode that was
// running from the older file is discarded.
//
// An export rendition may be asked for at the width it is drawn: it is then decoded at the
// smallest of 1/8, 1/4, 1/2 or full scale that still covers that width (the JPEG decoder skips
// the detail it would throw away), and a picture decoded smaller is decoded again, larger, only
// when it is drawn wider than it is.
//
// Resident memory is bounded per rendition by a byte budget, least recently used first out; the
// queue holds only what some requester still wants: a requester that no longer shows a picture
// cancels its request, and a decode nobody wants is never started.
class PLYDecodedImageCache : public QObject {
    Q_OBJECT
public:
    // An image's preview and export renditions are keyed by the image's identifier; a post's
    // layout preview ("preview.jpg" of its folder) by the post's folder path.
    enum Rendition { Preview = 0, Export = 1, PostPreview = 2 };

    // Object: the cache. User info: "identifier" and "rendition".
    static constexpr const char* DecodedNotification = "kPLY_NOTIFICATION_DECODED_IMAGE_READY";
    // A decode found no file to decode (or one it could not read). Same object and user info.
    static constexpr const char* MissingNotification = "kPLY_NOTIFICATION_DECODED_IMAGE_MISSING";
    // A 200-pixel preview is about 110 KiB decoded, an export rendition up to 9 MiB.
    static constexpr qint64 DefaultPreviewBudgetBytes = 48LL * 1024 * 1024;
    static constexpr qint64 DefaultExportBudgetBytes = 144LL * 1024 * 1024;
    // A post's preview is 600 pixels wide and up to 2400 high: about 1.5 to 5.5 MiB decoded.
    static constexpr qint64 DefaultPostPreviewBudgetBytes = 96LL * 1024 * 1024;
    static constexpr int MaxConcurrentDecodes = 2;
    // Priorities of requests; higher goes first.
    static constexpr int PriorityVisible = 10;
    static constexpr int PriorityNearby = 0;

    // Made on first use. The application calls shutdownShared() before it goes.
    static PLYDecodedImageCache* sharedCache();
    // Stops the shared cache's work and deletes it; the next sharedCache() makes a fresh one.
    static void shutdownShared();

    explicit PLYDecodedImageCache(qint64 previewBudgetBytes = DefaultPreviewBudgetBytes,
                                  qint64 exportBudgetBytes = DefaultExportBudgetBytes, QObject* parent = nullptr);
    ~PLYDecodedImageCache() override;

    // The resident picture or null; never touches the disk. An image the image cache could not
    // decode answers its placeholder.
    QImage cachedImage(const QString& identifier, Rendition rendition);
    // The resident picture; when there is none, or (for the export rendition) the resident one is
    // narrower than `drawnWidth` pixels, a decode is requested for `requester` and the answer is
    // what is resident meanwhile (null when nothing is). A `drawnWidth` of 0 asks for the whole
    // picture; the other renditions are always decoded whole.
    QImage imageForIdentifier(const QString& identifier, Rendition rendition, const void* requester, int priority,
                              int drawnWidth = 0);

    // Queues a decode unless a picture at least `drawnWidth` wide is resident, queued or being
    // decoded (a queued one's priority is then raised if higher, its width if wider), or the image
    // is known to have no rendition file. Main thread only, like everything here.
    void request(const QString& identifier, Rendition rendition, const void* requester, int priority,
                 int drawnWidth = 0);
    // The requester no longer needs the picture; a queued decode nobody wants is dropped.
    void cancel(const QString& identifier, Rendition rendition, const void* requester);
    void cancelAll(const void* requester);

    // New renditions were written: the resident pictures and the knowledge of a missing file go.
    void invalidate(const QString& identifier);
    void clear();

    bool isResident(const QString& identifier, Rendition rendition) const;
    bool isQueued(const QString& identifier, Rendition rendition) const;
    // A decode found no rendition file; asked again once the image cache writes one.
    bool isMissing(const QString& identifier, Rendition rendition) const { return m_missing.contains(Key{identifier, rendition}); }
    int queuedCount() const { return int(m_queue.size()); }
    int runningCount() const { return m_running; }
    // Every decode started since the cache was made (benchmarks, tests).
    quint64 startedDecodes() const { return m_started; }
    qint64 residentBytes(Rendition rendition) const;
    qint64 budgetBytes(Rendition rendition) const;

    // Reads the picture of the file at `path` in the format that paints fastest, at the smallest
    // power-of-two reduction (down to 1/8) at least `drawnWidth` pixels wide, or whole for 0.
    // `whole` tells whether it was decoded at full size. Any thread.
    static QImage decodeFile(const QString& path, int drawnWidth, qint64* modified = nullptr, bool* whole = nullptr);

    // Stops taking work, drops the queue and waits for the running decodes.
    void shutdown();
    // Runs the event loop until nothing is queued or running (tests, benchmarks).
    void waitForIdle(int timeoutMs = 10000);

private:
    struct Key {
        QString identifier;
        Rendition rendition;
        bool operator==(const Key& o) const { return rendition == o.rendition && identifier == o.identifier; }
    };
    friend size_t qHash(const Key& key, size_t seed) { return qHash(key.identifier, seed) ^ size_t(key.rendition); }
    // Widths asked for; the whole picture is wider than any drawn width.
    static constexpr int WholeWidth = std::numeric_limits<int>::max();
    struct Entry {
        QImage image;
        qint64 modified = 0;  // of the rendition file, ms since 1970
        bool whole = true;    // decoded at full size
        bool covers(int width) const { return whole || image.width() >= width; }
    };
    struct Pending {
        Key key;
        int priority = 0;
        quint64 order = 0;
        int width = WholeWidth;
        QSet<const void*> requesters;
    };

    QCache<QString, Entry>& cacheFor(Rendition rendition) {
        return rendition == Preview ? m_previews : rendition == Export ? m_exports : m_postPreviews;
    }
    const QCache<QString, Entry>& cacheFor(Rendition rendition) const {
        return rendition == Preview ? m_previews : rendition == Export ? m_exports : m_postPreviews;
    }
    static QString pathFor(const Key& key);
    void pump();
    void finished(const Key& key, quint64 generation, const QImage& image, qint64 modified, bool whole);
    static int wantedWidth(Rendition rendition, int drawnWidth) {
        return rendition == Export && drawnWidth > 0 ? drawnWidth : WholeWidth;
    }

    QCache<QString, Entry> m_previews;  // cost in bytes
    QCache<QString, Entry> m_exports;
    QCache<QString, Entry> m_postPreviews;  // by post folder
    QHash<Key, Pending> m_queue;
    QHash<Key, int> m_inFlight;           // the width each running decode delivers
    QSet<Key> m_missing;                  // no rendition file yet: asked again after invalidate()
    QHash<QString, quint64> m_generation;  // bumped by invalidate()
    quint64 m_order = 0;
    quint64 m_started = 0;
    int m_running = 0;
    bool m_stopped = false;
    QThreadPool m_pool;
    PLYObserverBag m_observers;
};
