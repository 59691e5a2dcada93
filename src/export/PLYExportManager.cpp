#include "PLYExportManager.h"
#include "PLYAtomicFile.h"

#include "PLYCoreManager.h"
#include "PLYExportPresenter.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutRenderer.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYTextLimits.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <memory>

#include <unistd.h>

namespace {

std::unique_ptr<PLYExportManager>& sharedSlot() {
    static std::unique_ptr<PLYExportManager> manager;
    return manager;
}

// Set once the application shut the shared manager down.
bool g_sharedShutDown = false;

bool isExportable(const PLYBlock& block) {
    return block.type_case() == PLYBlock::kImage || block.type_case() == PLYBlock::kContainer;
}

// File names keep to what every file system takes.
QString safeBaseName(const QString& name) {
    QString cleaned;
    for (const QChar c : name.trimmed())
        cleaned += (c.isPrint() && !QStringLiteral("/\\:*?\"<>|").contains(c)) ? c : QLatin1Char('_');
    cleaned = cleaned.trimmed();
    while (cleaned.startsWith(QLatin1Char('.')))
        cleaned.remove(0, 1);
    // In bytes, leaving room for the image number, a " 2" and the extension within the 255 bytes
    // a file name may take.
    return cleaned.isEmpty() ? QStringLiteral("Layout") : PLYTextLimits::truncatedToUtf8Bytes(cleaned, 200);
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QString reason;
    if (!PLYAtomicFile::write(path, bytes, &reason)) {
        *error = QObject::tr("Could not write \"%1\": %2").arg(path, reason);
        return false;
    }
    return true;
}

// Worker threads read images through a snapshot when the source itself is main-thread only.
std::shared_ptr<PLYLayoutImageSource> sourceForWorker(const std::shared_ptr<PLYLayoutImageSource>& source,
                                                      const PLYLayout& layout) {
    if (!source)
        return nullptr;
    std::shared_ptr<PLYLayoutImageSource> snapshot = source->snapshotForLayout(layout);
    return snapshot ? snapshot : source;
}

// The post being edited in the main window.
PLYExportSource currentPostSource() {
    PLYExportSource source;
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const std::shared_ptr<PLYPostManager> postManager = core ? core->currentPostManager() : nullptr;
    if (!postManager)
        return source;
    source.layoutManager = postManager->layoutManager();
    if (const std::shared_ptr<PLYPersistantPost> post = postManager->representedPost())
        source.name = post->name();
    return source;
}

}  // namespace

PLYExportManager::PLYExportManager() {
    m_sourceProvider = currentPostSource;
    m_exportQueue.setMaxThreadCount(1);
    m_exportQueue.setObjectName(QStringLiteral("Export"));
    m_previewQueue.setMaxThreadCount(1);
    m_previewQueue.setObjectName(QStringLiteral("Export Layout Preview"));
    m_previewQueue.setThreadPriority(QThread::LowPriority);
}

PLYExportManager::~PLYExportManager() {
    m_exportQueue.waitForDone();
    m_previewQueue.waitForDone();
}

PLYExportManager* PLYExportManager::sharedManager() {
    if (!sharedSlot()) {
        sharedSlot() = std::make_unique<PLYExportManager>();
        sharedSlot()->m_shutDown = g_sharedShutDown;
    }
    return sharedSlot().get();
}

void PLYExportManager::resetSharedManager() {
    sharedSlot().reset();
    g_sharedShutDown = false;
}

void PLYExportManager::shutdownSharedManager() {
    g_sharedShutDown = true;
    if (sharedSlot())
        sharedSlot()->shutdown();
    sharedSlot().reset();
}

void PLYExportManager::shutdown() {
    m_shutDown = true;
    m_cancel->store(true);
    m_previewQueue.clear();
    m_exportQueue.clear();
    m_previewQueue.waitForDone();
    m_exportQueue.waitForDone();
}

void PLYExportManager::install() { PLYCoreManager::setExportManagerProvider(&PLYExportManager::sharedManager); }

void PLYExportManager::setPresenter(std::shared_ptr<PLYExportPresenter> presenter) {
    m_presenter = std::move(presenter);
}

void PLYExportManager::setSourceProvider(std::function<PLYExportSource()> provider) {
    m_sourceProvider = std::move(provider);
}

void PLYExportManager::setImageSource(std::shared_ptr<PLYLayoutImageSource> source) {
    m_imageSource = std::move(source);
}

std::shared_ptr<PLYLayoutImageSource> PLYExportManager::imageSource() const {
    return m_imageSource ? m_imageSource : PLYLayoutImageSource::defaultSource();
}

void PLYExportManager::exportCurrentVisibleLayout() {
    const PLYExportSource source = m_sourceProvider ? m_sourceProvider() : PLYExportSource();
    const PLYLayout* layout = source.layoutManager ? source.layoutManager->representedLayout() : nullptr;
    QStringList ids;
    if (layout && layout->sections_size() > 0)
        for (const PLYBlock& block : layout->sections(0).blocks())
            if (isExportable(block))
                ids << QString::fromStdString(block.id());
    if (!layout) {
        if (m_presenter)
            m_presenter->exportRefused(tr("Open a post to export its layout."));
        return;
    }
    exportBlocks(*layout, ids, source.name);
}

void PLYExportManager::exportCurrentVisibleSelectedBlocks() {
    const PLYExportSource source = m_sourceProvider ? m_sourceProvider() : PLYExportSource();
    const PLYLayout* layout = source.layoutManager ? source.layoutManager->representedLayout() : nullptr;
    if (!layout) {
        if (m_presenter)
            m_presenter->exportRefused(tr("Open a post to export its images."));
        return;
    }
    QStringList ids;
    for (const PLYBlock* block : source.layoutManager->currentSelectedBlocks())
        if (block && isExportable(*block))
            ids << QString::fromStdString(block->id());
    exportBlocks(*layout, ids, source.name);
}

void PLYExportManager::exportBlocks(const PLYLayout& layout, const QStringList& blockIds, const QString& name) {
    if (!m_presenter) {
        PLY_LOG_ERROR(QStringLiteral("Export requested with no presenter to ask for width and folder"));
        return;
    }
    if (m_shutDown) {
        PLY_LOG_WARN(QStringLiteral("Export refused: Pellory is quitting"));
        return;
    }
    if (m_exporting) {
        m_presenter->exportRefused(tr("An export is already running."));
        return;
    }
    if (blockIds.isEmpty()) {
        m_presenter->exportRefused(tr("There are no images to export."));
        return;
    }
    const std::optional<int> width = m_presenter->chooseExportWidth(kDefaultExportWidth);
    if (!width)
        return;
    if (*width < kMinimumExportWidth || *width > kMaximumExportWidth) {
        m_presenter->exportRefused(
            tr("The width must lie between %1 and %2 pixels.").arg(kMinimumExportWidth).arg(kMaximumExportWidth));
        return;
    }
    const QString folder = m_presenter->chooseExportFolder();
    if (folder.isEmpty())
        return;
    if (!QFileInfo(folder).isDir()) {
        m_presenter->exportRefused(tr("The folder \"%1\" does not exist.").arg(folder));
        return;
    }

    m_exporting = true;
    const quint64 run = ++m_exportRun;
    const int pixelWidth = *width;
    const QString baseName = safeBaseName(name);
    const std::shared_ptr<PLYLayoutImageSource> images = sourceForWorker(imageSource(), layout);
    auto copy = std::make_shared<PLYLayout>(layout);
    const int total = int(blockIds.size());
    m_presenter->exportProgress(0, total);
    emit exportProgressed(0, total);
    QPointer<PLYExportManager> self(this);
    const std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
    m_exportQueue.start([self, run, copy, blockIds, pixelWidth, folder, baseName, images, total, cancel] {
        QStringList written;
        QStringList failures;  // one line per image not written
        const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(*copy, images.get());
        for (int i = 0; i < total; ++i) {
            if (cancel->load()) {
                failures << tr("The export was stopped because Pellory quit; %n image(s) were not exported.", nullptr,
                               total - i);
                break;
            }
            const QString label = tr("Image %1 of %2").arg(i + 1).arg(total);
            QString reason;
            const QImage image =
                PLYLayoutRenderer::renderBlock(*copy, blockIds.at(i), pixelWidth, images.get(), &geometry, &reason);
            if (image.isNull()) {
                failures << tr("%1 was not exported: %2.").arg(label, reason);
            } else {
                const QByteArray bytes = PLYLayoutRenderer::jpegData(image, kExportQuality);
                QString error;
                // Name and write happen on this one serial queue, so no other export races us.
                if (bytes.isEmpty()) {
                    failures << tr("%1 was not exported: it could not be encoded as JPEG.").arg(label);
                } else {
                    const QString path = reserveFilePath(folder, QStringLiteral("%1 %2").arg(baseName).arg(i + 1),
                                                         QStringLiteral("jpg"), &error);
                    if (!path.isEmpty() && writeAtomically(path, bytes, &error)) {
                        written << path;
                    } else {
                        if (!path.isEmpty())
                            QFile::remove(path);  // only our own empty reservation
                        failures << tr("%1 was not exported: %2").arg(label, error);
                    }
                }
            }
            QMetaObject::invokeMethod(
                self.data(),
                [self, run, i, total] {
                    if (!self || !self->m_exporting || self->m_exportRun != run)
                        return;  // the export has ended: its late progress means nothing now
                    if (self->m_presenter)
                        self->m_presenter->exportProgress(i + 1, total);
                    emit self->exportProgressed(i + 1, total);
                },
                Qt::QueuedConnection);
        }
        const QString error = failures.join(QLatin1Char('\n'));
        QMetaObject::invokeMethod(
            self.data(),
            [self, run, written, error] {
                if (self && self->m_exporting && self->m_exportRun == run)
                    self->finishExport(written, error);
            },
            Qt::QueuedConnection);
    });
}

void PLYExportManager::finishExport(const QStringList& files, const QString& error) {
    m_exporting = false;
    if (error.isEmpty())
        PLY_LOG_INFO(QStringLiteral("Exported %1 image(s)").arg(files.size()));
    else
        PLY_LOG_ERROR(QStringLiteral("Export wrote %1 image(s) and failed for others: %2").arg(files.size()).arg(error));
    if (m_presenter)
        m_presenter->exportFinished(files, error);
    emit exportFinished(files, error);
}

QString PLYExportManager::reserveFilePath(const QString& folder, const QString& baseName, const QString& extension,
                                          QString* error) {
    // Creating the file exclusively claims the name, so a file another program makes meanwhile
    // is never replaced; the atomic write then goes over our own empty file.
    const QDir dir(folder);
    // A file name may take only so many bytes (255 on most file systems), and a name of
    // three-byte characters reaches that long before its length in characters does.
    const long nameMax = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    const qsizetype maxNameBytes = nameMax > 0 ? qsizetype(nameMax) : 255;
    for (int n = 1; n < 100000; ++n) {
        const QString suffix = (n == 1 ? QString() : QStringLiteral(" %1").arg(n)) + QLatin1Char('.') + extension;
        const QString base = PLYTextLimits::truncatedToUtf8Bytes(baseName, maxNameBytes - QFile::encodeName(suffix).size());
        const QString path = dir.filePath(base + suffix);
        if (QFileInfo::exists(path))
            continue;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path)) {
            if (error)
                *error = QObject::tr("Could not create \"%1\": %2").arg(path, file.errorString());
            return {};
        }
    }
    if (error)
        *error = QObject::tr("No free file name for \"%1\" in %2").arg(baseName, folder);
    return {};
}

bool PLYExportManager::createPostPreview(const std::shared_ptr<PLYPersistantPost>& post) {
    if (!post || post->folderPath().isEmpty() || m_shutDown)
        return false;
    const PLYLayout& layout = post->constLayout();
    const QString key = post->folderPath();
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(layout.SerializeAsString()), QCryptographicHash::Sha1);
    // Whether the preview is there, without decoding it on the main thread.
    if (m_lastPreviewHash.value(key) == hash && QFileInfo(PLYPersistantPost::previewPathForFolder(key)).size() > 0)
        return false;
    if (!m_lastPreviewHash.contains(key)) {
        // First look at this post in this run: a preview written after the layout file already
        // shows this layout, so a restart does not re-render every post.
        const QDir folder(key);
        const QFileInfo preview(folder.filePath(QStringLiteral("preview.jpg")));
        const QFileInfo layoutFile(folder.filePath(QStringLiteral("layout")));
        if (preview.exists() && layoutFile.exists() && preview.lastModified() >= layoutFile.lastModified()) {
            m_lastPreviewHash.insert(key, hash);
            return false;
        }
    }
    m_lastPreviewHash.insert(key, hash);
    auto copy = std::make_shared<PLYLayout>(layout);
    const std::shared_ptr<PLYLayoutImageSource> images = sourceForWorker(imageSource(), layout);
    QPointer<PLYExportManager> self(this);
    std::weak_ptr<PLYPersistantPost> weakPost = post;
    m_previewQueue.start([self, copy, images, key, weakPost] {
        const QImage image = PLYLayoutRenderer::renderLayout(*copy, kPreviewWidth, images.get(), kPreviewMaxHeight);
        QMetaObject::invokeMethod(
            self.data(),
            [self, image, key, weakPost] {
                const std::shared_ptr<PLYPersistantPost> post = weakPost.lock();
                if (!self || !post)
                    return;
                // The post writes "preview.jpg" atomically and announces it.
                PLYError error;
                if (image.isNull() || !post->setLayoutPreview(image, &error)) {
                    self->m_lastPreviewHash.remove(key);  // let the next save try again
                    PLY_LOG_WARN(QStringLiteral("No preview for the post in %1").arg(key));
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

void PLYExportManager::waitForPreviews() { m_previewQueue.waitForDone(); }

void PLYExportManager::waitForExportWork() { m_exportQueue.waitForDone(); }
