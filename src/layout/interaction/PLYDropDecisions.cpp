#include "PLYDropDecisions.h"

#include "PLYLayoutManager.h"
#include "PLYPasteboard.h"

#include <algorithm>
#include <cmath>

const QStringList& PLYDropDecisions::registeredDraggedTypes() {
    static const QStringList types = {
        QString::fromLatin1(ImageRefType),    QStringLiteral("com.pellory.text.ref"),
        QStringLiteral("com.pellory.blank.ref"), QString::fromLatin1(NewTextType),
        QString::fromLatin1(NewBlankType),    QString::fromLatin1(NewDownloadType),
        QString::fromLatin1(BlockType),
    };
    return types;
}

QList<PLYDropItem> PLYDropDecisions::dropItemsFromPasteboard(const PLYPasteboard& pasteboard,
                                                             const PLYLayoutManager& manager, bool* introduced) {
    const QString block = QString::fromLatin1(BlockType);
    const QString image = QString::fromLatin1(ImageRefType);
    const QString text = QString::fromLatin1(NewTextType);
    const QString download = QString::fromLatin1(NewDownloadType);
    const QString blank = QString::fromLatin1(NewBlankType);
    bool madeNew = false;
    QList<PLYDropItem> items;
    for (const PLYPasteboardItem& item : pasteboard.pasteboardItems()) {
        if (item.hasType(block)) {
            const QString id = item.stringForType(block);
            if (manager.blockForRef(id)) items << PLYDropItem::moving(id);
        } else if (item.hasType(image)) {
            madeNew = true;
            const QString ref = item.stringForType(image);
            if (!ref.isEmpty()) items << PLYDropItem::introducing(PLYLayoutManager::newBlock_ImageForIdentifier(ref));
        } else if (item.hasType(text)) {
            madeNew = true;
            items << PLYDropItem::introducing(PLYLayoutManager::newBlock_Text());
        } else if (item.hasType(download)) {
            madeNew = true;
            items << PLYDropItem::introducing(PLYLayoutManager::newBlock_DownloadButton());
        } else if (item.hasType(blank)) {
            madeNew = true;
            items << PLYDropItem::introducing(PLYLayoutManager::newBlock_Blank());
        }
    }
    if (introduced) *introduced = madeNew;
    return items;
}

QStringList PLYDropDecisions::zoneRefsForDrag(bool inBlockDragOp, const QStringList& blockDragRefIds,
                                              const PLYPasteboard& pasteboard) {
    if (inBlockDragOp) return blockDragRefIds;
    const QList<PLYPasteboardItem>& items = pasteboard.pasteboardItems();
    if (!items.isEmpty() && items.first().hasType(QString::fromLatin1(NewTextType)))
        return {QString::fromLatin1(NewTextType)};
    return {};
}

PLYDropDecisions::ResolvedPoint PLYDropDecisions::resolvePointFromOutOfBounds(const QPointF& point,
                                                                              const QRectF& layoutRect) {
    const QRectF r = layoutRect.normalized();
    ResolvedPoint resolved{point, false};
    if (r.isEmpty()) return resolved;
    const bool inside = point.x() >= r.left() && point.x() < r.right() && point.y() >= r.top() && point.y() < r.bottom();
    if (inside) return resolved;
    if (point.x() > r.left() - kBesideCanvasReach && point.x() <= r.left())
        resolved.point.setX(r.left() + 1.0);
    else if (point.x() >= r.right() && point.x() < r.right() + kBesideCanvasReach)
        resolved.point.setX(r.right() - 1.0);
    if (point.y() <= r.top()) {
        resolved.point.setY(r.top() + 1.0);
        resolved.verticalReset = true;
    } else if (point.y() >= r.bottom()) {
        resolved.point.setY(r.bottom() - 1.0);
        resolved.verticalReset = true;
    }
    return resolved;
}

QList<QRectF> PLYDropDecisions::arrangedDragImageFrames(const QList<QSizeF>& sizes, const QPointF& location,
                                                        bool vertical, double gap) {
    QList<QRectF> frames;
    frames.reserve(sizes.size());
    double c = vertical ? location.y() : location.x();
    for (const QSizeF& size : sizes) {
        if (vertical) {
            frames << QRectF(QPointF(location.x() - size.width() / 2.0, c), size);
            c += size.height() + gap;
        } else {
            frames << QRectF(QPointF(c, location.y() - size.height() / 2.0), size);
            c += size.width() + gap;
        }
    }
    return frames;
}

QPointF PLYDropDecisions::autoscrollDelta(const QPointF& point, const QSizeF& size, double margin, double maxStep) {
    if (margin <= 0.0 || size.isEmpty()) return {};
    // The step grows from 1 at the inner side of the band to `maxStep` at the edge and beyond.
    auto step = [&](double distance, double extent) -> double {
        if (extent < 3.0 * margin) return 0.0;  // too small a view to leave room for a band
        if (distance < margin) {
            const double depth = std::clamp((margin - distance) / margin, 0.0, 1.0);
            return -std::max(1.0, std::round(depth * maxStep));
        }
        const double fromFar = extent - distance;
        if (fromFar <= margin) {
            const double depth = std::clamp((margin - fromFar) / margin, 0.0, 1.0);
            return std::max(1.0, std::round(depth * maxStep));
        }
        return 0.0;
    };
    return {step(point.x(), size.width()), step(point.y(), size.height())};
}
