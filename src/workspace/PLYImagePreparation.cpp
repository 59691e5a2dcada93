#include "PLYImagePreparation.h"

#include "PLYImageManager.h"
#include "PLYPersistantPost.h"
#include "PLYSourceDirectory.h"

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
                        [this](const PLYNotification&) { checkPrepFinished(); });
    }
    checkPrepFinished();
}

void PLYImagePreparation::checkPrepFinished() {
    if (!m_started || m_finished) return;
    // A missing folder's images cannot be read, so they are not waited for.
    const auto counts = m_post ? m_post->imagesCountWithCachePercent(true) : qMakePair(qint64(0), qint64(0));
    const PLYPrepProgress progress = PLYPrepProgress::fromCounts(counts.first, counts.second);
    m_progress = progress;
    emit progressChanged(progress);
    if (!progress.isFinished() || m_finished) return;
    m_finished = true;
    stopFollowing();
    emit finished();
}

void PLYImagePreparation::sourceDirectoryUpdatedState(PLYSourceDirectory*, int) { checkPrepFinished(); }

void PLYImagePreparation::sourceDirectoryAddedNewImage(PLYSourceDirectory*, const QString&) { checkPrepFinished(); }

void PLYImagePreparation::stopFollowing() {
    m_observers.clear();
    if (auto directory = m_directory.lock()) directory->removeDelegate(this);
    m_directory.reset();
}
