#include "PLYRecentCollectionViewItem.h"

#include "PLYAlertPresenter.h"
#include "PLYChooserImageView.h"
#include "PLYColor.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDispatch.h"
#include "PLYInterfaceNames.h"
#include "PLYLog.h"
#include "PLYNamedImage.h"
#include "PLYPersistantPost.h"
#include "PLYSafeText.h"
#include "PLYSaveOutcome.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>

namespace {

constexpr int kBoltSize = 16;
constexpr int kInfoButtonSize = 26;
constexpr int kTitleInset = 4;

QPixmap namedPixmap(const char* name, int size, qreal ratio) {
    QPixmap pixmap = QPixmap::fromImage(PLYNamedImage::image(QLatin1String(name), QSize(size, size) * ratio));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// Three dots, drawn for the screen's density.
QIcon optionsIcon() {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(16, 16) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x55, 0x59, 0x5e));
        for (int i = 0; i < 3; ++i) painter.drawEllipse(QPointF(3.0 + i * 5.0, 8.0), 1.6, 1.6);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

PLYRecentCollectionViewItem::PLYRecentCollectionViewItem(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(PLYInterfaceNames::RecentCollectionViewItem));
    setAttribute(Qt::WA_StyledBackground, false);
    m_imageContainer = new PLYChooserImageView(this);

    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    // The post's name as typed, shortened by characters.
    PLYSafeText::makePlain(m_titleLabel);
    QFont font = m_titleLabel->font();
    font.setWeight(QFont::Medium);
    m_titleLabel->setFont(font);

    m_publishedImage = new QLabel(this);
    m_publishedImage->setObjectName(QStringLiteral("publishedImageView"));
    m_publishedImage->setFixedSize(kBoltSize, kBoltSize);

    m_infoButton = new QToolButton(this);
    m_infoButton->setObjectName(QStringLiteral("infoButton"));
    m_infoButton->setIcon(optionsIcon());
    m_infoButton->setAutoRaise(true);
    m_infoButton->setFixedSize(kInfoButtonSize, kInfoButtonSize);
    m_infoButton->setToolTip(tr("Options"));
    m_infoButton->setCursor(Qt::PointingHandCursor);
    connect(m_infoButton, &QToolButton::clicked, this, &PLYRecentCollectionViewItem::showOptionMenu);

    m_optionMenu = new QMenu(this);
    m_optionMenu->setObjectName(QStringLiteral("optionMenu"));
    m_deletePublishedItem = m_optionMenu->addAction(tr("Unpublish…"));
    m_deletePublishedItem->setObjectName(QStringLiteral("deletePublishedMenuItem"));
    m_deleteItem = m_optionMenu->addAction(tr("Delete…"));
    m_deleteItem->setObjectName(QStringLiteral("deletePostMenuItem"));
    connect(m_deletePublishedItem, &QAction::triggered, this, &PLYRecentCollectionViewItem::menuDeleteRemotePost);
    connect(m_deleteItem, &QAction::triggered, this, &PLYRecentCollectionViewItem::menuDeletePost);

    updateTitleStyle();
    updatePublishedState();
    layoutChildren();
}

PLYRecentCollectionViewItem::~PLYRecentCollectionViewItem() {
    cancelPreview();
    m_postObservers.clear();
    m_cacheObservers.clear();
}

void PLYRecentCollectionViewItem::setRepresentedPost(const std::shared_ptr<PLYPersistantPost>& post) {
    const auto previous = m_post.lock();
    if (previous == post && post) {
        // The same post: its name or published state may have changed.
        m_titleLabel->setToolTip(PLYSafeText::toolTip(post->name()));
        updatePublishedState();
        layoutChildren();
        ensurePreview();
        return;
    }
    cancelPreview();
    m_postObservers.clear();
    m_post = post;
    m_previewKey = post ? post->folderPath() : QString();
    if (post) {
        QPointer<PLYRecentCollectionViewItem> self(this);
        m_postObservers.add(QString::fromLatin1(PLYPersistantPost::PreviewCreatedNotification), post.get(),
                            [self](const PLYNotification&) {
                                if (!self) return;
                                // Asked again once every observer heard of the new file, the cache
                                // included: a decode asked before it forgot the old one is dropped.
                                PLYDecodedImageCache::sharedCache()->invalidate(self->m_previewKey);
                                PLYDispatch::mainAsync([self] {
                                    if (self) self->ensurePreview();
                                }, self);
                            });
    }
    m_titleLabel->setToolTip(PLYSafeText::toolTip(post ? post->name() : QString()));
    updatePublishedState();
    m_imageContainer->setRepresentedImage(QImage());
    m_showsEmptyPost = false;
    layoutChildren();
    ensurePreview();
}

void PLYRecentCollectionViewItem::updatePublishedState() {
    const auto post = m_post.lock();
    const bool published = post && post->isPublished();
    m_deletePublishedItem->setEnabled(published);
    m_publishedImage->setPixmap(namedPixmap(published ? PLYInterfaceNames::ImageBoltGreen : PLYInterfaceNames::ImageBoltGrey,
                                            kBoltSize, devicePixelRatioF()));
    m_publishedImage->setToolTip(published ? tr("Published") : tr("Not published"));
}

void PLYRecentCollectionViewItem::ensurePreview() {
    const auto post = m_post.lock();
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    if (!post || m_previewKey.isEmpty()) {
        showEmptyPost();
        return;
    }
    const QImage image = cache->imageForIdentifier(m_previewKey, PLYDecodedImageCache::PostPreview, this,
                                                   PLYDecodedImageCache::PriorityVisible);
    if (!image.isNull()) {
        m_cacheObservers.clear();
        m_showsEmptyPost = false;
        m_imageContainer->setRepresentedImage(image);
        return;
    }
    if (cache->isMissing(m_previewKey, PLYDecodedImageCache::PostPreview)) {
        m_cacheObservers.clear();
        showEmptyPost();
        return;
    }
    // Asked for: the cache announces the decode, or that there was nothing to decode.
    if (m_cacheObservers.isEmpty()) {
        QPointer<PLYRecentCollectionViewItem> self(this);
        m_cacheObservers.add(QString::fromLatin1(PLYDecodedImageCache::DecodedNotification), cache,
                             [self](const PLYNotification& n) {
                                 if (self) self->previewDecoded(n);
                             });
        m_cacheObservers.add(QString::fromLatin1(PLYDecodedImageCache::MissingNotification), cache,
                             [self](const PLYNotification& n) {
                                 if (self) self->previewDecoded(n);
                             });
    }
}

void PLYRecentCollectionViewItem::showEmptyPost() {
    m_showsEmptyPost = true;
    const qreal ratio = devicePixelRatioF();
    QImage image = PLYNamedImage::image(QLatin1String(PLYInterfaceNames::ImageEmptyPost), QSize(200, 150) * ratio);
    image.setDevicePixelRatio(ratio);
    m_imageContainer->setPlaceholderImage(image);
}

void PLYRecentCollectionViewItem::previewDecoded(const PLYNotification& notification) {
    if (notification.userInfo.value(QStringLiteral("rendition")).toInt() != PLYDecodedImageCache::PostPreview ||
        notification.userInfo.value(QStringLiteral("identifier")).toString() != m_previewKey)
        return;
    ensurePreview();
}

void PLYRecentCollectionViewItem::cancelPreview() {
    m_cacheObservers.clear();
    if (!m_previewKey.isEmpty())
        PLYDecodedImageCache::sharedCache()->cancel(m_previewKey, PLYDecodedImageCache::PostPreview, this);
}

void PLYRecentCollectionViewItem::setSelected(bool selected) {
    if (m_selected == selected) return;
    m_selected = selected;
    m_imageContainer->setSelected(selected);
    updateTitleStyle();
}

void PLYRecentCollectionViewItem::updateTitleStyle() {
    const QColor blue = PLYColor::kro_blueColour();
    m_titleLabel->setStyleSheet(
        m_selected ? QStringLiteral("QLabel { background: %1; color: white; border-radius: %2px; padding: 2px 6px; }")
                         .arg(blue.name())
                         .arg(TitleCornerRadius)
                   : QStringLiteral("QLabel { background: transparent; color: black; border-radius: %1px; padding: 2px 6px; }")
                         .arg(TitleCornerRadius));
}

void PLYRecentCollectionViewItem::layoutChildren() {
    const int w = width();
    const int imageHeight = std::max(0, height() - TitleRowHeight);
    m_imageContainer->setGeometry(0, 0, w, imageHeight);
    const int rowTop = imageHeight;
    const int centre = rowTop + TitleRowHeight / 2;
    m_infoButton->move(w - kInfoButtonSize, centre - kInfoButtonSize / 2);
    m_publishedImage->move(m_infoButton->x() - kBoltSize - 4, centre - kBoltSize / 2);
    const int titleRoom = std::max(0, m_publishedImage->x() - 6 - kTitleInset);
    const auto post = m_post.lock();
    const QString title = post ? post->name() : tr("New Blog Post");
    // The label is as wide as its (elided) text, so the selection colour hugs it.
    const QString elided = m_titleLabel->fontMetrics().elidedText(title, Qt::ElideRight, std::max(0, titleRoom - 12));
    m_titleLabel->setText(elided);
    const QSize hint = m_titleLabel->sizeHint();
    m_titleLabel->setGeometry(kTitleInset, centre - hint.height() / 2, std::min(hint.width(), titleRoom),
                              hint.height());
}

void PLYRecentCollectionViewItem::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void PLYRecentCollectionViewItem::paintEvent(QPaintEvent*) {
    // A hairline around the preview so white layouts keep their edge on the grey home.
    QPainter painter(this);
    painter.setPen(QPen(QColor(0, 0, 0, 38), 1));
    painter.setBrush(Qt::NoBrush);
    const QRect image = m_imageContainer->geometry();
    painter.drawRect(QRectF(image).adjusted(-0.5, -0.5, 0.5, 0.5));
}

void PLYRecentCollectionViewItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_delegate) m_delegate->itemDidRecieveClick(this);
    QWidget::mousePressEvent(event);
}

void PLYRecentCollectionViewItem::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_delegate) {
        m_delegate->itemDidRecieveDoubleClick(this);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void PLYRecentCollectionViewItem::contextMenuEvent(QContextMenuEvent* event) {
    if (m_delegate) m_delegate->itemDidRecieveClick(this);
    m_optionMenu->popup(event->globalPos());
}

void PLYRecentCollectionViewItem::showOptionMenu() {
    m_optionMenu->popup(m_infoButton->mapToGlobal(QPoint(0, m_infoButton->height())));
}

void PLYRecentCollectionViewItem::reportFailure(const QString& message, const QString& informative, QWidget* parent) {
    PLYAlertPresenter::shared()->runModal({PLYAlertRequest::Style::Critical, message, informative, {tr("OK")}}, parent);
}

void PLYRecentCollectionViewItem::menuDeletePost() {
    const auto post = m_post.lock();
    PLYCoreManager* core = PLYCoreManager::globalManager();
    if (!post || !core) return;
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = tr("Delete Blog?");
    alert.informativeText = tr("Are you sure you want to delete the blog? If this blog is published it will also be "
                               "unpublished, and no longer available.");
    alert.buttonTitles = {tr("Yes, delete this blog"), tr("No, don't delete")};
    if (PLYAlertPresenter::shared()->runModal(alert, window()) != PLYAlertPresenter::FirstButtonReturn) return;
    const QString name = post->name();
    const bool published = post->isPublished();
    // The tile may be reused for another post before the service answers: report over the window.
    QPointer<QWidget> window(this->window());
    PLY_LOG_INFO(QStringLiteral("Deleting the post '%1'").arg(name));
    core->deletePost(post, [window, name, published](bool success, const PLYError& error) {
        if (success) return;
        if (!error.isNull()) {
            // The library kept the post; a published one is removed only after the service
            // unpublished it.
            const PLYSaveOutcome::Failure failure = PLYSaveOutcome::failureFrom(error, PLYCoreManager::libraryDirectory());
            PLYAlertPresenter::shared()->runModal(PLYSaveOutcome::deleteFailureAlert(name, failure, published), window);
            return;
        }
        reportFailure(tr("The Blog Could Not Be Deleted"),
                      tr("\"%1\" is published, and the Pellory service could not unpublish it now, so it is kept. "
                         "Check the connection and try again.")
                          .arg(name),
                      window);
    });
}

void PLYRecentCollectionViewItem::menuDeleteRemotePost() {
    const auto post = m_post.lock();
    PLYCoreManager* core = PLYCoreManager::globalManager();
    if (!post || !core || !post->isPublished()) return;
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = tr("Delete Published Blog?");
    alert.informativeText = tr("Are you sure you want to unpublish this blog? It will no longer be available on any "
                               "webasites, and all the image content will be deleted immediately.");
    alert.buttonTitles = {tr("Yes, unpublish this blog"), tr("No, don't unpublish")};
    if (PLYAlertPresenter::shared()->runModal(alert, window()) != PLYAlertPresenter::FirstButtonReturn) return;
    const QString name = post->name();
    QPointer<QWidget> window(this->window());
    PLY_LOG_INFO(QStringLiteral("Unpublishing the post '%1'").arg(name));
    core->deleteRemotePost(post, [window, name](bool success) {
        if (success) return;
        reportFailure(tr("The Blog Could Not Be Unpublished"),
                      tr("The Pellory service could not unpublish \"%1\" now; it stays published. Check the "
                         "connection and try again.")
                          .arg(name),
                      window);
    });
}
