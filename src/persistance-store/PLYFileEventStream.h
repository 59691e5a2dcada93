#pragma once

#include "PLYFileEvent.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>
#include <functional>

class PLYFileWatchHub;

// A recursive file-event stream over inotify, on the thread that starts it (the main thread).
// Events are coalesced: a batch is delivered `latency` after the first event of a quiet period.
// The root may be a folder (watched with its sub-folders when recursive), a single file (its
// folder is watched) or missing (the nearest existing folder above it is watched, so that its
// return is seen). When the queue overflows the batch carries MustScanSubDirs. A volume that
// is unmounted under the root, or mounted again, is a RootChanged event (inotify's unmount
// notice and the mount table).
//
// Every stream of the process shares one inotify instance and one watch on the mount table
// (the system allows few instances per user, and each would cost descriptors): a stream holds
// watches only, and two streams over one folder share its watch.
class PLYFileEventStream : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const QVector<PLYFileEvent>&)>;

    PLYFileEventStream(const QString& rootPath, bool recursive, int latencyMs, Callback callback,
                       QObject* parent = nullptr);
    ~PLYFileEventStream() override;

    // False when the root cannot be watched (the system's limit of watched folders reached, the
    // folder unreadable): logged once with the path and the reason, and no watch is kept. A
    // sub-folder that cannot be watched for the limit fails the start too, since photos there
    // would go unnoticed.
    bool start();
    void stop();
    // Started and watching. A stream that loses its watches (the root went) and cannot take them
    // again stops by itself, logged; the batch that told of the change is still delivered.
    bool isRunning() const { return m_running; }
    QString rootPath() const { return m_root; }

private:
    friend class PLYFileWatchHub;
    // From the shared instance: one event on one of this stream's watches (`wd` -1: the
    // queue overflowed), then the end of what was read at once.
    void handleEvent(int wd, quint32 mask, const QString& name);
    void finishEvents();
    void mountTableChanged();

    void deliver();
    // Watches the root again from scratch; false, with the reason, when it cannot.
    bool rearm(QString* reason);
    void rearmOrStop();
    void releaseWatches();
    void halt();
    // False (with the reason) only when the system's limit of watched folders is reached, or
    // `dir` itself cannot be watched when `required`.
    bool addWatch(const QString& dir, bool recurse, bool required, QString* reason);
    void removeWatchesUnder(const QString& dir);
    void queue(const QString& path, quint32 flags);
    QString volumeIdentity() const;

    QString m_root;
    bool m_recursive;
    int m_latencyMs;
    Callback m_callback;
    bool m_running = false;
    bool m_mustRearm = false;
    QString m_volumeIdentity;
    QHash<int, QString> m_watches;  // watch descriptor -> folder
    int m_rootWatch = -1;
    bool m_watchingAncestor = false;
    bool m_rootIsFile = false;
    QTimer m_latencyTimer;
    QVector<PLYFileEvent> m_pending;
    quint64 m_nextEventId = 1;
};
