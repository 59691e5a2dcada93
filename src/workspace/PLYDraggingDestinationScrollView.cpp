#include "PLYDraggingDestinationScrollView.h"

#include "PLYGalleryCollectionView.h"
#include "PLYGalleryViewController.h"

#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QMimeData>
#include <QScrollBar>

namespace {
// Only file drags from the file manager; the gallery's own image references are not files.
bool offersFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return true;
    return false;
}
}  // namespace

PLYDraggingDestinationScrollView::PLYDraggingDestinationScrollView(QWidget* parent) : QScrollArea(parent) {
    setObjectName(QStringLiteral("scrollView"));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
}

void PLYDraggingDestinationScrollView::updateGridViewport() {
    if (auto* grid = qobject_cast<PLYGalleryCollectionView*>(widget()))
        grid->setViewport(viewport()->size(), verticalScrollBar()->value());
}

void PLYDraggingDestinationScrollView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    updateGridViewport();
}

bool PLYDraggingDestinationScrollView::viewportEvent(QEvent* event) {
    const bool handled = QScrollArea::viewportEvent(event);
    // The viewport narrows when the scroll bar appears, without the view itself resizing.
    if (event->type() == QEvent::Resize) updateGridViewport();
    return handled;
}

void PLYDraggingDestinationScrollView::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    updateGridViewport();
}

void PLYDraggingDestinationScrollView::setContentAlpha(double alpha) {
    m_alpha = alpha;
    QWidget* content = widget();
    if (!content) return;
    if (alpha >= 1.0) {
        content->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(content);
    effect->setOpacity(alpha);
    content->setGraphicsEffect(effect);
}

void PLYDraggingDestinationScrollView::dragEnterEvent(QDragEnterEvent* event) {
    if (!offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    setContentAlpha(0.5);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PLYDraggingDestinationScrollView::dragMoveEvent(QDragMoveEvent* event) {
    if (!offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PLYDraggingDestinationScrollView::dragLeaveEvent(QDragLeaveEvent* event) {
    setContentAlpha(1.0);
    event->accept();
}

void PLYDraggingDestinationScrollView::dropEvent(QDropEvent* event) {
    setContentAlpha(1.0);
    QList<QUrl> urls;
    if (event->mimeData() && event->mimeData()->hasUrls()) urls = event->mimeData()->urls();
    const bool added = m_controller && m_controller->addDroppedURLs(urls);
    if (added) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}
