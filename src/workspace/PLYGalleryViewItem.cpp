#include "PLYGalleryViewItem.h"

#include "PLYGalleryCollectionView.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewController.h"
#include "PLYImageManager.h"
#include "PLYPersistantPost.h"
#include "PLYSourceImage.h"

#include <QAction>
#include <QMouseEvent>

PLYGalleryViewItem::PLYGalleryViewItem(PLYGalleryCollectionView* collectionView)
    : QObject(collectionView), m_collectionView(collectionView), m_view(new PLYGalleryView(collectionView)) {
    m_view->setGalleryViewItem(this);
}

PLYGalleryViewItem::~PLYGalleryViewItem() {
    m_observers.clear();
    delete m_view;
}

void PLYGalleryViewItem::setImage(const std::shared_ptr<PLYSourceImage>& image) {
    m_observers.clear();
    m_image = image;
    m_view->setGalleryViewItem(this);
    const auto post = m_post.lock();
    const bool hidden = image && post && post->isImageHidden(image->identifier());
    m_view->showHideMenuItem()->setText(hidden ? tr("Unhide") : tr("Hide"));
    m_view->imageChanged();
    if (image)
        m_observers.add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), image.get(),
                        [this](const PLYNotification&) { imageCacheCreated(); });
}

void PLYGalleryViewItem::setSelected(bool selected, bool takeFocus) {
    const bool newly = selected && !m_selected && takeFocus;
    m_selected = selected;
    m_view->setSelected(selected);
    if (newly) m_view->setFocus(Qt::OtherFocusReason);
}

void PLYGalleryViewItem::imageCacheCreated() { m_view->imageChanged(); }

void PLYGalleryViewItem::keyDown(const PLYKeyCodes::KeyEvent& event) {
    if (event.isKeyUp) return;
    switch (event.keyCode) {
    case PLYKeyCodes::H:
        if (m_controller) m_controller->performHideOnItem(nullptr);
        return;
    case PLYKeyCodes::Delete:
        if (m_controller) m_controller->deleteKeyOnItem(this);
        return;
    case PLYKeyCodes::Space:
        if (m_controller) m_controller->togglePreviewPanel();
        return;
    default:
        m_collectionView->keyDown(event);
    }
}

void PLYGalleryViewItem::mouseDown(QMouseEvent* event, int clickCount) {
    const quint64 flags = PLYKeyCodes::modifierFlagsFromQt(event->modifiers());
    const quint64 both = PLYKeyCodes::Command | PLYKeyCodes::Shift;
    if (event->button() == Qt::LeftButton && m_selected && clickCount == 1 && (flags & both) == both) {
        m_collectionView->deselectItems({m_indexPath});
        if (m_controller) m_controller->selectionDidChange();
        return;
    }
    if (event->button() == Qt::LeftButton && clickCount == 2) {
        m_collectionView->doubleClickOnItem(this);
        if (m_controller) m_controller->performDoubleClickOnItem(nullptr, flags);
        return;
    }
    m_collectionView->mouseDownOnItem(this, event->button(), flags,
                                      m_view->mapTo(m_collectionView, event->position().toPoint()));
}
