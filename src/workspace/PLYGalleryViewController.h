#pragma once

#include "PLYGenericPostViewController.h"
#include "PLYColourFilterDelegate.h"
#include "PLYGalleryModel.h"
#include "PLYGalleryViewLayout.h"
#include "PLYNotificationCenter.h"
#include "PLYPreviewPresenter.h"
#include "PLYSourceDirectoryDelegate.h"
#include "PLYStarFilterDelegate.h"

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class PLYColourFilterView;
class PLYDraggingDestinationScrollView;
class PLYGalleryCollectionView;
class PLYGalleryHeaderView;
class PLYGalleryViewItem;
class PLYPersistantPost;
class PLYPostManager;
class PLYSourceDirectory;
class PLYSourceImage;
class PLYStarFilterView;
class PLYUndoManager;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QStackedWidget;
class QToolButton;
class QWidgetAction;

// The gallery pane of a post: every image of the post's source locations, sorted, filtered by
// stars and colour labels and split into the current, used and hidden sections. It adds images
// to the layout on double-click, hides and unhides them, is the drag source of image references,
// takes image files dropped from the file manager, feeds the preview panel and follows the post's
// locations as their delegate. The decisions live in PLYGalleryModel and PLYGalleryViewLayout.
//
// Every registration (notifications, source-location delegates, the preview panel) is made once
// per post and removed when the post changes or the gallery goes.
class PLYGalleryViewController : public PLYGenericPostViewController,
                                 public PLYSourceDirectoryDelegate,
                                 public PLYStarFilterDelegate,
                                 public PLYColourFilterDelegate,
                                 public PLYPreviewPanelController {
    Q_OBJECT
public:
    static constexpr double kBaseItemSide = 80;
    static constexpr const char* DeleteImagesActionName = "Delete Images";

    explicit PLYGalleryViewController(QWidget* parent = nullptr);
    ~PLYGalleryViewController() override;

    void setPostManager(std::shared_ptr<PLYPostManager> postManager) override;
    std::shared_ptr<PLYPersistantPost> representedPost() const;
    // The undo manager of the gallery's window, unless it was given another (not owned).
    PLYUndoManager* undoManager() const;
    void setUndoManager(PLYUndoManager* undoManager) { m_undoManager = undoManager; }

    // The rebuild: the message page for a post without images or with a missing folder,
    // otherwise sort, filter and partition, and reload the grid when asked.
    void ensureImageStructure(bool reload);
    void sortAndFilterImageCollection();
    void createIndexRanges();
    const QVector<int>& arrayForSection(int section) const { return m_model.arrayForSection(section); }
    std::shared_ptr<PLYSourceImage> imageAtIndexPath(const PLYGalleryIndexPath& path) const;
    QString identifierAtIndexPath(const PLYGalleryIndexPath& path) const;
    std::optional<PLYGalleryIndexPath> indexPathForIdentifier(const QString& identifier) const;
    // Title, count, collapse state and target of a section's header.
    void configureHeader(PLYGalleryHeaderView* header, int section);
    const PLYGalleryModel& model() const { return m_model; }
    const QList<std::shared_ptr<PLYSourceImage>>& currentOrderedImages() const;
    // Counts full rebuilds (sort, filter, partition); item updates in place do not count.
    int rebuildCount() const { return m_rebuildCount; }

    // Adds the item's image, or with no item the selected images, to the layout's last section:
    // each image its own block, or with Command and several selected one side-by-side container
    // holding them. One undo group, "Delete Images", takes the whole addition back.
    void performDoubleClickOnItem(PLYGalleryViewItem* item, quint64 modifierFlags);
    // Toggles hidden for the item's image (unused images only), or with no item for the selection.
    void performHideOnItem(PLYGalleryViewItem* item);
    void performHideOnImages(const QStringList& imageIdentifiers);
    void undoDeleteBlock(const QString& blockIdentifier);
    void galleryHeaderToggledCollapsed(PLYGalleryHeaderView* header);
    void setSelectedImages();
    QList<std::shared_ptr<PLYSourceImage>> selectedImages() const;
    // The Delete key of an item: confirms (unless suppressed), then hides it.
    void deleteKeyOnItem(PLYGalleryViewItem* item);
    // Space: the shared preview panel shows the selection.
    void togglePreviewPanel();

    // The grid asks before changing its selection; the answer is what changes.
    QVector<PLYGalleryIndexPath> shouldSelectItems(const QVector<PLYGalleryIndexPath>& proposed, quint64 modifierFlags);
    QVector<PLYGalleryIndexPath> shouldDeselectItems(const QVector<PLYGalleryIndexPath>& proposed, quint64 modifierFlags);
    void selectionDidChange();
    qint64 pivotingSelectionIndex() const { return m_pivot; }
    // Shift-click in the first section: the items from the lower of pivot and clicked item up
    // to the pivot (excluded) when the click lies before it, else from the pivot through the click.
    static QVector<int> shiftSelectionRange(qint64 pivot, int clicked);

    // Actions.
    void imageSourceAction();
    void setWatchDirectory();
    void showWatchDirectory();
    void refreshGalleryAction();
    void autoAddImagesAction();
    void showDirectoryMenu();
    void shoewSortFilterMenuAction();
    void ensureSortMenu();
    void sortTypeMenuAction(QAction* sender);
    void sortOrderMenuAction(QAction* sender);
    void clearFilterAction();
    void splitImageAction();
    void showHiddenImagesAction();
    void adjustZoomAction();
    double currentZoomFactor() const { return m_zoom; }
    // Image files and folders dropped from the file manager; false when none had a file path.
    bool addDroppedURLs(const QList<QUrl>& urls);

    // Outlets.
    QStackedWidget* tabView() const { return m_tabView; }
    PLYDraggingDestinationScrollView* scrollView() const { return m_scrollView; }
    PLYGalleryCollectionView* galleryView() const { return m_galleryView; }
    PLYGalleryViewLayout* layout() { return &m_layout; }
    PLYStarFilterView* filterStarView() const { return m_starView; }
    PLYColourFilterView* filterColourView() const { return m_colourView; }
    QMenu* sortFilterMenu() const { return m_sortFilterMenu; }
    QMenu* directoryMenu() const { return m_directoryMenu; }

    // PLYStarFilterDelegate, PLYColourFilterDelegate
    void starFilterSetFilterSelection(PLYStarFilterView* view, qint64 selection) override;
    void starFilterSetComparatorValue(PLYStarFilterView* view, qint64 comparator) override;
    void colourFilterSetFilterType(PLYColourFilterView* view, qint64 mask) override;

    // PLYSourceDirectoryDelegate
    void sourceDirectoryUpdatedState(PLYSourceDirectory* directory, int state) override;
    void sourceDirectoryAddedNewImage(PLYSourceDirectory* directory, const QString& identifier) override;
    void sourceDirectoryUpdatedImage(PLYSourceDirectory* directory, const QString& identifier) override;
    void sourceDirectoryDeletedImage(PLYSourceDirectory* directory, const QString& identifier) override;
    bool sourceDirectoryShouldRemoveDeletedImage(PLYSourceDirectory* directory, const QString& identifier) override;

    // PLYPreviewPanelController
    void beginPreviewPanelControl() override;
    void endPreviewPanelControl() override;
    int numberOfPreviewItems() override;
    PLYPreviewItem previewItemAtIndex(int index) override;
    bool previewPanelHandleKey(const PLYKeyCodes::KeyEvent& event) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildInterface();
    void buildMenus();
    QAction* addMenuItem(QMenu* menu, const QString& objectName, const QString& title, bool checkable,
                         void (PLYGalleryViewController::*slot)());
    void showMessagePage(const QString& title, const QString& button, const QString& info);
    void registerWithPost();
    void unregisterFromPost();
    void watchSource(const std::shared_ptr<PLYSourceDirectory>& source);
    void scheduleRebuild();
    void followPivot(const QString& pivotIdentifier);
    PLYGalleryImageInfo infoForImage(const PLYSourceImage& image, const PLYPersistantPost& post,
                                     const QSet<QString>& hidden, bool anyInUse = true);
    void toggleHidden(const QStringList& identifiers, bool single);
    void imageCountChanged(PLYSourceImage* image);

    PLYUndoManager* m_undoManager = nullptr;
    PLYGalleryModel m_model;
    PLYGalleryViewLayout m_layout;
    // Listed when asked for: a rebuild copies no image pointer for it.
    mutable QList<std::shared_ptr<PLYSourceImage>> m_currentOrderedImages;
    mutable bool m_currentOrderedMade = false;
    QList<std::shared_ptr<PLYSourceImage>> m_allImages;  // as given to the model by the last rebuild
    QList<std::weak_ptr<PLYSourceImage>> m_selectedImages;
    struct Dates {
        qint64 created = -1;
        qint64 modified = -1;
    };
    QHash<QString, Dates> m_dates;  // read once per file, forgotten when the location reports it changed
    double m_zoom = 1.0;
    qint64 m_pivot = -1;
    int m_rebuildCount = 0;
    bool m_controlsPreview = false;

    QStackedWidget* m_tabView = nullptr;
    PLYDraggingDestinationScrollView* m_scrollView = nullptr;
    PLYGalleryCollectionView* m_galleryView = nullptr;
    QLabel* m_imageErrorTitleLabel = nullptr;
    QLabel* m_imageErrorInfoLabel = nullptr;
    QPushButton* m_imageSourceButton = nullptr;
    QSlider* m_zoomSlider = nullptr;
    QToolButton* m_sortFilterButton = nullptr;
    QToolButton* m_directoryButton = nullptr;
    QMenu* m_sortFilterMenu = nullptr;
    QMenu* m_directoryMenu = nullptr;
    QAction* m_titleMenuItem = nullptr;
    QAction* m_creationMenuItem = nullptr;
    QAction* m_modifiedMenuItem = nullptr;
    QAction* m_ascendingMenuItem = nullptr;
    QAction* m_descendingMenuItem = nullptr;
    QAction* m_splitImagesMenuItem = nullptr;
    QAction* m_showHiddenImagesMenuItem = nullptr;
    QAction* m_autoAddNewMenuItem = nullptr;
    QWidgetAction* m_filterStarMenuItem = nullptr;
    QWidgetAction* m_filterColourMenuItem = nullptr;
    PLYStarFilterView* m_starView = nullptr;
    PLYColourFilterView* m_colourView = nullptr;

    PLYObserverBag m_observers;      // for the gallery's whole life
    PLYObserverBag m_postObservers;  // for the current post
    QList<std::weak_ptr<PLYSourceDirectory>> m_watchedSources;
    QTimer m_rebuildTimer;  // folder changes arriving together rebuild once
};
