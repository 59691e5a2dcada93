#include "PLYDecodedImageCache.h"

#include "PLYDispatch.h"
#include "PLYImageManager.h"
#include "PLYPersistantPost.h"
#include "PLYSourceImage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <memory>

namespace {

std::unique_ptr<PLYDecodedImageCache>& sharedSlot() {
    static std::unique_ptr<PLYDecodedImageCache> slot;
    return slot;
}

}  // namespace

QImage PLYDecodedImageCache::decodeFile(const QString& path, int drawnWidth, qint64* modified, bool* whole) {
    if (whole) *whole = true;
    const QFileInfo info(path);
    if (info.size() <= 0) return {};
    if (modified) *modified = info.lastModified().toMSecsSinceEpoch();
    QImageReader reader(path);
    if (drawnWidth > 0) {
        // Powers of two only: the JPEG decoder reduces by those while it decodes, at a fraction
        // of the work and memory of a whole decode; any other size would be scaled afterwards.
        const QSize full = reader.size();
        int shrink = 1;
        while (shrink < 8 && full.width() / (shrink * 2) >= drawnWidth && full.height() / (shrink * 2) > 0) shrink *= 2;
        if (shrink > 1) {
            reader.setScaledSize(QSize(full.width() / shrink, full.height() / shrink));
            if (whole) *whole = false;
        }
    }
    QImage image = reader.read();
    if (image.isNull()) return {};
    return image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                   : image.convertToFormat(QImage::Format_RGB32);
}

PLYDecodedImageCache* PLYDecodedImageCache::sharedCache() {
    auto& slot = sharedSlot();
    if (!slot) slot = std::make_unique<PLYDecodedImageCache>();
    return slot.get();
}

void PLYDecodedImageCache::shutdownShared() {
    auto& slot = sharedSlot();
    if (slot) slot->shutdown();
    slot.reset();
}

PLYDecodedImageCache::PLYDecodedImageCache(qint64 previewBudgetBytes, qint64 exportBudgetBytes, QObject* parent)
    : QObject(parent) {
    m_previews.setMaxCost(previewBudgetBytes);
    m_exports.setMaxCost(exportBudgetBytes);
    m_postPreviews.setMaxCost(DefaultPostPreviewBudgetBytes);
    m_pool.setMaxThreadCount(MaxConcurrentDecodes);
    m_pool.setThreadPriority(QThread::LowPriority);
    m_pool.setObjectName(QStringLiteral("Decoded Images"));
    m_observers.add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), nullptr,
                    [this](const PLYNotification& n) {
                        if (const auto* image = n.objectAs<PLYSourceImage>()) invalidate(image->identifier());
                    });
    m_observers.add(QString::fromLatin1(PLYPersistantPost::PreviewCreatedNotification), nullptr,
                    [this](const PLYNotification& n) {
                        if (const auto* post = n.objectAs<PLYPersistantPost>()) invalidate(post->folderPath());
                    });
}

PLYDecodedImageCache::~PLYDecodedImageCache() {
    m_observers.clear();
    shutdown();
}

void PLYDecodedImageCache::shutdown() {
    m_stopped = true;
    m_queue.clear();
    m_pool.clear();
    m_pool.waitForDone();
}

void PLYDecodedImageCache::waitForIdle(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while ((!m_queue.isEmpty() || m_running > 0) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

QImage PLYDecodedImageCache::cachedImage(const QString& identifier, Rendition rendition) {
    if (identifier.isEmpty()) return {};
    if (rendition != PostPreview && PLYImageManager::sharedManager()->isFailed(identifier))
        return PLYImageManager::placeholderImage();
    if (const Entry* entry = cacheFor(rendition).object(identifier)) return entry->image;
    return {};
}

QImage PLYDecodedImageCache::imageForIdentifier(const QString& identifier, Rendition rendition, const void* requester,
                                                int priority, int drawnWidth) {
    if (identifier.isEmpty()) return {};
    // A failed image is drawn as the placeholder and never decoded.
    if (rendition != PostPreview && PLYImageManager::sharedManager()->isFailed(identifier))
        return PLYImageManager::placeholderImage();
    // One look-up per paint: the picture at hand, and a request when it is missing or too narrow.
    const Entry* entry = cacheFor(rendition).object(identifier);
    const QImage image = entry ? entry->image : QImage();
    if (!entry || !entry->covers(wantedWidth(rendition, drawnWidth)))
        request(identifier, rendition, requester, priority, drawnWidth);
    return image;
}

bool PLYDecodedImageCache::isResident(const QString& identifier, Rendition rendition) const {
    return cacheFor(rendition).contains(identifier);
}

bool PLYDecodedImageCache::isQueued(const QString& identifier, Rendition rendition) const {
    return m_queue.contains(Key{identifier, rendition});
}

qint64 PLYDecodedImageCache::residentBytes(Rendition rendition) const { return cacheFor(rendition).totalCost(); }

qint64 PLYDecodedImageCache::budgetBytes(Rendition rendition) const { return cacheFor(rendition).maxCost(); }

void PLYDecodedImageCache::request(const QString& identifier, Rendition rendition, const void* requester, int priority,
                                   int drawnWidth) {
    if (m_stopped || identifier.isEmpty()) return;
    const Key key{identifier, rendition};
    const int width = wantedWidth(rendition, drawnWidth);
    if (const Entry* entry = cacheFor(rendition).object(identifier); entry && entry->covers(width)) return;
    if (m_missing.contains(key)) return;
    if (rendition != PostPreview && PLYImageManager::sharedManager()->isFailed(identifier)) return;
    auto it = m_queue.find(key);
    if (it == m_queue.end()) {
        // A decode already running will deliver when it is wide enough; a new request only needs
        // to be remembered when the running one is for older renditions, which finished() then
        // re-queues, or narrower than now drawn.
        const auto running = m_inFlight.constFind(key);
        if (running != m_inFlight.cend() && *running >= width) return;
        Pending pending;
        pending.key = key;
        pending.priority = priority;
        pending.order = ++m_order;
        pending.width = width;
        it = m_queue.insert(key, pending);
    } else {
        it->priority = std::max(it->priority, priority);
        it->width = std::max(it->width, width);
    }
    it->requesters.insert(requester);
    pump();
}

void PLYDecodedImageCache::cancel(const QString& identifier, Rendition rendition, const void* requester) {
    auto it = m_queue.find(Key{identifier, rendition});
    if (it == m_queue.end()) return;
    it->requesters.remove(requester);
    if (it->requesters.isEmpty()) m_queue.erase(it);
}

void PLYDecodedImageCache::cancelAll(const void* requester) {
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        it->requesters.remove(requester);
        it = it->requesters.isEmpty() ? m_queue.erase(it) : std::next(it);
    }
}

void PLYDecodedImageCache::invalidate(const QString& identifier) {
    ++m_generation[identifier];
    m_previews.remove(identifier);
    m_exports.remove(identifier);
    m_postPreviews.remove(identifier);
    m_missing.remove(Key{identifier, Preview});
    m_missing.remove(Key{identifier, Export});
    m_missing.remove(Key{identifier, PostPreview});
}

void PLYDecodedImageCache::clear() {
    m_previews.clear();
    m_exports.clear();
    m_postPreviews.clear();
    m_missing.clear();
}

void PLYDecodedImageCache::pump() {
    while (!m_stopped && m_running < MaxConcurrentDecodes && !m_queue.isEmpty()) {
        // A picture being decoded narrower than now wanted waits for that decode to finish.
        auto best = m_queue.end();
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (m_inFlight.contains(it->key)) continue;
            if (best == m_queue.end() || it->priority > best->priority ||
                (it->priority == best->priority && it->order < best->order))
                best = it;
        }
        if (best == m_queue.end()) return;
        const Key key = best->key;
        const int width = best->width;
        m_queue.erase(best);
        const QString path = pathFor(key);
        const quint64 generation = m_generation.value(key.identifier);
        m_inFlight.insert(key, width);
        ++m_running;
        ++m_started;
        QPointer<PLYDecodedImageCache> self(this);
        m_pool.start([self, key, path, generation, width] {
            qint64 modified = 0;
            bool whole = true;
            const QImage image = decodeFile(path, width == WholeWidth ? 0 : width, &modified, &whole);
            PLYDispatch::mainAsync([self, key, generation, image, modified, whole] {
                if (self) self->finished(key, generation, image, modified, whole);
            });
        });
    }
}

QString PLYDecodedImageCache::pathFor(const Key& key) {
    switch (key.rendition) {
    case Preview: return PLYImageManager::sharedManager()->previewPathForIdentifier(key.identifier);
    case Export: return PLYImageManager::sharedManager()->exportPathForIdentifier(key.identifier);
    case PostPreview: return PLYPersistantPost::previewPathForFolder(key.identifier);
    }
    return {};
}

void PLYDecodedImageCache::finished(const Key& key, quint64 generation, const QImage& image, qint64 modified,
                                    bool whole) {
    --m_running;
    m_inFlight.remove(key);
    if (m_stopped) return;
    if (generation != m_generation.value(key.identifier)) {
        // New renditions were written meanwhile: whoever still shows the image asks again
        // when it repaints after the image cache's announcement.
        pump();
        return;
    }
    // A picture larger than the whole budget could never stay: it counts as missing, so that
    // painting it does not decode it again and again.
    if (image.isNull() || image.sizeInBytes() > cacheFor(key.rendition).maxCost()) {
        m_missing.insert(key);
        m_queue.remove(key);
        PLYNotificationCenter::defaultCenter().post(
            QString::fromLatin1(MissingNotification), this,
            {{QStringLiteral("identifier"), key.identifier}, {QStringLiteral("rendition"), int(key.rendition)}});
    } else {
        // A wider picture of the same file stays; a narrower one is replaced.
        auto& cache = cacheFor(key.rendition);
        const Entry* resident = cache.object(key.identifier);
        if (!resident || resident->modified != modified || (!resident->whole && (whole || image.width() > resident->image.width())))
            cache.insert(key.identifier, new Entry{image, modified, whole}, qMax<qsizetype>(1, image.sizeInBytes()));
        PLYNotificationCenter::defaultCenter().post(
            QString::fromLatin1(DecodedNotification), this,
            {{QStringLiteral("identifier"), key.identifier}, {QStringLiteral("rendition"), int(key.rendition)}});
    }
    pump();
}
