#include "PLYHomeCollectionView.h"

#include "PLYPersistantPost.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

PLYHomeCollectionView::PLYHomeCollectionView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("postCollectionView"));
    m_layout.setMinimumInteritemSpacing(PLYHomeModel::ItemSpacing);
    m_layout.setMinimumLineSpacing(PLYHomeModel::ItemSpacing);
    // No headers; room below the last row so it does not sit on the window's edge.
    m_layout.setSectionInset(QMarginsF(PLYHomeModel::SideInset, 0, PLYHomeModel::SideInset, 20));
    m_layout.setSectionHeadersPinToVisibleBounds(false);
    m_layout.setGapFromColumns(true);
}

PLYHomeCollectionView::~PLYHomeCollectionView() = default;

void PLYHomeCollectionView::setItemSize(const QSizeF& size) {
    if (m_layout.itemSize() == size) return;
    m_layout.setItemSize(size);
    reloadData();
}

void PLYHomeCollectionView::setPosts(const PLYHomeModel::PostList& posts) {
    m_posts = posts;
    reloadData();
}

void PLYHomeCollectionView::setViewport(const QSize& size, int scrollY) {
    const bool widthChanged = size.width() != m_viewportSize.width();
    m_viewportSize = size;
    m_scrollY = scrollY;
    if (widthChanged) reloadData();
    else tile();
}

void PLYHomeCollectionView::reloadData() {
    m_layout.prepareLayout({{false, int(m_posts.size())}}, m_viewportSize.width());
    const QSizeF content = m_layout.collectionViewContentSize();
    const QSize size(m_viewportSize.width(), std::max(int(std::ceil(content.height())), m_viewportSize.height()));
    if (this->size() != size) resize(size);
    // Every tile is configured again: the posts at their indexes may have changed.
    for (auto it = m_visible.begin(); it != m_visible.end(); ++it) recycle(it.value());
    m_visible.clear();
    tile();
}

QRectF PLYHomeCollectionView::frameForItem(int index) const { return m_layout.frameForItem({0, index}); }

void PLYHomeCollectionView::tile() {
    // What is in view, and half a screen above and below it.
    const int margin = m_viewportSize.height() / 2;
    const QRectF wanted(0, m_scrollY - margin, m_viewportSize.width(), m_viewportSize.height() + 2 * margin);
    QSet<int> keep;
    for (const PLYGalleryIndexPath& path : m_layout.indexPathsForItemsInRect(wanted)) keep.insert(path.item);
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        recycle(it.value());
        it = m_visible.erase(it);
    }
    for (int index : std::as_const(keep)) {
        if (m_visible.contains(index) || index < 0 || index >= m_posts.size()) continue;
        PLYRecentCollectionViewItem* item = dequeueItem();
        const auto& post = m_posts.at(index);
        item->setRepresentedPost(post);
        item->setSelected(!m_selection.isEmpty() && post->identifier() == m_selection);
        item->setGeometry(frameForItem(index).toRect());
        item->show();
        m_visible.insert(index, item);
    }
}

PLYRecentCollectionViewItem* PLYHomeCollectionView::dequeueItem() {
    if (!m_reusable.empty()) {
        PLYRecentCollectionViewItem* item = m_reusable.back();
        m_reusable.pop_back();
        return item;
    }
    auto* item = new PLYRecentCollectionViewItem(this);
    item->setDelegate(this);
    return item;
}

void PLYHomeCollectionView::recycle(PLYRecentCollectionViewItem* item) {
    item->hide();
    item->cancelPreview();
    m_reusable.push_back(item);
}

QList<PLYRecentCollectionViewItem*> PLYHomeCollectionView::visibleItems() const {
    QList<int> indexes = m_visible.keys();
    std::sort(indexes.begin(), indexes.end());
    QList<PLYRecentCollectionViewItem*> items;
    for (int index : indexes) items << m_visible.value(index);
    return items;
}

void PLYHomeCollectionView::selectPost(const QString& identifier) {
    m_selection = identifier;
    for (PLYRecentCollectionViewItem* item : std::as_const(m_visible)) {
        const auto post = item->representedPost();
        item->setSelected(post && !identifier.isEmpty() && post->identifier() == identifier);
    }
}

void PLYHomeCollectionView::selectFirstItem() {
    selectPost(m_posts.isEmpty() ? QString() : m_posts.first()->identifier());
}

void PLYHomeCollectionView::itemDidRecieveClick(PLYRecentCollectionViewItem* item) {
    if (const auto post = item->representedPost()) selectPost(post->identifier());
}

void PLYHomeCollectionView::itemDidRecieveDoubleClick(PLYRecentCollectionViewItem* item) {
    const auto post = item->representedPost();
    if (post && onOpenPost) onOpenPost(post);
}

void PLYHomeCollectionView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_firstPaintReported && !m_visible.isEmpty()) {
        m_firstPaintReported = true;
        if (onFirstPaintWithTiles) onFirstPaintWithTiles(int(m_visible.size()));
    }
}
