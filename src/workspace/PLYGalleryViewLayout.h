#pragma once

#include "PLYGalleryModel.h"

#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QVector>
#include <optional>

// The gallery's sectioned grid: each section is its header (when it has one) over rows of items
// that fill the width, and each row is then spread evenly. The arrangement is computed once over
// every item (prepareLayout) and used alike for painting, hit-testing and scrolling, so nothing
// moves while the view scrolls: the gap between items comes from the fullest row of the whole
// gallery, n items across a width W with item width w giving the gap (W - n w) / (n + 1); the
// k-th item of a row sits at gap + k (w + gap). A gallery of one single-item row puts it at x 0.
// Shared by the post gallery and the home gallery.
class PLYGalleryViewLayout {
public:
    struct SectionInput {
        bool hasHeader = false;
        int itemCount = 0;
    };
    struct Attributes {
        bool isHeader = false;
        PLYGalleryIndexPath indexPath;  // item 0 for a header
        QRectF frame;
    };

    void setItemSize(const QSizeF& size) { m_itemSize = size; }
    QSizeF itemSize() const { return m_itemSize; }
    void setMinimumInteritemSpacing(double spacing) { m_interitem = spacing; }
    void setMinimumLineSpacing(double spacing) { m_line = spacing; }
    void setSectionInset(const QMarginsF& inset) { m_inset = inset; }
    void setHeaderReferenceSize(const QSizeF& size) { m_headerSize = size; }
    void setSectionHeadersPinToVisibleBounds(bool pin) { m_pinHeaders = pin; }
    // Spread the gap over every column the width holds rather than over the fullest row, so a
    // short gallery keeps its items at their spacing from the left (the home screen's posts).
    void setGapFromColumns(bool fromColumns) { m_gapFromColumns = fromColumns; }
    bool sectionHeadersPinToVisibleBounds() const { return m_pinHeaders; }

    // Computes every frame for the sections across `width`.
    void prepareLayout(const QVector<SectionInput>& sections, double width);

    double width() const { return m_width; }
    QSizeF collectionViewContentSize() const { return QSizeF(m_width, m_height); }
    int numberOfSections() const { return int(m_sections.size()); }
    int numberOfItemsInSection(int section) const;
    // Items per row in the fullest row, the spreading gap, and the columns a section's rows hold.
    int widestRow() const { return m_widestRow; }
    double gap() const { return m_gap; }
    int columns() const { return m_columns; }

    QRectF frameForItem(const PLYGalleryIndexPath& path) const;
    // The header where it lies in the content; null for a section without one.
    QRectF frameForHeader(int section) const;
    // Where the header shows with the visible rectangle `visible`: kept at the top of the visible
    // area while its section scrolls under it, when headers are pinned.
    QRectF displayFrameForHeader(int section, const QRectF& visible) const;
    QRectF frameForSection(int section) const;

    QVector<PLYGalleryIndexPath> indexPathsForItemsInRect(const QRectF& rect) const;
    std::optional<PLYGalleryIndexPath> indexPathForItemAtPoint(const QPointF& point) const;
    // Headers and items meeting the rectangle.
    QVector<Attributes> layoutAttributesForElementsInRect(const QRectF& rect) const;
    // The row (counted over the whole gallery) and column of an item.
    int rowOfItem(const PLYGalleryIndexPath& path) const;
    int columnOfItem(const PLYGalleryIndexPath& path) const { return m_columns > 0 ? path.item % m_columns : 0; }

private:
    struct Section {
        bool hasHeader = false;
        int itemCount = 0;
        int rows = 0;
        int firstRow = 0;  // over the whole gallery
        double top = 0;
        double itemsTop = 0;
        double bottom = 0;
    };
    double itemX(int column) const { return m_gap + column * (m_itemSize.width() + m_gap); }

    QSizeF m_itemSize{80, 80};
    double m_interitem = 10;
    double m_line = 10;
    QMarginsF m_inset{10, 10, 10, 10};
    QSizeF m_headerSize{28, 28};
    bool m_pinHeaders = true;
    bool m_gapFromColumns = false;

    QVector<Section> m_sections;
    double m_width = 0;
    double m_height = 0;
    int m_columns = 1;
    int m_widestRow = 0;
    double m_gap = 0;
};
