#include "PLYImageManager.h"

#include "PLYBoundedFile.h"

#include "PLYAtomicFile.h"
#include "PLYImageEncoding.h"
#include "PLYImageHeader.h"

#include "PLYDefaults.h"
#include "PLYDispatch.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYSourceImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::unique_ptr<PLYImageManager>& sharedSlot() {
    static std::unique_ptr<PLYImageManager> slot;
    return slot;
}

// Set once the application shut the shared manager down.
bool g_sharedShutDown = false;

// Encodes in memory, then writes a temporary file beside `path` and renames it over: a reader
// sees the old rendition or the new one, never a torn one. Unlike the library's own files the
// renditions are not synced to disk (that sync cost as much as the encoding): they can always be
// made again, and one cut short by a system crash is empty, which counts as missing.
bool writeJpeg(const QImage& image, const QString& path, QString* reason) {
    const QByteArray bytes = PLYImageEncoding::jpegData(image, PLYImageManager::JpegQuality, reason);
    if (bytes.isEmpty()) return false;
    QTemporaryFile file(PLYAtomicFile::temporaryTemplate(path));
    file.setAutoRemove(false);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
        *reason = file.errorString();
        file.remove();
        return false;
    }
    file.close();
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        *reason = QString::fromLocal8Bit(strerror(errno));
        file.remove();
        return false;
    }
    return true;
}

// One look at a file. Its time stays as the file system keeps it: converting it to local time (as
// QFileInfo::lastModified does) makes the C library read the time-zone file again for each file
// when TZ is unset, which cost more than the rest of the check.
struct FileLook {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
};

FileLook lookAt(int folder, const char* path) {
    FileLook look;
    struct stat st {};
    if (::fstatat(folder, path, &st, 0) != 0) return look;
    look.exists = true;
    look.size = qint64(st.st_size);
    look.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
    return look;
}

FileLook lookAt(const QString& path) { return lookAt(AT_FDCWD, QFile::encodeName(path).constData()); }

}  // namespace

PLYImageManager* PLYImageManager::sharedManager() {
    auto& slot = sharedSlot();
    if (!slot) {
        slot = std::make_unique<PLYImageManager>(QDir(PLYDefaults::applicationSupportDirectory()).filePath(QStringLiteral("ImageCache")));
        slot->m_shutDown = g_sharedShutDown;
    }
    return slot.get();
}

void PLYImageManager::resetSharedManager(const QString& cacheDirectory) {
    auto& slot = sharedSlot();
    if (slot) slot->waitForDone();
    slot.reset();
    g_sharedShutDown = false;
    if (!cacheDirectory.isEmpty()) slot = std::make_unique<PLYImageManager>(cacheDirectory);
}

void PLYImageManager::shutdownSharedManager() {
    auto& slot = sharedSlot();
    g_sharedShutDown = true;
    if (slot) slot->shutdown();
    slot.reset();
}

void PLYImageManager::libraryWasWritten() {
    if (auto& slot = sharedSlot()) slot->retryFailedWrites();
}

void PLYImageManager::shutdown() {
    m_shutDown = true;
    m_stopReading->store(true);
    const int dropped = qMax(0, int(m_inFlight.size()) - m_pool.activeThreadCount());
    m_pool.clear();
    m_pool.waitForDone();
    // Unfinished renditions are made again at the next start; their results were not reported.
    m_inFlight.clear();
    m_rerun.clear();
    m_writeFailed.clear();
    if (dropped > 0) PLY_LOG_INFO(QStringLiteral("Image cache stopped: %1 queued rendition(s) left for the next start").arg(dropped));
}

PLYImageManager::PLYImageManager(const QString& cacheDirectory, QObject* parent)
    : QObject(parent), m_cacheDirectory(cacheDirectory) {
    PLYError error;
    if (!PLYLibraryFiles::makeFolder(m_cacheDirectory, &error)) PLY_LOG_ERROR(error.toString());
    m_pool.setMaxThreadCount(MaxConcurrentRenditions);
    m_pool.setThreadPriority(QThread::LowPriority);
    m_pool.setObjectName(QStringLiteral("Image Cache"));
}

PLYImageManager::~PLYImageManager() { m_pool.waitForDone(); }

void PLYImageManager::waitForDone() { m_pool.waitForDone(); }

// An identifier becomes a folder name only when it is a safe one: "../../x" from a damaged
// location file or a pasted layout would otherwise reach outside the cache.
QString PLYImageManager::previewPathForIdentifier(const QString& identifier) const {
    if (!PLYLibraryFiles::isValidIdentifier(identifier)) return {};
    return m_cacheDirectory + QLatin1Char('/') + identifier + QStringLiteral("/preview.jpg");
}

QString PLYImageManager::exportPathForIdentifier(const QString& identifier) const {
    if (!PLYLibraryFiles::isValidIdentifier(identifier)) return {};
    return m_cacheDirectory + QLatin1Char('/') + identifier + QStringLiteral("/export.jpg");
}

bool PLYImageManager::hasRenditions(const QString& identifier) const {
    return hasRenditionsNewerThan(identifier, std::numeric_limits<qint64>::min());
}

bool PLYImageManager::hasRenditionsNewerThan(const QString& identifier, qint64 sourceModifiedNs, int cacheFolder) const {
    if (!PLYLibraryFiles::isValidIdentifier(identifier)) return false;
    // A valid identifier is ASCII. Relative to an open cache folder, only the last two parts of
    // each path are looked up.
    const QByteArray folder = cacheFolder >= 0 ? identifier.toLatin1()
                                               : QFile::encodeName(m_cacheDirectory) + '/' + identifier.toLatin1();
    const int at = cacheFolder >= 0 ? cacheFolder : AT_FDCWD;
    // An empty file is a rendition cut short (see writeJpeg): it is made again.
    const FileLook exported = lookAt(at, (folder + "/export.jpg").constData());
    if (exported.size <= 0 || exported.modifiedNs < sourceModifiedNs) return false;
    return lookAt(at, (folder + "/preview.jpg").constData()).size > 0;
}

bool PLYImageManager::renderRenditions(const QString& sourcePath, const QString& previewPath, const QString& exportPath,
                                       PLYError* error, PLYMemoryBudget* budget, qint64 singleDecodeLimit,
                                       const std::function<bool()>& stopRequested) {
    // Everything Qt reads of the file goes through a bound: asked about a header followed by a
    // hole of zeros, its decoder reads the whole hole looking for a marker. Until the size is
    // known, the bound is the header's, twice (the marker walk, then Qt's own look at the
    // header); a stop (the quit) ends the read at its next chunk.
    PLYBoundedFile file(sourcePath, 2 * PLYImageHeader::MaxBytes, PLYImageHeader::ChunkBytes, stopRequested);
    if (!file.open(QIODevice::ReadOnly)) {
        PLYError::set(error, PLYError(QStringLiteral("com.pellory.imagecache"), CannotRead, QStringLiteral("Cannot read %1").arg(sourcePath),
                                      file.errorString()));
        return false;
    }
    // The name's suffix is the format's hint, as it is when Qt opens the file by name.
    QImageReader reader(&file, QFileInfo(sourcePath).suffix().toLower().toLatin1());
    reader.setAutoTransform(true);
    // The size comes from the header alone, so what the decode needs is known before it starts.
    const PLYImageHeader header = PLYImageHeader::read(reader);
    // Qt is asked only once the header was found within its bound.
    const QSize raw = header.isValid() ? reader.size() : QSize();
    if (!header.isValid() || !raw.isValid()) {
        PLYError::set(error, PLYError(QStringLiteral("com.pellory.imagecache"), CannotRead, QStringLiteral("Cannot read %1").arg(sourcePath),
                                      !header.isValid() ? header.reason
                                      : file.stoppedReason().isEmpty() ? reader.errorString() : file.stoppedReason()));
        return false;
    }
    // The widths refer to the picture as shown, after its orientation is applied.
    const bool rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const qint64 needed = header.decodeBytes(ExportWidth, rotated);
    if (budget && needed > singleDecodeLimit) {
        constexpr double MiB = 1024.0 * 1024.0;
        PLYError::set(error, PLYError(QStringLiteral("com.pellory.imagecache"), TooLarge, QStringLiteral("Refused %1 as unusable").arg(sourcePath),
                                      QStringLiteral("decoding its %1 x %2 pixels would take about %3 MiB, more than the %4 MiB allowed")
                                          .arg(header.size.width())
                                          .arg(header.size.height())
                                          .arg(qRound64(needed / MiB))
                                          .arg(qRound64(singleDecodeLimit / MiB))));
        return false;
    }
    std::optional<PLYMemoryBudget::Hold> hold;
    if (budget) hold.emplace(*budget, needed, true);
    const int shownWidth = rotated ? raw.height() : raw.width();
    if (shownWidth > ExportWidth) {
        const double scale = double(ExportWidth) / double(shownWidth);
        reader.setScaledSize(QSize(qMax(1, qRound(raw.width() * scale)), qMax(1, qRound(raw.height() * scale))));
    }
    // No stored picture takes more than 8 bytes a pixel (16-bit channels with alpha, uncompressed);
    // what it carries besides (metadata, an embedded preview) fits in another header bound.
    file.setMaxBytes(qint64(raw.width()) * raw.height() * 8 + 2 * PLYImageHeader::MaxBytes);
    QImage exportImage = reader.read();
    // A decoder that runs out of data fills the rest with grey: a picture read only in part is
    // no picture.
    if (exportImage.isNull() || !file.stoppedReason().isEmpty()) {
        PLYError::set(error, PLYError(QStringLiteral("com.pellory.imagecache"), CannotDecode,
                                      QStringLiteral("Cannot decode %1").arg(sourcePath),
                                      file.stoppedReason().isEmpty() ? reader.errorString() : file.stoppedReason()));
        return false;
    }
    if (exportImage.hasAlphaChannel()) {
        // JPEG has no transparency: flatten onto white rather than black.
        QImage flat(exportImage.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, exportImage);
        exportImage = flat;
    }
    const QImage preview = exportImage.width() > PreviewWidth
                               ? exportImage.scaledToWidth(PreviewWidth, Qt::SmoothTransformation)
                               : exportImage;
    const auto cannotWrite = [&](const QString& reason) {
        PLYError::set(error, PLYError(QStringLiteral("com.pellory.imagecache"), CannotWrite,
                                      QStringLiteral("Cannot write the renditions of %1").arg(sourcePath), reason));
        return false;
    };
    PLYError folderError;
    if (!PLYLibraryFiles::makeFolder(QFileInfo(exportPath).absolutePath(), &folderError) ||
        !PLYLibraryFiles::makeFolder(QFileInfo(previewPath).absolutePath(), &folderError))
        return cannotWrite(folderError.toString());
    // A job killed with the application leaves its temporary files; one job per image runs at a time.
    PLYLibraryFiles::removeInterruptedWrites(QFileInfo(exportPath).absolutePath());
    QString reason;
    if (!writeJpeg(exportImage, exportPath, &reason) || !writeJpeg(preview, previewPath, &reason)) return cannotWrite(reason);
    return true;
}

bool PLYImageManager::acceptsRequest(const std::shared_ptr<PLYSourceImage>& image, bool force) {
    if (!image || m_shutDown) return false;
    const QString id = image->identifier();
    if (!PLYLibraryFiles::isValidIdentifier(id)) {
        PLY_LOG_ERROR(QStringLiteral("No renditions for %1: its identifier \"%2\" cannot name a cache folder")
                          .arg(image->path(), id.left(64)));
        return false;
    }
    if (m_inFlight.contains(id)) {
        // Two jobs writing the same files could finish in either order and leave the older
        // picture behind: a forced request runs again once the current one is done.
        if (force) m_rerun.insert(id);
        return false;
    }
    return true;
}

void PLYImageManager::requestRenditions(const std::shared_ptr<PLYSourceImage>& image, bool force) {
    if (!acceptsRequest(image, force)) return;
    if (!force && !m_failed.contains(image->identifier())) {
        // A file that cannot be looked at now keeps the renditions it has.
        const FileLook source = lookAt(image->path());
        const qint64 modified = source.exists ? source.modifiedNs : std::numeric_limits<qint64>::min();
        if (hasRenditionsNewerThan(image->identifier(), modified)) return;
    }
    start(image);
}

void PLYImageManager::requestRenditionsIfOlderThan(const QList<ImageModified>& images) {
    if (images.isEmpty() || m_shutDown) return;
    // Opened for this batch only, so that a cache folder removed or replaced meanwhile is never
    // looked at through an old descriptor. Where it cannot be opened, every rendition is missing.
    const int cacheFolder = ::open(QFile::encodeName(m_cacheDirectory).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const auto& [image, sourceModifiedNs] : images) {
        if (!acceptsRequest(image, false)) continue;
        const QString id = image->identifier();
        if (cacheFolder >= 0 && !m_failed.contains(id) && hasRenditionsNewerThan(id, sourceModifiedNs, cacheFolder)) continue;
        start(image);
    }
    if (cacheFolder >= 0) ::close(cacheFolder);
}

void PLYImageManager::start(const std::shared_ptr<PLYSourceImage>& image) {
    const QString id = image->identifier();
    const QString source = image->path();
    const quint64 generation = ++m_generation;
    m_inFlight.insert(id, generation);
    m_failed.remove(id);
    m_writeFailed.remove(id);
    m_previews.remove(id);
    const QString previewPath = previewPathForIdentifier(id);
    const QString exportPath = exportPathForIdentifier(id);
    std::weak_ptr<PLYSourceImage> weak = image;
    QPointer<PLYImageManager> self(this);
    // The manager waits for its jobs before it goes, so the budget outlives them.
    PLYMemoryBudget* budget = &m_budget;
    const qint64 singleDecodeLimit = m_singleDecodeLimit;
    const std::shared_ptr<std::atomic_bool> stop = m_stopReading;
    m_pool.start([=]() {
        PLYError error;
        const bool ok = renderRenditions(source, previewPath, exportPath, &error, budget, singleDecodeLimit,
                                         [stop] { return stop->load(); });
        if (!ok) PLY_LOG_WARN(error.toString());
        const bool writeFailed = !ok && error.code == CannotWrite;
        PLYDispatch::mainAsync([=]() {
            if (self) self->finished(id, weak, ok, writeFailed, generation);
        });
    });
}

void PLYImageManager::finished(const QString& identifier, const std::weak_ptr<PLYSourceImage>& image, bool ok,
                               bool writeFailed, quint64 generation) {
    if (m_inFlight.value(identifier) != generation) return;
    m_inFlight.remove(identifier);
    auto strong = image.lock();
    if (m_rerun.remove(identifier) && strong) {
        start(strong);
        return;
    }
    if (!ok) {
        m_failed.insert(identifier);
        QFile::remove(previewPathForIdentifier(identifier));
        QFile::remove(exportPathForIdentifier(identifier));
        // Shown as failed meanwhile, so that nothing asks for it again and again while the disk is full.
        if (writeFailed) m_writeFailed.insert(identifier, image);
    }
    m_previews.remove(identifier);
    if (strong) PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(CacheCreatedNotification), strong.get());
    if (ok) retryFailedWrites();
}

void PLYImageManager::retryFailedWrites() {
    if (m_shutDown || m_writeFailed.isEmpty()) return;
    const auto failed = std::exchange(m_writeFailed, {});
    for (auto it = failed.cbegin(); it != failed.cend(); ++it) {
        // A request made since took it over, or the image is gone.
        const auto image = it.value().lock();
        if (image && m_failed.contains(it.key()) && !m_inFlight.contains(it.key())) start(image);
    }
}

QImage PLYImageManager::previewImageForIdentifier(const QString& identifier) {
    if (m_failed.contains(identifier)) return placeholderImage();
    if (const QImage* cached = m_previews.object(identifier)) return *cached;
    const QString path = previewPathForIdentifier(identifier);
    if (path.isEmpty()) return {};
    QImage image(path);
    if (!image.isNull()) m_previews.insert(identifier, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes() / 1024));
    return image;
}

QByteArray PLYImageManager::exportDataForIdentifier(const QString& identifier) const {
    const QString path = exportPathForIdentifier(identifier);
    if (path.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QImage PLYImageManager::exportImageForIdentifier(const QString& identifier) const {
    const QString path = exportPathForIdentifier(identifier);
    return path.isEmpty() ? QImage() : QImage(path);
}

QImage PLYImageManager::placeholderImage() {
    static const QImage image(QStringLiteral(":/images/broken-image.png"));
    return image;
}
