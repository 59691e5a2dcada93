#include "PLYPersistantPost.h"
#include "PLYImageEncoding.h"
#include "PLYIdentifier.h"

#include "PLYDefaults.h"
#include "PLYImageManager.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantStore.h"
#include "PLYPostIndex.h"
#include "PLYPropertyList.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTextLimits.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const QString kInfo = QStringLiteral("info.plist");
const QString kLayout = QStringLiteral("layout");
const QString kPreview = QStringLiteral("preview.jpg");
const QString kNextLayout = QStringLiteral("layout.next");
constexpr const char* kLayoutDigestKey = "layout_digest";

QString digestOf(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString newIdentifier() { return PLYIdentifier::newIdentifier(); }

// A name as typed, pasted or read, held to what the post index keeps whole: a longer one, cut
// there only, made every launch find the post renamed.
QString boundedName(const QString& name) {
    return PLYTextLimits::truncatedToUtf8Bytes(PLYTextLimits::withoutControlCharacters(name), PLYPostIndex::MaxTextBytes);
}

void collectImageRefs(const PLYBlock& block, QStringList* refs) {
    if (block.has_image()) {
        refs->append(QString::fromStdString(block.image().img_ref()));
    } else if (block.has_container()) {
        for (const PLYBlock& sub : block.container().sub_blocks()) collectImageRefs(sub, refs);
    }
}

QStringList imageRefsOfLayout(const PLYLayout& layout) {
    QStringList refs;
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks()) collectImageRefs(block, &refs);
    return refs;
}

}  // namespace

std::shared_ptr<PLYPersistantPost> PLYPersistantPost::create(const QString& name, const QString& accountFolder,
                                                             std::weak_ptr<PLYPersistantStore> store) {
    std::shared_ptr<PLYPersistantPost> post(new PLYPersistantPost());
    post->m_store = std::move(store);
    post->m_identifier = newIdentifier();
    post->m_folder = QDir(accountFolder).filePath(post->m_identifier + QLatin1Char('.') + QLatin1String(FolderExtension));
    post->m_name = boundedName(name);
    post->m_creationDate = QDateTime::currentDateTimeUtc();
    post->m_updatedDate = post->m_creationDate;
    post->m_layout.set_id(newIdentifier().toStdString());
    post->m_layout.set_padding(qRound64(PLYDefaults::defaultPadding()));
    const QColor bg = PLYDefaults::defaultBackgroundColour();
    post->m_layout.mutable_background_colour()->set_r(float(bg.red()));
    post->m_layout.mutable_background_colour()->set_g(float(bg.green()));
    post->m_layout.mutable_background_colour()->set_b(float(bg.blue()));
    return post;
}

std::shared_ptr<PLYPersistantPost> PLYPersistantPost::load(const QString& folder, std::weak_ptr<PLYPersistantStore> store,
                                                           PLYError* error) {
    const QDir dir(folder);
    PLYLibraryFiles::removeInterruptedWrites(folder);
    const QString infoPath = dir.filePath(kInfo);
    QVariantMap map;
    if (!PLYPropertyList::readFile(infoPath, &map, error)) return nullptr;
    std::shared_ptr<PLYPersistantPost> post(new PLYPersistantPost());
    post->m_store = std::move(store);
    post->m_folder = folder;
    if (!post->fromPropertyList(map)) {
        PLYError::set(error, PLYLibraryFiles::fileError(21, infoPath, QStringLiteral("no valid post identifier")));
        return nullptr;
    }

    // "info.plist" names the digest of the layout it was saved with; a save cut short between
    // the two files left either a staged "layout.next" (not yet committed: dropped) or a
    // committed info file whose layout still waits in "layout.next" (the switch is finished).
    const QString layoutPath = dir.filePath(kLayout);
    const QString nextPath = dir.filePath(kNextLayout);
    const QString digest = map.value(QString::fromLatin1(kLayoutDigestKey)).toString();
    QByteArray bytes;
    PLYError readError;
    const bool haveLayout = PLYLibraryFiles::readFile(layoutPath, PLYLibraryFiles::MaxLayoutBytes, &bytes, &readError);
    if (!digest.isEmpty() && (!haveLayout || digestOf(bytes) != digest)) {
        QByteArray next;
        if (!PLYLibraryFiles::readFile(nextPath, PLYLibraryFiles::MaxLayoutBytes, &next, nullptr) || digestOf(next) != digest) {
            PLYError::set(error, PLYLibraryFiles::fileError(27, layoutPath,
                                                            haveLayout ? QStringLiteral("it does not belong to its info.plist "
                                                                                        "(a save was cut short or a file was replaced)")
                                                                       : readError.failureReason));
            return nullptr;
        }
        if (::rename(QFile::encodeName(nextPath).constData(), QFile::encodeName(layoutPath).constData()) != 0) {
            PLYError::set(error, PLYLibraryFiles::fileError(28, layoutPath,
                                                            QStringLiteral("could not finish an interrupted save: %1")
                                                                .arg(QString::fromLocal8Bit(strerror(errno)))));
            return nullptr;
        }
        PLY_LOG_WARN(QStringLiteral("Finished the save of %1 that was cut short after its info file").arg(folder));
        bytes = next;
    } else if (!haveLayout) {
        PLYError::set(error, readError);
        return nullptr;
    } else if (QFileInfo::exists(nextPath)) {
        if (QFile::remove(nextPath))
            PLY_LOG_INFO(QStringLiteral("Removed %1, staged by a save that was cut short").arg(nextPath));
    }
    if (!post->m_layout.ParseFromArray(bytes.constData(), int(bytes.size()))) {
        PLYError::set(error, PLYLibraryFiles::fileError(23, layoutPath, QStringLiteral("the layout is damaged")));
        return nullptr;
    }
    // Every post has a section from its creation on: none means an empty or cut-short file,
    // which must not load as an empty post that the next save would make permanent.
    if (post->m_layout.sections_size() == 0) {
        PLYError::set(error, PLYLibraryFiles::fileError(29, layoutPath,
                                                        bytes.isEmpty() ? QStringLiteral("the layout is empty")
                                                                        : QStringLiteral("the layout has no sections")));
        return nullptr;
    }
    // What was read stands for the saved state; it is written out only when a save compares.
    post->m_loadedInfo = map;
    post->m_savedLayout = post->m_layout.SerializeAsString();
    post->m_diskLayoutDigest = digestOf(bytes);
    return post;
}

std::shared_ptr<PLYPersistantPost> PLYPersistantPost::fromSummary(const PLYPostSummary& summary, const QString& accountFolder,
                                                                  std::weak_ptr<PLYPersistantStore> store) {
    std::shared_ptr<PLYPersistantPost> post(new PLYPersistantPost());
    post->m_store = std::move(store);
    post->m_identifier = summary.identifier;
    // As QDir::filePath makes it, without a QDir per post (thousands at launch).
    post->m_folder = accountFolder + QLatin1Char('/') + summary.identifier + QLatin1Char('.') + QLatin1String(FolderExtension);
    post->m_name = summary.name;
    post->m_creationDate = summary.creationDate;
    post->m_updatedDate = summary.updatedDate;
    post->m_remoteIdentifier = summary.remoteIdentifier;
    post->m_summaryOnly = true;
    return post;
}

PLYPostSummary PLYPersistantPost::summary() const {
    return {m_identifier, m_name, m_creationDate, m_updatedDate, m_remoteIdentifier};
}

bool PLYPersistantPost::adoptLoaded(PLYPersistantPost& loaded) {
    const bool differed = summary() != loaded.summary();
    m_name = std::move(loaded.m_name);
    m_seoTitle = std::move(loaded.m_seoTitle);
    m_metaDescription = std::move(loaded.m_metaDescription);
    m_focusKeywords = std::move(loaded.m_focusKeywords);
    m_remoteIdentifier = std::move(loaded.m_remoteIdentifier);
    m_creationDate = loaded.m_creationDate;
    m_updatedDate = loaded.m_updatedDate;
    m_sourceLocations = std::move(loaded.m_sourceLocations);
    m_hiddenImages = std::move(loaded.m_hiddenImages);
    m_imageEntries = std::move(loaded.m_imageEntries);
    m_layout.Swap(&loaded.m_layout);
    m_savedInfo = std::move(loaded.m_savedInfo);
    m_loadedInfo = std::move(loaded.m_loadedInfo);
    m_savedLayout = std::move(loaded.m_savedLayout);
    m_diskLayoutDigest = std::move(loaded.m_diskLayoutDigest);
    m_summaryOnly = false;
    return differed;
}

void PLYPersistantPost::loadBehindSummary() const {
    // Adopting the loaded posts fills this one in (or leaves it a summary when its folder could
    // not be read; the account has dropped it then, and it stays empty and unwritten).
    if (auto store = m_store.lock()) store->finishLoading();
}

QVariantMap PLYPersistantPost::toPropertyList(bool withUpdatedDate) const {
    QVariantMap map;
    map.insert(QStringLiteral("identifier"), m_identifier);
    map.insert(QStringLiteral("name"), m_name);
    map.insert(QStringLiteral("seo_title"), m_seoTitle);
    map.insert(QStringLiteral("meta_description"), m_metaDescription);
    if (m_focusKeywords) map.insert(QStringLiteral("focus_keywords"), QVariant(*m_focusKeywords));
    map.insert(QStringLiteral("remote_identifier"), m_remoteIdentifier);
    map.insert(QStringLiteral("creation_date"), m_creationDate);
    if (withUpdatedDate) map.insert(QStringLiteral("updated_date"), m_updatedDate);
    map.insert(QStringLiteral("source_locations"), QVariant(m_sourceLocations));
    map.insert(QStringLiteral("hidden_images"), QVariant(m_hiddenImages));
    QVariantMap entries;
    for (auto it = m_imageEntries.cbegin(); it != m_imageEntries.cend(); ++it) {
        QVariantMap e;
        e.insert(QStringLiteral("use_count"), it->useCount);
        e.insert(QStringLiteral("keywords"), QVariant(it->keywords));
        entries.insert(it.key(), e);
    }
    map.insert(QStringLiteral("images"), entries);
    return map;
}

bool PLYPersistantPost::fromPropertyList(const QVariantMap& map) {
    m_identifier = map.value(QStringLiteral("identifier")).toString();
    if (!PLYLibraryFiles::isValidIdentifier(m_identifier)) return false;
    m_name = boundedName(map.value(QStringLiteral("name")).toString());
    m_seoTitle = map.value(QStringLiteral("seo_title")).toString();
    m_metaDescription = map.value(QStringLiteral("meta_description")).toString();
    if (map.contains(QStringLiteral("focus_keywords")))
        m_focusKeywords = map.value(QStringLiteral("focus_keywords")).toStringList();
    m_remoteIdentifier = map.value(QStringLiteral("remote_identifier")).toString();
    m_creationDate = map.value(QStringLiteral("creation_date")).toDateTime();
    m_updatedDate = map.value(QStringLiteral("updated_date")).toDateTime();
    m_sourceLocations = map.value(QStringLiteral("source_locations")).toStringList();
    m_hiddenImages = map.value(QStringLiteral("hidden_images")).toStringList();
    const QVariantMap entries = map.value(QStringLiteral("images")).toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QVariantMap e = it.value().toMap();
        ImageEntry entry;
        entry.useCount = e.value(QStringLiteral("use_count")).toLongLong();
        entry.keywords = e.value(QStringLiteral("keywords")).toStringList();
        m_imageEntries.insert(it.key(), entry);
    }
    return true;
}

namespace {
bool refuseRemoved(const PLYPersistantPost& post, PLYError* error) {
    if (!post.isRemoved()) return false;
    PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 26,
                                  QStringLiteral("The post %1 was deleted; nothing of it is written").arg(post.identifier())));
    return true;
}
}  // namespace

namespace {
std::function<bool(PLYPersistantPost::SaveStep)> g_interruption;
}  // namespace

void PLYPersistantPost::setSaveInterruptionForTesting(std::function<bool(SaveStep)> stopAfter) {
    g_interruption = std::move(stopAfter);
}

bool PLYPersistantPost::save(PLYError* error) {
    if (refuseRemoved(*this, error)) return false;
    loadIfNeeded();
    if (m_summaryOnly) {
        // Its folder could not be read: writing this empty post would replace what is there.
        PLYError::set(error, PLYLibraryFiles::fileError(45, m_folder, QStringLiteral("the post could not be read, so nothing of it is written")));
        return false;
    }
    // A layout without sections reads as damage when loaded, so a post whose last section was
    // taken away is saved with an empty one rather than written in a form it cannot be read back.
    if (m_layout.sections_size() == 0) {
        PLYSection* section = m_layout.add_sections();
        section->set_id(PLYIdentifier::newIdentifier().toStdString());
        section->mutable_stacked();
    }
    const QByteArray info = PLYPropertyList::toXml(toPropertyList(false));
    const std::string layoutBytes = m_layout.SerializeAsString();
    // A layout the next load would refuse is not written: the save fails and says why, and the
    // last good save stays on disk.
    if (qint64(layoutBytes.size()) > PLYLibraryFiles::MaxLayoutBytes) {
        constexpr double MiB = 1024.0 * 1024.0;
        PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 44,
                                      QObject::tr("The post \"%1\" is too large to save").arg(m_name),
                                      QObject::tr("its layout takes %1 MB, more than the %2 MB a post may have; "
                                                  "remove some of its text or blocks")
                                          .arg(QString::number(layoutBytes.size() / MiB, 'f', 1))
                                          .arg(qRound64(PLYLibraryFiles::MaxLayoutBytes / MiB))));
        PLY_LOG_ERROR(QStringLiteral("Not saving the post in %1: its layout takes %2 bytes, over the %3 a load accepts")
                          .arg(m_folder)
                          .arg(layoutBytes.size())
                          .arg(PLYLibraryFiles::MaxLayoutBytes));
        return false;
    }
    const QDir dir(m_folder);
    const bool onDisk = dir.exists(kInfo) && dir.exists(kLayout);
    if (!m_loadedInfo.isEmpty()) {
        // The state as loaded, made from what was read exactly as the loaded post was.
        PLYPersistantPost loaded;
        loaded.fromPropertyList(m_loadedInfo);
        m_savedInfo = PLYPropertyList::toXml(loaded.toPropertyList(false));
        m_loadedInfo.clear();
    }
    if (onDisk && info == m_savedInfo && layoutBytes == m_savedLayout) return true;
    if (!PLYLibraryFiles::makeFolder(m_folder, error)) return false;
    const QDateTime previous = m_updatedDate;
    // A post written for the first time keeps its creation time as its update time.
    if (!m_savedInfo.isEmpty() || onDisk) m_updatedDate = QDateTime::currentDateTimeUtc();

    // The pair is switched by one atomic write: the new layout is staged as "layout.next", the
    // info file (naming the new layout's digest) commits the save, then the staged layout is
    // renamed into place. A kill at any point leaves one earlier save or the new one (see load).
    const bool layoutChanged = !onDisk || layoutBytes != m_savedLayout || m_diskLayoutDigest.isEmpty();
    const QByteArray layoutData = QByteArray::fromStdString(layoutBytes);
    const QString digest = layoutChanged ? digestOf(layoutData) : m_diskLayoutDigest;
    if (layoutChanged && !PLYPropertyList::writeBytesAtomically(dir.filePath(kNextLayout), layoutData, error)) {
        m_updatedDate = previous;
        return false;
    }
    if (g_interruption && g_interruption(SaveStep::LayoutStaged)) return false;
    QVariantMap map = toPropertyList(true);
    map.insert(QString::fromLatin1(kLayoutDigestKey), digest);
    if (!PLYPropertyList::writeFile(dir.filePath(kInfo), map, error)) {
        QFile::remove(dir.filePath(kNextLayout));
        m_updatedDate = previous;
        return false;
    }
    m_savedInfo = info;
    if (g_interruption && g_interruption(SaveStep::InfoCommitted)) return false;
    if (layoutChanged) {
        if (::rename(QFile::encodeName(dir.filePath(kNextLayout)).constData(),
                     QFile::encodeName(dir.filePath(kLayout)).constData()) != 0) {
            // Committed all the same: the next load finishes the switch.
            PLYError::set(error, PLYLibraryFiles::fileError(28, dir.filePath(kLayout), QString::fromLocal8Bit(strerror(errno))));
            return false;
        }
        m_diskLayoutDigest = digest;
    }
    m_savedLayout = layoutBytes;
    return true;
}

void PLYPersistantPost::setName(const QString& name) {
    loadIfNeeded();
    m_name = boundedName(name);
}

void PLYPersistantPost::setSeoTitle(const QString& text) {
    loadIfNeeded();
    const QString title = PLYTextLimits::withoutControlCharacters(text);
    if (title == m_seoTitle) return;
    m_seoTitle = title;
    notifyChange(QStringLiteral("seoTitle"));
}

void PLYPersistantPost::setMetaDescription(const QString& text) {
    loadIfNeeded();
    const QString description = PLYTextLimits::withoutControlCharacters(text, true);
    if (description == m_metaDescription) return;
    m_metaDescription = description;
    notifyChange(QStringLiteral("metaDescription"));
}

void PLYPersistantPost::setFocusKeywords(const std::optional<QStringList>& words) {
    loadIfNeeded();
    std::optional<QStringList> keywords;
    if (words) {
        keywords.emplace();
        for (const QString& word : *words) keywords->append(PLYTextLimits::withoutControlCharacters(word));
    }
    if (keywords == m_focusKeywords) return;
    m_focusKeywords = keywords;
    notifyChange(QStringLiteral("focusKeywords"));
}

int PLYPersistantPost::addChangeObserver(ChangeObserver observer) {
    const int token = m_nextObserver++;
    m_observers.insert(token, std::move(observer));
    return token;
}

void PLYPersistantPost::removeChangeObserver(int token) { m_observers.remove(token); }

void PLYPersistantPost::notifyChange(const QString& key) {
    const auto observers = m_observers;  // an observer may remove itself
    for (auto it = observers.cbegin(); it != observers.cend(); ++it) {
        if (m_observers.contains(it.key())) it.value()(key);
    }
}

void PLYPersistantPost::addSourceLocation(const QString& identifier) {
    loadIfNeeded();
    if (!identifier.isEmpty() && !m_sourceLocations.contains(identifier)) m_sourceLocations.append(identifier);
}

void PLYPersistantPost::removeSourceLocation(const QString& identifier) {
    loadIfNeeded();
    m_sourceLocations.removeAll(identifier);
}

qint64 PLYPersistantPost::inUseCountForImage(const QString& identifier) const {
    loadIfNeeded();
    return m_imageEntries.value(identifier).useCount;
}

void PLYPersistantPost::postCountChange(const QString& identifier) {
    auto store = m_store.lock();
    if (!store) return;
    if (auto image = store->imageForIdentifier(identifier))
        PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(ImageCountChangeNotification), image.get());
}

void PLYPersistantPost::incrementInUseCountForImage(const QString& identifier) {
    loadIfNeeded();
    if (identifier.isEmpty()) return;
    ++m_imageEntries[identifier].useCount;
    postCountChange(identifier);
}

void PLYPersistantPost::decrementInUseCountForImage(const QString& identifier) {
    loadIfNeeded();
    auto it = m_imageEntries.find(identifier);
    // A count never goes below zero, whatever the caller's bookkeeping.
    if (it == m_imageEntries.end() || it->useCount <= 0) return;
    --it->useCount;
    postCountChange(identifier);
}

qint64 PLYPersistantPost::numberOfImagesInUse() const {
    loadIfNeeded();
    qint64 n = 0;
    for (const ImageEntry& e : m_imageEntries)
        if (e.useCount > 0) ++n;
    return n;
}

QStringList PLYPersistantPost::focusKeywordsForImage(const QString& identifier) const {
    loadIfNeeded();
    return m_imageEntries.value(identifier).keywords;
}

void PLYPersistantPost::setFocusKeywordsForImage(const QStringList& keywords, const QString& identifier) {
    loadIfNeeded();
    if (identifier.isEmpty()) return;
    m_imageEntries[identifier].keywords = keywords;
}

void PLYPersistantPost::toggleImageHiddenForImage(const QString& identifier) {
    loadIfNeeded();
    if (m_hiddenImages.contains(identifier)) m_hiddenImages.removeAll(identifier);
    else if (!identifier.isEmpty()) m_hiddenImages.append(identifier);
}

QList<std::shared_ptr<PLYSourceImage>> PLYPersistantPost::images() const {
    loadIfNeeded();
    QList<std::shared_ptr<PLYSourceImage>> result;
    auto store = m_store.lock();
    if (!store) return result;
    QList<std::shared_ptr<PLYSourceDirectory>> sources;
    qsizetype count = 0;
    for (const QString& id : m_sourceLocations)
        if (auto source = store->sourceForIdentifier(id)) {
            count += source->watchedImages().size();
            sources.append(std::move(source));
        }
    // One folder (the usual post): its own list, shared.
    if (sources.size() == 1) return sources.first()->imageList();
    result.reserve(count);
    for (const auto& source : std::as_const(sources)) result.append(source->imageList());
    return result;
}

std::shared_ptr<PLYSourceDirectory> PLYPersistantPost::mainSourceDirectory() const {
    loadIfNeeded();
    auto store = m_store.lock();
    if (!store) return nullptr;
    for (const QString& id : m_sourceLocations) {
        auto source = store->sourceForIdentifier(id);
        if (source && source->isFolderLocation()) return source;
    }
    return nullptr;
}

QPair<qint64, qint64> PLYPersistantPost::imagesCountWithCachePercent(bool excludeMissing) const {
    qint64 pending = 0;
    qint64 total = 0;
    PLYImageManager* cache = PLYImageManager::sharedManager();
    for (const auto& image : images()) {
        ++total;
        if (!isImageAwaitingRenditions(*image, excludeMissing)) continue;
        if (cache->isPending(image->identifier()) || !cache->hasRenditions(image->identifier())) ++pending;
    }
    return {pending, total};
}

bool PLYPersistantPost::isImageAwaitingRenditions(const PLYSourceImage& image, bool excludeMissing) {
    if (image.fileDeleted() || PLYImageManager::sharedManager()->isFailed(image.identifier())) return false;
    return !(excludeMissing && image.sourceDirectory() && !image.sourceDirectory()->locationExisits());
}

void PLYPersistantPost::refreshSourceLocations() {
    loadIfNeeded();
    for (ImageEntry& e : m_imageEntries) e.useCount = 0;
    for (const QString& ref : imageRefsOfLayout(m_layout))
        if (!ref.isEmpty()) ++m_imageEntries[ref].useCount;
    auto store = m_store.lock();
    if (!store) return;
    for (const QString& id : m_sourceLocations)
        if (auto source = store->sourceForIdentifier(id)) source->rescan();
}

bool PLYPersistantPost::doesLayoutHaveAllRequiredImagesToDraw() const {
    loadIfNeeded();
    auto store = m_store.lock();
    if (!store) return true;
    for (const QString& ref : imageRefsOfLayout(m_layout)) {
        auto image = store->imageForIdentifier(ref);
        if (image && image->fileDeleted()) return false;
    }
    return true;
}

QStringList PLYPersistantPost::layoutImageIdentifiers() const {
    loadIfNeeded();
    QStringList refs = imageRefsOfLayout(m_layout);
    refs.removeAll(QString());
    refs.removeDuplicates();
    return refs;
}

QImage PLYPersistantPost::layoutPreview() const { return QImage(previewPathForFolder(m_folder)); }

QString PLYPersistantPost::previewPathForFolder(const QString& folder) { return QDir(folder).filePath(kPreview); }

bool PLYPersistantPost::setLayoutPreview(const QImage& preview, PLYError* error) {
    if (refuseRemoved(*this, error)) return false;
    const QByteArray bytes = PLYImageEncoding::jpegData(preview, PLYImageManager::JpegQuality);
    if (bytes.isEmpty()) {
        PLYError::set(error, PLYError(QString::fromLatin1(PLYPropertyList::ErrorDomain), 25,
                                      QStringLiteral("Cannot encode the preview of %1").arg(m_name)));
        return false;
    }
    if (!PLYLibraryFiles::makeFolder(m_folder, error) ||
        !PLYPropertyList::writeBytesAtomically(QDir(m_folder).filePath(kPreview), bytes, error))
        return false;
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PreviewCreatedNotification), this);
    return true;
}
