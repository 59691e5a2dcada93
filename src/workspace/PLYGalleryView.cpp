#include "PLYGalleryView.h"

#include "PLYColor.h"
#include "PLYDecodedImageCache.h"
#include "PLYDesktopServices.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryDrawing.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewItem.h"
#include "PLYImageManager.h"
#include "PLYInterfaceNames.h"
#include "PLYKeyCodes.h"
#include "PLYPersistantPost.h"
#include "PLYSourceImage.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

PLYGalleryView::PLYGalleryView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYGalleryViewItem"));
    setFocusPolicy(Qt::ClickFocus);
    m_menu = new QMenu(this);
    m_showHideMenuItem = m_menu->addAction(tr("Hide"), this, &PLYGalleryView::showHideMenuAction);
    m_showHideMenuItem->setObjectName(QStringLiteral("showHideMenuItem"));
    m_menu->addAction(tr("Add to Post"), this, &PLYGalleryView::addToPostAction)->setObjectName(QStringLiteral("addToPostMenuItem"));
    m_menu->addAction(tr("Show in File Manager"), this, &PLYGalleryView::showInFinderAction)
        ->setObjectName(QStringLiteral("showInFinderMenuItem"));
}

void PLYGalleryView::setSelected(bool selected) {
    m_selected = selected;
    update();
}

QRectF PLYGalleryView::thumbnailFrame(const QSizeF& size, const QSize& pixelSize, bool hasPicture) {
    if (!hasPicture) return QRectF(QPointF(0, 0), size);
    const double edge = size.width() - 2;
    QSizeF frame;
    if (pixelSize.width() != 0 && pixelSize.height() != 0) {
        const double w = pixelSize.width(), h = pixelSize.height();
        frame = w >= h ? QSizeF(edge, edge * h / w) : QSizeF(edge * w / h, edge);
    } else {
        frame = QSizeF(edge, edge * 0.6666);
    }
    return QRectF(QPointF((size.width() - frame.width()) / 2.0, (size.height() - frame.height()) / 2.0), frame);
}

void PLYGalleryView::paintEvent(QPaintEvent*) {
    const auto image = m_item ? m_item->image() : nullptr;
    if (!image) return;
    const QString id = image->identifier();
    PLYDecodedImageCache* decoded = PLYDecodedImageCache::sharedCache();
    PLYImageManager* renditions = PLYImageManager::sharedManager();
    const bool broken = image->fileDeleted() || renditions->isFailed(id);
    // Requested here as well as by the grid, in case it left the cache while in view.
    const QImage preview = broken ? QImage()
                                  : decoded->imageForIdentifier(id, PLYDecodedImageCache::Preview, m_item->collectionView(),
                                                                PLYDecodedImageCache::PriorityVisible);
    // A picture still being made or decoded keeps its frame; only a picture that cannot come shows
    // the placeholder.
    const bool waiting = !broken && preview.isNull() &&
                         (renditions->isPending(id) || !decoded->isMissing(id, PLYDecodedImageCache::Preview));
    const bool hasPicture = !preview.isNull() || waiting;
    const QRectF frame = thumbnailFrame(size(), QSize(int(image->width()), int(image->height())), hasPicture);

    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    // The soft shadow below and right of the frame.
    painter.fillRect(frame.translated(1, 1), QColor(128, 128, 128, 64));
    painter.fillRect(frame.translated(0.5, 0.5), QColor(128, 128, 128, 64));
    painter.fillRect(frame, PLYColor::kro_inspectorDetailGrey());
    painter.restore();

    if (!hasPicture) {
        const QImage placeholder = PLYImageManager::placeholderImage();
        const QSizeF own = placeholder.deviceIndependentSize();
        painter.drawImage(QRectF(QPointF((width() - own.width()) / 2.0, (height() - own.height()) / 2.0), own), placeholder);
    } else {
        if (!preview.isNull()) {
            const auto post = m_item->post();
            painter.setOpacity(post && post->inUseCountForImage(id) != 0 ? 0.4 : 1.0);
            painter.drawImage(frame, preview);
            painter.setOpacity(1.0);
        }
        // Stars and the label's dot along the frame's foot.
        const double top = frame.y() + frame.height() - 11;
        const int stars = std::clamp<int>(image->starRating(), 0, 5);
        const QIcon star = PLYGalleryDrawing::namedIcon(QString::fromLatin1(
            m_useDarkContrast ? PLYInterfaceNames::ImageStarWhite : PLYInterfaceNames::ImageStarSelected));
        const QColor label = PLYGalleryDrawing::colourForLabel(image->colourRating());
        // Stars 11 points apart, closer together where a narrow (portrait) frame would run them
        // into the label's dot.
        const double room = frame.width() - 4 - (label.isValid() ? 11 + 2 : 4) - 7;
        const double pitch = stars > 1 ? std::clamp(room / (stars - 1), 7.0, 11.0) : 11.0;
        for (int i = 0; i < stars; ++i) star.paint(&painter, QRectF(frame.x() + 4 + pitch * i, top, 7, 7).toRect());
        if (label.isValid()) {
            painter.setPen(QPen(m_useDarkContrast ? Qt::white : Qt::black, 0.75));
            painter.setBrush(label);
            painter.drawEllipse(QRectF(frame.x() + frame.width() - 11, top, 7, 7));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(m_selected ? PLYColor::kro_blueColour() : QColor(Qt::white), 2));
    painter.drawRect(frame.adjusted(1, 0, -1, 0));
}

void PLYGalleryView::mousePressEvent(QMouseEvent* event) {
    if (m_item) m_item->mouseDown(event, 1);
    event->accept();
}

void PLYGalleryView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_item) m_item->mouseDown(event, 2);
    event->accept();
}

void PLYGalleryView::mouseMoveEvent(QMouseEvent* event) {
    if (m_item) m_item->collectionView()->mouseMoveOnItem(m_item, event->buttons(), mapTo(m_item->collectionView(), event->position().toPoint()));
    event->accept();
}

void PLYGalleryView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_item) m_item->collectionView()->mouseUpOnItem(m_item);
    event->accept();
}

void PLYGalleryView::keyPressEvent(QKeyEvent* event) {
    const auto key = PLYKeyCodes::fromQKeyEvent(*event);
    if (m_item && key)
        m_item->keyDown(*key);
    else
        QWidget::keyPressEvent(event);
}

void PLYGalleryView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_item) return;
    m_menu->popup(event->globalPos());
    event->accept();
}

void PLYGalleryView::showHideMenuAction() {
    if (m_item && m_item->galleryViewController()) m_item->galleryViewController()->performHideOnItem(m_item);
}

void PLYGalleryView::addToPostAction() {
    if (m_item && m_item->galleryViewController()) m_item->galleryViewController()->performDoubleClickOnItem(m_item, 0);
}

void PLYGalleryView::showInFinderAction() {
    const auto image = m_item ? m_item->image() : nullptr;
    if (image) PLYDesktopServices::shared()->showFileInFileManager(image->path());
}
