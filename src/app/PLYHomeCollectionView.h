#pragma once

#include "PLYGalleryViewLayout.h"
#include "PLYHomeModel.h"
#include "PLYRecentCollectionViewItem.h"

#include <QHash>
#include <QWidget>
#include <functional>
#include <vector>

// The home screen's grid of posts, as the document of its scroll view: sized to the layout's
// content, it keeps tiles only for the visible part (and half a screen around it), reusing them
// as it scrolls, so a library of hundreds of posts opens as fast as one of ten. The selection is
// kept by post identifier across sorting and filtering.
class PLYHomeCollectionView : public QWidget, public PLYRecentItemProtocol {
    Q_OBJECT
public:
    explicit PLYHomeCollectionView(QWidget* parent = nullptr);
    ~PLYHomeCollectionView() override;

    PLYGalleryViewLayout& collectionViewLayout() { return m_layout; }
    void setItemSize(const QSizeF& size);

    // Shows `posts` in this order; tiles still shown keep their post.
    void setPosts(const PLYHomeModel::PostList& posts);
    const PLYHomeModel::PostList& posts() const { return m_posts; }
    // Lays out again and redisplays every visible tile.
    void reloadData();
    // The scroll view's viewport: its size and the part of this view it shows.
    void setViewport(const QSize& size, int scrollY);

    QList<PLYRecentCollectionViewItem*> visibleItems() const;
    PLYRecentCollectionViewItem* itemAtIndex(int index) const { return m_visible.value(index); }
    QRectF frameForItem(int index) const;

    QString selectedPostIdentifier() const { return m_selection; }
    void selectPost(const QString& identifier);
    void selectFirstItem();

    // Double click on a tile.
    std::function<void(const std::shared_ptr<PLYPersistantPost>&)> onOpenPost;
    // Runs once, after the first paint that showed tiles.
    std::function<void(int tilesPainted)> onFirstPaintWithTiles;

    // PLYRecentItemProtocol
    void itemDidRecieveDoubleClick(PLYRecentCollectionViewItem* item) override;
    void itemDidRecieveClick(PLYRecentCollectionViewItem* item) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tile();
    PLYRecentCollectionViewItem* dequeueItem();
    void recycle(PLYRecentCollectionViewItem* item);

    PLYGalleryViewLayout m_layout;
    PLYHomeModel::PostList m_posts;
    QSize m_viewportSize;
    int m_scrollY = 0;
    QHash<int, PLYRecentCollectionViewItem*> m_visible;
    std::vector<PLYRecentCollectionViewItem*> m_reusable;
    QString m_selection;
    bool m_firstPaintReported = false;
};
