#pragma once

#include "PLYGalleryModel.h"
#include "PLYKeyCodes.h"
#include "PLYNotificationCenter.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class PLYGalleryHeaderView;
class PLYGalleryViewController;
class PLYGalleryViewItem;
class PLYGalleryViewLayout;
class QMimeData;

// The gallery's grid, as the document of its scroll view: sized to the layout's content, it
// keeps item views only for the visible part (plus a margin), reusing them as it scrolls, and
// asks the decoded-image cache for the previews of exactly those items: visible ones first, the
// margin after; requests of items that scrolled away are cancelled. It holds the selection, moves
// it with the arrow keys (skipping sections without items) and is the drag source of image
// references, one "com.pellory.image.ref" pasteboard item per image.
class PLYGalleryCollectionView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* ImageRefType = "com.pellory.image.ref";
    // Starts the platform's drag with the data and its picture; tests put their own in place.
    using DragStarter = std::function<Qt::DropAction(QMimeData* data, const QPixmap& picture)>;

    explicit PLYGalleryCollectionView(QWidget* parent = nullptr);
    ~PLYGalleryCollectionView() override;

    void setGalleryViewController(PLYGalleryViewController* controller) { m_controller = controller; }
    void setCollectionViewLayout(PLYGalleryViewLayout* layout) { m_layout = layout; }
    PLYGalleryViewLayout* collectionViewLayout() const { return m_layout; }

    // Lays the sections out again across the viewport's width and redisplays every visible item.
    // The selection is kept for the images still shown.
    void reloadData();
    // Redisplays these items (their image changed), without laying anything out again.
    void reloadItemsAtIndexPaths(const QVector<PLYGalleryIndexPath>& paths);
    // The scroll view's viewport: its size and the part of this view it shows.
    void setViewport(const QSize& size, int scrollY);
    QRect visibleRect() const;
    void scrollToItem(const PLYGalleryIndexPath& path);

    // The selection is held by image, so it stays with its images through sorting and filtering.
    QVector<PLYGalleryIndexPath> selectionIndexPaths() const;
    bool isSelected(const PLYGalleryIndexPath& path) const;
    // Programmatic selection, without asking the controller.
    void selectItems(const QVector<PLYGalleryIndexPath>& paths);
    void deselectItems(const QVector<PLYGalleryIndexPath>& paths);
    void deselectAll();

    PLYGalleryViewItem* itemAtIndexPath(const PLYGalleryIndexPath& path) const;
    QList<PLYGalleryViewItem*> visibleItems() const;
    PLYGalleryHeaderView* headerViewForSection(int section) const;
    QSet<QString> requestedPreviews() const { return m_requested; }

    // What the items forward: a click that selects (the grid's own behaviour), presses, moves
    // and releases that may become a drag, and keys the item does not take.
    void mouseDownOnItem(PLYGalleryViewItem* item, Qt::MouseButton button, quint64 modifierFlags, const QPoint& pos);
    void mouseMoveOnItem(PLYGalleryViewItem* item, Qt::MouseButtons buttons, const QPoint& pos);
    void mouseUpOnItem(PLYGalleryViewItem* item);
    // The second click of a double-click: a selection kept for it is not narrowed.
    void doubleClickOnItem(PLYGalleryViewItem* item);
    // True when handled (Left and Right across sections, Up and Down across rows).
    bool keyDown(const PLYKeyCodes::KeyEvent& event);

    QMimeData* pasteboardDataForIndexPaths(const QVector<PLYGalleryIndexPath>& paths) const;
    void setDragStarter(DragStarter starter) { m_dragStarter = std::move(starter); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reloadOnce();
    void tile();
    void configureItem(PLYGalleryViewItem* item, const PLYGalleryIndexPath& path);
    void layoutHeaders();
    void updatePreviewRequests(const QVector<PLYGalleryIndexPath>& visible, const QVector<PLYGalleryIndexPath>& nearby);
    void applySelection(const PLYGalleryIndexPath* focusPath = nullptr);
    void plainSelect(const PLYGalleryIndexPath& path, quint64 modifierFlags);
    void addToSelection(const QVector<PLYGalleryIndexPath>& paths);
    void removeFromSelection(const QVector<PLYGalleryIndexPath>& paths);
    void moveSelectionTo(const PLYGalleryIndexPath& from, const PLYGalleryIndexPath& to);
    QString identifierAt(const PLYGalleryIndexPath& path) const;
    std::optional<PLYGalleryIndexPath> neighbour(const PLYGalleryIndexPath& from, int keyCode) const;
    void startDrag(PLYGalleryViewItem* item);

    QPointer<PLYGalleryViewController> m_controller;
    PLYGalleryViewLayout* m_layout = nullptr;
    QSize m_viewportSize;
    int m_scrollY = 0;
    bool m_reloading = false;
    bool m_reloadAgain = false;
    QHash<PLYGalleryIndexPath, PLYGalleryViewItem*> m_visible;
    std::vector<PLYGalleryViewItem*> m_reusable;
    QList<PLYGalleryHeaderView*> m_headers;
    QSet<QString> m_selection;  // image identifiers
    QSet<QString> m_requested;
    // A press on a selected item narrows the selection to it on release unless it became a drag.
    PLYGalleryViewItem* m_pressedItem = nullptr;
    QPoint m_pressPos;
    bool m_narrowOnRelease = false;
    QTimer m_narrowTimer;  // narrows once no second click follows
    QString m_narrowTo;
    bool m_dragging = false;
    DragStarter m_dragStarter;
    PLYObserverBag m_observers;
};
