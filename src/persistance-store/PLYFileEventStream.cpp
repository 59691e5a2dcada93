#include "PLYFileEventStream.h"

#include "PLYLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QList>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr quint32 kTreeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                              IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr quint32 kAncestorMask = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

QString watchFailure(int error) {
    if (error == ENOSPC) return QStringLiteral("the system's limit of watched folders is reached (fs.inotify.max_user_watches)");
    // From inotify_init1: either limit answers the same.
    if (error == EMFILE)
        return QStringLiteral("too many open files, or the system's limit of folder watchers is reached "
                              "(fs.inotify.max_user_instances)");
    return QString::fromLocal8Bit(strerror(error));
}
}  // namespace

// The one inotify instance and mount-table watch of the process. inotify answers the same
// watch descriptor for a folder however often it is watched, so each descriptor lists the
// streams that watch it (with what they asked for) and is removed with the last of them.
class PLYFileWatchHub {
public:
    // The hub, made at the first stream; null (with the reason) when inotify cannot be had.
    static PLYFileWatchHub* join(PLYFileEventStream* stream, QString* reason) {
        if (!s_hub) {
            const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (fd < 0) {
                *reason = watchFailure(errno);
                return nullptr;
            }
            s_hub = new PLYFileWatchHub(fd);
        }
        if (QThread::currentThread() != s_hub->m_notifier->thread()) {
            *reason = QStringLiteral("folders are watched from the main thread only");
            return nullptr;
        }
        if (!s_hub->m_streams.contains(stream)) s_hub->m_streams.append(stream);
        return s_hub;
    }
    static PLYFileWatchHub* instance() { return s_hub; }

    // Leaves the hub; the stream must have removed its watches. The last one closes it.
    void leave(PLYFileEventStream* stream) {
        m_streams.removeAll(stream);
        if (m_streams.isEmpty() && m_busy == 0) close();
    }

    // The descriptor, or -1 with errno set.
    int addWatch(PLYFileEventStream* stream, const QString& dir, quint32 mask) {
        // Adding to the mask, never replacing it: another stream may want more of this folder.
        const int wd = inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), mask | IN_MASK_ADD);
        if (wd < 0) return -1;
        auto& watchers = m_watches[wd];
        for (Watcher& w : watchers) {
            if (w.stream == stream) {
                w.mask |= mask;
                return wd;
            }
        }
        watchers.append({stream, mask});
        return wd;
    }

    void removeWatch(PLYFileEventStream* stream, int wd) {
        auto it = m_watches.find(wd);
        if (it == m_watches.end()) return;
        it->removeIf([stream](const Watcher& w) { return w.stream == stream; });
        if (!it->isEmpty()) return;
        m_watches.erase(it);
        inotify_rm_watch(m_fd, wd);
    }

private:
    struct Watcher {
        PLYFileEventStream* stream;
        quint32 mask;
    };

    explicit PLYFileWatchHub(int fd) : m_fd(fd) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readEvents(); });
        // A volume mounted over the root or a folder above it makes no inotify event; the mount
        // table does tell (it polls as an exceptional condition when it changes).
        m_mountsFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (m_mountsFd >= 0) {
            drainMountTable();
            m_mountsNotifier = new QSocketNotifier(m_mountsFd, QSocketNotifier::Exception);
            QObject::connect(m_mountsNotifier, &QSocketNotifier::activated, m_mountsNotifier, [this] { mountTableChanged(); });
        } else {
            PLY_LOG_WARN(QStringLiteral("Volumes mounted under watched folders are noticed at the next start only: %1")
                             .arg(QString::fromLocal8Bit(strerror(errno))));
        }
    }

    // `inHandler`: from within a notifier's own signal, where it may not be deleted at once.
    void close(bool inHandler = false) {
        if (s_hub == this) s_hub = nullptr;
        for (QSocketNotifier* notifier : {m_notifier, m_mountsNotifier}) {
            if (!notifier) continue;
            notifier->setEnabled(false);
            if (inHandler) notifier->deleteLater();
            else delete notifier;
        }
        ::close(m_fd);  // closing the descriptor drops every watch
        if (m_mountsFd >= 0) ::close(m_mountsFd);
        delete this;
    }

    void drainMountTable() {
        // The table reports a change until it is read again from the start.
        char buffer[4096];
        ::lseek(m_mountsFd, 0, SEEK_SET);
        while (::read(m_mountsFd, buffer, sizeof buffer) > 0) {
        }
    }

    bool stillJoined(PLYFileEventStream* stream) const { return m_streams.contains(stream); }

    void mountTableChanged() {
        drainMountTable();
        ++m_busy;
        const QList<PLYFileEventStream*> streams = m_streams;
        for (PLYFileEventStream* s : streams)
            if (stillJoined(s)) s->mountTableChanged();
        --m_busy;
        if (m_streams.isEmpty()) close(true);
    }

    void readEvents() {
        ++m_busy;
        alignas(inotify_event) char buffer[65536];
        QList<PLYFileEventStream*> touched;
        const auto touch = [&touched](PLYFileEventStream* s) {
            if (!touched.contains(s)) touched.append(s);
        };
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (char* p = buffer; p < buffer + n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(p);
                p += sizeof(inotify_event) + ev->len;
                if (ev->mask & IN_Q_OVERFLOW) {
                    // Events were lost for every stream.
                    const QList<PLYFileEventStream*> streams = m_streams;
                    for (PLYFileEventStream* s : streams) {
                        if (!stillJoined(s)) continue;
                        s->handleEvent(-1, ev->mask, {});
                        touch(s);
                    }
                    continue;
                }
                auto it = m_watches.find(ev->wd);
                if (it == m_watches.end()) continue;
                const QVector<Watcher> watchers = *it;
                // The kernel dropped the watch (the folder went, or its volume did).
                if (ev->mask & IN_IGNORED) m_watches.erase(it);
                const QString name = ev->len ? QFile::decodeName(ev->name) : QString();
                for (const Watcher& w : watchers) {
                    if (!(ev->mask & (IN_IGNORED | IN_UNMOUNT)) && !(ev->mask & w.mask & IN_ALL_EVENTS)) continue;
                    // A stream earlier in this list may have let go of the folder meanwhile.
                    if (!(ev->mask & IN_IGNORED) && !isWatcher(ev->wd, w.stream)) continue;
                    if (!stillJoined(w.stream)) continue;
                    w.stream->handleEvent(ev->wd, ev->mask, name);
                    touch(w.stream);
                }
            }
        }
        for (PLYFileEventStream* s : std::as_const(touched))
            if (stillJoined(s)) s->finishEvents();
        --m_busy;
        if (m_streams.isEmpty()) close(true);
    }

    bool isWatcher(int wd, PLYFileEventStream* stream) const {
        const auto it = m_watches.constFind(wd);
        if (it == m_watches.cend()) return false;
        for (const Watcher& w : *it)
            if (w.stream == stream) return true;
        return false;
    }

    static inline PLYFileWatchHub* s_hub = nullptr;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    int m_mountsFd = -1;
    QSocketNotifier* m_mountsNotifier = nullptr;
    QHash<int, QVector<Watcher>> m_watches;
    QList<PLYFileEventStream*> m_streams;
    int m_busy = 0;
};

PLYFileEventStream::PLYFileEventStream(const QString& rootPath, bool recursive, int latencyMs, Callback callback,
                                       QObject* parent)
    : QObject(parent), m_root(QDir::cleanPath(rootPath)), m_recursive(recursive), m_latencyMs(latencyMs),
      m_callback(std::move(callback)) {
    m_latencyTimer.setSingleShot(true);
    connect(&m_latencyTimer, &QTimer::timeout, this, &PLYFileEventStream::deliver);
}

PLYFileEventStream::~PLYFileEventStream() { stop(); }

bool PLYFileEventStream::start() {
    if (m_running) return true;
    QString reason;
    if (!PLYFileWatchHub::join(this, &reason) || !rearm(&reason)) {
        halt();
        PLY_LOG_ERROR(QStringLiteral("Could not start watching %1: %2").arg(m_root, reason));
        return false;
    }
    m_running = true;
    return true;
}

void PLYFileEventStream::stop() {
    m_latencyTimer.stop();
    m_pending.clear();
    halt();
}

void PLYFileEventStream::halt() {
    releaseWatches();
    m_running = false;
    m_mustRearm = false;
    if (PLYFileWatchHub* hub = PLYFileWatchHub::instance()) hub->leave(this);
}

QString PLYFileEventStream::volumeIdentity() const {
    // The nearest folder that exists at or above the root, and the device it lives on.
    QString dir = m_root;
    struct stat st {};
    while (::stat(QFile::encodeName(dir).constData(), &st) != 0 && dir != QLatin1String("/")) dir = QFileInfo(dir).absolutePath();
    return dir + QLatin1Char('@') + QString::number(quint64(st.st_dev));
}

void PLYFileEventStream::mountTableChanged() {
    const QString identity = volumeIdentity();
    if (identity == m_volumeIdentity) return;
    queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
    rearmOrStop();
}

void PLYFileEventStream::releaseWatches() {
    if (PLYFileWatchHub* hub = PLYFileWatchHub::instance())
        for (auto it = m_watches.cbegin(); it != m_watches.cend(); ++it) hub->removeWatch(this, it.key());
    m_watches.clear();
    m_rootWatch = -1;
}

void PLYFileEventStream::removeWatchesUnder(const QString& dir) {
    PLYFileWatchHub* hub = PLYFileWatchHub::instance();
    const QString prefix = dir + QLatin1Char('/');
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it.value() == dir || it.value().startsWith(prefix)) {
            if (hub) hub->removeWatch(this, it.key());
            if (it.key() == m_rootWatch) m_rootWatch = -1;
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
}

bool PLYFileEventStream::addWatch(const QString& dir, bool recurse, bool required, QString* reason) {
    PLYFileWatchHub* hub = PLYFileWatchHub::instance();
    const int wd = hub ? hub->addWatch(this, dir, kTreeMask) : -1;
    if (wd < 0) {
        const int error = hub ? errno : EBADF;
        if (required || error == ENOSPC) {
            *reason = dir == m_root ? watchFailure(error) : QStringLiteral("%1 (at %2)").arg(watchFailure(error), dir);
            return false;
        }
        // A folder that went meanwhile, or one that cannot be read (its photos cannot be either).
        PLY_LOG_WARN(QStringLiteral("Could not watch %1: %2").arg(dir, watchFailure(error)));
        return true;
    }
    m_watches.insert(wd, dir);
    if (!recurse) return true;
    QDirIterator it(dir, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    while (it.hasNext())
        if (!addWatch(it.next(), true, false, reason)) return false;
    return true;
}

bool PLYFileEventStream::rearm(QString* reason) {
    releaseWatches();
    PLYFileWatchHub* hub = PLYFileWatchHub::instance();
    if (!hub) {
        *reason = QStringLiteral("the watch was closed");
        return false;
    }
    m_volumeIdentity = volumeIdentity();
    m_watchingAncestor = false;
    m_rootIsFile = false;
    const QFileInfo root(m_root);
    if (root.isDir()) {
        if (!addWatch(m_root, m_recursive, true, reason)) {
            releaseWatches();
            return false;
        }
        m_rootWatch = m_watches.key(m_root, -1);
        return true;
    }
    // A single file (or a missing root): watch the nearest folder that exists above it.
    QString dir = root.absolutePath();
    while (!QFileInfo(dir).isDir() && dir != QLatin1String("/")) dir = QFileInfo(dir).absolutePath();
    m_watchingAncestor = !root.exists();
    m_rootIsFile = root.exists();
    const int wd = hub->addWatch(this, dir, m_watchingAncestor ? kAncestorMask : kTreeMask);
    if (wd < 0) {
        *reason = QStringLiteral("%1 (at %2)").arg(watchFailure(errno), dir);
        return false;
    }
    m_watches.insert(wd, dir);
    m_rootWatch = wd;
    return true;
}

void PLYFileEventStream::rearmOrStop() {
    QString reason;
    if (rearm(&reason)) return;
    // Nothing is watched any more: say so, and leave; what was gathered still goes out.
    PLY_LOG_ERROR(QStringLiteral("Stopped watching %1: %2").arg(m_root, reason));
    halt();
}

void PLYFileEventStream::queue(const QString& path, quint32 flags) {
    m_pending.append(PLYFileEvent(m_nextEventId++, path, flags));
    if (!m_latencyTimer.isActive()) m_latencyTimer.start(m_latencyMs);
}

void PLYFileEventStream::handleEvent(int wd, quint32 mask, const QString& name) {
    if (mask & IN_Q_OVERFLOW) {
        queue(m_root, PLYFileEvent::MustScanSubDirs);
        m_mustRearm = true;
        return;
    }
    if (mask & IN_UNMOUNT) {
        // The volume under a watched folder went away: every watch on it ends. Look again from
        // the nearest folder that still exists.
        if (!m_mustRearm) queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
        m_mustRearm = true;
        return;
    }
    const QString dir = m_watches.value(wd);
    if (dir.isEmpty()) return;
    const QString path = name.isEmpty() ? dir : dir + QLatin1Char('/') + name;
    if (m_watchingAncestor) {
        // Something appeared or vanished above the missing root: look again.
        if (mask & IN_IGNORED) m_watches.remove(wd);
        queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
        m_mustRearm = true;
        return;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        if (wd == m_rootWatch || dir == m_root) {
            queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
            m_mustRearm = true;
        }
        return;
    }
    if (mask & IN_IGNORED) {
        m_watches.remove(wd);
        // The root's own watch ended (its volume went, or it was removed): watch again.
        if (wd == m_rootWatch && !m_mustRearm) {
            m_rootWatch = -1;
            queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
            m_mustRearm = true;
        }
        return;
    }
    quint32 flags = 0;
    if (mask & IN_CREATE) flags |= PLYFileEvent::Created;
    if (mask & IN_DELETE) flags |= PLYFileEvent::Removed;
    if (mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB)) flags |= PLYFileEvent::Modified;
    if (mask & (IN_MOVED_FROM | IN_MOVED_TO)) flags |= PLYFileEvent::Renamed;
    if (mask & IN_ISDIR) {
        flags |= PLYFileEvent::IsDirectory;
        // A folder came in: watch it and everything under it, and have its content scanned.
        if (m_recursive && (mask & (IN_CREATE | IN_MOVED_TO)) && dir.startsWith(m_root)) {
            QString reason;
            if (!addWatch(path, true, false, &reason))
                PLY_LOG_WARN(QStringLiteral("Photos added under %1 go unnoticed until the next start: %2").arg(path, reason));
            flags |= PLYFileEvent::MustScanSubDirs;
        }
        if (mask & (IN_DELETE | IN_MOVED_FROM)) flags |= PLYFileEvent::MustScanSubDirs;
        // A folder moved away keeps its watches, which would go on reporting what happens to
        // it elsewhere under its old path; a move inside the tree is watched again at its new
        // place when its IN_MOVED_TO arrives.
        if (mask & IN_MOVED_FROM) removeWatchesUnder(path);
    }
    // For a single-file root only that file's events count.
    if (m_rootIsFile && path != m_root) return;
    queue(path, flags);
}

void PLYFileEventStream::finishEvents() {
    if (!m_mustRearm) return;
    m_mustRearm = false;
    rearmOrStop();
}

void PLYFileEventStream::deliver() {
    if (m_pending.isEmpty()) return;
    QVector<PLYFileEvent> batch;
    batch.swap(m_pending);
    for (int i = 0; i < batch.size(); ++i) batch[i].setMoreComing(i + 1 < batch.size());
    if (m_callback) m_callback(batch);
}
