#include "PLYSourceDirectory.h"
#include "PLYIdentifier.h"

#include "PLYDefaults.h"
#include "PLYFileEventStream.h"
#include "PLYImageFormats.h"
#include "PLYImageManager.h"
#include "PLYImageMetaReader.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPropertyList.h"
#include "PLYSourceDirectoryDelegate.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

#include <QStringDecoder>

#include <cstring>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

int g_latencyMs = 3000;

struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedMs = 0;
    qint64 modifiedNs = 0;  // as the file system keeps it, for the rendition check
    qint64 createdMs = 0;   // the birth time, or the modification time where none is kept
};

// One call gives the identity and both times the gallery sorts by, so that it never has to ask
// the file system again for each image. `name` is relative to `folder` (a descriptor of an open
// folder, or AT_FDCWD for a whole path).
FileIdentity identityAt(int folder, const char* name) {
    FileIdentity id;
    struct statx st {};
    if (::statx(folder, name, 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0 || !S_ISREG(st.stx_mode)) return id;
    id.exists = true;
    id.device = quint64(makedev(st.stx_dev_major, st.stx_dev_minor));
    id.inode = quint64(st.stx_ino);
    id.modifiedNs = qint64(st.stx_mtime.tv_sec) * 1000000000 + st.stx_mtime.tv_nsec;
    id.modifiedMs = qint64(st.stx_mtime.tv_sec) * 1000 + st.stx_mtime.tv_nsec / 1000000;
    id.createdMs = (st.stx_mask & STATX_BTIME) ? qint64(st.stx_btime.tv_sec) * 1000 + st.stx_btime.tv_nsec / 1000000
                                                : id.modifiedMs;
    return id;
}

FileIdentity identityOf(const QString& path) { return identityAt(AT_FDCWD, QFile::encodeName(path).constData()); }

struct FoundFile {
    QString path;
    FileIdentity identity;
};

// The image files under a folder, each looked at once, in one pass over the folder's entries:
// hidden entries are left out, sub-folders are entered when `recursive` (a link to a folder never
// is, and no folder twice), and a link to a file counts as that file. A name the file system holds
// in bytes that are not UTF-8 cannot be opened by the name Qt would give it: it is not entered or
// listed but comes back in `undecodable`, its bad bytes shown as replacement characters.
class ImageFileWalk {
public:
    ImageFileWalk(bool recursive, QList<FoundFile>* files, QStringList* undecodable)
        : m_recursive(recursive), m_files(files), m_undecodable(undecodable) {}

    void walk(const QByteArray& folderBytes, const QString& folder) {
        DIR* dir = ::opendir(folderBytes.constData());
        if (!dir) return;
        const int fd = ::dirfd(dir);
        struct stat self {};
        if (::fstat(fd, &self) != 0 || m_entered.contains({quint64(self.st_dev), quint64(self.st_ino)})) {
            ::closedir(dir);
            return;
        }
        m_entered.insert({quint64(self.st_dev), quint64(self.st_ino)});
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QList<std::pair<QByteArray, QString>> folders;
        while (const dirent* entry = ::readdir(dir)) {
            const char* rawName = entry->d_name;
            if (rawName[0] == '.') continue;  // ".", ".." and hidden entries are never listed
            const QByteArray name = QByteArray::fromRawData(rawName, qsizetype(std::strlen(rawName)));
            const QString decoded = decoder(name);
            if (decoder.hasError()) {
                decoder.resetState();
                m_undecodable->append(QFile::decodeName(folderBytes + (folderBytes.endsWith('/') ? "" : "/") + name));
                continue;
            }
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                isFolder = ::fstatat(fd, rawName, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
            }
            QString path = folder;
            if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');  // the root folder ends with one
            path += decoded;
            if (isFolder) {
                if (m_recursive) folders.append({QFile::encodeName(path), path});
                continue;
            }
            if (!PLYImageFormats::isSupportedImagePath(decoded)) continue;
            const FileIdentity identity = identityAt(fd, rawName);
            if (identity.exists) m_files->append({std::move(path), identity});
        }
        ::closedir(dir);
        for (const auto& [bytes, path] : std::as_const(folders)) walk(bytes, path);
    }

private:
    bool m_recursive;
    QList<FoundFile>* m_files;
    QStringList* m_undecodable;
    QSet<QPair<quint64, quint64>> m_entered;  // device, inode: a bind mount can loop
};

QString newIdentifier() { return PLYIdentifier::newIdentifier(); }

}  // namespace

int PLYSourceDirectory::defaultLatencyMs() { return g_latencyMs; }
void PLYSourceDirectory::setDefaultLatencyMs(int ms) { g_latencyMs = ms; }

std::shared_ptr<PLYSourceDirectory> PLYSourceDirectory::create(const QUrl& location, const QByteArray& bookmarkData,
                                                               const QString& storageFolder) {
    std::shared_ptr<PLYSourceDirectory> d(new PLYSourceDirectory());
    d->m_identifier = newIdentifier();
    d->m_location = location;
    d->m_bookmark = bookmarkData;
    d->m_folder = QFileInfo(location.toLocalFile()).isDir();
    d->m_includeSubFolders = PLYDefaults::defaultIncludeSubfolders();
    d->m_filePath = QDir(storageFolder).filePath(d->m_identifier + QLatin1Char('.') + QLatin1String(FileExtension));
    d->m_dirty = true;
    d->m_baselinePending = true;
    return d;
}

std::shared_ptr<PLYSourceDirectory> PLYSourceDirectory::loadFromFile(const QString& path, PLYError* error) {
    QVariantMap map;
    const auto whatIsMissing = [](const QVariantMap& m) {
        if (!PLYLibraryFiles::isValidIdentifier(m.value(QStringLiteral("identifier")).toString()))
            return QStringLiteral("no valid location identifier");
        return m.value(QStringLiteral("location")).toString().isEmpty() ? QStringLiteral("no location") : QString();
    };
    if (!PLYLibraryFiles::readPropertyListWithLastGood(path, &map, error, whatIsMissing)) return nullptr;
    std::shared_ptr<PLYSourceDirectory> d(new PLYSourceDirectory());
    d->m_filePath = path;
    d->fromPropertyList(map);
    return d;
}

PLYSourceDirectory::~PLYSourceDirectory() {
    // What was taken for a write is on disk before the location goes.
    waitForPendingSave();
    // Going away quietly: nobody is told of a state change from a half-destroyed location.
    delete m_stream;
    m_stream = nullptr;
    for (const auto& image : std::as_const(m_images)) image->setSourceDirectory(nullptr);
}

// What the location file holds, taken on the main thread for a write elsewhere: the images are
// copied (their texts are shared, not copied), never read again while they change.
struct PLYSourceDirectory::Contents {
    QString identifier;
    QString location;
    QByteArray bookmark;
    bool folder = true;
    bool includeSubFolders = true;
    quint64 rootDevice = 0;
    QList<PLYSourceImage> images;
};

// The background writes of one location: one at a time, in the order asked. A write not begun
// yet is replaced by a newer one, which holds everything it would have written.
struct PLYSourceDirectory::Writer {
    QMutex mutex;
    QWaitCondition idle;
    std::optional<Contents> next;
    bool running = false;
    bool lastFailed = false;
};

PLYSourceDirectory::Contents PLYSourceDirectory::contents() const {
    Contents c;
    c.identifier = m_identifier;
    c.location = m_location.toLocalFile();
    c.bookmark = m_bookmark;
    c.folder = m_folder;
    c.includeSubFolders = m_includeSubFolders;
    c.rootDevice = m_rootDevice;
    c.images.reserve(m_images.size());
    for (const auto& image : m_images) c.images.append(*image);
    return c;
}

QVariantMap PLYSourceDirectory::toPropertyList(const Contents& contents) {
    QVariantList images;
    images.reserve(contents.images.size());
    for (const PLYSourceImage& image : contents.images) {
        QVariantMap m;
        m.insert(QStringLiteral("identifier"), image.identifier());
        m.insert(QStringLiteral("path"), image.path());
        m.insert(QStringLiteral("device"), qint64(image.device()));
        m.insert(QStringLiteral("inode"), qint64(image.inode()));
        m.insert(QStringLiteral("width"), image.width());
        m.insert(QStringLiteral("height"), image.height());
        if (image.starRating() >= 0) m.insert(QStringLiteral("star_rating"), qint64(image.starRating()));
        m.insert(QStringLiteral("colour_rating"), image.colourRating());
        m.insert(QStringLiteral("modified"), image.scannedModifiedTime());
        if (image.fileCreatedTime() >= 0) {
            m.insert(QStringLiteral("file_created"), image.fileCreatedTime());
            m.insert(QStringLiteral("file_modified"), image.fileModifiedTime());
        }
        m.insert(QStringLiteral("deleted"), image.fileDeleted());
        images.append(m);
    }
    QVariantMap map;
    map.insert(QStringLiteral("identifier"), contents.identifier);
    map.insert(QStringLiteral("location"), contents.location);
    map.insert(QStringLiteral("bookmark"), contents.bookmark);
    map.insert(QStringLiteral("folder"), contents.folder);
    map.insert(QString::fromLatin1(PLYDefaults::kIncludeSubFolders), contents.includeSubFolders);
    if (contents.rootDevice) map.insert(QStringLiteral("root_device"), qint64(contents.rootDevice));
    map.insert(QStringLiteral("images"), images);
    return map;
}

bool PLYSourceDirectory::write(const QString& path, const Contents& contents, PLYError* error) {
    // The library's folders may have been deleted while the application runs: made again, as the
    // accounts' and posts' are. The last good copy beside the file keeps the identifiers that
    // layouts refer to when the file itself is damaged.
    return PLYLibraryFiles::makeFolder(QFileInfo(path).absolutePath(), error) &&
           PLYLibraryFiles::writeWithLastGood(path, PLYPropertyList::toXml(toPropertyList(contents)), error);
}

bool PLYSourceDirectory::fromPropertyList(const QVariantMap& map) {
    m_identifier = map.value(QStringLiteral("identifier")).toString();
    const QString location = map.value(QStringLiteral("location")).toString();
    if (!PLYLibraryFiles::isValidIdentifier(m_identifier) || location.isEmpty()) return false;
    m_location = QUrl::fromLocalFile(location);
    m_bookmark = map.value(QStringLiteral("bookmark")).toByteArray();
    m_folder = map.value(QStringLiteral("folder"), true).toBool();
    m_includeSubFolders = map.value(QString::fromLatin1(PLYDefaults::kIncludeSubFolders), true).toBool();
    m_rootDevice = quint64(map.value(QStringLiteral("root_device")).toLongLong());
    for (const QVariant& v : map.value(QStringLiteral("images")).toList()) {
        const QVariantMap m = v.toMap();
        const QString id = m.value(QStringLiteral("identifier")).toString();
        const QString path = m.value(QStringLiteral("path")).toString();
        // The identifier names the image's cache folder: one such as "../x" must never get there.
        if (!PLYLibraryFiles::isValidIdentifier(id) || path.isEmpty() || m_images.contains(id)) {
            PLY_LOG_ERROR(QStringLiteral("Skipping an image entry of %1: %2")
                              .arg(m_filePath, path.isEmpty() ? QStringLiteral("it has no path")
                                                              : QStringLiteral("its identifier \"%1\" is invalid or repeated (%2)").arg(id.left(64), path)));
            continue;
        }
        auto image = std::make_shared<PLYSourceImage>(id, path, this);
        image->setFileIdentity(quint64(m.value(QStringLiteral("device")).toLongLong()),
                               quint64(m.value(QStringLiteral("inode")).toLongLong()));
        image->setPixelSize(qMax<qint64>(0, m.value(QStringLiteral("width")).toLongLong()),
                            qMax<qint64>(0, m.value(QStringLiteral("height")).toLongLong()));
        image->setStarRating(qint16(qBound(qint64(-1), m.value(QStringLiteral("star_rating"), -1).toLongLong(), qint64(5))));
        image->setColourRating(qBound(qint64(0), m.value(QStringLiteral("colour_rating")).toLongLong(), qint64(7)));
        image->setScannedModifiedTime(m.value(QStringLiteral("modified")).toLongLong());
        if (m.contains(QStringLiteral("file_created")) && m.contains(QStringLiteral("file_modified")))
            image->setFileTimes(m.value(QStringLiteral("file_created")).toLongLong(),
                                m.value(QStringLiteral("file_modified")).toLongLong());
        image->setFileDeleted(m.value(QStringLiteral("deleted")).toBool());
        m_images.insert(id, image);
        m_imageListMade = false;
    }
    return true;
}

bool PLYSourceDirectory::save(PLYError* error) {
    waitForPendingSave();
    if (!write(m_filePath, contents(), error)) return false;
    m_dirty = false;
    if (m_writer) {
        const QMutexLocker lock(&m_writer->mutex);
        m_writer->lastFailed = false;
    }
    return true;
}

void PLYSourceDirectory::saveInBackground() {
    if (!m_writer) m_writer = std::make_shared<Writer>();
    m_dirty = false;
    const std::shared_ptr<Writer> writer = m_writer;
    QMutexLocker lock(&writer->mutex);
    writer->next = contents();
    if (writer->running) return;
    writer->running = true;
    lock.unlock();
    // The worker holds the writer, never the location; the location waits for it before it goes.
    QThreadPool::globalInstance()->start([writer, path = m_filePath] {
        for (;;) {
            QMutexLocker lock(&writer->mutex);
            if (!writer->next) {
                writer->running = false;
                writer->idle.wakeAll();
                return;
            }
            const Contents contents = std::move(*writer->next);
            writer->next.reset();
            lock.unlock();
            PLYError error;
            const bool written = write(path, contents, &error);
            if (!written) PLY_LOG_ERROR(QStringLiteral("Could not save the source location %1: %2").arg(path, error.toString()));
            lock.relock();
            writer->lastFailed = !written;
        }
    });
}

void PLYSourceDirectory::waitForPendingSave() const {
    if (!m_writer) return;
    QMutexLocker lock(&m_writer->mutex);
    while (m_writer->running) m_writer->idle.wait(&m_writer->mutex);
}

bool PLYSourceDirectory::needsSave() const {
    if (m_dirty) return true;
    if (m_writer) {
        const QMutexLocker lock(&m_writer->mutex);
        if (m_writer->lastFailed) return true;
    }
    return !QFileInfo::exists(m_filePath);
}

void PLYSourceDirectory::setLocation(const QUrl& location, const QByteArray& bookmarkData) {
    const bool watching = isWatching();
    stopWatching();
    m_location = location;
    m_bookmark = bookmarkData;
    m_dirty = true;
    // What the new place holds already is not new.
    m_baselinePending = true;
    if (watching) startWatching();
}

void PLYSourceDirectory::setIncludeSubFolders(bool include) {
    if (include == m_includeSubFolders) return;
    m_includeSubFolders = include;
    m_dirty = true;
    if (m_stream) {
        stopWatching();
        startWatching();
    }
}

void PLYSourceDirectory::addDelegate(PLYSourceDirectoryDelegate* delegate) {
    if (delegate && !m_delegates.contains(delegate)) m_delegates.append(delegate);
}

void PLYSourceDirectory::removeDelegate(PLYSourceDirectoryDelegate* delegate) { m_delegates.removeAll(delegate); }

const QList<std::shared_ptr<PLYSourceImage>>& PLYSourceDirectory::imageList() const {
    if (!m_imageListMade) {
        m_imageList = m_images.values();
        m_imageListMade = true;
    }
    return m_imageList;
}

void PLYSourceDirectory::deleteImage(const QString& identifier) {
    auto image = m_images.take(identifier);
    if (!image) return;
    m_imageListMade = false;
    image->setSourceDirectory(nullptr);
    m_dirty = true;
}

void PLYSourceDirectory::setState(int state) {
    if (state == m_state) return;
    m_state = state;
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(ChangedNotification), this);
    for (auto* d : delegates()) {
        if (m_delegates.contains(d)) d->sourceDirectoryUpdatedState(this, state);
    }
}

bool PLYSourceDirectory::isWatching() const { return m_stream && m_stream->isRunning(); }

void PLYSourceDirectory::startWatching() {
    if (isWatching()) return;
    const bool recursive = m_folder && m_includeSubFolders;
    if (!m_stream)
        m_stream = new PLYFileEventStream(path(), recursive, g_latencyMs,
                                          [this](const QVector<PLYFileEvent>& events) { handleEvents(events); }, this);
    // A stream that could not start (it logged why) is kept, so that asking again or a change of
    // sub-folders tries again; until then the location is read once and ends Stopped, never Ready.
    m_stream->start();
    reconcile(true, {});
}

void PLYSourceDirectory::stopWatching() {
    if (!m_stream) return;
    delete m_stream;
    m_stream = nullptr;
    // Reads already queued still report back (and count down); forgetting them here would
    // let a restarted scan call itself ready while its own reads are still out.
    setState(Stopped);
}

void PLYSourceDirectory::rescan() { reconcile(true, {}); }

void PLYSourceDirectory::handleEvents(const QVector<PLYFileEvent>& events) {
    bool full = false;
    QSet<QString> paths;
    for (const PLYFileEvent& e : events) {
        if (e.hasFlag(PLYFileEvent::MustScanSubDirs) || e.hasFlag(PLYFileEvent::RootChanged)) full = true;
        paths.insert(e.path());
    }
    reconcile(full, paths);
}

bool PLYSourceDirectory::isCandidate(const QString& path) const {
    const QString root = QDir::cleanPath(this->path());
    if (!m_folder) return QDir::cleanPath(path) == root;
    if (!PLYImageFormats::isSupportedImagePath(path)) return false;
    if (!path.startsWith(root + QLatin1Char('/'))) return false;
    // Hidden files and folders (editors' temporaries, "._" resource forks from other systems)
    // are left out, as the full scan leaves them out.
    const QStringList parts = path.mid(root.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts)
        if (part.startsWith(QLatin1Char('.'))) return false;
    return parts.size() == 1 || m_includeSubFolders;
}

bool PLYSourceDirectory::skipsUnreadableName(const QString& path) const {
    if (!path.contains(QChar::ReplacementCharacter) || !PLYImageFormats::isSupportedImagePath(path) ||
        QFileInfo::exists(path))
        return false;
    if (!m_unreadableNamesLogged.contains(path)) {
        m_unreadableNamesLogged.insert(path);
        PLY_LOG_WARN(QStringLiteral("Skipped the photo \"%1\": its file name is not valid UTF-8, so it cannot be opened "
                                    "by name; rename it to show it")
                         .arg(path));
    }
    return true;
}

bool PLYSourceDirectory::volumeIsGone(quint64 device) const {
    // An unmounted volume leaves its mount point behind, empty and on the device of the folder
    // above it: that is the volume gone, not every photo deleted.
    if (!m_folder || m_rootDevice == 0 || device == m_rootDevice || m_images.isEmpty()) return false;
    return QDir(path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

void PLYSourceDirectory::reconcile(bool full, const QSet<QString>& paths) {
    struct stat root {};
    const bool rootExists = ::stat(QFile::encodeName(path()).constData(), &root) == 0;
    if (!rootExists || volumeIsGone(quint64(root.st_dev))) {
        // The location itself is gone (an unmounted disk, a moved folder): keep the images
        // for its return, but none of their files can be read now.
        for (const auto& image : std::as_const(m_images)) image->setFileDeleted(true);
        setState(Missing);
        return;
    }
    if (m_folder && quint64(root.st_dev) != m_rootDevice) {
        m_rootDevice = quint64(root.st_dev);
        m_dirty = true;
    }
    // Only a full look is shown as scanning; single events are handled in place.
    if (full || m_state != Ready) setState(Scanning);

    QList<FoundFile> found;
    if (full && m_folder) {
        QStringList undecodable;
        const QString top = QDir::cleanPath(path());
        ImageFileWalk(m_includeSubFolders, &found, &undecodable).walk(QFile::encodeName(top), top);
        for (const QString& name : std::as_const(undecodable)) skipsUnreadableName(QDir::cleanPath(name));
    } else {
        const QStringList candidates = full ? QStringList{QDir::cleanPath(path())} : QStringList(paths.cbegin(), paths.cend());
        for (const QString& p : candidates) {
            const QString clean = QDir::cleanPath(p);
            if (!isCandidate(clean) || skipsUnreadableName(clean)) continue;
            if (full && !PLYImageFormats::isSupportedImagePath(clean)) continue;  // a single file that is no image
            const FileIdentity identity = identityOf(clean);
            if (identity.exists) found.append({clean, identity});
        }
    }

    QHash<QString, std::shared_ptr<PLYSourceImage>> byPath;
    for (const auto& image : std::as_const(m_images)) byPath.insert(image->path(), image);
    QSet<QString> foundSet;
    foundSet.reserve(found.size());
    for (const FoundFile& file : std::as_const(found)) foundSet.insert(file.path);

    // The first full look at a place just chosen finds what it held already: those images are
    // not announced as new (only files that appear afterwards are).
    const bool baseline = full && m_baselinePending;
    m_baselinePending = false;
    struct ToRead {
        std::shared_ptr<PLYSourceImage> image;
        bool isNew;
        qint64 modifiedMs;  // as this look found it
    };
    QList<ToRead> toRead;
    QList<PLYImageManager::ImageModified> unchanged;
    QStringList reappeared;
    QHash<QString, QString> known;
    bool knownLoaded = false;
    // The images by device and inode, made at the first file not known by its path: looking
    // through every image for each new file made a first scan of a large folder quadratic.
    QMultiHash<QPair<quint64, quint64>, std::shared_ptr<PLYSourceImage>> byIdentity;
    bool byIdentityMade = false;
    for (const auto& [file, fid] : std::as_const(found)) {
        std::shared_ptr<PLYSourceImage> image = byPath.value(file);
        bool moved = false;
        if (!image) {
            if (!byIdentityMade) {
                for (const auto& candidate : std::as_const(m_images))
                    byIdentity.insert({candidate->device(), candidate->inode()}, candidate);
                byIdentityMade = true;
            }
            // A rename or move keeps the file's device, inode and modification time. The
            // time tells a moved file from a new one that got a deleted file's inode, which
            // would otherwise take over that image's place in every layout.
            for (auto it = byIdentity.constFind({fid.device, fid.inode}); it != byIdentity.cend() && it.key() == qMakePair(fid.device, fid.inode); ++it) {
                const auto& candidate = it.value();
                const bool sameTime = candidate->scannedModifiedTime() == 0 || candidate->scannedModifiedTime() == fid.modifiedMs;
                if (candidate->device() == fid.device && candidate->inode() == fid.inode && sameTime &&
                    !foundSet.contains(candidate->path()) && !QFileInfo::exists(candidate->path())) {
                    image = candidate;
                    break;
                }
            }
            if (image) {
                byPath.remove(image->path());
                image->setPath(file);
                byPath.insert(file, image);
                moved = true;
            }
        }
        if (!image) {
            // A file that another location knows (the same folder watched again, a location
            // file lost) keeps the identifier that layouts refer to.
            if (!knownLoaded) {
                if (m_knownIdentifiers) known = m_knownIdentifiers();
                knownLoaded = true;
            }
            QString id = known.value(file);
            if (id.isEmpty() || m_images.contains(id)) id = newIdentifier();
            image = std::make_shared<PLYSourceImage>(id, file, this);
            image->setFileIdentity(fid.device, fid.inode);
            image->setFileTimes(fid.createdMs, fid.modifiedMs);
            m_images.insert(image->identifier(), image);
            m_imageListMade = false;
            byPath.insert(file, image);
            m_dirty = true;
            if (baseline) m_alreadyThere.insert(image->identifier());
            toRead.append({image, true, fid.modifiedMs});
            continue;
        }
        const bool restored = image->fileDeleted();
        // The content changed only when the modification time did: a rename, a move, a restore
        // from the trash or a volume mounted again (another device number) keep it.
        const bool changed = image->scannedModifiedTime() != fid.modifiedMs;
        if (restored || moved || image->device() != fid.device || image->inode() != fid.inode) m_dirty = true;
        image->setFileDeleted(false);
        image->setFileIdentity(fid.device, fid.inode);
        image->setFileTimes(fid.createdMs, fid.modifiedMs);
        if (changed) {
            m_dirty = true;
            toRead.append({image, false, fid.modifiedMs});
        } else {
            // An unchanged file may still lack its renditions: the cache was cleared, the
            // application quit before they were made, or the last attempt failed. The cache
            // does nothing when they are current, so a renamed or restored file is not decoded again.
            unchanged.append({image, fid.modifiedNs});
            if (restored || moved) reappeared.append(image->identifier());
        }
    }

    // Files that are gone: in a full scan every image not found, else those the events named.
    QList<std::shared_ptr<PLYSourceImage>> gone;
    for (const auto& image : std::as_const(m_images)) {
        if (foundSet.contains(image->path()) || image->fileDeleted()) continue;
        const QString p = image->path();
        const bool present = QFileInfo(p).isFile() && isCandidate(p);
        if (!present && (full || paths.contains(p) || !QFileInfo::exists(p))) gone.append(image);
    }
    for (const auto& image : gone) imageFileGone(image);

    PLYImageManager* cache = PLYImageManager::sharedManager();
    cache->requestRenditionsIfOlderThan(unchanged);
    for (const QString& id : std::as_const(reappeared))
        for (auto* d : delegates())
            if (m_delegates.contains(d)) d->sourceDirectoryUpdatedImage(this, id);
    for (const ToRead& read : std::as_const(toRead)) readMetadata(read.image, read.isNew, read.modifiedMs);
    finishScanIfIdle();
}

void PLYSourceDirectory::imageFileGone(const std::shared_ptr<PLYSourceImage>& image) {
    image->setFileDeleted(true);
    m_dirty = true;
    const QString id = image->identifier();
    for (auto* d : delegates()) {
        if (m_delegates.contains(d)) d->sourceDirectoryDeletedImage(this, id);
    }
    // The image goes only when every delegate lets it; with none it stays, marked.
    bool remove = !m_delegates.isEmpty();
    for (auto* d : delegates()) {
        if (m_delegates.contains(d) && !d->sourceDirectoryShouldRemoveDeletedImage(this, id)) remove = false;
    }
    if (remove) deleteImage(id);
}

void PLYSourceDirectory::readMetadata(const std::shared_ptr<PLYSourceImage>& image, bool isNew, qint64 modified) {
    ++m_pendingMeta;
    std::weak_ptr<PLYSourceImage> weak = image;
    PLYImageMetaReader::readAsync(image->path(), this, [this, weak, isNew, modified](const PLYImageMeta& meta) {
        if (m_pendingMeta > 0) --m_pendingMeta;
        auto image = weak.lock();
        if (image && m_images.value(image->identifier()) == image) {
            if (meta.readable) image->setPixelSize(meta.size.width(), meta.size.height());
            else PLY_LOG_WARN(QStringLiteral("The photo %1 is unreadable: %2").arg(image->path(), meta.reason));
            image->setStarRating(meta.starRating);
            image->setColourRating(meta.colourRating);
            image->setScannedModifiedTime(modified);
            m_dirty = true;
            PLYImageManager::sharedManager()->requestRenditions(image, !isNew);
            const QString id = image->identifier();
            const bool announceNew = isNew && !m_alreadyThere.remove(id);
            for (auto* d : delegates()) {
                if (!m_delegates.contains(d)) continue;
                if (announceNew) d->sourceDirectoryAddedNewImage(this, id);
                else d->sourceDirectoryUpdatedImage(this, id);
            }
        }
        finishScanIfIdle();
    });
}

void PLYSourceDirectory::finishScanIfIdle() {
    if (m_pendingMeta > 0) return;
    // Written off the main thread: a location of many thousands of photos would hold the window.
    if (m_dirty) saveInBackground();
    if (m_state == Scanning) setState(isWatching() ? Ready : Stopped);
}
