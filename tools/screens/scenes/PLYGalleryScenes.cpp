// The gallery pane of the fixture's richer post: as it opens, filtered by stars and colour, with
// its used and hidden sections (the used one collapsed), and its sort and filter menu.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYColourFilterView.h"
#include "PLYDecodedImageCache.h"
#include "PLYDefaults.h"
#include "PLYDraggingDestinationScrollView.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryHeaderView.h"
#include "PLYGalleryViewController.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYStarFilterView.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

namespace {

PLYGalleryViewController* gallery(PLYScreensFixture& fixture) {
    auto* controller = new PLYGalleryViewController;
    controller->resize(250, 640);
    controller->setPostManager(fixture.mainPostManager());
    return controller;
}

// Lets the previews decode, so the picture shows them.
void settle(PLYGalleryViewController* controller) {
    controller->show();
    PLYScreensFixture::settle(50);
    PLYDecodedImageCache::sharedCache()->waitForIdle();
    controller->galleryView()->update();
}

const bool galleryScene = PLYScreens::add(QStringLiteral("gallery"), [](PLYScreensFixture& fixture) -> QWidget* {
    auto* controller = gallery(fixture);
    settle(controller);
    return controller;
});

const bool filteredScene = PLYScreens::add(QStringLiteral("gallery-filtered"), [](PLYScreensFixture& fixture) -> QWidget* {
    auto* controller = gallery(fixture);
    controller->filterStarView()->setCurrentFilterSelection(3);
    controller->filterStarView()->setCurrentComparator(1);
    controller->filterColourView()->setCurrentFilterSelection(1 | 4);  // red and green
    controller->ensureImageStructure(true);
    settle(controller);
    return controller;
});

const bool sectionsScene = PLYScreens::add(QStringLiteral("gallery-sections"), [](PLYScreensFixture& fixture) -> QWidget* {
    const auto post = fixture.mainPostManager()->representedPost();
    // Two unused photos hidden; put back when the picture is taken.
    const QStringList hidden = {fixture.imageIdentifiers().at(8), fixture.imageIdentifiers().at(10)};
    for (const QString& id : hidden) post->toggleImageHiddenForImage(id);
    auto* controller = gallery(fixture);
    controller->splitImageAction();
    controller->showHiddenImagesAction();
    if (PLYGalleryHeaderView* used = controller->galleryView()->headerViewForSection(1)) used->collapsedButtonAction();
    settle(controller);
    QObject::connect(controller, &QObject::destroyed, [post, hidden] {
        for (const QString& id : hidden) post->toggleImageHiddenForImage(id);
        PLYDefaults::setShouldSplitusedImages(false);
        PLYDefaults::setShouldShowHiddenImages(false);
    });
    return controller;
});

const bool menuScene = PLYScreens::add(QStringLiteral("gallery-sort-filter-menu"), [](PLYScreensFixture& fixture) -> QWidget* {
    auto* picture = new QLabel;
    auto* controller = gallery(fixture);
    controller->setParent(picture);
    controller->hide();
    controller->filterStarView()->setCurrentFilterSelection(2);
    controller->filterStarView()->setCurrentComparator(-1);
    controller->filterColourView()->setCurrentFilterSelection(2 | 8);
    controller->ensureImageStructure(true);
    controller->ensureSortMenu();
    controller->sortFilterMenu()->popup(QPoint(10, 10));
    PLYScreensFixture::settle(50);
    QMenu* menu = controller->sortFilterMenu();
    menu->resize(menu->sizeHint());
    PLYScreensFixture::settle(20);
    const QPixmap grabbed = menu->grab();
    picture->setPixmap(grabbed);
    menu->hide();
    picture->resize(grabbed.deviceIndependentSize().toSize());
    return picture;
});

}  // namespace

namespace {

// The message page of a post that has no images yet.
const bool emptyScene = PLYScreens::add(QStringLiteral("gallery-no-images"), [](PLYScreensFixture&) -> QWidget* {
    auto* controller = new PLYGalleryViewController;
    controller->resize(250, 640);
    controller->setPostManager(PLYPostManager::create(nullptr));
    return controller;
});

// Larger thumbnails, scrolled so the hidden section's header stays pinned at the top.
const bool zoomedScene = PLYScreens::add(QStringLiteral("gallery-zoomed-scrolled"), [](PLYScreensFixture& fixture) -> QWidget* {
    const auto post = fixture.mainPostManager()->representedPost();
    const QStringList hidden = fixture.imageIdentifiers().mid(7);  // the five the post does not use
    for (const QString& id : hidden) post->toggleImageHiddenForImage(id);
    auto* controller = gallery(fixture);
    controller->showHiddenImagesAction();
    controller->findChild<QSlider*>(QStringLiteral("zoomSlider"))->setValue(150);
    settle(controller);
    const QRectF header = controller->layout()->frameForHeader(1);
    controller->scrollView()->verticalScrollBar()->setValue(int(header.y() + 60));
    settle(controller);
    QObject::connect(controller, &QObject::destroyed, [post, hidden] {
        for (const QString& id : hidden) post->toggleImageHiddenForImage(id);
        PLYDefaults::setShouldShowHiddenImages(false);
    });
    return controller;
});

}  // namespace
