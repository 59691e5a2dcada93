#pragma once

#include "PLYNotificationCenter.h"
#include "PLYPrepProgress.h"
#include "PLYSourceDirectoryDelegate.h"

#include <QHash>
#include <QObject>
#include <memory>

class PLYPersistantPost;
class PLYSourceDirectory;
class PLYSourceImage;

// Follows a new post's images until each has its cached renditions: it listens to the post's
// main folder (new images, state changes) and to the image cache, and finishes once nothing is
// pending. Images that fail to decode, whose files are gone, or whose folder is missing are never
// waited for, so preparation cannot hang on them.
//
// The count is kept per image: a finished rendition or a new image changes one entry and reads
// no file, so a folder of many thousand photos prepares in time proportional to their number.
// Only a change of the folder's state (scanned again, gone) looks at every image once more.
class PLYImagePreparation : public QObject, public PLYSourceDirectoryDelegate {
    Q_OBJECT
public:
    explicit PLYImagePreparation(std::shared_ptr<PLYPersistantPost> post, QObject* parent = nullptr);
    ~PLYImagePreparation() override;

    // Registers with the main folder and the cache, then counts once at once: images cached
    // before registering send no news, so without this count the display could wait forever.
    // May finish before it returns (no images, or all cached). Starting again does nothing.
    void start();
    // Counts every image again; reports the progress, and finishes when nothing is pending.
    void checkPrepFinished();
    // Stops following without finishing: the cache goes on making the renditions in the
    // background, and no progress or end is reported any more.
    void cancel();

    bool isStarted() const { return m_started; }
    bool isFinished() const { return m_finished; }
    bool isCancelled() const { return m_cancelled; }
    PLYPrepProgress progress() const { return m_progress; }

    // PLYSourceDirectoryDelegate
    void sourceDirectoryUpdatedState(PLYSourceDirectory* directory, int state) override;
    void sourceDirectoryAddedNewImage(PLYSourceDirectory* directory, const QString& identifier) override;
    void sourceDirectoryDeletedImage(PLYSourceDirectory* directory, const QString& identifier) override;

signals:
    void progressChanged(const PLYPrepProgress& progress);
    // Sent once, never after cancel(); every registration is gone by then.
    void finished();

private:
    bool isFollowing() const { return m_started && !m_finished && !m_cancelled; }
    // Whether the cache still owes this image its renditions; `knownDone` spares the file check
    // for an image already seen with them.
    static bool isPending(const PLYSourceImage& image, bool knownDone);
    // Counts every image of the post again, without reporting.
    void recount();
    void imageCacheCreated(const PLYSourceImage* image);
    void setPending(const QString& identifier, bool pending);
    void report(bool countedInFull = false);
    void stopFollowing();

    std::shared_ptr<PLYPersistantPost> m_post;
    std::weak_ptr<PLYSourceDirectory> m_directory;
    PLYObserverBag m_observers;
    QHash<QString, bool> m_pendingByImage;  // every counted image -> still pending
    qint64 m_pendingCount = 0;
    PLYPrepProgress m_progress;
    bool m_started = false;
    bool m_finished = false;
    bool m_cancelled = false;
};
