#include "PLYSideScrollLayout.h"

#include <algorithm>

void PLYSideScrollLayout::prepareLayout(int itemCount, double viewHeight) {
    m_count = std::max(0, itemCount);
    m_viewHeight = viewHeight;
}

QSizeF PLYSideScrollLayout::collectionViewContentSize() const {
    return QSizeF(m_itemSize.width() * m_count + m_spacing * (m_count + 1), m_viewHeight);
}

QRectF PLYSideScrollLayout::frameForItem(int index) const {
    if (index < 0 || index >= m_count) return {};
    return QRectF(m_spacing * (index + 1) + m_itemSize.width() * index, (m_viewHeight - m_itemSize.height()) * 0.5,
                  m_itemSize.width(), m_itemSize.height());
}

QVector<QRectF> PLYSideScrollLayout::layoutAttributesForElementsInRect(const QRectF&) const {
    QVector<QRectF> frames;
    frames.reserve(m_count);
    for (int i = 0; i < m_count; ++i) frames << frameForItem(i);
    return frames;
}
