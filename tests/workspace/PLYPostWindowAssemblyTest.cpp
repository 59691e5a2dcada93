// The post window made from its storyboard scene with its real panes, driven offscreen with
// synthesized events: a gallery double-click lands in the layout, is graded by the SEO tab and
// undone through the window's history; a click on the layout shows Properties; an editor shown
// again registers nothing twice. Then the new-post road against the development service: the
// sheet, "Preparing Images" counting up, the panes taking the post, an edit, and the publish
// panel following the post's publisher to the published post and its next update.
#include "PLYAlertPresenter.h"
#include "PLYBlockView.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYGalleryCollectionView.h"
#include "PLYGalleryEvents.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewItem.h"
#include "PLYImageManager.h"
#include "PLYImageProcessView.h"
#include "PLYInspectorViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYPostViewController.h"
#include "PLYPostWindowFactory.h"
#include "PLYPrepViewController.h"
#include "PLYPublishButton.h"
#include "PLYPublishViewController.h"
#include "PLYSeoViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYSeoManager.h"
#include "PLYSourceDirectory.h"
#include "PLYStoryboard.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYUserDefaults.h"
#include "PLYVisualStateHandler.h"
#include "PLYWindowUndoManager.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#ifdef PELLORY_HAS_DEVSERVICE
#include "../web-services/PLYSessionTestSupport.h"
#include "../web-services/PLYDevServiceRoad.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherManagerServices.h"
#endif

using PLYTestEnvironment::waitUntil;

namespace {

QString firstImageBlockId(const PLYLayout& layout) {
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks())
            if (block.has_image()) return QString::fromStdString(block.id());
    return {};
}

class PostWindowAssembly : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSeoManager::install();
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("library")));
        PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
        for (const char* key : {PLYVisualStateHandler::GalleryVisibleKey, PLYVisualStateHandler::InspectorVisibleKey})
            defaults.removeObjectForKey(QLatin1String(key));
        PLYVisualStateHandler::resetGlobalHandler();
        PLYDefaults::setOnBoardPresentationState(2);
        PLYAlertPresenter::setShared(alerts);
        PLYFileDialogs::setShared(dialogs);
        PLYPostWindowFactory::registerMissingScenes();
    }
    void TearDown() override {
        delete window;
        PLYAlertPresenter::setShared(nullptr);
        PLYFileDialogs::setShared(nullptr);
        manager.reset();
        PLYImageManager::sharedManager()->waitForDone();
        QCoreApplication::processEvents();
        PLYCoreManager::resetGlobalManager();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
    }

    static QString photos(int count) {
        const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        for (int i = 0; i < count; ++i)
            PLYTestImages::writePhotoJpeg(QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(i)), 480, 320, i + 1, 80);
        return folder;
    }

    // As the root navigation opens an editor: the scene, the post, shown, then presented.
    void open(std::shared_ptr<PLYPostManager> postManager) {
        manager = std::move(postManager);
        window = PLYStoryboard::instantiateAs<PLYPostViewController>(
            QString::fromLatin1(PLYInterfaceNames::MainStoryboard), QString::fromLatin1(PLYInterfaceNames::PostViewScene));
        ASSERT_TRUE(window);
        gallery = window->findChild<PLYGalleryViewController*>();
        layoutTab = window->findChild<PLYLayoutViewController*>();
        inspector = window->findChild<PLYInspectorViewController*>();
        ASSERT_TRUE(gallery && layoutTab && inspector);
        window->setPostManager(manager);
        window->resize(1280, 800);
        window->show();
        window->presentInitialVisualState();
    }
    bool entranceDone() const { return layoutTab->interactionView()->opacity() == 1.0; }

    void doubleClickGalleryItem(int item) {
        PLYGalleryViewItem* cell = gallery->galleryView()->itemAtIndexPath({0, item});
        ASSERT_TRUE(cell && cell->view());
        PLYGalleryEvents::doubleClick(cell->view(), QPointF(30, 30));
    }
    void clickLayoutBlock(const QString& blockId) {
        PLYBlockView* view = layoutTab->layoutViewProxy()->blockViewForId(blockId);
        ASSERT_TRUE(view);
        QWidget* viewport = layoutTab->scrollView()->viewport();
        const QPoint at = layoutTab->scrollView()->mapFromScene(view->mapRectToScene(view->boundingRect()).center());
        QTest::mouseMove(viewport, at);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    }
    QString seoImageKeywords() const {
        return inspector->findChild<QLabel*>(QStringLiteral("seoImageKeywordsLabel"))->text();
    }
    std::shared_ptr<PLYPersistantPost> post() const { return manager->representedPost(); }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
    std::shared_ptr<PLYPostManager> manager;
    PLYPostViewController* window = nullptr;
    PLYGalleryViewController* gallery = nullptr;
    PLYLayoutViewController* layoutTab = nullptr;
    PLYInspectorViewController* inspector = nullptr;
};

}  // namespace

TEST_F(PostWindowAssembly, EditsFlowBetweenThePanesAndAnEditorShownAgainRegistersNothingTwice) {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    ASSERT_TRUE(core->store()->signInUser(QStringLiteral("ada@example.org")));
    auto postManager = core->postManagerEmpty();
    ASSERT_TRUE(postManager->createNewPostWithTtitle(QStringLiteral("Loch Walks")));
    postManager->setWatchLocation(QUrl::fromLocalFile(photos(3)));
    const auto made = postManager->representedPost();
    ASSERT_TRUE(waitUntil([&] { return made->images().size() == 3 && made->imagesCountWithCachePercent(false).first == 0; }));
    made->setFocusKeywords(QStringList{QStringLiteral("loch")});
    core->setCurrentPostManager(postManager);
    open(postManager);

    ASSERT_TRUE(waitUntil([&] { return entranceDone() && gallery->galleryView()->itemAtIndexPath({0, 2}); }));
    // The post reaches every post pane and tab one way: as its represented object.
    const QList<PLYGenericPostViewController*> panes{gallery, layoutTab, inspector, inspector->seoViewController(),
                                                     inspector->publishViewController()};
    for (PLYGenericPostViewController* pane : panes) {
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->representedObject(), window->postManager()) << pane->objectName().toStdString();
    }
    EXPECT_TRUE(window->gallerySplitViewItem()->isVisible() && window->inspectorSplitViewItem()->isVisible());
    EXPECT_EQ(gallery->undoManager(), PLYWindowUndoManager::undoManagerForWidget(window)) << "one history per window";
    // The first photo carries the focus keyword.
    made->setFocusKeywordsForImage({QStringLiteral("loch")}, gallery->identifierAtIndexPath({0, 0}));
    const QString gradedEmpty = seoImageKeywords();

    // The gallery adds to the layout; the layout shows it and the SEO tab grades it.
    doubleClickGalleryItem(0);
    ASSERT_EQ(PLYTestLayouts::imageBlockCount(post()->constLayout()), 1);
    const QString blockId = firstImageBlockId(post()->constLayout());
    ASSERT_TRUE(layoutTab->layoutViewProxy()->blockViewForId(blockId));
    ASSERT_TRUE(waitUntil([&] { return seoImageKeywords() == QStringLiteral("All your images have keywords. Perfect!"); }))
        << seoImageKeywords().toStdString();

    // The window's history takes it back, whichever pane made it.
    PLYUndoManager* undo = PLYWindowUndoManager::undoManagerForWidget(layoutTab->scrollView());
    ASSERT_TRUE(undo->canUndo());
    undo->undo();
    EXPECT_EQ(PLYTestLayouts::imageBlockCount(post()->constLayout()), 0);
    EXPECT_FALSE(layoutTab->layoutViewProxy()->blockViewForId(blockId));
    EXPECT_TRUE(waitUntil([&] { return seoImageKeywords() == gradedEmpty; }));

    // A click on a block in the layout shows its properties.
    doubleClickGalleryItem(1);
    const QString second = firstImageBlockId(post()->constLayout());
    EXPECT_EQ(inspector->currentTabIndex(), PLYInspectorViewController::DocumentTab);
    clickLayoutBlock(second);
    EXPECT_EQ(manager->layoutManager()->currentSelectedBlocks().size(), 1);
    EXPECT_EQ(inspector->currentTabIndex(), PLYInspectorViewController::PropertyTab);

    // Home and back: the cached editor is shown and presented again.
    const int observers = PLYNotificationCenter::defaultCenter().observerCount();
    const auto visualDelegates = PLYVisualStateHandler::globalHandler()->visualDelegates().size();
    const auto folder = made->mainSourceDirectory();
    ASSERT_TRUE(folder);
    const auto folderDelegates = folder->delegates().size();
    for (int i = 0; i < 2; ++i) {
        window->hide();
        window->show();
        window->presentInitialVisualState();
    }
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), observers);
    EXPECT_EQ(PLYVisualStateHandler::globalHandler()->visualDelegates().size(), visualDelegates);
    EXPECT_EQ(folder->delegates().size(), folderDelegates);
    ASSERT_TRUE(waitUntil([&] { return entranceDone(); }));
    doubleClickGalleryItem(2);
    EXPECT_EQ(PLYTestLayouts::imageBlockCount(post()->constLayout()), 2) << "one double-click, one image";

    // Gone with its window: nothing of it stays registered.
    delete window;
    window = nullptr;
    EXPECT_TRUE(folder->delegates().isEmpty());
    EXPECT_TRUE(PLYVisualStateHandler::globalHandler()->visualDelegates().isEmpty());
}

#ifdef PELLORY_HAS_DEVSERVICE
namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;

class PostWindowPublishing : public PostWindowAssembly {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        PostWindowAssembly::SetUp();
        PLYDevService::Options options;
        options.buildSeconds = 0.2;
        ASSERT_TRUE(dev.start(options, {.buildPollMs = 100, .fetchRetryMs = 100}));
        Manager::install();
        PLYWebServicePostPublisherManagerServices::install();
    }
    void TearDown() override {
        delete window;
        window = nullptr;
        manager.reset();
        Manager::shutdown();
        PLYDevServiceRoad::restoreSession();
        PostWindowAssembly::TearDown();
        dev.stop();
    }

    PLYDevServiceRoad dev;
};

}  // namespace

TEST_F(PostWindowPublishing, ANewPostIsSetUpPreparedEditedAndPublishedFromItsWindow) {
    Manager* session = Manager::globalManager();
    PLYCoreManager::globalManager()->startManager();
    ASSERT_TRUE(waitUntil([&] { return session->currentStateName() == Manager::StateNoAccount; }));
    ASSERT_TRUE(session->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
    ASSERT_TRUE(waitUntil([&] { return session->currentStateName() == Manager::StateIdle; }));
    ASSERT_TRUE(session->updateAccount("blog.example.org"));
    ASSERT_TRUE(waitUntil([&] { return session->remoteAccount()->host() == "blog.example.org"; }));

    // The sheet over an empty window: a name and a folder of photos not yet prepared.
    const QString folder = photos(8);
    auto empty = PLYCoreManager::globalManager()->postManagerEmpty();
    PLYCoreManager::globalManager()->setCurrentPostManager(empty);
    open(empty);
    PLYPrepViewController* sheet = window->prepViewController();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_FALSE(window->gallerySplitViewItem()->isVisible()) << "the panes wait for the post";
    dialogs->scriptFolder(folder);
    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("chooseDirectoryButton")), Qt::LeftButton);
    QTest::keyClicks(sheet->findChild<QLineEdit*>(QStringLiteral("titleTextField")), QStringLiteral("Skye"));
    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("doneButton")), Qt::LeftButton);

    // "Preparing Images (x/8)" counts up until every photo is prepared, then the panes show.
    QLabel* progress = window->imageProcessView()->imageProcessLabel();
    QList<int> counts;
    const QRegularExpression pattern(QStringLiteral("^Preparing Images \\((\\d+)/8\\)$"));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto match = pattern.match(progress->text());
            if (match.hasMatch() && (counts.isEmpty() || counts.last() != match.captured(1).toInt()))
                counts << match.captured(1).toInt();
            return window->prepHasClosed();
        },
        20000));
    ASSERT_FALSE(counts.isEmpty());
    EXPECT_EQ(counts.last(), 8);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end())) << "never counts down";
    EXPECT_FALSE(window->imageProcessView()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return window->gallerySplitViewItem()->isVisible() && gallery->galleryView()->itemAtIndexPath({0, 7}); }));
    EXPECT_EQ(post()->name(), QStringLiteral("Skye"));

    // An edit in the window, then the post published from its inspector.
    doubleClickGalleryItem(0);
    ASSERT_EQ(PLYTestLayouts::imageBlockCount(post()->constLayout()), 1);
    auto* panel = inspector->publishViewController();
    const auto publisher = panel->postPublisher();
    ASSERT_TRUE(publisher);
    EXPECT_EQ(publisher, session->publisherForPostAs<Publisher>(post())) << "the post's own publisher";
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateNotPublished; }));
    auto* publish = panel->findChild<PLYPublishButton*>(QStringLiteral("PLYPublishButton"));
    ASSERT_TRUE(waitUntil([&] { return publish->isVisible(); }));
    QTest::mouseClick(publish, Qt::LeftButton, {}, publish->rect().center());
    auto* link = panel->findChild<QPushButton*>(QStringLiteral("statusViewBlogButton"));
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateIdle && link->isVisible(); }))
        << publisher->currentStateName().toStdString();
    EXPECT_FALSE(post()->remoteIdentifier().isEmpty());

    // The next edit in the gallery makes an update available in the panel.
    doubleClickGalleryItem(1);
    auto* update = panel->findChild<QPushButton*>(QStringLiteral("statusUpdateButton"));
    ASSERT_TRUE(waitUntil([&] {
        return publisher->currentStateName() == Publisher::StateUpdateAvailable && update->isVisible() && update->isEnabled();
    })) << publisher->currentStateName().toStdString();
}

#endif
