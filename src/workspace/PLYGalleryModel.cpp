#include "PLYGalleryModel.h"

#include <algorithm>
#include <limits>
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

namespace {

// The first twelve UTF-16 units of a name as three numbers that compare as the units do, so that
// most comparisons of a sort by name are integer comparisons; names that share those twelve
// units are compared in full.
struct NamePrefix {
    quint64 words[3] = {0, 0, 0};
    static NamePrefix of(const QString& name) {
        NamePrefix key;
        const qsizetype n = std::min<qsizetype>(name.size(), 12);
        const char16_t* units = reinterpret_cast<const char16_t*>(name.utf16());
        for (qsizetype i = 0; i < n; ++i) key.words[i / 4] |= quint64(units[i]) << (16 * (3 - i % 4));
        return key;
    }
    int compare(const NamePrefix& o) const {
        for (int w = 0; w < 3; ++w)
            if (words[w] != o.words[w]) return words[w] < o.words[w] ? -1 : 1;
        return 0;
    }
};

// How many images ahead a pass over scattered names asks for them.
constexpr qsizetype kFetchAhead = 8;

// Lets go of the images' names, each fetched some steps ahead: releasing a name writes to it,
// and a large gallery's names are not in the processor's cache.
void releaseNamesAhead(QVector<PLYGalleryImageInfo>& images) {
    if (!images.isDetached()) return;  // someone else holds them: nothing is released here
    const qsizetype count = images.size();
    PLYGalleryImageInfo* data = images.data();
    for (qsizetype k = 0; k < count; ++k) {
        if (k + kFetchAhead < count) {
            __builtin_prefetch(data[k + kFetchAhead].identifier.constData());
            __builtin_prefetch(data[k + kFetchAhead].fileName.constData());
        }
        data[k].identifier = QString();
        data[k].fileName = QString();
    }
}

bool sameFilter(const PLYGalleryFilter& a, const PLYGalleryFilter& b) {
    return a.starSelection == b.starSelection && a.comparator == b.comparator && a.colourMask == b.colourMask;
}

}  // namespace

void PLYGalleryModel::sortAndFilter(QVector<PLYGalleryImageInfo> images, bool sameImages) {
    const int count = int(images.size());
    // The images already shown start where they were, the others after them in the order given:
    // when nothing moved (the usual case) the order is checked once and kept, and a few changes
    // cost a sort of an almost sorted list.
    bool sameInput = sameImages && m_hasOrder && count == m_inputCount && sameFilter(filter, m_inputFilter);
    QVector<int> order;
    if (sameInput) {
        // The same images in the same places under the same filter: last time's order, as is.
        // So long as the filter lets through exactly the images it did (a rating may have changed).
        QVector<bool> shown(count, false);
        for (int i : std::as_const(m_sourcePositions)) shown[i] = true;
        for (int i = 0; sameInput && i < count; ++i) sameInput = filter.accepts(images.at(i)) == shown.at(i);
        if (sameInput) order = m_sourcePositions;
    }
    if (!sameInput) {
        order.clear();
        order.reserve(count);
        ensureIndexById();
        QVector<int> previous(m_ordered.size(), -1);
        QVector<int> newcomers;
        newcomers.reserve(m_ordered.isEmpty() ? count : 0);
        for (int i = 0; i < count; ++i) {
            if (!filter.accepts(images.at(i))) continue;
            const int was = m_indexById.value(images.at(i).identifier, -1);
            if (was >= 0 && previous.at(was) < 0)
                previous[was] = i;
            else
                newcomers.append(i);
        }
        for (int i : std::as_const(previous))
            if (i >= 0) order.append(i);
        order.append(newcomers);
    }

    // Dates compare as numbers; a file without dates (it is gone) goes first whichever the order.
    // Equal keys keep the order given, so that the order is total and the same however reached.
    const bool byName = sortType == PLYGallerySortFileName;
    const bool descending = sortOrder != PLYGallerySortAscending;
    QVector<qint64> keys;
    QVector<NamePrefix> names;
    if (byName) {
        names.resize(count);
        // The names lie scattered in memory: each is fetched some steps ahead of its reading.
        for (qsizetype k = 0; k < order.size(); ++k) {
            if (k + kFetchAhead < order.size()) __builtin_prefetch(images.at(order.at(k + kFetchAhead)).fileName.constData());
            names[order.at(k)] = NamePrefix::of(images.at(order.at(k)).fileName);
        }
    } else {
        keys.resize(count);
        for (int i : std::as_const(order)) {
            const PLYGalleryImageInfo& info = images.at(i);
            const qint64 t = sortType == PLYGallerySortCreationDate ? info.creationTime : info.modificationTime;
            keys[i] = t < 0 ? std::numeric_limits<qint64>::min() : (descending ? -t : t);
        }
    }
    // Each position with its keys, so that the one comparison reads one array in place rather
    // than through the positions; the kept order is sorted again only when it no longer holds.
    struct Entry {
        NamePrefix name;
        qint64 key = 0;
        int position = 0;
    };
    QVector<Entry> entries;
    entries.reserve(order.size());
    for (int i : std::as_const(order)) entries.append({byName ? names.at(i) : NamePrefix{}, byName ? 0 : keys.at(i), i});
    const auto before = [&](const Entry& a, const Entry& b) {
        if (byName) {
            int c = a.name.compare(b.name);
            if (c == 0) c = QString::compare(images.at(a.position).fileName, images.at(b.position).fileName, Qt::CaseSensitive);
            if (c != 0) return descending ? c > 0 : c < 0;
        } else if (a.key != b.key) {
            return a.key < b.key;
        }
        return a.position < b.position;
    };
    if (!std::is_sorted(entries.begin(), entries.end(), before)) {
        std::sort(entries.begin(), entries.end(), before);
        for (qsizetype k = 0; k < entries.size(); ++k) order[k] = entries.at(k).position;
        ++m_sorts;
        sameInput = false;
    }
    // The same images in the same places: the index by identifier still holds.
    const bool sameOrder = sameInput || (order.size() == m_ordered.size() &&
                                         std::equal(order.cbegin(), order.cend(), m_ordered.cbegin(), [&](int i, const PLYGalleryImageInfo& was) {
                                             return images.at(i).identifier == was.identifier;
                                         }));
    m_inputCount = count;
    m_inputFilter = filter;
    m_hasOrder = true;
    QVector<PLYGalleryImageInfo> ordered;
    ordered.reserve(order.size());
    for (int i : std::as_const(order)) ordered.append(std::move(images[i]));
    releaseNamesAhead(m_ordered);
    m_ordered = std::move(ordered);
    m_sourcePositions = std::move(order);
    // Built again only when asked for: a rebuild that nobody asks by identifier does without.
    if (!sameOrder) m_indexById.clear();
}

void PLYGalleryModel::ensureIndexById() const {
    if (!m_indexById.isEmpty() || m_ordered.isEmpty()) return;
    m_indexById.reserve(m_ordered.size());
    for (int i = 0; i < m_ordered.size(); ++i) m_indexById.insert(m_ordered.at(i).identifier, i);
}

void PLYGalleryModel::forgetOrder() {
    m_hasOrder = false;
    m_inputCount = 0;
    releaseNamesAhead(m_ordered);
    m_ordered.clear();
    m_sourcePositions.clear();
    m_indexById.clear();
    m_current.clear();
    m_used.clear();
    m_hidden.clear();
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
    ensureIndexById();
    return m_indexById.value(identifier, -1);
}
