#include "PLYGalleryCollectionView.h"

#include "PLYDecodedImageCache.h"
#include "PLYGalleryHeaderView.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewItem.h"
#include "PLYGalleryViewLayout.h"
#include "PLYPasteboard.h"
#include "PLYSourceImage.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPainter>
#include <QScrollArea>
#include <algorithm>

Q_LOGGING_CATEGORY(lcGalleryKeys, "pellory.gallery.keys", QtWarningMsg)

PLYGalleryCollectionView::PLYGalleryCollectionView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("galleryView"));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    m_narrowTimer.setSingleShot(true);
    connect(&m_narrowTimer, &QTimer::timeout, this, [this] {
        const auto path = m_controller ? m_controller->indexPathForIdentifier(m_narrowTo) : std::nullopt;
        if (!path) return;
        plainSelect(*path, 0);
        applySelection(&*path);
        m_controller->selectionDidChange();
    });
    // A decoded preview of a shown item: the item repaints.
    m_observers.add(QString::fromLatin1(PLYDecodedImageCache::DecodedNotification), nullptr, [this](const PLYNotification& n) {
        if (n.userInfo.value(QStringLiteral("rendition")).toInt() != PLYDecodedImageCache::Preview) return;
        const QString id = n.userInfo.value(QStringLiteral("identifier")).toString();
        for (PLYGalleryViewItem* item : std::as_const(m_visible)) {
            const auto image = item->image();
            if (image && image->identifier() == id) item->view()->update();
        }
    });
}

PLYGalleryCollectionView::~PLYGalleryCollectionView() {
    m_observers.clear();
    PLYDecodedImageCache::sharedCache()->cancelAll(this);
}

QRect PLYGalleryCollectionView::visibleRect() const {
    const int h = m_viewportSize.isValid() ? m_viewportSize.height() : height();
    return QRect(0, m_scrollY, width(), h);
}

void PLYGalleryCollectionView::setViewport(const QSize& size, int scrollY) {
    const bool widthChanged = size.width() != m_viewportSize.width();
    m_viewportSize = size;
    m_scrollY = scrollY;
    if (widthChanged)
        reloadData();
    else
        tile();
}

QString PLYGalleryCollectionView::identifierAt(const PLYGalleryIndexPath& path) const {
    return m_controller ? m_controller->identifierAtIndexPath(path) : QString();
}

void PLYGalleryCollectionView::reloadData() {
    if (!m_layout || !m_controller) return;
    // Resizing the grid may show or hide the scroll bar, which narrows or widens the viewport
    // and asks for another pass; that pass runs once this one is done.
    if (m_reloading) {
        m_reloadAgain = true;
        return;
    }
    m_reloading = true;
    do {
        m_reloadAgain = false;
        reloadOnce();
    } while (m_reloadAgain);
    m_reloading = false;
}

void PLYGalleryCollectionView::reloadOnce() {
    const PLYGalleryModel& model = m_controller->model();
    QVector<PLYGalleryViewLayout::SectionInput> sections;
    for (int s = 0; s < model.numberOfSections(); ++s) sections.append({s != 0, model.numberOfItemsInSection(s)});
    const int width = m_viewportSize.width() > 0 ? m_viewportSize.width() : this->width();
    m_layout->prepareLayout(sections, width);
    const QSizeF content = m_layout->collectionViewContentSize();
    resize(width, std::max(int(std::ceil(content.height())), m_viewportSize.height()));
    // The selection keeps the images still shown.
    for (auto it = m_selection.begin(); it != m_selection.end();)
        it = m_controller->indexPathForIdentifier(*it) ? std::next(it) : m_selection.erase(it);
    for (PLYGalleryViewItem* item : std::as_const(m_visible)) {
        if (item->view()->hasFocus()) setFocus(Qt::OtherFocusReason);
        item->view()->hide();
        m_reusable.push_back(item);
    }
    m_visible.clear();
    m_pressedItem = nullptr;
    tile();
}

void PLYGalleryCollectionView::reloadItemsAtIndexPaths(const QVector<PLYGalleryIndexPath>& paths) {
    for (const PLYGalleryIndexPath& path : paths)
        if (PLYGalleryViewItem* item = m_visible.value(path)) configureItem(item, path);
}

void PLYGalleryCollectionView::configureItem(PLYGalleryViewItem* item, const PLYGalleryIndexPath& path) {
    item->setIndexPath(path);
    item->setGalleryViewController(m_controller);
    item->setPost(m_controller->representedPost());
    item->setImage(m_controller->imageAtIndexPath(path));
    item->setSelected(m_selection.contains(identifierAt(path)), false);
    item->view()->setGeometry(m_layout->frameForItem(path).toAlignedRect());
    item->view()->show();
}

void PLYGalleryCollectionView::tile() {
    if (!m_layout || !m_controller) return;
    const QRectF visible = visibleRect();
    const QRectF margin = visible.adjusted(0, -visible.height() / 2.0, 0, visible.height() / 2.0);
    const QVector<PLYGalleryIndexPath> wanted = m_layout->indexPathsForItemsInRect(margin);
    const QSet<PLYGalleryIndexPath> wantedSet(wanted.cbegin(), wanted.cend());
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (wantedSet.contains(it.key())) {
            ++it;
            continue;
        }
        PLYGalleryViewItem* item = it.value();
        if (item == m_pressedItem) m_pressedItem = nullptr;
        if (item->view()->hasFocus()) setFocus(Qt::OtherFocusReason);
        item->view()->hide();
        item->setImage(nullptr);
        m_reusable.push_back(item);
        it = m_visible.erase(it);
    }
    QVector<PLYGalleryIndexPath> inView;
    QVector<PLYGalleryIndexPath> nearby;
    for (const PLYGalleryIndexPath& path : wanted) {
        (m_layout->frameForItem(path).intersects(visible) ? inView : nearby).append(path);
        if (m_visible.contains(path)) continue;
        PLYGalleryViewItem* item = nullptr;
        if (!m_reusable.empty()) {
            item = m_reusable.back();
            m_reusable.pop_back();
        } else {
            item = new PLYGalleryViewItem(this);
        }
        m_visible.insert(path, item);
        configureItem(item, path);
    }
    layoutHeaders();
    updatePreviewRequests(inView, nearby);
}

void PLYGalleryCollectionView::layoutHeaders() {
    const int sections = m_layout->numberOfSections();
    while (m_headers.size() < sections) m_headers.append(nullptr);
    const QRectF visible = visibleRect();
    for (int s = 0; s < m_headers.size(); ++s) {
        const QRectF frame = s < sections ? m_layout->displayFrameForHeader(s, visible) : QRectF();
        if (frame.isNull()) {
            if (m_headers[s]) m_headers[s]->hide();
            continue;
        }
        if (!m_headers[s]) m_headers[s] = new PLYGalleryHeaderView(this);
        m_controller->configureHeader(m_headers[s], s);
        m_headers[s]->setGeometry(frame.toAlignedRect());
        m_headers[s]->show();
        m_headers[s]->raise();
    }
}

PLYGalleryHeaderView* PLYGalleryCollectionView::headerViewForSection(int section) const {
    if (section < 0 || section >= m_headers.size() || !m_headers[section] || m_headers[section]->isHidden()) return nullptr;
    return m_headers[section];
}

void PLYGalleryCollectionView::updatePreviewRequests(const QVector<PLYGalleryIndexPath>& visible,
                                                     const QVector<PLYGalleryIndexPath>& nearby) {
    PLYDecodedImageCache* cache = PLYDecodedImageCache::sharedCache();
    QSet<QString> wanted;
    auto ask = [&](const QVector<PLYGalleryIndexPath>& paths, int priority) {
        for (const PLYGalleryIndexPath& path : paths) {
            const auto image = m_controller->imageAtIndexPath(path);
            if (!image || image->fileDeleted()) continue;
            wanted.insert(image->identifier());
            cache->request(image->identifier(), PLYDecodedImageCache::Preview, this, priority);
        }
    };
    ask(visible, PLYDecodedImageCache::PriorityVisible);
    ask(nearby, PLYDecodedImageCache::PriorityNearby);
    for (const QString& id : std::as_const(m_requested))
        if (!wanted.contains(id)) cache->cancel(id, PLYDecodedImageCache::Preview, this);
    m_requested = wanted;
}

PLYGalleryViewItem* PLYGalleryCollectionView::itemAtIndexPath(const PLYGalleryIndexPath& path) const {
    return m_visible.value(path);
}

QList<PLYGalleryViewItem*> PLYGalleryCollectionView::visibleItems() const { return m_visible.values(); }

void PLYGalleryCollectionView::scrollToItem(const PLYGalleryIndexPath& path) {
    auto* scrollArea = parentWidget() ? qobject_cast<QScrollArea*>(parentWidget()->parentWidget()) : nullptr;
    const QRectF frame = m_layout ? m_layout->frameForItem(path) : QRectF();
    if (!scrollArea || frame.isNull()) return;
    // Clear of a pinned header above it.
    scrollArea->ensureVisible(int(frame.center().x()), int(frame.center().y()), 0,
                              int(frame.height() / 2 + m_layout->itemSize().height() / 2 + 28));
}

// ---- selection -------------------------------------------------------------------------------

QVector<PLYGalleryIndexPath> PLYGalleryCollectionView::selectionIndexPaths() const {
    QVector<PLYGalleryIndexPath> paths;
    if (!m_controller) return paths;
    for (const QString& id : m_selection)
        if (const auto path = m_controller->indexPathForIdentifier(id)) paths.append(*path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool PLYGalleryCollectionView::isSelected(const PLYGalleryIndexPath& path) const {
    return m_selection.contains(identifierAt(path));
}

void PLYGalleryCollectionView::applySelection(const PLYGalleryIndexPath* focusPath) {
    PLYGalleryViewItem* focusItem = focusPath ? m_visible.value(*focusPath) : nullptr;
    for (PLYGalleryViewItem* item : std::as_const(m_visible))
        if (item != focusItem) item->setSelected(m_selection.contains(identifierAt(item->indexPath())), false);
    // Only the clicked item, newly selected, takes the keys.
    if (focusItem) focusItem->setSelected(m_selection.contains(identifierAt(*focusPath)), true);
}

void PLYGalleryCollectionView::addToSelection(const QVector<PLYGalleryIndexPath>& paths) {
    for (const PLYGalleryIndexPath& path : paths) {
        const QString id = identifierAt(path);
        if (!id.isEmpty()) m_selection.insert(id);
    }
}

void PLYGalleryCollectionView::removeFromSelection(const QVector<PLYGalleryIndexPath>& paths) {
    for (const PLYGalleryIndexPath& path : paths) m_selection.remove(identifierAt(path));
}

void PLYGalleryCollectionView::selectItems(const QVector<PLYGalleryIndexPath>& paths) {
    addToSelection(paths);
    applySelection(paths.isEmpty() ? nullptr : &paths.last());
}

void PLYGalleryCollectionView::deselectItems(const QVector<PLYGalleryIndexPath>& paths) {
    removeFromSelection(paths);
    applySelection();
}

void PLYGalleryCollectionView::deselectAll() {
    m_selection.clear();
    applySelection();
}

void PLYGalleryCollectionView::plainSelect(const PLYGalleryIndexPath& path, quint64 flags) {
    QVector<PLYGalleryIndexPath> others = selectionIndexPaths();
    others.removeAll(path);
    removeFromSelection(m_controller->shouldDeselectItems(others, flags));
    addToSelection(m_controller->shouldSelectItems({path}, flags));
}

void PLYGalleryCollectionView::mouseDownOnItem(PLYGalleryViewItem* item, Qt::MouseButton button, quint64 flags,
                                               const QPoint& pos) {
    if (!m_controller || !item) return;
    const PLYGalleryIndexPath path = item->indexPath();
    const bool selected = isSelected(path);
    const bool command = flags & PLYKeyCodes::Command;
    const bool shift = flags & PLYKeyCodes::Shift;
    m_pressedItem = nullptr;
    m_narrowOnRelease = false;
    m_narrowTimer.stop();
    if (button == Qt::RightButton) {
        // The context menu acts on the item under the pointer.
        if (!selected) plainSelect(path, 0);
    } else if (button == Qt::LeftButton) {
        m_pressedItem = item;
        m_pressPos = pos;
        m_dragging = false;
        if (command && !shift) {
            if (selected)
                removeFromSelection(m_controller->shouldDeselectItems({path}, flags));
            else
                addToSelection(m_controller->shouldSelectItems({path}, flags));
        } else if (shift) {
            addToSelection(m_controller->shouldSelectItems({path}, flags));
        } else if (selected && m_selection.size() > 1) {
            // The selection may be about to be dragged: narrowed on release.
            m_narrowOnRelease = true;
        } else {
            plainSelect(path, flags);
        }
    } else {
        return;
    }
    applySelection(&path);
    m_controller->selectionDidChange();
}

void PLYGalleryCollectionView::mouseMoveOnItem(PLYGalleryViewItem* item, Qt::MouseButtons buttons, const QPoint& pos) {
    if (!(buttons & Qt::LeftButton) || item != m_pressedItem || m_dragging) return;
    if ((pos - m_pressPos).manhattanLength() < QApplication::startDragDistance()) return;
    m_dragging = true;
    m_narrowOnRelease = false;
    startDrag(item);
    m_pressedItem = nullptr;
    m_dragging = false;
}

void PLYGalleryCollectionView::mouseUpOnItem(PLYGalleryViewItem* item) {
    // A click on one image of a selection narrows the selection to it, unless it becomes a drag
    // or the first click of a double-click, which acts on the whole selection.
    if (item && item == m_pressedItem && m_narrowOnRelease && m_controller) {
        m_narrowTo = identifierAt(item->indexPath());
        m_narrowTimer.start(QApplication::doubleClickInterval());
    }
    m_pressedItem = nullptr;
    m_narrowOnRelease = false;
}

void PLYGalleryCollectionView::doubleClickOnItem(PLYGalleryViewItem*) {
    m_narrowTimer.stop();
    m_pressedItem = nullptr;
    m_narrowOnRelease = false;
}

void PLYGalleryCollectionView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const quint64 flags = PLYKeyCodes::modifierFlagsFromQt(event->modifiers());
    if (event->button() == Qt::LeftButton && !(flags & (PLYKeyCodes::Command | PLYKeyCodes::Shift)) && m_controller) {
        m_selection.clear();
        applySelection();
        m_controller->selectionDidChange();
    }
    event->accept();
}

// ---- drag source -----------------------------------------------------------------------------

QMimeData* PLYGalleryCollectionView::pasteboardDataForIndexPaths(const QVector<PLYGalleryIndexPath>& paths) const {
    PLYPasteboard board;
    board.setSequenceNumber(PLYPasteboard::nextSequenceNumber());
    for (const PLYGalleryIndexPath& path : paths) {
        const QString id = identifierAt(path);
        if (!id.isEmpty()) board.addItem(PLYPasteboardItem(QString::fromLatin1(ImageRefType), id));
    }
    auto* data = new QMimeData;
    board.writeTo(data);
    return data;
}

void PLYGalleryCollectionView::startDrag(PLYGalleryViewItem* item) {
    QVector<PLYGalleryIndexPath> paths = selectionIndexPaths();
    if (!paths.contains(item->indexPath())) paths = {item->indexPath()};
    QMimeData* data = pasteboardDataForIndexPaths(paths);
    const QPixmap picture = item->view()->grab();
    if (m_dragStarter) {
        m_dragStarter(data, picture);
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(picture.width() / 2, picture.height() / 2) / std::max(1.0, picture.devicePixelRatio()));
    drag->exec(Qt::MoveAction);
}

// ---- keys ------------------------------------------------------------------------------------

std::optional<PLYGalleryIndexPath> PLYGalleryCollectionView::neighbour(const PLYGalleryIndexPath& from, int keyCode) const {
    const PLYGalleryModel& model = m_controller->model();
    const int sections = model.numberOfSections();
    const int columns = std::max(1, m_layout->columns());
    const int count = model.numberOfItemsInSection(from.section);
    // Sections without items (collapsed, or emptied by a filter) are skipped.
    auto previousSection = [&](int s) {
        for (--s; s >= 0; --s)
            if (model.numberOfItemsInSection(s) > 0) return s;
        return -1;
    };
    auto nextSection = [&](int s) {
        for (++s; s < sections; ++s)
            if (model.numberOfItemsInSection(s) > 0) return s;
        return -1;
    };
    switch (keyCode) {
    case PLYKeyCodes::LeftArrow: {
        if (from.item > 0) return PLYGalleryIndexPath{from.section, from.item - 1};
        const int s = previousSection(from.section);
        return s < 0 ? from : PLYGalleryIndexPath{s, model.numberOfItemsInSection(s) - 1};
    }
    case PLYKeyCodes::RightArrow: {
        if (from.item + 1 < count) return PLYGalleryIndexPath{from.section, from.item + 1};
        const int s = nextSection(from.section);
        return s < 0 ? from : PLYGalleryIndexPath{s, 0};
    }
    case PLYKeyCodes::UpArrow: {
        if (from.item - columns >= 0) return PLYGalleryIndexPath{from.section, from.item - columns};
        const int s = previousSection(from.section);
        if (s < 0) return from;
        const int last = model.numberOfItemsInSection(s) - 1;
        return PLYGalleryIndexPath{s, std::min(last, (last / columns) * columns + from.item % columns)};
    }
    case PLYKeyCodes::DownArrow: {
        if (from.item + columns < count) return PLYGalleryIndexPath{from.section, from.item + columns};
        if (from.item / columns < (count - 1) / columns) return PLYGalleryIndexPath{from.section, count - 1};
        const int s = nextSection(from.section);
        return s < 0 ? from : PLYGalleryIndexPath{s, std::min(model.numberOfItemsInSection(s) - 1, from.item % columns)};
    }
    default: return std::nullopt;
    }
}

void PLYGalleryCollectionView::moveSelectionTo(const PLYGalleryIndexPath& from, const PLYGalleryIndexPath& to) {
    scrollToItem(to);
    removeFromSelection({from});
    addToSelection({to});
    applySelection(&to);
}

bool PLYGalleryCollectionView::keyDown(const PLYKeyCodes::KeyEvent& event) {
    if (!m_controller || !m_layout || event.isKeyUp) return false;
    const bool arrow = event.keyCode >= PLYKeyCodes::LeftArrow && event.keyCode <= PLYKeyCodes::UpArrow;
    if (!arrow) {
        if (event.keyCode == PLYKeyCodes::H) m_controller->performHideOnItem(nullptr);
        else if (event.keyCode == PLYKeyCodes::Space) m_controller->togglePreviewPanel();
        else return false;
        return true;
    }
    const QVector<PLYGalleryIndexPath> selected = selectionIndexPaths();
    if (selected.size() != 1) return false;
    const auto to = neighbour(selected.first(), event.keyCode);
    if (!to) return false;
    qCDebug(lcGalleryKeys, "Key code %hu", quint16(event.keyCode));
    qCDebug(lcGalleryKeys, "Item %ld", long(to->item));
    if (!(*to == selected.first())) {
        moveSelectionTo(selected.first(), *to);
        m_controller->selectionDidChange();
    }
    return true;
}

void PLYGalleryCollectionView::keyPressEvent(QKeyEvent* event) {
    const auto key = PLYKeyCodes::fromQKeyEvent(*event);
    if (!key || !keyDown(*key)) QWidget::keyPressEvent(event);
}

void PLYGalleryCollectionView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Light grey, so the white borders frame each photo like a print.
    painter.fillRect(event->rect(), palette().color(QPalette::Window).lighter(102));
}
