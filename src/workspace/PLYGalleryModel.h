#pragma once

#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

// The place of an item in the gallery: its section and its index in that section.
struct PLYGalleryIndexPath {
    int section = 0;
    int item = 0;
    bool operator==(const PLYGalleryIndexPath& o) const { return section == o.section && item == o.item; }
    bool operator<(const PLYGalleryIndexPath& o) const { return section != o.section ? section < o.section : item < o.item; }
};

inline size_t qHash(const PLYGalleryIndexPath& path, size_t seed = 0) {
    return qHash((quint64(quint32(path.section)) << 32) | quint32(path.item), seed);
}

// What the gallery's decisions need of one source image, read once per rebuild.
struct PLYGalleryImageInfo {
    QString identifier;
    QString fileName;            // the last path component
    qint64 creationTime = -1;    // ms since 1970; -1 when the file has none (it is gone)
    qint64 modificationTime = -1;
    qint16 starRating = -1;      // -1 when the file has none
    qint64 colourRating = 0;     // 0 none, 1..7 the label
    bool hidden = false;         // listed as hidden by the post
    qint64 useCount = 0;         // use count in the post's layout
};

enum PLYGallerySortType : qint64 { PLYGallerySortFileName = 0, PLYGallerySortCreationDate = 1, PLYGallerySortModificationDate = 2 };
enum PLYGallerySortOrder : qint64 { PLYGallerySortAscending = 0, PLYGallerySortDescending = 1 };

// The star and colour filters as the filter controls set them.
struct PLYGalleryFilter {
    qint64 starSelection = 0;  // 0 no star filter, 1..5 the chosen count
    qint64 comparator = 1;     // -1 at most, 0 exactly, 1 at least
    qint64 colourMask = 0;     // bit L-1 for label L; 0 no colour filter

    static bool passesStars(qint16 rating, qint64 selection, qint64 comparator);
    static bool passesColour(qint64 label, qint64 mask);
    bool accepts(const PLYGalleryImageInfo& image) const {
        return passesStars(image.starRating, starSelection, comparator) && passesColour(image.colourRating, colourMask);
    }
    bool isActive() const { return starSelection != 0 || colourMask != 0; }
};

// The gallery's sorting, filtering and sections, without any view: the post's images are sorted
// and filtered into the ordered images, which are then split into the current, used and hidden
// arrays of indexes. Sections: current (always, section 0), used (with splitUsedImages), hidden
// (with showHiddenImages); a collapsed section shows no items but keeps its full array.
class PLYGalleryModel {
public:
    enum SectionKind { CurrentSection, UsedSection, HiddenSection };

    qint64 sortType = PLYGallerySortFileName;
    qint64 sortOrder = PLYGallerySortAscending;
    bool splitUsedImages = false;
    bool showHiddenImages = false;
    bool collapseUsedSection = false;
    bool collapseHiddenSection = false;
    PLYGalleryFilter filter;

    // Sorts (stably) and filters `images`; the ordered images then refer to positions in it.
    // A file without dates sorts first under a date sort, in either order. The order reached is
    // kept for the next call, which sorts only when some image is no longer in its place.
    // `sameImages` tells that the images are those of the last call, in the same places (their
    // details may have changed): the kept order is then the starting point as it stands.
    void sortAndFilter(QVector<PLYGalleryImageInfo> images, bool sameImages = false);
    // Splits the ordered images: hidden ones to the hidden array (left out while the hidden
    // section is not shown), used ones to the used array while split, every other to current.
    void createIndexRanges();

    // The sort's comparison: negative, zero or positive as `a` goes before, with or after `b`.
    static int compare(const PLYGalleryImageInfo& a, const PLYGalleryImageInfo& b, qint64 sortType, qint64 sortOrder);

    const QVector<PLYGalleryImageInfo>& orderedImages() const { return m_ordered; }
    // For each ordered image, its position in the list given to sortAndFilter.
    const QVector<int>& orderedSourcePositions() const { return m_sourcePositions; }
    void updateOrderedImage(int orderedIndex, const PLYGalleryImageInfo& info) { m_ordered[orderedIndex] = info; }

    int numberOfSections() const { return 1 + (splitUsedImages ? 1 : 0) + (showHiddenImages ? 1 : 0); }
    SectionKind kindOfSection(int section) const;
    bool isSectionCollapsed(int section) const;
    // The full array of a section, also while it is collapsed.
    const QVector<int>& arrayForSection(int section) const;
    // Items shown: none while collapsed.
    int numberOfItemsInSection(int section) const;
    // The ordered index shown at the index path; -1 when there is none.
    int orderedIndexAt(const PLYGalleryIndexPath& path) const;
    const PLYGalleryImageInfo* imageAtIndexPath(const PLYGalleryIndexPath& path) const;
    // Where an ordered image is shown; nothing when it is hidden away, filtered or collapsed.
    std::optional<PLYGalleryIndexPath> indexPathForOrderedIndex(int orderedIndex) const;
    int orderedIndexForIdentifier(const QString& identifier) const;
    // Another post's images come next: nothing of the kept order is of use.
    void forgetOrder();
    // How many calls to sortAndFilter had to sort, the others finding the kept order still right.
    int sortCount() const { return m_sorts; }

private:
    void ensureIndexById() const;

    QVector<PLYGalleryImageInfo> m_ordered;
    QVector<int> m_sourcePositions;
    mutable QHash<QString, int> m_indexById;  // made on first use after a change of order
    // The filter the kept order was made with, and how many images it was made from.
    PLYGalleryFilter m_inputFilter;
    int m_inputCount = 0;
    bool m_hasOrder = false;
    QVector<int> m_current;
    QVector<int> m_used;
    QVector<int> m_hidden;
    int m_sorts = 0;
};
