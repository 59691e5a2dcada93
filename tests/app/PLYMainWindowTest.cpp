// The main window through its real views, offscreen: home's grid, sort and filter, tiles and
// their previews, the way into an editor and back, the post switcher, the new-post road, the
// login over any screen and the out-of-date alert.

#include "PLYMainWindowTestSupport.h"

#include "PLYAlertPresenter.h"
#include "PLYAuthViewController.h"
#include "PLYChooserImageView.h"
#include "PLYDefaults.h"
#include "PLYPrepViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYSlidingButtonStack.h"
#include "PLYWebServiceManager.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

using PLYTestEnvironment::waitUntil;
using Screen = PLYRootNavigation::Screen;

namespace {

// The picture's corner is mostly of that primary colour (JPEG moves the exact values).
bool isMostly(const QImage& image, Qt::GlobalColor primary) {
    if (image.isNull()) return false;
    const QColor c = image.pixelColor(10, 10);
    const int values[] = {c.red(), c.green(), c.blue()};
    const int wanted = primary == Qt::red ? 0 : primary == Qt::green ? 1 : 2;
    for (int i = 0; i < 3; ++i)
        if (i != wanted && values[i] + 40 > values[wanted]) return false;
    return true;
}

class MainWindowTest : public PLYMainWindowFixture {
protected:
    void SetUp() override {
        PLYMainWindowFixture::SetUp();
        PLYAlertPresenter::setShared(alerts);
        updatedToken = PLYNotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
            [this](const PLYNotification&) { ++postsUpdated; });
    }
    void TearDown() override {
        PLYNotificationCenter::defaultCenter().removeObserver(updatedToken);
        PLYAlertPresenter::setShared(nullptr);
        PLYMainWindowFixture::TearDown();
    }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    int postsUpdated = 0;
    PLYNotificationCenter::Token updatedToken = 0;
};

TEST_F(MainWindowTest, ATransitionTakesEffectAtOnceAndOnlyTheOldViewWaitsForItsAnimation) {
    const auto lofoten = addPost("Lofoten");
    const auto camino = addPost("Camino");
    openWindow();
    ASSERT_EQ(tileTitles(), (QStringList{"Lofoten", "Camino"}));

    // Into the editor: it is the screen, and the header shows the post, before anything moved.
    doubleClick(lofoten);
    EXPECT_EQ(root()->screen(), Screen::Editor);
    EXPECT_EQ(shownPost(), lofoten);
    EXPECT_EQ(window->headerState(), 0);
    EXPECT_EQ(window->currentPostButton()->text(), "Lofoten");
    EXPECT_TRUE(home()->isVisible()) << "home goes only when the editor has slid over it";
    QPointer<PLYPostViewController> first = root()->currentPostController();
    held().finishAll();
    EXPECT_FALSE(home()->isVisible());
    EXPECT_EQ(first->pos(), QPoint(0, 0));

    // Home: the post is written at once, the editor slides down and only then goes.
    const QDateTime before = lofoten->updatedDate();
    lofoten->setName("Lofoten in Winter");
    PLYClickHomeZone(window.get());
    EXPECT_EQ(root()->screen(), Screen::Home);
    EXPECT_EQ(root()->currentPostController(), nullptr);
    EXPECT_GT(lofoten->updatedDate(), before);
    EXPECT_GE(postsUpdated, 1);
    EXPECT_EQ(window->headerState(), 1);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(tileTitles(), (QStringList{"Lofoten in Winter", "Camino"}));

    // Back into the post before the slide ended: its removal must not take the editor shown now.
    doubleClick(lofoten);
    QPointer<PLYPostViewController> second = root()->currentPostController();
    ASSERT_TRUE(second);
    held().finishAll();
    EXPECT_EQ(root()->screen(), Screen::Editor);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->pos(), QPoint(0, 0));
    EXPECT_FALSE(home()->isVisible());
    // The editor dropped by going home is gone; the cache holds the one shown.
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_TRUE(first.isNull() || first == second);
    EXPECT_EQ(root()->postViewControllers(), (QList<PLYPostViewController*>{second.data()}));
    Q_UNUSED(camino);
}

TEST_F(MainWindowTest, ThePostSwitcherCrossFadesBetweenCachedEditorsAndKeepsTheOneShown) {
    addPost("Zanzibar", "77");
    const auto alpine = addPost("Alpine Lakes");
    const auto camino = addPost("Camino");
    PLYAnimator::setShared(std::make_shared<PLYHeldAnimator>());
    openWindow();
    doubleClick(camino);
    static_cast<PLYHeldAnimator&>(*PLYAnimator::shared()).finishAll();
    PLYPostViewController* caminoEditor = root()->currentPostController();

    // The switcher in the title bar, titled with the post; a press past its home zone opens the
    // menu: published first, then the separator, then the others by name; the shown post checked.
    PLYPostSelecorPopUpButton* switcher = window->currentPostButton();
    ASSERT_TRUE(switcher->isVisible());
    EXPECT_EQ(switcher->parentWidget()->parentWidget(), window->headerView());
    EXPECT_EQ(switcher->text(), "Camino");
    const auto pressMenu = [&] {
        QTest::mousePress(switcher, Qt::LeftButton, {}, QPoint(int(PLYPostSelecorPopUpButton::HomeZoneWidth) + 1, switcher->height() / 2));
        QTest::mouseRelease(switcher, Qt::LeftButton, {}, QPoint(int(PLYPostSelecorPopUpButton::HomeZoneWidth) + 1, switcher->height() / 2));
    };
    pressMenu();
    EXPECT_FALSE(switcher->triggerHome());
    QMenu* menu = window->postMenu();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("--") : action->text() + (action->isChecked() ? "*" : ""));
    EXPECT_EQ(entries, (QStringList{"Zanzibar", "--", "Alpine Lakes", "Camino*"}));
    menu->actions().at(2)->trigger();
    EXPECT_EQ(shownPost(), alpine);
    PLYPostViewController* alpineEditor = root()->currentPostController();
    static_cast<PLYHeldAnimator&>(*PLYAnimator::shared()).finishAll();
    EXPECT_FALSE(caminoEditor->isVisible());
    EXPECT_TRUE(alpineEditor->isVisible());

    // Back to Camino: the same editor from the cache. Choosing it again keeps it as it is.
    pressMenu();
    window->postMenu()->actions().at(3)->trigger();
    EXPECT_EQ(root()->currentPostController(), caminoEditor);
    EXPECT_EQ(switcher->text(), "Camino");
    pressMenu();
    window->postMenu()->actions().at(3)->trigger();
    static_cast<PLYHeldAnimator&>(*PLYAnimator::shared()).finishAll();
    EXPECT_EQ(root()->currentPostController(), caminoEditor);
    EXPECT_TRUE(caminoEditor->isVisible());
    EXPECT_EQ(root()->postViewControllers().size(), 2);
    window->postMenu()->close();

    // Its leftmost 14 points go home, without opening the menu.
    QMenu* lastMenu = window->postMenu();
    QTest::mousePress(switcher, Qt::LeftButton, {}, QPoint(int(PLYPostSelecorPopUpButton::HomeZoneWidth), switcher->height() / 2));
    EXPECT_TRUE(switcher->triggerHome());
    EXPECT_EQ(root()->screen(), Screen::Editor) << "home goes on the release";
    QTest::mouseRelease(switcher, Qt::LeftButton, {}, QPoint(int(PLYPostSelecorPopUpButton::HomeZoneWidth), switcher->height() / 2));
    EXPECT_EQ(root()->screen(), Screen::Home);
    EXPECT_EQ(window->postMenu(), lastMenu);
    EXPECT_FALSE(lastMenu->isVisible());
    EXPECT_EQ(window->headerState(), 1);
}

TEST_F(MainWindowTest, AnAbandonedNewPostGoesHomeWithoutSavingAnything) {
    addPost("Lofoten");
    openWindow();
    PLYAnimator::setShared(std::make_shared<PLYHeldAnimator>());
    auto* newPost = home()->findChild<QPushButton*>("newPostButton");
    ASSERT_NE(newPost, nullptr);
    newPost->click();
    EXPECT_EQ(root()->screen(), Screen::Editor);
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->postManager()->representedPost(), nullptr);
    EXPECT_EQ(window->headerState(), 1) << "the header waits for the post to be set up";
    static_cast<PLYHeldAnimator&>(*PLYAnimator::shared()).finishAll();
    ASSERT_TRUE(waitUntil([&] { return editor->prepViewController() && editor->prepViewController()->isVisible(); }));

    const int updatesBefore = postsUpdated;
    editor->prepViewController()->cancelAction();
    EXPECT_EQ(root()->screen(), Screen::Home);
    EXPECT_EQ(postsUpdated, updatesBefore) << "nothing was made, so nothing is saved or announced";
    EXPECT_EQ(account->currentPosts().size(), 1);
    static_cast<PLYHeldAnimator&>(*PLYAnimator::shared()).finishAll();
    EXPECT_TRUE(root()->postViewControllers().isEmpty());
}

TEST_F(MainWindowTest, LoginComesOverAnyScreenOnceIgnoresPostsAndEndsAtHome) {
    const auto lofoten = addPost("Lofoten");
    const auto camino = addPost("Camino");
    openWindow();
    doubleClick(lofoten);
    held().finishAll();
    PLYPostViewController* editor = root()->currentPostController();

    root()->webServiceManagerStateChange(PLYWebServiceManager::StateNotAuthd);
    QPointer<PLYAuthViewController> login = root()->authViewController();
    ASSERT_TRUE(login);
    EXPECT_EQ(root()->screen(), Screen::Login);
    EXPECT_EQ(PLYCoreManager::globalManager()->currentPostManager(), nullptr);
    EXPECT_EQ(window->headerState(), 1);
    root()->webServiceManagerStateChange(PLYWebServiceManager::StateNoAccount);
    EXPECT_EQ(root()->authViewController(), login) << "no second login view";
    // Posts chosen meanwhile change nothing on screen.
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerForPostID(camino->identifier()));
    EXPECT_EQ(root()->screen(), Screen::Login);
    core->setCurrentPostManager(nullptr);
    held().finishAll();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(root()->postViewControllers().contains(editor)) << "left for the login, the editor stays cached";
    EXPECT_FALSE(home()->isVisible());

    login->finishCreation();
    ASSERT_TRUE(waitUntil([&] { return root()->screen() == Screen::Home; }));
    held().finishAll();
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_TRUE(login.isNull());
    EXPECT_TRUE(home()->isVisible());
    EXPECT_EQ(window->authViewController(), nullptr);
}

TEST_F(MainWindowTest, TheOutOfDateAlertChecksForUpdatesOrQuits) {
    openWindow();
    int checks = 0, quits = 0;
    root()->setOutOfDateActions([&] { ++checks; }, [&] { ++quits; });
    alerts->scriptButtonIndex(0);
    alerts->scriptButtonIndex(1);
    root()->webServiceManagerStateChange(PLYWebServiceManager::StateOutOfDateVersion);
    ASSERT_TRUE(waitUntil([&] { return checks == 1; }));
    root()->webServiceManagerStateChange(PLYWebServiceManager::StateOutOfDateVersion);
    ASSERT_TRUE(waitUntil([&] { return quits == 1; }));
    ASSERT_EQ(alerts->presented().size(), 2);
    const PLYAlertRequest& alert = alerts->presented().first();
    EXPECT_EQ(alert.messageText, "Outdated Pellory Version");
    EXPECT_EQ(alert.buttonTitles, (QStringList{"Check for update", "Cancel"}));
    EXPECT_EQ(root()->screen(), Screen::Home);
}

TEST_F(MainWindowTest, HomeSortsFiltersAndSizesItsTilesThroughItsControls) {
    addPost("Lofoten", "12");
    addPost("Alpine Lakes");
    addPost("Zanzibar", "");
    addPost("Camino", "13");
    openWindow();
    // Oldest first by default.
    EXPECT_EQ(tileTitles(), (QStringList{"Lofoten", "Alpine Lakes", "Zanzibar", "Camino"}));
    home()->descendingMenuItem()->trigger();
    EXPECT_EQ(tileTitles(), (QStringList{"Camino", "Zanzibar", "Alpine Lakes", "Lofoten"}));
    home()->titleMenuItem()->trigger();
    EXPECT_EQ(tileTitles(), (QStringList{"Zanzibar", "Lofoten", "Camino", "Alpine Lakes"}));
    EXPECT_EQ(home()->descendingMenuItem()->text(), "Reverse Alphabetical Order");
    EXPECT_EQ(home()->sortPopUpButton()->text(), home()->titleMenuItem()->text());
    EXPECT_EQ(PLYDefaults::homeSortType(), 0);
    EXPECT_EQ(PLYDefaults::homeSortOrder(), 1);

    // Published only, then unpublished only; the first tile is selected after each pick.
    QTest::mouseClick(home()->selectionStack()->buttonAt(1), Qt::LeftButton);
    EXPECT_EQ(tileTitles(), (QStringList{"Lofoten", "Camino"}));
    EXPECT_TRUE(tileOf(grid()->posts().first())->isSelected());
    QTest::mouseClick(home()->selectionStack()->buttonAt(2), Qt::LeftButton);
    EXPECT_EQ(tileTitles(), (QStringList{"Zanzibar", "Alpine Lakes"}));
    PLYRecentCollectionViewItem* zanzibar = tileOf(grid()->posts().first());
    EXPECT_EQ(zanzibar->publishedImageView()->toolTip(), "Not published");
    EXPECT_FALSE(zanzibar->deletePublishedMenuItem()->isEnabled());

    // Every tile has the size its grid's width asks for, in the layout's place.
    const QSizeF size = PLYHomeModel::itemSize(grid()->width());
    EXPECT_EQ(grid()->collectionViewLayout().itemSize(), size);
    for (int i = 0; i < grid()->posts().size(); ++i)
        EXPECT_EQ(grid()->itemAtIndex(i)->geometry(), grid()->frameForItem(i).toRect());
    // Four across from a grid of 850 points.
    const int wide = 850 + (window->width() - grid()->width());
    window->resize(wide, 700);
    ASSERT_TRUE(waitUntil([&] { return window->width() == wide; }));
    PLYTestEnvironment::waitForQueuedCalls();  // the layouts the new width asked for
    EXPECT_EQ(grid()->collectionViewLayout().itemSize().width(), PLYHomeModel::itemSize(grid()->width()).width());
    EXPECT_EQ(grid()->collectionViewLayout().columns(), grid()->width() >= 850 ? 4 : 3);
    // A short row keeps its tiles at their spacing from the left rather than spread out.
    EXPECT_NEAR(grid()->frameForItem(1).left() - grid()->frameForItem(0).right(), 10, 1.0);

}

TEST_F(MainWindowTest, ATilesPreviewIsDecodedOffTheMainThreadAndReplacedWhenANewOneIsWritten) {
    const auto with = addPost("With a preview");
    const auto without = addPost("Without");
    ASSERT_TRUE(setPlainPreview(with, QSize(600, 900), Qt::darkGreen));
    openWindow();
    PLYRecentCollectionViewItem* tile = tileOf(with);
    ASSERT_NE(tile, nullptr);
    ASSERT_TRUE(waitForPreview(tile));
    EXPECT_TRUE(isMostly(tile->imageContainerView()->representedImage(), Qt::green));
    // A post without a preview shows the empty picture once the cache found nothing.
    ASSERT_TRUE(waitUntil([&] { return tileOf(without)->showsEmptyPostImage(); }));

    // A new preview while the tile is shown replaces its picture.
    ASSERT_TRUE(setPlainPreview(with, QSize(600, 1800), Qt::darkBlue));
    ASSERT_TRUE(waitUntil([&] {
        const QImage shown = tile->imageContainerView()->representedImage();
        return isMostly(shown, Qt::blue);
    }));
    // The tall preview slides up while hovered so its lower end shows, and back when left.
    PLYChooserImageView* view = tile->imageContainerView();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(view, &enter);
    held().finishAll();
    EXPECT_DOUBLE_EQ(view->imageTop(), view->height() - view->imageHeight());
    EXPECT_LT(view->imageTop(), 0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    held().finishAll();
    EXPECT_DOUBLE_EQ(view->imageTop(), 0);
}

}  // namespace
