#pragma once

#include "PLYFileEvent.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>
#include <functional>

class QSocketNotifier;

// A recursive file-event stream over inotify, on the thread that starts it (the main thread).
// Events are coalesced: a batch is delivered `latency` after the first event of a quiet period.
// The root may be a folder (watched with its sub-folders when recursive), a single file (its
// folder is watched) or missing (the nearest existing folder above it is watched, so that its
// return is seen). When the queue overflows the batch carries MustScanSubDirs. A volume that
// is unmounted under the root, or mounted again, is a RootChanged event (inotify's unmount
// notice and the mount table).
class PLYFileEventStream : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const QVector<PLYFileEvent>&)>;

    PLYFileEventStream(const QString& rootPath, bool recursive, int latencyMs, Callback callback,
                       QObject* parent = nullptr);
    ~PLYFileEventStream() override;

    bool start();
    void stop();
    bool isRunning() const { return m_fd >= 0; }
    QString rootPath() const { return m_root; }

private:
    void readEvents();
    void deliver();
    void rearm();
    void clearWatches();
    void addWatch(const QString& dir, bool recurse);
    void removeWatchesUnder(const QString& dir);
    void queue(const QString& path, quint32 flags);
    void drainMountTable();
    void mountTableChanged();
    QString volumeIdentity() const;

    QString m_root;
    bool m_recursive;
    int m_latencyMs;
    Callback m_callback;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    int m_mountsFd = -1;
    QSocketNotifier* m_mountsNotifier = nullptr;
    QString m_volumeIdentity;
    QHash<int, QString> m_watches;  // watch descriptor -> folder
    int m_rootWatch = -1;
    bool m_watchingAncestor = false;
    bool m_rootIsFile = false;
    QTimer m_latencyTimer;
    QVector<PLYFileEvent> m_pending;
    quint64 m_nextEventId = 1;
};
