#include "PLYLayoutImageSource_Store.h"

#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYImageManager.h"
#include "PLYLayout.pb.h"
#include "PLYLayoutImageSource_Snapshot.h"
#include "PLYPersistantStore.h"
#include "PLYSourceImage.h"

#include <cmath>

namespace {

std::shared_ptr<PLYSourceImage> sourceImage(const QString& identifier) {
    const std::shared_ptr<PLYPersistantStore> store = PLYCoreManager::persistantStore();
    return store ? store->imageForIdentifier(identifier) : nullptr;
}

void collectRefs(const PLYBlock& block, QStringList* refs) {
    if (block.type_case() == PLYBlock::kImage)
        refs->append(QString::fromStdString(block.image().img_ref()));
    else if (block.type_case() == PLYBlock::kContainer)
        for (const PLYBlock& child : block.container().sub_blocks())
            collectRefs(child, refs);
}

}  // namespace

QSize PLYLayoutImageSource_Store::pixelSizeForImage(const QString& identifier) const {
    const std::shared_ptr<PLYSourceImage> image = sourceImage(identifier);
    if (!image || image->width() <= 0 || image->height() <= 0)
        return {};
    return QSize(int(image->width()), int(image->height()));
}

bool PLYLayoutImageSource_Store::imageFileDeleted(const QString& identifier) const {
    const std::shared_ptr<PLYSourceImage> image = sourceImage(identifier);
    return !image || image->fileDeleted();
}

// Paints take what is decoded already and never wait for the disk: a picture not yet resident
// is decoded on a worker, and the views repaint when it is announced.
QImage PLYLayoutImageSource_Store::previewImageForIdentifier(const QString& identifier) const {
    return PLYDecodedImageCache::sharedCache()->imageForIdentifier(identifier, PLYDecodedImageCache::Preview, this,
                                                                  PLYDecodedImageCache::PriorityVisible);
}

QImage PLYLayoutImageSource_Store::exportImageForIdentifier(const QString& identifier) const {
    return PLYDecodedImageCache::sharedCache()->imageForIdentifier(identifier, PLYDecodedImageCache::Export, this,
                                                                  PLYDecodedImageCache::PriorityVisible);
}

// The export rendition is decoded at the scale it is drawn; while the wanted rendition is on its
// way, the other one is painted if it is resident, and never decoded only to stand in.
QImage PLYLayoutImageSource_Store::imageForDrawnWidth(const QString& identifier, double drawnWidth) const {
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    const bool small = drawnWidth < kPreviewRenditionLimit;
    const QImage picture =
        small ? cache->imageForIdentifier(identifier, PLYDecodedImageCache::Preview, this, PLYDecodedImageCache::PriorityVisible)
              : cache->imageForIdentifier(identifier, PLYDecodedImageCache::Export, this, PLYDecodedImageCache::PriorityVisible,
                                          int(std::ceil(drawnWidth)));
    if (!picture.isNull()) return picture;
    return cache->cachedImage(identifier, small ? PLYDecodedImageCache::Export : PLYDecodedImageCache::Preview);
}

std::shared_ptr<PLYLayoutImageSource> PLYLayoutImageSource_Store::snapshotForLayout(const PLYLayout& layout) const {
    auto snapshot = std::make_shared<PLYLayoutImageSource_Snapshot>();
    QStringList refs;
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks())
            collectRefs(block, &refs);
    PLYImageManager* cache = PLYCoreManager::imageManager();
    for (const QString& ref : refs) {
        PLYLayoutImageSource_Snapshot::Entry entry;
        entry.pixelSize = pixelSizeForImage(ref);
        entry.deleted = imageFileDeleted(ref);
        if (cache) {
            entry.failed = cache->isFailed(ref);
            entry.previewPath = cache->previewPathForIdentifier(ref);
            entry.exportPath = cache->exportPathForIdentifier(ref);
        }
        snapshot->addImage(ref, entry);
    }
    return snapshot;
}
