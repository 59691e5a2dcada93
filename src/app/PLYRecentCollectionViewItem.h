#pragma once

#include "PLYNotificationCenter.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class PLYChooserImageView;
class PLYPersistantPost;
class PLYRecentCollectionViewItem;
class QAction;
class QLabel;
class QMenu;
class QToolButton;

// What a home tile tells its gallery.
class PLYRecentItemProtocol {
public:
    virtual ~PLYRecentItemProtocol() = default;
    virtual void itemDidRecieveDoubleClick(PLYRecentCollectionViewItem*) {}
    // A single click: the gallery selects the tile.
    virtual void itemDidRecieveClick(PLYRecentCollectionViewItem*) {}
};

// One post on the home screen ("PLYRecentCollectionViewItem"): its layout preview, its title, a
// bolt that is green when the post is published, and an option menu to delete or unpublish it.
// The preview is decoded off the main thread by the decoded-image cache; until it arrives the
// tile shows white, and "empty-post" when the post has none.
class PLYRecentCollectionViewItem : public QWidget {
    Q_OBJECT
public:
    static constexpr int TitleRowHeight = 44;
    static constexpr double TitleCornerRadius = 3.0;

    explicit PLYRecentCollectionViewItem(QWidget* parent = nullptr);
    ~PLYRecentCollectionViewItem() override;

    std::shared_ptr<PLYPersistantPost> representedPost() const { return m_post.lock(); }
    void setRepresentedPost(const std::shared_ptr<PLYPersistantPost>& post);
    // Unretained: the gallery outlives its tiles.
    void setDelegate(PLYRecentItemProtocol* delegate) { m_delegate = delegate; }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // Shows the post's preview: the decoded one when it is ready, else asks for it.
    void ensurePreview();
    // Stops asking for the preview (the tile scrolled away).
    void cancelPreview();

    void showOptionMenu();
    void menuDeletePost();
    void menuDeleteRemotePost();

    PLYChooserImageView* imageContainerView() const { return m_imageContainer; }
    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* publishedImageView() const { return m_publishedImage; }
    QToolButton* infoButton() const { return m_infoButton; }
    QMenu* optionMenu() const { return m_optionMenu; }
    QAction* deleteMenuItem() const { return m_deleteItem; }
    QAction* deletePublishedMenuItem() const { return m_deletePublishedItem; }
    bool showsEmptyPostImage() const { return m_showsEmptyPost; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutChildren();
    void updateTitleStyle();
    void updatePublishedState();
    void previewDecoded(const PLYNotification& notification);
    void showEmptyPost();
    static void reportFailure(const QString& message, const QString& informative, QWidget* parent);

    std::weak_ptr<PLYPersistantPost> m_post;
    QString m_previewKey;  // the post's folder, the decoded-image cache's key
    PLYRecentItemProtocol* m_delegate = nullptr;
    bool m_selected = false;
    bool m_showsEmptyPost = false;

    PLYChooserImageView* m_imageContainer;
    QLabel* m_titleLabel;
    QLabel* m_publishedImage;
    QToolButton* m_infoButton;
    QMenu* m_optionMenu;
    QAction* m_deleteItem;
    QAction* m_deletePublishedItem;
    PLYObserverBag m_postObservers;
    PLYObserverBag m_cacheObservers;
};
