#include "PLYImagePreparation.h"

#include "PLYImageManager.h"
#include "PLYPersistantPost.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"

PLYImagePreparation::PLYImagePreparation(std::shared_ptr<PLYPersistantPost> post, QObject* parent)
    : QObject(parent), m_post(std::move(post)) {}

PLYImagePreparation::~PLYImagePreparation() { stopFollowing(); }

void PLYImagePreparation::start() {
    if (m_started) return;
    m_started = true;
    if (m_post) {
        if (auto directory = m_post->mainSourceDirectory()) {
            directory->addDelegate(this);
            m_directory = directory;
        }
        m_observers.add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), nullptr,
                        [this](const PLYNotification& n) { imageCacheCreated(n.objectAs<PLYSourceImage>()); });
    }
    checkPrepFinished();
}

bool PLYImagePreparation::isPending(const PLYSourceImage& image, bool knownDone) {
    // A missing folder's images cannot be read, so they are not waited for.
    if (!PLYPersistantPost::isImageAwaitingRenditions(image, true)) return false;
    PLYImageManager* cache = PLYImageManager::sharedManager();
    if (cache->isPending(image.identifier())) return true;
    return !knownDone && !cache->hasRenditions(image.identifier());
}

void PLYImagePreparation::checkPrepFinished() {
    if (!isFollowing()) return;
    recount();
    report(true);
}

void PLYImagePreparation::recount() {
    QHash<QString, bool> counted;
    qint64 pending = 0;
    if (m_post) {
        for (const auto& image : m_post->images()) {
            const QString id = image->identifier();
            const auto known = m_pendingByImage.constFind(id);
            const bool knownDone = known != m_pendingByImage.cend() && !known.value();
            const bool isPendingNow = isPending(*image, knownDone);
            if (!counted.contains(id) && isPendingNow) ++pending;
            counted.insert(id, isPendingNow);
        }
    }
    m_pendingByImage = std::move(counted);
    m_pendingCount = pending;
}

void PLYImagePreparation::cancel() {
    if (!isFollowing()) return;
    m_cancelled = true;
    stopFollowing();
}

void PLYImagePreparation::imageCacheCreated(const PLYSourceImage* image) {
    if (!isFollowing() || !image) return;
    // The news comes when the job is over, made or failed: either way it is no longer waited for,
    // unless a newer job for it is already under way.
    if (!PLYImageManager::sharedManager()->isPending(image->identifier())) setPending(image->identifier(), false);
}

void PLYImagePreparation::sourceDirectoryUpdatedState(PLYSourceDirectory*, int) { checkPrepFinished(); }

void PLYImagePreparation::sourceDirectoryAddedNewImage(PLYSourceDirectory* directory, const QString& identifier) {
    if (!isFollowing() || !directory) return;
    const auto known = m_pendingByImage.constFind(identifier);
    if (known != m_pendingByImage.cend() && !known.value()) {
        report();
        return;
    }
    // Counted already by a recount, it was waited for before its file was read: the cache knows
    // now whether it makes renditions for it.
    const auto image = directory->imageForIdentifier(identifier);
    if (known == m_pendingByImage.cend()) m_pendingByImage.insert(identifier, false);
    setPending(identifier, image && isPending(*image, false));
}

void PLYImagePreparation::sourceDirectoryDeletedImage(PLYSourceDirectory*, const QString& identifier) {
    if (isFollowing()) setPending(identifier, false);
}

void PLYImagePreparation::setPending(const QString& identifier, bool pending) {
    const auto it = m_pendingByImage.find(identifier);
    if (it == m_pendingByImage.end()) return;  // not one of this post's images
    if (it.value() != pending) {
        it.value() = pending;
        m_pendingCount += pending ? 1 : -1;
    }
    report();
}

void PLYImagePreparation::report(bool countedInFull) {
    // The folder lists a new file at once but tells of it only once its metadata is read; the
    // renditions of the others may be done before that. So an end is counted again in full.
    if (m_pendingCount == 0 && !countedInFull && isFollowing()) recount();
    const PLYPrepProgress progress = PLYPrepProgress::fromCounts(m_pendingCount, m_pendingByImage.size());
    m_progress = progress;
    emit progressChanged(progress);
    if (!progress.isFinished() || !isFollowing()) return;
    m_finished = true;
    stopFollowing();
    emit finished();
}

void PLYImagePreparation::stopFollowing() {
    m_observers.clear();
    if (auto directory = m_directory.lock()) directory->removeDelegate(this);
    m_directory.reset();
}
