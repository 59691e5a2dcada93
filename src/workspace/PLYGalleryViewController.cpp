#include "PLYGalleryViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYColor.h"
#include "PLYColourFilterView.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYDraggingDestinationScrollView.h"
#include "PLYFileDialogs.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryHeaderView.h"
#include "PLYGalleryViewItem.h"
#include "PLYLayoutManager.h"
#include "PLYLog.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSafeText.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYStarFilterView.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QWidgetAction>

Q_LOGGING_CATEGORY(lcGalleryPreview, "pellory.gallery.preview", QtWarningMsg)

namespace {

// Hidden flags of unused images only; a used image stays as it is.
void toggleHiddenOnPost(PLYPersistantPost& post, const QStringList& identifiers) {
    for (const QString& id : identifiers)
        if (post.inUseCountForImage(id) == 0) post.toggleImageHiddenForImage(id);
}

QLabel* sectionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setContentsMargins(21, 4, 10, 0);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace

PLYGalleryViewController::PLYGalleryViewController(QWidget* parent) : PLYGenericPostViewController(parent) {
    setObjectName(QStringLiteral("PLYGalleryViewController"));
    m_layout.setMinimumInteritemSpacing(10);
    m_layout.setMinimumLineSpacing(10);
    m_layout.setSectionInset(QMarginsF(10, 10, 10, 10));
    m_layout.setItemSize(QSizeF(kBaseItemSide, kBaseItemSide));
    m_layout.setHeaderReferenceSize(QSizeF(28, 28));
    m_layout.setSectionHeadersPinToVisibleBounds(true);
    buildInterface();
    buildMenus();
    m_model.splitUsedImages = PLYDefaults::shouldSplitUsedImages();
    m_model.showHiddenImages = PLYDefaults::shouldShowHiddenImages();
    m_model.sortOrder = PLYDefaults::sortOrder();
    m_model.sortType = PLYDefaults::sortType();
    // The filters start cleared at every load: the values kept in the defaults are not read.
    m_starView->setDelegate(this);
    m_colourView->setDelegate(this);
    m_starView->setCurrentComparator(1);
    ensureSortMenu();
    m_observers.add(QString::fromLatin1(PLYPersistantPost::ImageCountChangeNotification), nullptr,
                    [this](const PLYNotification& n) { imageCountChanged(n.objectAs<PLYSourceImage>()); });
    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(50);
    connect(&m_rebuildTimer, &QTimer::timeout, this, [this] { ensureImageStructure(true); });
}

PLYGalleryViewController::~PLYGalleryViewController() {
    m_rebuildTimer.stop();
    unregisterFromPost();
    m_observers.clear();
    PLYPreviewPresenter::shared()->removeController(this);
    m_starView->setDelegate(nullptr);
    m_colourView->setDelegate(nullptr);
    // The grid refers to this controller's layout and model: it goes first.
    delete m_tabView;
    m_tabView = nullptr;
}

// ---- interface ---------------------------------------------------------------------------------

void PLYGalleryViewController::buildInterface() {
    setMinimumWidth(250);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    m_scrollView = new PLYDraggingDestinationScrollView(m_tabView);
    m_scrollView->setGalleryViewController(this);
    m_galleryView = new PLYGalleryCollectionView;
    m_galleryView->setCollectionViewLayout(&m_layout);
    m_galleryView->setGalleryViewController(this);
    m_scrollView->setWidget(m_galleryView);
    m_tabView->addWidget(m_scrollView);

    auto* message = new QWidget(m_tabView);
    message->setObjectName(QStringLiteral("messagePage"));
    message->setAutoFillBackground(true);
    QPalette grey = message->palette();
    grey.setColor(QPalette::Window, PLYColor::kro_inspectorDetailGrey());
    message->setPalette(grey);
    auto* messageLayout = new QVBoxLayout(message);
    messageLayout->setContentsMargins(20, 20, 20, 20);
    messageLayout->setSpacing(8);
    m_imageErrorTitleLabel = new QLabel(message);
    m_imageErrorTitleLabel->setObjectName(QStringLiteral("imageErrorTitleLabel"));
    m_imageErrorTitleLabel->setAlignment(Qt::AlignCenter);
    QFont title = m_imageErrorTitleLabel->font();
    title.setPointSizeF(title.pointSizeF() * 1.3);
    title.setBold(true);
    m_imageErrorTitleLabel->setFont(title);
    m_imageErrorInfoLabel = new QLabel(message);
    m_imageErrorInfoLabel->setObjectName(QStringLiteral("imageErrorInfoLabel"));
    m_imageErrorInfoLabel->setAlignment(Qt::AlignCenter);
    m_imageErrorInfoLabel->setWordWrap(true);
    // It names a folder on disk, which may hold any characters.
    PLYSafeText::makePlain(m_imageErrorInfoLabel);
    m_imageErrorInfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_imageSourceButton = new QPushButton(message);
    m_imageSourceButton->setObjectName(QStringLiteral("imageSourceButton"));
    connect(m_imageSourceButton, &QPushButton::clicked, this, [this] { imageSourceAction(); });
    messageLayout->addStretch(1);
    messageLayout->addWidget(m_imageErrorTitleLabel);
    messageLayout->addWidget(m_imageErrorInfoLabel);
    messageLayout->addSpacing(6);
    messageLayout->addWidget(m_imageSourceButton, 0, Qt::AlignHCenter);
    messageLayout->addStretch(2);
    m_tabView->addWidget(message);
    root->addWidget(m_tabView, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("galleryToolbar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 4, 8, 4);
    barLayout->setSpacing(4);
    m_directoryButton = new QToolButton(bar);
    m_directoryButton->setObjectName(QStringLiteral("directoryButton"));
    m_directoryButton->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    m_directoryButton->setToolTip(tr("Folder of this post's images"));
    m_directoryButton->setAutoRaise(true);
    connect(m_directoryButton, &QToolButton::clicked, this, [this] { showDirectoryMenu(); });
    m_sortFilterButton = new QToolButton(bar);
    m_sortFilterButton->setObjectName(QStringLiteral("sortFilterButton"));
    m_sortFilterButton->setText(tr("Sort && Filter"));
    m_sortFilterButton->setToolTip(tr("Sort the images, filter them by stars and colour labels"));
    m_sortFilterButton->setAutoRaise(true);
    connect(m_sortFilterButton, &QToolButton::clicked, this, [this] { shoewSortFilterMenuAction(); });
    m_zoomSlider = new QSlider(Qt::Horizontal, bar);
    m_zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    m_zoomSlider->setRange(100, 200);
    m_zoomSlider->setValue(100);
    m_zoomSlider->setFixedWidth(72);
    m_zoomSlider->setToolTip(tr("Thumbnail size"));
    connect(m_zoomSlider, &QSlider::valueChanged, this, [this] { adjustZoomAction(); });
    barLayout->addWidget(m_directoryButton);
    barLayout->addWidget(m_sortFilterButton);
    barLayout->addStretch(1);
    barLayout->addWidget(m_zoomSlider);
    root->addWidget(bar);
}

QAction* PLYGalleryViewController::addMenuItem(QMenu* menu, const QString& objectName, const QString& title,
                                               bool checkable, void (PLYGalleryViewController::*slot)()) {
    QAction* action = menu->addAction(title);
    action->setObjectName(objectName);
    action->setCheckable(checkable);
    if (slot) connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    return action;
}

void PLYGalleryViewController::buildMenus() {
    m_sortFilterMenu = new QMenu(this);
    m_sortFilterMenu->setObjectName(QStringLiteral("sortFilterMenu"));
    m_sortFilterMenu->addSection(tr("Sort By"));
    m_titleMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("titleMenuItem"), tr("File Name"), true, nullptr);
    m_creationMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("creationMenuItem"), tr("Creation Date"), true, nullptr);
    m_modifiedMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("modifiedMenuItem"), tr("Modification Date"), true, nullptr);
    auto* types = new QActionGroup(m_sortFilterMenu);
    for (QAction* item : {m_titleMenuItem, m_creationMenuItem, m_modifiedMenuItem}) {
        types->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { sortTypeMenuAction(item); });
    }
    m_sortFilterMenu->addSeparator();
    m_ascendingMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("ascendingMenuItem"), {}, true, nullptr);
    m_descendingMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("descendingMenuItem"), {}, true, nullptr);
    auto* orders = new QActionGroup(m_sortFilterMenu);
    for (QAction* item : {m_ascendingMenuItem, m_descendingMenuItem}) {
        orders->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { sortOrderMenuAction(item); });
    }
    m_sortFilterMenu->addSeparator();
    m_splitImagesMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("splitImagesMenuItem"), tr("Show Used Images Apart"),
                                        true, &PLYGalleryViewController::splitImageAction);
    m_showHiddenImagesMenuItem = addMenuItem(m_sortFilterMenu, QStringLiteral("showHiddenImagesMenuItem"),
                                             tr("Show Hidden Images"), true, &PLYGalleryViewController::showHiddenImagesAction);
    m_sortFilterMenu->addSeparator();

    auto* starLabel = new QWidgetAction(m_sortFilterMenu);
    starLabel->setDefaultWidget(sectionLabel(tr("Stars"), m_sortFilterMenu));
    m_sortFilterMenu->addAction(starLabel);
    m_starView = new PLYStarFilterView(m_sortFilterMenu);
    m_filterStarMenuItem = new QWidgetAction(m_sortFilterMenu);
    m_filterStarMenuItem->setObjectName(QStringLiteral("filterStarMenuItem"));
    m_filterStarMenuItem->setDefaultWidget(m_starView);
    m_sortFilterMenu->addAction(m_filterStarMenuItem);
    auto* colourLabel = new QWidgetAction(m_sortFilterMenu);
    colourLabel->setDefaultWidget(sectionLabel(tr("Colour Labels"), m_sortFilterMenu));
    m_sortFilterMenu->addAction(colourLabel);
    m_colourView = new PLYColourFilterView(m_sortFilterMenu);
    m_filterColourMenuItem = new QWidgetAction(m_sortFilterMenu);
    m_filterColourMenuItem->setObjectName(QStringLiteral("filterColourMenuItem"));
    m_filterColourMenuItem->setDefaultWidget(m_colourView);
    m_sortFilterMenu->addAction(m_filterColourMenuItem);
    addMenuItem(m_sortFilterMenu, QStringLiteral("clearFilterMenuItem"), tr("Clear Filters"), false,
                &PLYGalleryViewController::clearFilterAction);
    connect(m_sortFilterMenu, &QMenu::aboutToShow, this, [this] { ensureSortMenu(); });

    m_directoryMenu = new QMenu(this);
    m_directoryMenu->setObjectName(QStringLiteral("directoryMenu"));
    addMenuItem(m_directoryMenu, QStringLiteral("setWatchDirectoryMenuItem"), tr("Choose Folder…"), false,
                &PLYGalleryViewController::setWatchDirectory);
    addMenuItem(m_directoryMenu, QStringLiteral("showWatchDirectoryMenuItem"), tr("Show Folder"), false,
                &PLYGalleryViewController::showWatchDirectory);
    addMenuItem(m_directoryMenu, QStringLiteral("refreshGalleryMenuItem"), tr("Look Again for Images"), false,
                &PLYGalleryViewController::refreshGalleryAction);
    m_directoryMenu->addSeparator();
    m_autoAddNewMenuItem = addMenuItem(m_directoryMenu, QStringLiteral("autoAddNewMenuItem"),
                                       tr("Add New Images to the Layout"), true, &PLYGalleryViewController::autoAddImagesAction);
    connect(m_directoryMenu, &QMenu::aboutToShow, this, [this] { ensureSortMenu(); });
}

void PLYGalleryViewController::showMessagePage(const QString& title, const QString& button, const QString& info) {
    m_tabView->setCurrentIndex(1);
    m_imageErrorTitleLabel->setText(title);
    m_imageSourceButton->setText(button);
    m_imageErrorInfoLabel->setText(info);
    m_imageErrorInfoLabel->setVisible(!info.isEmpty());
}

void PLYGalleryViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ensureImageStructure(true);
}

// ---- model -------------------------------------------------------------------------------------

std::shared_ptr<PLYPersistantPost> PLYGalleryViewController::representedPost() const {
    return postManager() ? postManager()->representedPost() : nullptr;
}

PLYUndoManager* PLYGalleryViewController::undoManager() const {
    if (m_undoManager) return m_undoManager;
    // Looked up at each use: the pane moves into its window after it is made.
    return PLYWindowUndoManager::undoManagerForWidget(const_cast<PLYGalleryViewController*>(this));
}

void PLYGalleryViewController::setPostManager(std::shared_ptr<PLYPostManager> manager) {
    if (manager != postManager()) {
        unregisterFromPost();
        PLYGenericPostViewController::setPostManager(manager);
        m_dates.clear();
        m_model.forgetOrder();
        m_allImages.clear();
        m_currentOrderedMade = false;
        m_galleryView->deselectAll();
        m_pivot = -1;
    }
    registerWithPost();
    ensureImageStructure(true);
}

void PLYGalleryViewController::registerWithPost() {
    const auto post = representedPost();
    if (!post) return;
    if (m_postObservers.isEmpty()) {
        m_postObservers.add(QString::fromLatin1(PLYPersistantPost::SourceAddedNotification), post.get(),
                            [this](const PLYNotification& n) {
                                const auto store = PLYCoreManager::persistantStore();
                                const QString id = n.userInfo.value(QStringLiteral("sourceLocation")).toString();
                                if (store) watchSource(store->sourceForIdentifier(id));
                                scheduleRebuild();
                            });
        m_postObservers.add(QString::fromLatin1(PLYPersistantPost::SourceRemovedNotification), post.get(),
                            [this](const PLYNotification& n) {
                                const QString id = n.userInfo.value(QStringLiteral("sourceLocation")).toString();
                                for (const auto& weak : std::as_const(m_watchedSources)) {
                                    const auto source = weak.lock();
                                    if (source && source->identifier() == id) source->removeDelegate(this);
                                }
                                scheduleRebuild();
                            });
    }
    const auto store = PLYCoreManager::persistantStore();
    if (!store) return;
    for (const QString& id : post->sourceLocations()) watchSource(store->sourceForIdentifier(id));
}

void PLYGalleryViewController::watchSource(const std::shared_ptr<PLYSourceDirectory>& source) {
    if (!source) return;
    source->addDelegate(this);  // harmless when already registered
    for (const auto& weak : std::as_const(m_watchedSources))
        if (weak.lock() == source) return;
    m_watchedSources.append(source);
}

void PLYGalleryViewController::unregisterFromPost() {
    m_postObservers.clear();
    for (const auto& weak : std::as_const(m_watchedSources))
        if (const auto source = weak.lock()) source->removeDelegate(this);
    m_watchedSources.clear();
}

void PLYGalleryViewController::scheduleRebuild() {
    if (!m_rebuildTimer.isActive()) m_rebuildTimer.start();
}

void PLYGalleryViewController::ensureImageStructure(bool reload) {
    m_rebuildTimer.stop();
    const auto post = representedPost();
    const auto main = post ? post->mainSourceDirectory() : nullptr;
    // Images dropped in from files are shown even without a folder of the post.
    if (!post || (!main && post->images().isEmpty())) {
        showMessagePage(tr("No Images"), tr("Import Images..."), {});
        return;
    }
    if (main && !main->locationExisits()) {
        showMessagePage(tr("Directory Not Found"), tr("Locate Directory"),
                        tr("%1 cannot be located").arg(main->path().replace(QStringLiteral("%20"), QStringLiteral(" "))));
        return;
    }
    m_tabView->setCurrentIndex(0);
    const QString pivotId = m_pivot >= 0 ? identifierAtIndexPath({0, int(m_pivot)}) : QString();
    sortAndFilterImageCollection();
    createIndexRanges();
    followPivot(pivotId);
    ++m_rebuildCount;
    if (reload) m_galleryView->reloadData();
}

PLYGalleryImageInfo PLYGalleryViewController::infoForImage(const PLYSourceImage& image, const PLYPersistantPost& post,
                                                           const QSet<QString>& hidden, bool anyInUse) {
    PLYGalleryImageInfo info;
    info.identifier = image.identifier();
    info.fileName = image.fileName();
    if (!image.fileDeleted() && image.fileCreatedTime() >= 0 && image.fileModifiedTime() >= 0) {
        // As the location last found them: no file is asked again for each rebuild.
        info.creationTime = image.fileCreatedTime();
        info.modificationTime = image.fileModifiedTime();
    } else if (!image.fileDeleted()) {
        auto it = m_dates.find(info.identifier);
        if (it == m_dates.end()) {
            Dates dates;
            if (const QDateTime modified = image.modifiedDate(); modified.isValid()) {
                dates.modified = modified.toMSecsSinceEpoch();
                const QDateTime created = image.creationDate();
                dates.created = (created.isValid() ? created : modified).toMSecsSinceEpoch();
            }
            it = m_dates.insert(info.identifier, dates);
        }
        info.creationTime = it->created;
        info.modificationTime = it->modified;
    }
    info.starRating = image.starRating();
    info.colourRating = image.colourRating();
    // Most posts hide none and use few: no lookup for each image when there is nothing to find.
    info.hidden = !hidden.isEmpty() && hidden.contains(info.identifier);
    info.useCount = anyInUse ? post.inUseCountForImage(info.identifier) : 0;
    return info;
}

void PLYGalleryViewController::sortAndFilterImageCollection() {
    const auto post = representedPost();
    QList<std::shared_ptr<PLYSourceImage>> images = post ? post->images() : QList<std::shared_ptr<PLYSourceImage>>();
    const QStringList hiddenList = post ? post->hiddenImages() : QStringList();
    const QSet<QString> hidden(hiddenList.cbegin(), hiddenList.cend());
    QVector<PLYGalleryImageInfo> infos;
    infos.reserve(images.size());
    const bool anyInUse = post && post->numberOfImagesInUse() > 0;
    // The images lie scattered in memory: each is fetched some steps ahead, its names a few
    // steps later, so that a large folder is read at the memory's pace rather than its latency.
    const qsizetype count = images.size();
    constexpr qsizetype objectAhead = 16, namesAhead = 8;
    for (qsizetype i = 0; i < count; ++i) {
        if (i + objectAhead < count) __builtin_prefetch(images.at(i + objectAhead).get());
        if (i + namesAhead < count) images.at(i + namesAhead)->prefetchNames();
        infos.append(infoForImage(*images.at(i), *post, hidden, anyInUse));
    }
    // The same image objects in the same places as last time (held since, so none is new at an
    // old address): the model may start from the order it kept. The folder's own list, unchanged
    // since, is that at once.
    bool same = images.size() == m_allImages.size();
    if (images.constData() != m_allImages.constData())
        for (qsizetype i = 0; same && i < images.size(); ++i) same = images.at(i) == m_allImages.at(i);
    m_model.filter.starSelection = m_starView->currentFilterSelection();
    m_model.filter.comparator = m_starView->currentComparator();
    m_model.filter.colourMask = m_colourView->currentFilterSelection();
    m_model.sortAndFilter(std::move(infos), same);
    m_currentOrderedImages.clear();
    m_currentOrderedMade = false;
    m_allImages = std::move(images);
}

const QList<std::shared_ptr<PLYSourceImage>>& PLYGalleryViewController::currentOrderedImages() const {
    if (!m_currentOrderedMade) {
        m_currentOrderedImages.clear();
        m_currentOrderedImages.reserve(m_model.orderedSourcePositions().size());
        for (int position : m_model.orderedSourcePositions()) m_currentOrderedImages.append(m_allImages.at(position));
        m_currentOrderedMade = true;
    }
    return m_currentOrderedImages;
}

void PLYGalleryViewController::createIndexRanges() { m_model.createIndexRanges(); }

void PLYGalleryViewController::followPivot(const QString& pivotIdentifier) {
    // The pivot follows its image while it stays in the first section; otherwise it is reset.
    const auto path = pivotIdentifier.isEmpty() ? std::nullopt : indexPathForIdentifier(pivotIdentifier);
    m_pivot = (path && path->section == 0) ? path->item : -1;
}

std::shared_ptr<PLYSourceImage> PLYGalleryViewController::imageAtIndexPath(const PLYGalleryIndexPath& path) const {
    const int index = m_model.orderedIndexAt(path);
    const QVector<int>& positions = m_model.orderedSourcePositions();
    return index < 0 || index >= positions.size() ? nullptr : m_allImages.at(positions.at(index));
}

QString PLYGalleryViewController::identifierAtIndexPath(const PLYGalleryIndexPath& path) const {
    const PLYGalleryImageInfo* info = m_model.imageAtIndexPath(path);
    return info ? info->identifier : QString();
}

std::optional<PLYGalleryIndexPath> PLYGalleryViewController::indexPathForIdentifier(const QString& identifier) const {
    const int index = m_model.orderedIndexForIdentifier(identifier);
    return index < 0 ? std::nullopt : m_model.indexPathForOrderedIndex(index);
}

void PLYGalleryViewController::configureHeader(PLYGalleryHeaderView* header, int section) {
    const bool used = m_model.kindOfSection(section) == PLYGalleryModel::UsedSection;
    header->titleLabel()->setText(used ? tr("Used Images") : tr("Hidden Images"));
    // The count covers the whole section, also while it is collapsed.
    header->numberLabel()->setText(QStringLiteral("(%1)").arg(m_model.arrayForSection(section).size()));
    header->setCollapsed(m_model.isSectionCollapsed(section));
    header->setSection(section);
    header->setTarget([this](PLYGalleryHeaderView* h) { galleryHeaderToggledCollapsed(h); });
}

void PLYGalleryViewController::galleryHeaderToggledCollapsed(PLYGalleryHeaderView* header) {
    if (!header) return;
    if (m_model.kindOfSection(header->section()) == PLYGalleryModel::UsedSection)
        m_model.collapseUsedSection = !m_model.collapseUsedSection;
    else
        m_model.collapseHiddenSection = !m_model.collapseHiddenSection;
    m_galleryView->reloadData();
}

// ---- selection ---------------------------------------------------------------------------------

QVector<int> PLYGalleryViewController::shiftSelectionRange(qint64 pivot, int clicked) {
    QVector<int> items;
    if (clicked < pivot)
        for (int i = clicked; i < pivot; ++i) items.append(i);
    else
        for (qint64 i = pivot; i <= clicked; ++i) items.append(int(i));
    return items;
}

QVector<PLYGalleryIndexPath> PLYGalleryViewController::shouldSelectItems(const QVector<PLYGalleryIndexPath>& proposed,
                                                                         quint64 modifierFlags) {
    if (proposed.isEmpty() || proposed.first().section != 0) return proposed;
    const PLYGalleryIndexPath clicked = proposed.first();
    const int count = m_model.numberOfItemsInSection(0);
    if (m_pivot >= 0 && m_pivot < count && (modifierFlags & PLYKeyCodes::Shift)) {
        QVector<PLYGalleryIndexPath> range;
        for (int item : shiftSelectionRange(m_pivot, clicked.item)) range.append({0, item});
        return range;
    }
    m_pivot = clicked.item;
    return proposed;
}

QVector<PLYGalleryIndexPath> PLYGalleryViewController::shouldDeselectItems(const QVector<PLYGalleryIndexPath>& proposed,
                                                                           quint64 modifierFlags) {
    if (modifierFlags & PLYKeyCodes::Command) return {};
    return proposed;
}

void PLYGalleryViewController::selectionDidChange() {
    if (!m_controlsPreview) return;
    setSelectedImages();
    const auto presenter = PLYPreviewPresenter::shared();
    if (presenter->controller() == this && presenter->isPanelVisible()) presenter->reloadData();
}

void PLYGalleryViewController::setSelectedImages() {
    m_selectedImages.clear();
    for (const PLYGalleryIndexPath& path : m_galleryView->selectionIndexPaths())
        if (const auto image = imageAtIndexPath(path)) m_selectedImages.append(image);
    qCDebug(lcGalleryPreview, "Set selected images, count is %d", int(m_selectedImages.size()));
}

QList<std::shared_ptr<PLYSourceImage>> PLYGalleryViewController::selectedImages() const {
    QList<std::shared_ptr<PLYSourceImage>> images;
    for (const auto& weak : m_selectedImages)
        if (const auto image = weak.lock()) images.append(image);
    return images;
}

// ---- adding to the layout ----------------------------------------------------------------------

void PLYGalleryViewController::performDoubleClickOnItem(PLYGalleryViewItem* item, quint64 modifierFlags) {
    const auto layoutManager = postManager() ? postManager()->layoutManager() : nullptr;
    PLYLayout* layout = layoutManager ? layoutManager->representedLayout() : nullptr;
    if (!layout || layout->sections_size() == 0) {
        PLY_LOG_WARN(QStringLiteral("cannot add images: the post's layout has no section"));
        return;
    }
    QStringList imageIds;
    qsizetype count = 1;
    if (item) {
        if (const auto image = item->image()) imageIds << image->identifier();
    } else {
        for (const PLYGalleryIndexPath& path : m_galleryView->selectionIndexPaths()) imageIds << identifierAtIndexPath(path);
        if (modifierFlags & PLYKeyCodes::Command) count = imageIds.size();
    }
    imageIds.removeAll(QString());
    if (imageIds.isEmpty()) return;

    // One step of the post's history: its undo takes the images out and, with them, the
    // container made for them, so that the layout's bytes and the use counts are as before.
    layoutManager->recordUndoableChange(undoManager(), QString::fromLatin1(DeleteImagesActionName), [&] {
        PLYSection* section = layout->mutable_sections(layout->sections_size() - 1);
        QString containerId;
        if (count != 1) {
            PLYBlock container = PLYLayoutManager::newBlock_Container();
            container.mutable_container()->set_vert(false);
            PLYBlock* added = layoutManager->addBlock(container, nullptr, section);
            if (!added) return false;
            containerId = QString::fromStdString(added->id());
        }
        std::vector<PLYBlock> blocks;
        for (const QString& id : std::as_const(imageIds)) blocks.push_back(PLYLayoutManager::newBlock_ImageForIdentifier(id));
        PLYBlock* parent = containerId.isEmpty() ? nullptr : layoutManager->blockForRef(containerId);
        return !layoutManager->addBlocks(blocks, parent, parent ? nullptr : section).isEmpty();
    });
}

void PLYGalleryViewController::undoDeleteBlock(const QString& blockIdentifier) {
    const auto layoutManager = postManager() ? postManager()->layoutManager() : nullptr;
    if (PLYBlock* block = layoutManager ? layoutManager->blockForRef(blockIdentifier) : nullptr)
        layoutManager->removeBlock(block, false);
}

// ---- hiding ------------------------------------------------------------------------------------

void PLYGalleryViewController::performHideOnItem(PLYGalleryViewItem* item) {
    if (!item) {
        QStringList ids;
        for (const PLYGalleryIndexPath& path : m_galleryView->selectionIndexPaths()) ids << identifierAtIndexPath(path);
        performHideOnImages(ids);
        return;
    }
    if (const auto image = item->image()) toggleHidden({image->identifier()}, true);
}

void PLYGalleryViewController::performHideOnImages(const QStringList& imageIdentifiers) {
    toggleHidden(imageIdentifiers, false);
}

void PLYGalleryViewController::toggleHidden(const QStringList& identifiers, bool single) {
    const auto post = representedPost();
    if (!post || identifiers.isEmpty()) return;
    // A single used image is left alone, without an undo entry; a selection registers its undo
    // even when some of it is used.
    if (single && post->inUseCountForImage(identifiers.first()) != 0) return;
    PLYUndoManager* undo = undoManager();
    QPointer<PLYGalleryViewController> self(this);
    const std::weak_ptr<PLYPersistantPost> weakPost = post;
    undo->registerUndo([self, weakPost, identifiers, single] {
        if (self) {
            self->toggleHidden(identifiers, single);
        } else if (const auto post = weakPost.lock()) {
            toggleHiddenOnPost(*post, identifiers);
        }
    }, this);
    undo->setActionName(single ? tr("Hide/Unhide Image") : tr("Hide/Unhide Images"));
    toggleHiddenOnPost(*post, identifiers);
    ensureImageStructure(true);
}

void PLYGalleryViewController::deleteKeyOnItem(PLYGalleryViewItem* item) {
    const auto image = item ? item->image() : nullptr;
    if (!image) return;
    // Held by identifier: the item may show another image once the alert is closed.
    const QString id = image->identifier();
    if (PLYDefaults::shouldSupressImageItemDelete()) {
        toggleHidden({id}, true);
        return;
    }
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = QStringLiteral("Deleting Images");
    alert.informativeText = QStringLiteral(
        "Deleting an Image places it in the 'hidden' image section. To view this section, open the filter menu and "
        "select 'Show Hidden Images'. If you want to actaully delete the image, do so in the Finder app.");
    alert.buttonTitles = {QStringLiteral("Hide the Image"), QStringLiteral("Cancel")};
    alert.showsSuppressionButton = true;
    bool suppressed = false;
    const qint64 answer = PLYAlertPresenter::shared()->runModalWithSuppression(alert, &suppressed, window());
    if (suppressed) PLYDefaults::setSupressImageDataDelete(true);
    if (answer == PLYAlertPresenter::FirstButtonReturn) toggleHidden({id}, true);
}

// ---- preview panel -----------------------------------------------------------------------------

void PLYGalleryViewController::togglePreviewPanel() {
    const auto presenter = PLYPreviewPresenter::shared();
    qCDebug(lcGalleryPreview, "accept preview panel control");
    presenter->setController(this);
    presenter->toggle();
}

void PLYGalleryViewController::beginPreviewPanelControl() {
    qCDebug(lcGalleryPreview, "begin preview panel control");
    m_controlsPreview = true;
    setSelectedImages();
}

void PLYGalleryViewController::endPreviewPanelControl() {
    qCDebug(lcGalleryPreview, "end preview panel control");
    m_controlsPreview = false;
}

int PLYGalleryViewController::numberOfPreviewItems() {
    qCDebug(lcGalleryPreview, "Returning count as %ld", long(m_selectedImages.size()));
    return int(m_selectedImages.size());
}

PLYPreviewItem PLYGalleryViewController::previewItemAtIndex(int index) {
    qCDebug(lcGalleryPreview, "asked for item number %ld", long(index));
    const auto image = index >= 0 && index < m_selectedImages.size() ? m_selectedImages.at(index).lock() : nullptr;
    if (!image) return {};
    return {image->location(), image->previewItemTitle()};
}

bool PLYGalleryViewController::previewPanelHandleKey(const PLYKeyCodes::KeyEvent& event) {
    const bool arrow = event.keyCode >= PLYKeyCodes::LeftArrow && event.keyCode <= PLYKeyCodes::UpArrow;
    if (!arrow || event.isKeyUp || m_galleryView->selectionIndexPaths().size() != 1) return false;
    m_galleryView->keyDown(event);
    setSelectedImages();
    return true;
}

// ---- menus and actions -------------------------------------------------------------------------

void PLYGalleryViewController::ensureSortMenu() {
    m_titleMenuItem->setChecked(m_model.sortType == 0);
    m_creationMenuItem->setChecked(m_model.sortType == 1);
    m_modifiedMenuItem->setChecked(m_model.sortType == 2);
    m_ascendingMenuItem->setChecked(m_model.sortOrder == 0);
    m_descendingMenuItem->setChecked(m_model.sortOrder == 1);
    m_ascendingMenuItem->setText(PLYDefaults::ascendingTitleForType(m_model.sortType));
    m_descendingMenuItem->setText(PLYDefaults::descendingTitleForType(m_model.sortType));
    m_splitImagesMenuItem->setChecked(m_model.splitUsedImages);
    m_showHiddenImagesMenuItem->setChecked(m_model.showHiddenImages);
    m_autoAddNewMenuItem->setChecked(PLYDefaults::shouldAutoAddNewImages());
}

void PLYGalleryViewController::shoewSortFilterMenuAction() {
    ensureSortMenu();
    m_starView->update();
    m_colourView->update();
    m_sortFilterMenu->popup(m_sortFilterButton->mapToGlobal(QPoint(0, m_sortFilterButton->height())));
}

void PLYGalleryViewController::showDirectoryMenu() {
    ensureSortMenu();
    m_directoryMenu->popup(m_directoryButton->mapToGlobal(QPoint(0, m_directoryButton->height())));
}

void PLYGalleryViewController::sortTypeMenuAction(QAction* sender) {
    if (sender == m_titleMenuItem) m_model.sortType = 0;
    else if (sender == m_creationMenuItem) m_model.sortType = 1;
    else if (sender == m_modifiedMenuItem) m_model.sortType = 2;
    PLYDefaults::setSortType(m_model.sortType);
    ensureSortMenu();
    ensureImageStructure(true);
}

void PLYGalleryViewController::sortOrderMenuAction(QAction* sender) {
    if (sender == m_ascendingMenuItem) m_model.sortOrder = 0;
    else if (sender == m_descendingMenuItem) m_model.sortOrder = 1;
    PLYDefaults::setSortOrder(m_model.sortOrder);
    ensureSortMenu();
    ensureImageStructure(true);
}

void PLYGalleryViewController::splitImageAction() {
    m_model.splitUsedImages = !m_model.splitUsedImages;
    PLYDefaults::setShouldSplitusedImages(m_model.splitUsedImages);
    ensureSortMenu();
    ensureImageStructure(true);
}

void PLYGalleryViewController::showHiddenImagesAction() {
    m_model.showHiddenImages = !m_model.showHiddenImages;
    PLYDefaults::setShouldShowHiddenImages(m_model.showHiddenImages);
    ensureSortMenu();
    ensureImageStructure(true);
}

void PLYGalleryViewController::autoAddImagesAction() {
    PLYDefaults::setShouldAutoAddNewImages(!PLYDefaults::shouldAutoAddNewImages());
    ensureSortMenu();
}

void PLYGalleryViewController::clearFilterAction() {
    m_starView->clearFilter();
    m_colourView->clearFilter();
    ensureImageStructure(true);
}

void PLYGalleryViewController::adjustZoomAction() {
    m_zoom = m_zoomSlider->value() / 100.0;
    m_layout.setItemSize(QSizeF(kBaseItemSide * m_zoom, kBaseItemSide * m_zoom));
    m_galleryView->reloadData();
}

void PLYGalleryViewController::imageSourceAction() { setWatchDirectory(); }

void PLYGalleryViewController::setWatchDirectory() {
    if (!postManager() || !postManager()->representedPost()) return;
    const QString folder = PLYFileDialogs::shared()->chooseFolder(this, tr("Choose the Folder of This Post's Images"));
    if (folder.isEmpty()) return;
    postManager()->setWatchLocation(QUrl::fromLocalFile(folder), {});
    m_dates.clear();
    ensureImageStructure(true);
}

void PLYGalleryViewController::showWatchDirectory() {
    const auto post = representedPost();
    if (const auto main = post ? post->mainSourceDirectory() : nullptr) PLYDesktopServices::shared()->openURL(main->location());
}

void PLYGalleryViewController::refreshGalleryAction() {
    const auto post = representedPost();
    if (!post) return;
    m_dates.clear();
    post->refreshSourceLocations();
    ensureImageStructure(true);
}

bool PLYGalleryViewController::addDroppedURLs(const QList<QUrl>& urls) {
    if (!postManager() || !postManager()->representedPost()) return false;
    // Only images (or folders holding some) are taken; a drop of nothing usable is refused.
    bool any = false;
    for (const QUrl& url : urls)
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) any = postManager()->addWatchImage(url) || any;
    return any;
}

// ---- filters -----------------------------------------------------------------------------------

void PLYGalleryViewController::starFilterSetFilterSelection(PLYStarFilterView*, qint64 selection) {
    PLYDefaults::setStarFilterValue(selection);
    ensureImageStructure(true);
}

void PLYGalleryViewController::starFilterSetComparatorValue(PLYStarFilterView*, qint64 comparator) {
    PLYDefaults::setStarFilterComparator(comparator);
    ensureImageStructure(true);
}

void PLYGalleryViewController::colourFilterSetFilterType(PLYColourFilterView*, qint64 mask) {
    PLYDefaults::setColourFilterValue(mask);
    ensureImageStructure(true);
}

// ---- the post's locations ----------------------------------------------------------------------

void PLYGalleryViewController::imageCountChanged(PLYSourceImage* image) {
    const auto post = representedPost();
    PLYSourceDirectory* directory = image ? image->sourceDirectory() : nullptr;
    if (!post || !directory || !post->sourceLocations().contains(directory->identifier())) return;
    const QString id = image->identifier();
    const qint64 count = post->inUseCountForImage(id);
    if (count < 1 && image->fileDeleted()) {
        directory->deleteImage(id);
        ensureImageStructure(true);
        return;
    }
    if (m_tabView->currentIndex() != 0) return;
    const int index = m_model.orderedIndexForIdentifier(id);
    if (index >= 0) {
        PLYGalleryImageInfo info = m_model.orderedImages().at(index);
        info.useCount = count;
        m_model.updateOrderedImage(index, info);
    }
    const QString pivotId = m_pivot >= 0 ? identifierAtIndexPath({0, int(m_pivot)}) : QString();
    createIndexRanges();
    followPivot(pivotId);
    m_galleryView->reloadData();
}

void PLYGalleryViewController::sourceDirectoryUpdatedState(PLYSourceDirectory*, int) {
    m_dates.clear();
    scheduleRebuild();
}

void PLYGalleryViewController::sourceDirectoryAddedNewImage(PLYSourceDirectory*, const QString& identifier) {
    if (PLYDefaults::shouldAutoAddNewImages() && postManager()) {
        // A step of the post's history like any other change of the layout, so that no undo
        // beneath it throws the picture away; a drag of edit mode under way finishes first, its
        // step holding the drag alone.
        if (const auto layoutManager = postManager()->layoutManager())
            layoutManager->afterLiveEdit([self = QPointer<PLYGalleryViewController>(this),
                                          weak = std::weak_ptr<PLYLayoutManager>(layoutManager), identifier] {
                const auto manager = weak.lock();
                if (!self || !manager) return;
                manager->recordUndoableChange(self->undoManager(), QString::fromLatin1(DeleteImagesActionName),
                                              [&] { return !manager->createAndAddBlocksForImages({identifier}).isEmpty(); });
                self->scheduleRebuild();
            });
    }
    scheduleRebuild();
}

void PLYGalleryViewController::sourceDirectoryUpdatedImage(PLYSourceDirectory*, const QString& identifier) {
    m_dates.remove(identifier);
    const auto post = representedPost();
    const auto store = PLYCoreManager::persistantStore();
    const auto image = store ? store->imageForIdentifier(identifier) : nullptr;
    const int index = m_model.orderedIndexForIdentifier(identifier);
    if (!post || !image || index < 0 || m_rebuildTimer.isActive() || m_tabView->currentIndex() != 0) {
        scheduleRebuild();
        return;
    }
    const QStringList hiddenList = post->hiddenImages();
    const PLYGalleryImageInfo info = infoForImage(*image, *post, QSet<QString>(hiddenList.cbegin(), hiddenList.cend()));
    const PLYGalleryImageInfo& before = m_model.orderedImages().at(index);
    // A change that keeps the image where it is (still passing the filter, in the same section and
    // strictly between the same neighbours) redisplays its item alone; anything else rebuilds. A
    // key equal to a neighbour's rebuilds too: ties go by the folders' order, which only the
    // rebuild knows (a photo renamed to a name another folder has went before or after it).
    const auto& ordered = m_model.orderedImages();
    const bool stays = m_model.filter.accepts(info) && info.hidden == before.hidden &&
                       (info.useCount != 0) == (before.useCount != 0) &&
                       (index == 0 || PLYGalleryModel::compare(ordered.at(index - 1), info, m_model.sortType, m_model.sortOrder) < 0) &&
                       (index + 1 >= ordered.size() ||
                        PLYGalleryModel::compare(info, ordered.at(index + 1), m_model.sortType, m_model.sortOrder) < 0);
    if (!stays) {
        ensureImageStructure(true);
        return;
    }
    m_model.updateOrderedImage(index, info);
    // Nothing to redisplay in a collapsed section.
    if (const auto path = m_model.indexPathForOrderedIndex(index)) m_galleryView->reloadItemsAtIndexPaths({*path});
}

void PLYGalleryViewController::sourceDirectoryDeletedImage(PLYSourceDirectory*, const QString& identifier) {
    m_dates.remove(identifier);
    scheduleRebuild();
}

bool PLYGalleryViewController::sourceDirectoryShouldRemoveDeletedImage(PLYSourceDirectory*, const QString& identifier) {
    const auto post = representedPost();
    return post && post->inUseCountForImage(identifier) == 0;
}
