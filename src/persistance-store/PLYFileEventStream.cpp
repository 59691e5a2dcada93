#include "PLYFileEventStream.h"

#include "PLYLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSocketNotifier>

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
}  // namespace

PLYFileEventStream::PLYFileEventStream(const QString& rootPath, bool recursive, int latencyMs, Callback callback,
                                       QObject* parent)
    : QObject(parent), m_root(QDir::cleanPath(rootPath)), m_recursive(recursive), m_latencyMs(latencyMs),
      m_callback(std::move(callback)) {
    m_latencyTimer.setSingleShot(true);
    connect(&m_latencyTimer, &QTimer::timeout, this, &PLYFileEventStream::deliver);
}

PLYFileEventStream::~PLYFileEventStream() { stop(); }

bool PLYFileEventStream::start() {
    if (m_fd >= 0) return true;
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        PLY_LOG_ERROR(QStringLiteral("Could not start watching %1: %2").arg(m_root, QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PLYFileEventStream::readEvents);
    // A volume mounted over the root or a folder above it makes no inotify event; the mount
    // table does tell (it polls as an exceptional condition when it changes).
    m_mountsFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountsFd >= 0) {
        drainMountTable();
        m_mountsNotifier = new QSocketNotifier(m_mountsFd, QSocketNotifier::Exception, this);
        connect(m_mountsNotifier, &QSocketNotifier::activated, this, &PLYFileEventStream::mountTableChanged);
    } else {
        PLY_LOG_WARN(QStringLiteral("Volumes mounted under %1 are noticed at the next start only: %2")
                         .arg(m_root, QString::fromLocal8Bit(strerror(errno))));
    }
    rearm();
    return true;
}

void PLYFileEventStream::drainMountTable() {
    // The table reports a change until it is read again from the start.
    char buffer[4096];
    ::lseek(m_mountsFd, 0, SEEK_SET);
    while (::read(m_mountsFd, buffer, sizeof buffer) > 0) {
    }
}

QString PLYFileEventStream::volumeIdentity() const {
    // The nearest folder that exists at or above the root, and the device it lives on.
    QString dir = m_root;
    struct stat st {};
    while (::stat(QFile::encodeName(dir).constData(), &st) != 0 && dir != QLatin1String("/")) dir = QFileInfo(dir).absolutePath();
    return dir + QLatin1Char('@') + QString::number(quint64(st.st_dev));
}

void PLYFileEventStream::mountTableChanged() {
    drainMountTable();
    const QString identity = volumeIdentity();
    if (identity == m_volumeIdentity) return;
    queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
    rearm();
}

void PLYFileEventStream::stop() {
    m_latencyTimer.stop();
    m_pending.clear();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        delete m_notifier;
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the descriptor drops every watch
        m_fd = -1;
    }
    delete m_mountsNotifier;
    m_mountsNotifier = nullptr;
    if (m_mountsFd >= 0) {
        ::close(m_mountsFd);
        m_mountsFd = -1;
    }
    m_watches.clear();
    m_rootWatch = -1;
}

void PLYFileEventStream::clearWatches() {
    for (auto it = m_watches.cbegin(); it != m_watches.cend(); ++it) inotify_rm_watch(m_fd, it.key());
    m_watches.clear();
    m_rootWatch = -1;
}

void PLYFileEventStream::removeWatchesUnder(const QString& dir) {
    const QString prefix = dir + QLatin1Char('/');
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it.value() == dir || it.value().startsWith(prefix)) {
            inotify_rm_watch(m_fd, it.key());
            if (it.key() == m_rootWatch) m_rootWatch = -1;
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
}

void PLYFileEventStream::addWatch(const QString& dir, bool recurse) {
    const int wd = inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), kTreeMask);
    if (wd < 0) {
        PLY_LOG_WARN(QStringLiteral("Could not watch %1: %2").arg(dir, QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    m_watches.insert(wd, dir);
    if (!recurse) return;
    QDirIterator it(dir, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    while (it.hasNext()) addWatch(it.next(), true);
}

void PLYFileEventStream::rearm() {
    if (m_fd < 0) return;
    clearWatches();
    m_volumeIdentity = volumeIdentity();
    m_watchingAncestor = false;
    m_rootIsFile = false;
    const QFileInfo root(m_root);
    if (root.isDir()) {
        addWatch(m_root, m_recursive);
        m_rootWatch = m_watches.key(m_root, -1);
        return;
    }
    // A single file (or a missing root): watch the nearest folder that exists above it.
    QString dir = root.absolutePath();
    while (!QFileInfo(dir).isDir() && dir != QLatin1String("/")) dir = QFileInfo(dir).absolutePath();
    m_watchingAncestor = !root.exists();
    m_rootIsFile = root.exists();
    const int wd = inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), m_watchingAncestor ? kAncestorMask : kTreeMask);
    if (wd >= 0) {
        m_watches.insert(wd, dir);
        m_rootWatch = wd;
    }
}

void PLYFileEventStream::queue(const QString& path, quint32 flags) {
    m_pending.append(PLYFileEvent(m_nextEventId++, path, flags));
    if (!m_latencyTimer.isActive()) m_latencyTimer.start(m_latencyMs);
}

void PLYFileEventStream::readEvents() {
    alignas(inotify_event) char buffer[16384];
    bool mustRearm = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (char* p = buffer; p < buffer + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + ev->len;
            if (ev->mask & IN_Q_OVERFLOW) {
                queue(m_root, PLYFileEvent::MustScanSubDirs);
                mustRearm = true;
                continue;
            }
            if (ev->mask & IN_UNMOUNT) {
                // The volume under a watched folder went away: every watch on it ends. Look
                // again from the nearest folder that still exists.
                if (!mustRearm) queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
                mustRearm = true;
                continue;
            }
            const QString dir = m_watches.value(ev->wd);
            if (dir.isEmpty()) continue;
            const QString path = ev->len ? dir + QLatin1Char('/') + QFile::decodeName(ev->name) : dir;
            if (m_watchingAncestor) {
                // Something appeared or vanished above the missing root: look again.
                queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
                mustRearm = true;
                continue;
            }
            if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (ev->wd == m_rootWatch || dir == m_root) {
                    queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
                    mustRearm = true;
                }
                continue;
            }
            if (ev->mask & IN_IGNORED) {
                m_watches.remove(ev->wd);
                // The root's own watch ended (its volume went, or it was removed): watch again.
                if (ev->wd == m_rootWatch && !mustRearm) {
                    m_rootWatch = -1;
                    queue(m_root, PLYFileEvent::RootChanged | PLYFileEvent::MustScanSubDirs);
                    mustRearm = true;
                }
                continue;
            }
            quint32 flags = 0;
            if (ev->mask & IN_CREATE) flags |= PLYFileEvent::Created;
            if (ev->mask & IN_DELETE) flags |= PLYFileEvent::Removed;
            if (ev->mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB)) flags |= PLYFileEvent::Modified;
            if (ev->mask & (IN_MOVED_FROM | IN_MOVED_TO)) flags |= PLYFileEvent::Renamed;
            if (ev->mask & IN_ISDIR) {
                flags |= PLYFileEvent::IsDirectory;
                // A folder came in: watch it and everything under it, and have its content scanned.
                if (m_recursive && (ev->mask & (IN_CREATE | IN_MOVED_TO)) && dir.startsWith(m_root)) {
                    addWatch(path, true);
                    flags |= PLYFileEvent::MustScanSubDirs;
                }
                if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) flags |= PLYFileEvent::MustScanSubDirs;
                // A folder moved away keeps its watches, which would go on reporting what
                // happens to it elsewhere under its old path; a move inside the tree is
                // watched again at its new place when its IN_MOVED_TO arrives.
                if (ev->mask & IN_MOVED_FROM) removeWatchesUnder(path);
            }
            // For a single-file root only that file's events count.
            if (m_rootIsFile && path != m_root) continue;
            queue(path, flags);
        }
    }
    if (mustRearm) rearm();
}

void PLYFileEventStream::deliver() {
    if (m_pending.isEmpty()) return;
    QVector<PLYFileEvent> batch;
    batch.swap(m_pending);
    for (int i = 0; i < batch.size(); ++i) batch[i].setMoreComing(i + 1 < batch.size());
    if (m_callback) m_callback(batch);
}
