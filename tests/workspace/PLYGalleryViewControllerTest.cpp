// The gallery pane over a real library: a signed-in account, a post watching a folder of
// generated photos with ratings and labels, driven by synthesized clicks, keys and drops.
#include "PLYAlertPresenter.h"
#include "PLYColourFilterView.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYDraggingDestinationScrollView.h"
#include "PLYFileDialogs.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryEvents.h"
#include "PLYGalleryHeaderView.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewItem.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPasteboard.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYScriptedPreviewPresenter.h"
#include "PLYSourceDirectory.h"
#include "PLYStarFilterView.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYUserDefaults.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace PLYGalleryEvents;
using PLYTestEnvironment::waitUntil;

namespace {

struct Photo {
    const char* name;
    int rating;
    const char* label;
};
// By name, case-sensitively: B a c d e f.
const Photo kPhotos[] = {{"a.jpg", 5, "Red"}, {"B.jpg", 3, "Green"}, {"c.jpg", -1, ""},
                         {"d.jpg", 0, "Blue"}, {"e.jpg", 4, "Yellow"}, {"f.jpg", 1, "Purple"}};

bool writePhoto(const QString& path, int rating = -1, const QString& label = {}) {
    return PLYTestImages::writeJpeg(path, 60, 40) && (rating < 0 && label.isEmpty() ? true : PLYTestImages::setXmpRatingAndLabel(path, rating, label));
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("core")));
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        store->signInUser(QStringLiteral("g@example.com"));
        for (const char* key : {PLYDefaults::kSplitUsedImages, PLYDefaults::kShowHiddenImages, PLYDefaults::kSortType,
                                PLYDefaults::kSortOrder, PLYDefaults::kSupressImageDelete, PLYDefaults::kAutoAddImages})
            PLYUserDefaults::standardUserDefaults().removeObjectForKey(QString::fromLatin1(key));
        folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        for (const Photo& p : kPhotos)
            ASSERT_TRUE(writePhoto(QDir(folder).filePath(QString::fromLatin1(p.name)), p.rating, QString::fromLatin1(p.label)));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle(QStringLiteral("Trip")));
        post = postManager->representedPost();
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] { return post->images().size() == 6 && post->imagesCountWithCachePercent(false).first == 0; }));
        gallery = openGallery();
    }
    void TearDown() override {
        gallery.reset();
        PLYAlertPresenter::setShared(nullptr);
        PLYPreviewPresenter::setShared(nullptr);
        post.reset();
        postManager.reset();
        store.reset();
        PLYCoreManager::resetGlobalManager();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
    }

    std::unique_ptr<PLYGalleryViewController> openGallery(std::shared_ptr<PLYPostManager> manager = {}) {
        auto g = std::make_unique<PLYGalleryViewController>();
        g->resize(250, 600);
        g->setUndoManager(&undo);
        g->setPostManager(manager ? manager : postManager);
        g->show();
        PLYDecodedImageCache::sharedCache()->waitForIdle();
        return g;
    }
    QStringList shown(int section = 0) const {
        QStringList names;
        const PLYGalleryModel& model = gallery->model();
        for (int i = 0; i < model.numberOfItemsInSection(section); ++i) names << model.imageAtIndexPath({section, i})->fileName;
        return names;
    }
    QString id(const QString& name) const {
        for (const auto& image : post->images())
            if (image->path().endsWith(QLatin1Char('/') + name)) return image->identifier();
        return {};
    }
    PLYGalleryView* view(int section, int item) const {
        PLYGalleryViewItem* i = gallery->galleryView()->itemAtIndexPath({section, item});
        return i ? i->view() : nullptr;
    }
    QList<int> selected() const {
        QList<int> items;
        for (const auto& p : gallery->galleryView()->selectionIndexPaths()) items << p.section * 100 + p.item;
        return items;
    }
    void clickItem(int section, int item, Qt::KeyboardModifiers mods = {}) { click(view(section, item), QPointF(40, 40), mods); }
    void keyOnFocus(int qtKey, const QString& text = {}) { key(gallery->focusWidget(), qtKey, {}, text); }
    const PLYSection& lastSection() const { return post->constLayout().sections(post->constLayout().sections_size() - 1); }
    QAction* action(const char* name) const { return gallery->findChild<QAction*>(QString::fromLatin1(name)); }

    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    QString folder;
    PLYUndoManager undo;
    std::unique_ptr<PLYGalleryViewController> gallery;
};

TEST_F(GalleryTest, SortMenuAndFilterControlsOrderAndNarrowTheGallery) {
    EXPECT_EQ(shown(), QStringList({"B.jpg", "a.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"}));
    ASSERT_NE(view(0, 5), nullptr) << "every visible image has its item";
    action("descendingMenuItem")->trigger();
    EXPECT_EQ(shown(), QStringList({"f.jpg", "e.jpg", "d.jpg", "c.jpg", "a.jpg", "B.jpg"}));
    EXPECT_EQ(PLYDefaults::sortOrder(), 1);
    action("creationMenuItem")->trigger();
    EXPECT_EQ(action("descendingMenuItem")->text(), QStringLiteral("Newest to Oldest"));
    EXPECT_TRUE(action("creationMenuItem")->isChecked());
    EXPECT_FALSE(action("titleMenuItem")->isChecked());
    action("titleMenuItem")->trigger();
    action("ascendingMenuItem")->trigger();

    // The filter controls inside the open menu.
    gallery->sortFilterMenu()->popup(QPoint(0, 0));
    PLYStarFilterView* stars = gallery->filterStarView();
    PLYColourFilterView* colours = gallery->filterColourView();
    click(stars, stars->rectForStar(4).center());
    EXPECT_EQ(shown(), QStringList({"a.jpg", "e.jpg"}));
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(PLYDefaults::kStarFilterValue)), 4);
    click(stars, stars->rectForComparatorButton().center());  // at least -> exactly
    EXPECT_EQ(shown(), QStringList({"e.jpg"}));
    click(stars, stars->rectForComparatorButton().center());  // exactly -> at most: unrated images too
    EXPECT_EQ(shown(), QStringList({"B.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"}));
    click(colours, colours->centreOfType(2));  // yellow
    click(colours, colours->centreOfType(4));  // and green
    EXPECT_EQ(shown(), QStringList({"B.jpg", "e.jpg"}));
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(PLYDefaults::kColourFilterValue)), 6);
    action("clearFilterMenuItem")->trigger();
    EXPECT_EQ(shown().size(), 6);
    EXPECT_EQ(stars->currentComparator(), -1) << "clearing keeps the comparator";
    gallery->sortFilterMenu()->hide();

    // Doubled thumbnails need the scroll bar: the grid narrows with the viewport, one column.
    gallery->findChild<QSlider*>(QStringLiteral("zoomSlider"))->setValue(200);
    EXPECT_EQ(gallery->layout()->itemSize(), QSizeF(160, 160));
    EXPECT_TRUE(waitUntil([&] { return gallery->scrollView()->viewport()->width() < 250; }));
    EXPECT_EQ(gallery->galleryView()->width(), gallery->scrollView()->viewport()->width());
    EXPECT_EQ(gallery->layout()->columns(), 1);

    // A gallery opened later starts with cleared filters whatever the defaults hold.
    click(colours, colours->centreOfType(1));
    auto other = openGallery();
    EXPECT_EQ(other->filterColourView()->currentFilterSelection(), 0);
    EXPECT_EQ(other->filterStarView()->currentComparator(), 1);
    EXPECT_EQ(other->model().orderedImages().size(), 6);
}

TEST_F(GalleryTest, ClicksSelectAroundThePivotAndOnlyANewlySelectedItemTakesTheKeys) {
    clickItem(0, 1);
    EXPECT_EQ(selected(), QList<int>({1}));
    EXPECT_EQ(gallery->pivotingSelectionIndex(), 1);
    EXPECT_EQ(gallery->focusWidget(), view(0, 1));
    clickItem(0, 4, Qt::ShiftModifier);
    EXPECT_EQ(selected(), QList<int>({1, 2, 3, 4}));
    clickItem(0, 0, Qt::ShiftModifier);  // before the pivot: up to it
    EXPECT_EQ(selected(), QList<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(gallery->pivotingSelectionIndex(), 1) << "Shift does not move the pivot";
    clickItem(0, 5, Qt::ControlModifier);
    EXPECT_EQ(gallery->focusWidget(), view(0, 5));
    clickItem(0, 2, Qt::ControlModifier);  // Command on a selected item keeps it
    EXPECT_EQ(selected().size(), 6);
    EXPECT_EQ(gallery->focusWidget(), view(0, 5)) << "an item that stays selected does not take the keys";
    clickItem(0, 2, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(selected(), QList<int>({0, 1, 3, 4, 5}));
    EXPECT_EQ(gallery->focusWidget(), view(0, 5));

    // A click on one image of the selection narrows it once no second click follows.
    clickItem(0, 3);
    EXPECT_EQ(selected().size(), 5);
    EXPECT_TRUE(waitUntil([&] { return selected() == QList<int>({3}); }));
    EXPECT_EQ(gallery->pivotingSelectionIndex(), 3);
    // The selection stays with its image through a re-sort; the pivot follows it.
    action("descendingMenuItem")->trigger();
    EXPECT_EQ(selected(), QList<int>({2}));
    EXPECT_EQ(gallery->pivotingSelectionIndex(), 2);
    gallery->splitImageAction();
    postManager->layoutManager()->createAndAddBlocksForImages({id("d.jpg")});
    EXPECT_EQ(gallery->pivotingSelectionIndex(), -1) << "the pivot's image left the first section";
    EXPECT_EQ(selected(), QList<int>({100}));
}

TEST_F(GalleryTest, DoubleClickAddsTheSelectionInOneUndoGroupThatRestoresTheLayoutExactly) {
    const std::string before = post->constLayout().SerializeAsString();
    const int blocksBefore = lastSection().blocks_size();
    clickItem(0, 1);                        // a
    clickItem(0, 4, Qt::ControlModifier);   // and e
    doubleClick(view(0, 4), QPointF(40, 40));
    ASSERT_EQ(lastSection().blocks_size(), blocksBefore + 2) << "without Command each image is a block of its own";
    EXPECT_EQ(QString::fromStdString(lastSection().blocks(blocksBefore).image().img_ref()), id("a.jpg"));
    EXPECT_EQ(QString::fromStdString(lastSection().blocks(blocksBefore + 1).image().img_ref()), id("e.jpg"));
    EXPECT_EQ(post->inUseCountForImage(id("a.jpg")), 1);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Delete Images"));
    undo.undo();
    EXPECT_EQ(post->constLayout().SerializeAsString(), before);
    EXPECT_EQ(post->inUseCountForImage(id("a.jpg")), 0);
    EXPECT_EQ(post->inUseCountForImage(id("e.jpg")), 0);

    gallery->splitImageAction();
    clickItem(0, 1);
    clickItem(0, 4, Qt::ControlModifier);
    doubleClick(view(0, 4), QPointF(40, 40), Qt::ControlModifier);
    ASSERT_EQ(lastSection().blocks_size(), blocksBefore + 1) << "with Command one side-by-side container holds them";
    const PLYBlock& row = lastSection().blocks(blocksBefore);
    ASSERT_TRUE(row.has_container());
    EXPECT_FALSE(row.container().vert());
    EXPECT_EQ(row.container().sub_blocks_size(), 2);
    EXPECT_EQ(shown(1), QStringList({"a.jpg", "e.jpg"})) << "added images move to the used section";
    undo.undo();
    EXPECT_EQ(post->constLayout().SerializeAsString(), before) << "the container goes with its images";
    EXPECT_EQ(post->numberOfImagesInUse(), 0);
    EXPECT_TRUE(shown(1).isEmpty());

    // The item's context menu adds its one image, undoably too.
    view(0, 2)->findChild<QAction*>(QStringLiteral("addToPostMenuItem"))->trigger();
    EXPECT_EQ(lastSection().blocks_size(), blocksBefore + 1);
    undo.undo();
    EXPECT_EQ(post->constLayout().SerializeAsString(), before);
}

TEST_F(GalleryTest, HidingTogglesUnusedImagesUndoablyAndDeleteAsksUnlessSuppressed) {
    auto alerts = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(alerts);
    clickItem(0, 0);                       // B
    clickItem(0, 2, Qt::ControlModifier);  // c
    keyOnFocus(Qt::Key_H, QStringLiteral("h"));
    EXPECT_EQ(shown(), QStringList({"a.jpg", "d.jpg", "e.jpg", "f.jpg"}));
    EXPECT_TRUE(post->isImageHidden(id("B.jpg")));
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Hide/Unhide Images"));
    undo.undo();
    EXPECT_EQ(shown().size(), 6);
    undo.redo();
    EXPECT_TRUE(post->isImageHidden(id("c.jpg")));
    undo.undo();

    // Delete: "Cancel" with the box ticked hides nothing but asks no more.
    clickItem(0, 3);  // d
    alerts->scriptButtonIndex(1);
    alerts->scriptSuppression(true);
    keyOnFocus(Qt::Key_Backspace);
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented().first().messageText, QStringLiteral("Deleting Images"));
    EXPECT_EQ(alerts->presented().first().buttonTitles, QStringList({"Hide the Image", "Cancel"}));
    EXPECT_TRUE(alerts->presented().first().showsSuppressionButton);
    EXPECT_FALSE(post->isImageHidden(id("d.jpg")));
    EXPECT_TRUE(PLYDefaults::shouldSupressImageItemDelete());
    keyOnFocus(Qt::Key_Backspace);
    EXPECT_EQ(alerts->presented().size(), 1);
    EXPECT_TRUE(post->isImageHidden(id("d.jpg")));
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Hide/Unhide Image"));

    // Delete on a hidden image unhides it; on a used image it changes nothing and leaves no undo.
    gallery->showHiddenImagesAction();
    ASSERT_EQ(shown(1), QStringList({"d.jpg"}));
    clickItem(1, 0);
    keyOnFocus(Qt::Key_Backspace);
    EXPECT_FALSE(post->isImageHidden(id("d.jpg")));
    postManager->layoutManager()->createAndAddBlocksForImages({id("a.jpg")});
    const int undos = undo.undoCount();
    clickItem(0, 1);
    keyOnFocus(Qt::Key_Backspace);
    EXPECT_FALSE(post->isImageHidden(id("a.jpg")));
    EXPECT_EQ(undo.undoCount(), undos);
}

TEST_F(GalleryTest, ArrowKeysCrossSectionsAndSkipACollapsedOne) {
    postManager->layoutManager()->createAndAddBlocksForImages({id("a.jpg")});
    post->toggleImageHiddenForImage(id("f.jpg"));
    gallery->splitImageAction();
    gallery->showHiddenImagesAction();
    ASSERT_EQ(shown(0), QStringList({"B.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    PLYGalleryHeaderView* used = gallery->galleryView()->headerViewForSection(1);
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->titleLabel()->text(), QStringLiteral("Used Images"));
    used->collapsedButtonAction();
    EXPECT_TRUE(shown(1).isEmpty());
    EXPECT_EQ(gallery->galleryView()->headerViewForSection(1)->numberLabel()->text(), QStringLiteral("(1)"));
    EXPECT_FALSE(gallery->galleryView()->headerViewForSection(1)->collapseButtonState());
    clickItem(0, 3);
    keyOnFocus(Qt::Key_Right);
    EXPECT_EQ(selected(), QList<int>({200}));
    EXPECT_EQ(gallery->focusWidget(), view(2, 0));
    keyOnFocus(Qt::Key_Right);
    EXPECT_EQ(selected(), QList<int>({200})) << "the last item stays";
    keyOnFocus(Qt::Key_Left);
    EXPECT_EQ(selected(), QList<int>({3}));
    keyOnFocus(Qt::Key_Up);
    EXPECT_EQ(selected(), QList<int>({1}));
}

TEST_F(GalleryTest, DraggingWritesOneImageReferencePerImageThroughThePasteboard) {
    QStringList dragged;
    gallery->galleryView()->setDragStarter([&](QMimeData* data, const QPixmap& picture) {
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(PLYPasteboard::mimeDataOffersType(data, QStringLiteral("com.pellory.image.ref")));
        const auto board = PLYPasteboard::fromMimeData(data);
        if (board) {
            EXPECT_EQ(board->pasteboardItems().size(), board->stringsForType(QStringLiteral("com.pellory.image.ref")).size());
            dragged = board->stringsForType(QStringLiteral("com.pellory.image.ref"));
        }
        delete data;
        return Qt::MoveAction;
    });
    clickItem(0, 0);
    clickItem(0, 3, Qt::ControlModifier);
    PLYGalleryView* d = view(0, 3);
    mouse(d, QEvent::MouseButtonPress, QPointF(40, 40));
    mouse(d, QEvent::MouseMove, QPointF(40, 60));
    mouse(d, QEvent::MouseButtonRelease, QPointF(40, 60));
    EXPECT_EQ(dragged, QStringList({id("B.jpg"), id("d.jpg")}));
    EXPECT_EQ(selected(), QList<int>({0, 3})) << "a drag keeps the selection";
}

TEST_F(GalleryTest, FilesAndFoldersDroppedFromTheFileManagerJoinThePost) {
    const QString more = PLYTestEnvironment::makeTempDirectory(QStringLiteral("more"));
    ASSERT_TRUE(writePhoto(QDir(more).filePath(QStringLiteral("g.jpg"))));
    ASSERT_TRUE(writePhoto(QDir(more).filePath(QStringLiteral("h.jpg"))));
    const QString loose = QDir(PLYTestEnvironment::makeTempDirectory(QStringLiteral("loose"))).filePath(QStringLiteral("i.jpg"));
    ASSERT_TRUE(writePhoto(loose));
    QWidget* target = gallery->scrollView()->viewport();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(more), QUrl::fromLocalFile(loose)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(gallery->scrollView()->contentAlpha(), 0.5);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(gallery->scrollView()->contentAlpha(), 1.0);
    EXPECT_EQ(post->sourceLocations().size(), 4) << "the folder's two files and the loose one";
    EXPECT_TRUE(waitUntil([&] { return shown().size() == 9; }));

    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.com/x.jpg"))});
    QDragEnterEvent webEnter(QPoint(50, 50), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &webEnter);
    EXPECT_FALSE(webEnter.isAccepted());
    EXPECT_FALSE(gallery->addDroppedURLs(web.urls())) << "a drop without file paths adds nothing";
    EXPECT_EQ(post->sourceLocations().size(), 4);
}

TEST_F(GalleryTest, ADropOfFilesNoneOfWhichIsAnImageIsRefused) {
    const QString other = PLYTestEnvironment::makeTempDirectory(QStringLiteral("papers"));
    const QString note = QDir(other).filePath(QStringLiteral("notes.txt"));
    QFile file(note);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    const QString empty = PLYTestEnvironment::makeTempDirectory(QStringLiteral("empty"));
    QWidget* target = gallery->scrollView()->viewport();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(note), QUrl::fromLocalFile(empty)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_FALSE(drop.isAccepted()) << "nothing was added, so nothing was copied";
    EXPECT_EQ(gallery->scrollView()->contentAlpha(), 1.0);
    EXPECT_EQ(post->sourceLocations().size(), 1);
}

TEST_F(GalleryTest, ShowInFileManagerAsksForTheItemsFileNotItsFolder) {
    // What the item's menu asks of the desktop (the file manager's answer is the desktop's).
    struct Revealing : PLYScriptedDesktopServices {
        bool showFileInFileManager(const QString& path) override {
            revealed << path;
            return true;
        }
        QStringList revealed;
    };
    const auto desktop = std::make_shared<Revealing>();
    PLYDesktopServices::setShared(desktop);
    PLYGalleryView* item = view(0, 1);
    ASSERT_NE(item, nullptr);
    QAction* reveal = item->contextMenu()->findChild<QAction*>(QStringLiteral("showInFinderMenuItem"));
    ASSERT_NE(reveal, nullptr);
    reveal->trigger();
    const auto image = store->imageForIdentifier(gallery->identifierAtIndexPath({0, 1}));
    ASSERT_TRUE(image);
    EXPECT_EQ(desktop->revealed, QStringList{image->path()});
    EXPECT_TRUE(desktop->openedURLs().isEmpty());
    PLYDesktopServices::setShared(nullptr);
}

TEST_F(GalleryTest, AutoAddTakesOnlyImagesThatAppearAfterTheFolderWasChosen) {
    PLYDefaults::setShouldAutoAddNewImages(true);
    const auto dialogs = std::make_shared<PLYScriptedFileDialogs>();
    PLYFileDialogs::setShared(dialogs);
    const QString other = PLYTestEnvironment::makeTempDirectory(QStringLiteral("other"));
    ASSERT_TRUE(writePhoto(QDir(other).filePath(QStringLiteral("x.jpg"))));
    ASSERT_TRUE(writePhoto(QDir(other).filePath(QStringLiteral("y.jpg"))));
    const int blocks = PLYTestLayouts::imageBlockCount(post->constLayout());

    // Choosing a folder that already holds two photos adds neither.
    dialogs->scriptFolder(other);
    action("setWatchDirectoryMenuItem")->trigger();
    ASSERT_TRUE(waitUntil([&] { return shown().contains(QStringLiteral("x.jpg")) && shown().contains(QStringLiteral("y.jpg")); }));
    const auto main = post->mainSourceDirectory();
    ASSERT_TRUE(main);
    ASSERT_TRUE(waitUntil([&] { return main->state() == PLYSourceDirectory::Ready; }));
    // Past the folder's event latency and the gallery's rebuild (50 ms each), had either begun.
    PLYTestEnvironment::waitForTimersDueWithin(101);
    EXPECT_EQ(PLYTestLayouts::imageBlockCount(post->constLayout()), blocks);

    // A photo put there afterwards is new, and joins the layout.
    ASSERT_TRUE(writePhoto(QDir(other).filePath(QStringLiteral("z.jpg"))));
    EXPECT_TRUE(waitUntil([&] { return PLYTestLayouts::imageBlockCount(post->constLayout()) == blocks + 1; }, 20000));
    PLYFileDialogs::setShared(nullptr);
    PLYDefaults::setShouldAutoAddNewImages(false);
}

TEST_F(GalleryTest, AWatchedFolderChangeReachesTheOpenGalleryAndItsRegistrationsGoWithIt) {
    ASSERT_TRUE(writePhoto(QDir(folder).filePath(QStringLiteral("g.jpg")), 2, QStringLiteral("Grey")));
    ASSERT_TRUE(waitUntil([&] { return shown().contains(QStringLiteral("g.jpg")); }));
    ASSERT_TRUE(waitUntil([&] { return !PLYImageManager::sharedManager()->isPending(id("g.jpg")); }));
    // Every news of g.jpg is in: only a rebuild it scheduled may still be due (50 ms).
    PLYTestEnvironment::waitForTimersDueWithin(101);

    // A re-rating updates its item in place.
    const int rebuilds = gallery->rebuildCount();
    ASSERT_TRUE(PLYTestImages::setXmpRatingAndLabel(QDir(folder).filePath(QStringLiteral("c.jpg")), 2, QStringLiteral("Red")));
    const auto rated = [&] {
        const int i = gallery->model().orderedIndexForIdentifier(id("c.jpg"));
        return i >= 0 && gallery->model().orderedImages().at(i).starRating == 2;
    };
    ASSERT_TRUE(waitUntil(rated));
    EXPECT_EQ(gallery->rebuildCount(), rebuilds);
    EXPECT_EQ(store->imageForIdentifier(id("c.jpg"))->colourRating(), 1);

    // A renamed file keeps its image and takes its new place.
    const QString eId = id("e.jpg");
    ASSERT_TRUE(QFile::rename(QDir(folder).filePath(QStringLiteral("e.jpg")), QDir(folder).filePath(QStringLiteral("0.jpg"))));
    ASSERT_TRUE(waitUntil([&] { return !shown().isEmpty() && shown().first() == QStringLiteral("0.jpg"); }));
    EXPECT_EQ(gallery->identifierAtIndexPath({0, 0}), eId);

    // An unused file that goes leaves the gallery.
    ASSERT_TRUE(QFile::remove(QDir(folder).filePath(QStringLiteral("f.jpg"))));
    EXPECT_TRUE(waitUntil([&] { return !shown().contains(QStringLiteral("f.jpg")); }));

    // A second gallery on the same post registers once however often it is handed the post, and
    // leaves nothing behind: later folder changes reach only the first.
    PLYNotificationCenter& centre = PLYNotificationCenter::defaultCenter();
    const int observers = centre.observerCount();
    auto second = openGallery();
    const int withSecond = centre.observerCount();
    second->setPostManager(postManager);
    second->setPostManager(postManager);
    EXPECT_EQ(centre.observerCount(), withSecond);
    second.reset();
    EXPECT_EQ(centre.observerCount(), observers);
    ASSERT_TRUE(writePhoto(QDir(folder).filePath(QStringLiteral("h.jpg"))));
    EXPECT_TRUE(waitUntil([&] { return shown().contains(QStringLiteral("h.jpg")); }));
}

// Files added, removed, renamed and re-rated in the watched folder of a post that also has a
// second folder sharing a name with it, at random: after each change has been read, the gallery
// shows exactly the post's images as the folders hold them now, in the stable order by name of
// the folders' images taken afresh, with each image's current name and ratings. Nothing kept
// from an earlier rebuild (a folder's list of images, the gallery's ordered list) may outlive
// the change. The seed is printed.
TEST_F(GalleryTest, AfterAnyFolderChangeTheGalleryShowsThePostsImagesAsTheyAreNowInOrder) {
    const quint32 seed = qEnvironmentVariableIsSet("PELLORY_SEED") ? quint32(qEnvironmentVariable("PELLORY_SEED").toULong())
                                                                   : QRandomGenerator::global()->generate();
    std::printf("random walk seed %u (PELLORY_SEED to repeat)\n", seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    QRandomGenerator random(seed);

    const QString second = PLYTestEnvironment::makeTempDirectory(QStringLiteral("second"));
    ASSERT_TRUE(writePhoto(QDir(second).filePath(QStringLiteral("a.jpg")), 2, QStringLiteral("Green")));
    ASSERT_TRUE(gallery->addDroppedURLs({QUrl::fromLocalFile(second)}));
    const QStringList folders = {QFileInfo(folder).canonicalFilePath(), QFileInfo(second).canonicalFilePath()};
    // What the disk holds: each photo's path and the star rating written into it.
    QMap<QString, int> files;
    for (const Photo& p : kPhotos) files.insert(folders.at(0) + QLatin1Char('/') + QString::fromLatin1(p.name), p.rating);
    files.insert(folders.at(1) + QStringLiteral("/a.jpg"), 2);
    // Few names, so that both folders often hold the same one and the order between them counts.
    const auto freeName = [&](int f) -> QString {
        for (int tries = 0; tries < 50; ++tries) {
            const int n = random.bounded(8);
            const QString name = n == 0 ? QStringLiteral("a.jpg") : QStringLiteral("p%1.jpg").arg(n);
            if (!files.contains(folders.at(f) + QLatin1Char('/') + name)) return name;
        }
        return {};
    };

    // The folders' images taken afresh from their maps, sorted by name, ties in list order.
    const auto expectedOrder = [&] {
        QList<std::shared_ptr<PLYSourceImage>> all;
        for (const QString& location : post->sourceLocations())
            if (const auto source = store->sourceForIdentifier(location))
                for (const auto& image : source->watchedImages()) all.append(image);
        std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
            return QString::compare(a->fileName(), b->fileName(), Qt::CaseSensitive) < 0;
        });
        return all;
    };
    const auto settled = [&] {
        QMap<QString, int> seen;
        for (const auto& image : post->images())
            if (!image->fileDeleted()) seen.insert(QFileInfo(image->path()).canonicalFilePath(), image->starRating());
        if (seen != files) return false;
        const auto expected = expectedOrder();
        if (gallery->currentOrderedImages() != expected) return false;
        const PLYGalleryModel& model = gallery->model();
        if (model.orderedImages().size() != expected.size()) return false;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const PLYGalleryImageInfo& info = model.orderedImages().at(i);
            const PLYSourceImage& image = *expected.at(i);
            if (info.identifier != image.identifier() || info.fileName != image.fileName() ||
                info.starRating != image.starRating() || info.colourRating != image.colourRating())
                return false;
            if (gallery->imageAtIndexPath({0, int(i)}) != expected.at(i)) return false;
        }
        return true;
    };
    ASSERT_TRUE(waitUntil(settled, 20000));

    for (int step = 0; step < 24; ++step) {
        const int op = random.bounded(4);
        QStringList inFirst;
        for (const QString& path : files.keys())
            if (path.startsWith(folders.at(0) + QLatin1Char('/'))) inFirst << path;
        const QString from = inFirst.isEmpty() ? QString() : inFirst.at(random.bounded(int(inFirst.size())));
        const QString name = freeName(0);
        const QString to = folders.at(0) + QLatin1Char('/') + name;
        if (op == 0 || from.isEmpty()) {  // a new photo
            if (name.isEmpty()) continue;
            const int rating = random.bounded(6);
            ASSERT_TRUE(writePhoto(to, rating, QStringLiteral("Red")));
            files.insert(to, rating);
        } else if (op == 1) {  // one goes
            ASSERT_TRUE(QFile::remove(from));
            files.remove(from);
        } else if (op == 2) {  // renamed
            if (name.isEmpty()) continue;
            ASSERT_TRUE(QFile::rename(from, to)) << from.toStdString() << " -> " << to.toStdString();
            files.insert(to, files.take(from));
        } else {  // re-rated
            const int rating = (files.value(from) + 1 + random.bounded(4)) % 6;
            ASSERT_TRUE(PLYTestImages::setXmpRatingAndLabel(from, rating, QStringLiteral("Blue")));
            files[from] = rating;
        }
        if (!waitUntil(settled, 20000)) {
            for (const auto& image : post->images())
                std::printf("library %s %s deleted %d rating %d\n", qPrintable(image->identifier()), qPrintable(image->path()),
                            int(image->fileDeleted()), int(image->starRating()));
            for (auto it = files.cbegin(); it != files.cend(); ++it) std::printf("disk %s %d\n", qPrintable(it.key()), it.value());
            for (const auto& image : expectedOrder()) std::printf("expected %s\n", qPrintable(image->identifier()));
            for (const auto& info : gallery->model().orderedImages()) std::printf("shown %s %s\n", qPrintable(info.identifier), qPrintable(info.fileName));
            FAIL() << "step " << step << " operation " << op;
        }
    }
}

TEST_F(GalleryTest, MessagePageForAPostWithoutImagesAndForAMissingFolder) {
    auto empty = PLYCoreManager::globalManager()->postManagerEmpty();
    ASSERT_TRUE(empty->createNewPostWithTtitle(QStringLiteral("Empty")));
    auto other = openGallery(empty);
    EXPECT_EQ(other->tabView()->currentIndex(), 1);
    EXPECT_EQ(other->findChild<QLabel*>(QStringLiteral("imageErrorTitleLabel"))->text(), QStringLiteral("No Images"));
    EXPECT_EQ(other->findChild<QPushButton*>(QStringLiteral("imageSourceButton"))->text(), QStringLiteral("Import Images..."));
    EXPECT_TRUE(other->findChild<QLabel*>(QStringLiteral("imageErrorInfoLabel"))->isHidden());

    EXPECT_EQ(gallery->tabView()->currentIndex(), 0);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(waitUntil([&] { return gallery->tabView()->currentIndex() == 1; }));
    EXPECT_EQ(gallery->findChild<QLabel*>(QStringLiteral("imageErrorTitleLabel"))->text(), QStringLiteral("Directory Not Found"));
    EXPECT_EQ(gallery->findChild<QLabel*>(QStringLiteral("imageErrorInfoLabel"))->text(), folder + QStringLiteral(" cannot be located"));
}

TEST_F(GalleryTest, SpaceShowsTheSelectionInThePreviewPanelWhoseArrowsMoveIt) {
    auto panel = std::make_shared<PLYScriptedPreviewPresenter>();
    PLYPreviewPresenter::setShared(panel);
    clickItem(0, 1);
    clickItem(0, 4, Qt::ControlModifier);
    keyOnFocus(Qt::Key_Space, QStringLiteral(" "));
    EXPECT_TRUE(panel->isPanelVisible());
    EXPECT_EQ(panel->controller(), gallery.get());
    ASSERT_EQ(gallery->numberOfPreviewItems(), 2);
    EXPECT_EQ(gallery->previewItemAtIndex(1).title, QStringLiteral("e"));
    EXPECT_EQ(gallery->previewItemAtIndex(0).url, QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("a.jpg"))));

    PLYKeyCodes::KeyEvent right;
    right.keyCode = PLYKeyCodes::RightArrow;
    EXPECT_FALSE(gallery->previewPanelHandleKey(right)) << "with two images the panel steps itself";
    clickItem(0, 1);
    ASSERT_TRUE(waitUntil([&] { return selected().size() == 1; }));
    EXPECT_EQ(gallery->numberOfPreviewItems(), 1);
    EXPECT_TRUE(gallery->previewPanelHandleKey(right));
    EXPECT_EQ(selected(), QList<int>({2}));
    EXPECT_EQ(gallery->previewItemAtIndex(0).title, QStringLiteral("c"));
    gallery.reset();
    EXPECT_EQ(panel->controller(), nullptr) << "the gallery leaves the panel when it goes";
}

}  // namespace
