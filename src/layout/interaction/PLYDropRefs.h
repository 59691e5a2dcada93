#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

// What the zone lookup must know of the dragged things: the identifiers of dragged blocks of the
// layout, and whether a text block is among them (a new one from the palette or an existing
// one), in which case only top, bottom and between zones are offered.
struct PLYDropRefs {
    static constexpr const char* NewTextType = "com.pellory.text.new";

    QSet<QString> named;
    bool horizontalOnly = false;

    bool names(const QString& blockId) const { return named.contains(blockId); }

    // From the refs the overlay hands in (block identifiers, or the new-text pasteboard type);
    // `isTextBlock` answers whether an identifier names a text block of the layout.
    static PLYDropRefs fromBlockRefs(const QStringList& refs, const std::function<bool(const QString&)>& isTextBlock) {
        PLYDropRefs result;
        for (const QString& ref : refs) {
            if (ref == QLatin1String(NewTextType)) {
                result.horizontalOnly = true;
                continue;
            }
            result.named.insert(ref);
            if (isTextBlock && isTextBlock(ref))
                result.horizontalOnly = true;
        }
        return result;
    }
};
