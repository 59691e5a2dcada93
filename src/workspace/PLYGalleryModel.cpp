#include "PLYGalleryModel.h"

#include <algorithm>
#include <numeric>

bool PLYGalleryFilter::passesStars(qint16 rating, qint64 selection, qint64 comparator) {
    if (selection == 0) return true;
    switch (comparator) {
    case -1: return rating <= selection;
    case 0: return rating == selection;
    case 1: return rating >= selection;
    default: return true;
    }
}

bool PLYGalleryFilter::passesColour(qint64 label, qint64 mask) {
    if (mask == 0) return true;
    if (label == 0) return false;
    if (label >= 1 && label <= 7) return (mask & (qint64(1) << (label - 1))) != 0;
    return true;
}

int PLYGalleryModel::compare(const PLYGalleryImageInfo& a, const PLYGalleryImageInfo& b, qint64 sortType,
                             qint64 sortOrder) {
    if (sortType == PLYGallerySortFileName) {
        const int c = QString::compare(a.fileName, b.fileName, Qt::CaseSensitive);
        return sortOrder == PLYGallerySortAscending ? c : -c;
    }
    const qint64 ta = sortType == PLYGallerySortCreationDate ? a.creationTime : a.modificationTime;
    const qint64 tb = sortType == PLYGallerySortCreationDate ? b.creationTime : b.modificationTime;
    // A file without dates (it is gone) goes first whichever the order, so the order is total.
    if (ta < 0 || tb < 0) return (ta < 0 ? 0 : 1) - (tb < 0 ? 0 : 1);
    const int c = ta < tb ? -1 : (ta > tb ? 1 : 0);
    return sortOrder == PLYGallerySortAscending ? c : -c;
}

void PLYGalleryModel::sortAndFilter(QVector<PLYGalleryImageInfo> images) {
    QVector<int> order(images.size());
    std::iota(order.begin(), order.end(), 0);
    order.erase(std::remove_if(order.begin(), order.end(), [&](int i) { return !filter.accepts(images.at(i)); }),
                order.end());
    const qint64 type = sortType;
    const qint64 direction = sortOrder;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(images.at(a), images.at(b), type, direction) < 0; });
    m_ordered.clear();
    m_ordered.reserve(order.size());
    for (int i : std::as_const(order)) m_ordered.append(std::move(images[i]));
    m_sourcePositions = std::move(order);
    m_indexById.clear();
    m_indexById.reserve(m_ordered.size());
    for (int i = 0; i < m_ordered.size(); ++i) m_indexById.insert(m_ordered.at(i).identifier, i);
}

void PLYGalleryModel::createIndexRanges() {
    m_current.clear();
    m_used.clear();
    m_hidden.clear();
    for (int i = 0; i < m_ordered.size(); ++i) {
        const PLYGalleryImageInfo& image = m_ordered.at(i);
        if (image.hidden)
            m_hidden.append(i);
        else if (image.useCount != 0 && splitUsedImages)
            m_used.append(i);
        else
            m_current.append(i);
    }
}

PLYGalleryModel::SectionKind PLYGalleryModel::kindOfSection(int section) const {
    if (section == 0) return CurrentSection;
    if (section == 1 && splitUsedImages) return UsedSection;
    return HiddenSection;
}

bool PLYGalleryModel::isSectionCollapsed(int section) const {
    switch (kindOfSection(section)) {
    case UsedSection: return collapseUsedSection;
    case HiddenSection: return collapseHiddenSection;
    default: return false;
    }
}

const QVector<int>& PLYGalleryModel::arrayForSection(int section) const {
    switch (kindOfSection(section)) {
    case CurrentSection: return m_current;
    case UsedSection: return m_used;
    default: return m_hidden;
    }
}

int PLYGalleryModel::numberOfItemsInSection(int section) const {
    if (section < 0 || section >= numberOfSections() || isSectionCollapsed(section)) return 0;
    return int(arrayForSection(section).size());
}

int PLYGalleryModel::orderedIndexAt(const PLYGalleryIndexPath& path) const {
    if (path.item < 0 || path.item >= numberOfItemsInSection(path.section)) return -1;
    return arrayForSection(path.section).at(path.item);
}

const PLYGalleryImageInfo* PLYGalleryModel::imageAtIndexPath(const PLYGalleryIndexPath& path) const {
    const int index = orderedIndexAt(path);
    return index < 0 ? nullptr : &m_ordered.at(index);
}

std::optional<PLYGalleryIndexPath> PLYGalleryModel::indexPathForOrderedIndex(int orderedIndex) const {
    for (int section = 0; section < numberOfSections(); ++section) {
        if (isSectionCollapsed(section)) continue;
        const QVector<int>& array = arrayForSection(section);
        // The arrays are ascending.
        const auto it = std::lower_bound(array.cbegin(), array.cend(), orderedIndex);
        if (it != array.cend() && *it == orderedIndex) return PLYGalleryIndexPath{section, int(it - array.cbegin())};
    }
    return std::nullopt;
}

int PLYGalleryModel::orderedIndexForIdentifier(const QString& identifier) const {
    return m_indexById.value(identifier, -1);
}
