#include "PLYLayoutImageSource.h"

#include "PLYLayoutImageSource_Store.h"

#include <mutex>

namespace {
std::mutex& sourceMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<PLYLayoutImageSource>& sourceSlot() {
    static std::shared_ptr<PLYLayoutImageSource> s;
    return s;
}
}  // namespace

QImage PLYLayoutImageSource::imageForDrawnWidth(const QString& identifier, double drawnWidth) const {
    const bool small = drawnWidth < kPreviewRenditionLimit;
    const QImage picture = small ? previewImageForIdentifier(identifier) : exportImageForIdentifier(identifier);
    if (!picture.isNull()) return picture;
    return small ? exportImageForIdentifier(identifier) : previewImageForIdentifier(identifier);
}

std::shared_ptr<PLYLayoutImageSource> PLYLayoutImageSource::defaultSource() {
    std::lock_guard lock(sourceMutex());
    if (!sourceSlot())
        sourceSlot() = std::make_shared<PLYLayoutImageSource_Store>();
    return sourceSlot();
}

void PLYLayoutImageSource::setDefaultSource(std::shared_ptr<PLYLayoutImageSource> source) {
    std::lock_guard lock(sourceMutex());
    sourceSlot() = std::move(source);
}
