#pragma once

#include "PLYGalleryModel.h"
#include "PLYKeyCodes.h"
#include "PLYNotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <memory>

class PLYGalleryCollectionView;
class PLYGalleryView;
class PLYGalleryViewController;
class PLYPersistantPost;
class PLYSourceImage;
class QMouseEvent;

// One shown item of the gallery: a source image of the post at an index path. Items exist for
// the visible part of the gallery only and are reused as it scrolls. The item takes the image's
// keys (hide, delete, preview) and clicks (selection, double-click add), and redisplays when the
// image's renditions are written.
class PLYGalleryViewItem : public QObject {
    Q_OBJECT
public:
    explicit PLYGalleryViewItem(PLYGalleryCollectionView* collectionView);
    ~PLYGalleryViewItem() override;

    PLYGalleryView* view() const { return m_view; }
    PLYGalleryCollectionView* collectionView() const { return m_collectionView; }

    std::shared_ptr<PLYSourceImage> image() const { return m_image.lock(); }
    // Observes the image's renditions from now on, and titles the view's hide item.
    void setImage(const std::shared_ptr<PLYSourceImage>& image);
    std::shared_ptr<PLYPersistantPost> post() const { return m_post.lock(); }
    void setPost(const std::shared_ptr<PLYPersistantPost>& post) { m_post = post; }
    PLYGalleryViewController* galleryViewController() const { return m_controller; }
    void setGalleryViewController(PLYGalleryViewController* controller) { m_controller = controller; }
    PLYGalleryIndexPath indexPath() const { return m_indexPath; }
    void setIndexPath(const PLYGalleryIndexPath& path) { m_indexPath = path; }

    bool isSelected() const { return m_selected; }
    // A newly selected item takes the key focus (unless told not to, when a reused item only shows
    // its image's state); a deselected one never does.
    void setSelected(bool selected, bool takeFocus = true);

    void keyDown(const PLYKeyCodes::KeyEvent& event);
    void mouseDown(QMouseEvent* event, int clickCount);
    void imageCacheCreated();

private:
    PLYGalleryCollectionView* m_collectionView;
    PLYGalleryView* m_view;
    std::weak_ptr<PLYSourceImage> m_image;
    std::weak_ptr<PLYPersistantPost> m_post;
    QPointer<PLYGalleryViewController> m_controller;
    PLYGalleryIndexPath m_indexPath;
    bool m_selected = false;
    PLYObserverBag m_observers;
};
