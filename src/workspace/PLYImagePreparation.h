#pragma once

#include "PLYNotificationCenter.h"
#include "PLYPrepProgress.h"
#include "PLYSourceDirectoryDelegate.h"

#include <QObject>
#include <memory>

class PLYPersistantPost;
class PLYSourceDirectory;

// Follows a new post's images until each has its cached renditions: it listens to the post's
// main folder (new images, state changes) and to the image cache, recounts at each, and
// finishes once nothing is pending. Images that fail to decode, whose files are gone, or whose
// folder is missing are never waited for, so preparation cannot hang on them.
class PLYImagePreparation : public QObject, public PLYSourceDirectoryDelegate {
    Q_OBJECT
public:
    explicit PLYImagePreparation(std::shared_ptr<PLYPersistantPost> post, QObject* parent = nullptr);
    ~PLYImagePreparation() override;

    // Registers with the main folder and the cache, then counts once at once: images cached
    // before registering send no news, so without this count the display could wait forever.
    // May finish before it returns (no images, or all cached). Starting again does nothing.
    void start();
    // Recounts; reports the progress, and finishes when nothing is pending.
    void checkPrepFinished();

    bool isStarted() const { return m_started; }
    bool isFinished() const { return m_finished; }
    PLYPrepProgress progress() const { return m_progress; }

    // PLYSourceDirectoryDelegate
    void sourceDirectoryUpdatedState(PLYSourceDirectory* directory, int state) override;
    void sourceDirectoryAddedNewImage(PLYSourceDirectory* directory, const QString& identifier) override;

signals:
    void progressChanged(const PLYPrepProgress& progress);
    // Sent once; every registration is gone by then.
    void finished();

private:
    void stopFollowing();

    std::shared_ptr<PLYPersistantPost> m_post;
    std::weak_ptr<PLYSourceDirectory> m_directory;
    PLYObserverBag m_observers;
    PLYPrepProgress m_progress;
    bool m_started = false;
    bool m_finished = false;
};
