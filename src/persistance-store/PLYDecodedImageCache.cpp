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

// Worker side: the rendition file's pixels in the format that paints fastest.
QImage decode(const QString& path, qint64* modified) {
    const QFileInfo info(path);
    if (info.size() <= 0) return {};
    *modified = info.lastModified().toMSecsSinceEpoch();
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) return {};
    return image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                   : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

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
                                                int priority) {
    QImage image = cachedImage(identifier, rendition);
    if (image.isNull()) request(identifier, rendition, requester, priority);
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

void PLYDecodedImageCache::request(const QString& identifier, Rendition rendition, const void* requester, int priority) {
    if (m_stopped || identifier.isEmpty()) return;
    const Key key{identifier, rendition};
    if (cacheFor(rendition).contains(identifier) || m_missing.contains(key)) return;
    if (rendition != PostPreview && PLYImageManager::sharedManager()->isFailed(identifier)) return;
    auto it = m_queue.find(key);
    if (it == m_queue.end()) {
        // A decode already running will deliver; a new request only needs to be remembered
        // when the running one is for older renditions, which finished() then re-queues.
        if (m_inFlight.contains(key)) return;
        Pending pending;
        pending.key = key;
        pending.priority = priority;
        pending.order = ++m_order;
        it = m_queue.insert(key, pending);
    } else if (priority > it->priority) {
        it->priority = priority;
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
        auto best = m_queue.begin();
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
            if (it->priority > best->priority || (it->priority == best->priority && it->order < best->order)) best = it;
        const Key key = best->key;
        m_queue.erase(best);
        const QString path = pathFor(key);
        const quint64 generation = m_generation.value(key.identifier);
        m_inFlight.insert(key);
        ++m_running;
        ++m_started;
        QPointer<PLYDecodedImageCache> self(this);
        m_pool.start([self, key, path, generation] {
            qint64 modified = 0;
            const QImage image = decode(path, &modified);
            PLYDispatch::mainAsync([self, key, generation, image, modified] {
                if (self) self->finished(key, generation, image, modified);
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

void PLYDecodedImageCache::finished(const Key& key, quint64 generation, const QImage& image, qint64 modified) {
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
        PLYNotificationCenter::defaultCenter().post(
            QString::fromLatin1(MissingNotification), this,
            {{QStringLiteral("identifier"), key.identifier}, {QStringLiteral("rendition"), int(key.rendition)}});
    } else {
        cacheFor(key.rendition).insert(key.identifier, new Entry{image, modified}, qMax<qsizetype>(1, image.sizeInBytes()));
        PLYNotificationCenter::defaultCenter().post(
            QString::fromLatin1(DecodedNotification), this,
            {{QStringLiteral("identifier"), key.identifier}, {QStringLiteral("rendition"), int(key.rendition)}});
    }
    pump();
}
