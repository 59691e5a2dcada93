#include "PLYGalleryViewLayout.h"

#include <algorithm>
#include <cmath>

void PLYGalleryViewLayout::prepareLayout(const QVector<SectionInput>& sections, double width) {
    m_width = std::max(0.0, width);
    const double w = m_itemSize.width();
    const double h = m_itemSize.height();
    // As many items as fit between the insets with at least the minimum spacing between them.
    const double usable = m_width - m_inset.left() - m_inset.right();
    m_columns = std::max(1, int(std::floor((usable + m_interitem) / (w + m_interitem))));

    m_sections.clear();
    m_widestRow = 0;
    double y = 0;
    int rowsSoFar = 0;
    for (const SectionInput& input : sections) {
        Section s;
        s.hasHeader = input.hasHeader;
        s.itemCount = std::max(0, input.itemCount);
        s.top = y;
        if (s.hasHeader) y += m_headerSize.height();
        s.rows = (s.itemCount + m_columns - 1) / m_columns;
        s.firstRow = rowsSoFar;
        rowsSoFar += s.rows;
        if (s.itemCount > 0) {
            y += m_inset.top();
            s.itemsTop = y;
            y += s.rows * h + (s.rows - 1) * m_line + m_inset.bottom();
            m_widestRow = std::max(m_widestRow, std::min(m_columns, s.itemCount));
        } else {
            s.itemsTop = y;
        }
        s.bottom = y;
        m_sections.append(s);
    }
    m_height = y;
    // A lone item in the only row is not spread; otherwise the fullest row sets the gap.
    if (m_gapFromColumns)
        m_gap = std::max(0.0, (m_width - m_columns * w) / (m_columns + 1));
    else if (m_widestRow == 0 || (m_widestRow == 1 && rowsSoFar == 1))
        m_gap = 0;
    else
        m_gap = std::max(0.0, (m_width - m_widestRow * w) / (m_widestRow + 1));
}

int PLYGalleryViewLayout::numberOfItemsInSection(int section) const {
    return section >= 0 && section < m_sections.size() ? m_sections.at(section).itemCount : 0;
}

QRectF PLYGalleryViewLayout::frameForItem(const PLYGalleryIndexPath& path) const {
    if (path.section < 0 || path.section >= m_sections.size()) return {};
    const Section& s = m_sections.at(path.section);
    if (path.item < 0 || path.item >= s.itemCount) return {};
    const int row = path.item / m_columns;
    const int column = path.item % m_columns;
    return QRectF(itemX(column), s.itemsTop + row * (m_itemSize.height() + m_line), m_itemSize.width(),
                  m_itemSize.height());
}

QRectF PLYGalleryViewLayout::frameForHeader(int section) const {
    if (section < 0 || section >= m_sections.size() || !m_sections.at(section).hasHeader) return {};
    return QRectF(0, m_sections.at(section).top, m_width, m_headerSize.height());
}

QRectF PLYGalleryViewLayout::displayFrameForHeader(int section, const QRectF& visible) const {
    QRectF frame = frameForHeader(section);
    if (frame.isNull() || !m_pinHeaders) return frame;
    const Section& s = m_sections.at(section);
    // Pinned under the top edge while its section is in view, pushed up by the section's end.
    const double pinned = std::min(std::max(frame.top(), visible.top()), s.bottom - frame.height());
    frame.moveTop(std::max(frame.top(), pinned));
    return frame;
}

QRectF PLYGalleryViewLayout::frameForSection(int section) const {
    if (section < 0 || section >= m_sections.size()) return {};
    const Section& s = m_sections.at(section);
    return QRectF(0, s.top, m_width, s.bottom - s.top);
}

int PLYGalleryViewLayout::rowOfItem(const PLYGalleryIndexPath& path) const {
    if (path.section < 0 || path.section >= m_sections.size()) return -1;
    return m_sections.at(path.section).firstRow + path.item / m_columns;
}

QVector<PLYGalleryIndexPath> PLYGalleryViewLayout::indexPathsForItemsInRect(const QRectF& rect) const {
    QVector<PLYGalleryIndexPath> paths;
    const double pitch = m_itemSize.height() + m_line;
    for (int section = 0; section < m_sections.size(); ++section) {
        const Section& s = m_sections.at(section);
        if (s.itemCount == 0 || s.bottom <= rect.top() || s.itemsTop >= rect.bottom()) continue;
        const int firstRow = std::max(0, int(std::floor((rect.top() - s.itemsTop - m_itemSize.height()) / pitch)) + 1);
        const int lastRow = std::min(s.rows - 1, int(std::floor((rect.bottom() - s.itemsTop) / pitch)));
        for (int row = firstRow; row <= lastRow; ++row)
            for (int column = 0; column < m_columns; ++column) {
                const int item = row * m_columns + column;
                if (item >= s.itemCount) break;
                if (frameForItem({section, item}).intersects(rect)) paths.append({section, item});
            }
    }
    return paths;
}

std::optional<PLYGalleryIndexPath> PLYGalleryViewLayout::indexPathForItemAtPoint(const QPointF& point) const {
    const double pitchY = m_itemSize.height() + m_line;
    const double pitchX = m_itemSize.width() + m_gap;
    for (int section = 0; section < m_sections.size(); ++section) {
        const Section& s = m_sections.at(section);
        if (s.itemCount == 0 || point.y() < s.itemsTop || point.y() >= s.bottom) continue;
        const int row = int(std::floor((point.y() - s.itemsTop) / pitchY));
        const int column = pitchX > 0 ? int(std::floor((point.x() - m_gap) / pitchX)) : 0;
        if (row < 0 || column < 0 || column >= m_columns) return std::nullopt;
        const PLYGalleryIndexPath path{section, row * m_columns + column};
        if (path.item >= s.itemCount) return std::nullopt;
        // Half-open, as every hit test of the application.
        const QRectF f = frameForItem(path);
        if (point.x() >= f.left() && point.x() < f.right() && point.y() >= f.top() && point.y() < f.bottom()) return path;
        return std::nullopt;
    }
    return std::nullopt;
}

QVector<PLYGalleryViewLayout::Attributes> PLYGalleryViewLayout::layoutAttributesForElementsInRect(const QRectF& rect) const {
    QVector<Attributes> out;
    for (int section = 0; section < m_sections.size(); ++section) {
        const QRectF header = displayFrameForHeader(section, rect);
        if (!header.isNull() && header.intersects(rect)) out.append({true, {section, 0}, header});
    }
    for (const PLYGalleryIndexPath& path : indexPathsForItemsInRect(rect)) out.append({false, path, frameForItem(path)});
    return out;
}
