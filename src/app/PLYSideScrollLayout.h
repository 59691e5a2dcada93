#pragma once

#include <QRectF>
#include <QSizeF>
#include <QVector>

// Items in one horizontally scrolling row, each centred vertically in the view, with the line
// spacing before the first, between each and after the last.
class PLYSideScrollLayout {
public:
    void setItemSize(const QSizeF& size) { m_itemSize = size; }
    QSizeF itemSize() const { return m_itemSize; }
    void setMinimumLineSpacing(double spacing) { m_spacing = spacing; }
    double minimumLineSpacing() const { return m_spacing; }

    // `itemCount` items in a view `viewHeight` high.
    void prepareLayout(int itemCount, double viewHeight);

    QSizeF collectionViewContentSize() const;
    QRectF frameForItem(int index) const;
    // Every item, whatever the rectangle: the row is short.
    QVector<QRectF> layoutAttributesForElementsInRect(const QRectF& rect) const;
    // The row follows the view's height.
    static bool shouldInvalidateLayoutForBoundsChange() { return true; }

private:
    QSizeF m_itemSize{100, 100};
    double m_spacing = 10;
    int m_count = 0;
    double m_viewHeight = 0;
};
