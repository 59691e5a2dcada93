// The main window as a user meets it, offscreen through its real views: what stays on screen
// while the new-post sheet is up, an editor that comes with its panes, hints that take neither
// the keyboard nor clicks, a title bar that follows only the post in front, a post deleted
// under its editor, refusals that say why, and home's sort and tiles after a visit.

#include "PLYMainWindowTestSupport.h"

#include "PLYAlertPresenter.h"
#include "PLYAuthViewController.h"
#include "PLYChooserImageView.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYHomeModel.h"
#include "PLYOnboardingPopover.h"
#include "PLYOnboardingSequence.h"
#include "PLYPostIndex.h"
#include "PLYPrepViewController.h"
#include "PLYScreenAlpha.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYTestImages.h"
#include "PLYWebServiceManager.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

using PLYTestEnvironment::waitUntil;
using Screen = PLYRootNavigation::Screen;

namespace {

class MainWindowFrontTest : public PLYMainWindowFixture {
protected:
    void SetUp() override {
        PLYMainWindowFixture::SetUp();
        PLYAlertPresenter::setShared(alerts);
        PLYFileDialogs::setShared(dialogs);
        PLYDefaults::setOnBoardPresentationState(2);
    }
    void TearDown() override {
        PLYOnboardingSequence::setPresentationDelaySeconds(PLYOnboardingSequence::DefaultPresentationDelaySeconds);
        PLYDefaults::setOnBoardPresentationState(2);
        PLYDefaults::setHomeSortType(PLYHomeModel::SortByCreationDate);
        PLYFileDialogs::setShared(nullptr);
        PLYAlertPresenter::setShared(nullptr);
        PLYMainWindowFixture::TearDown();
    }
    QPushButton* newPostButton() const { return home()->findChild<QPushButton*>("newPostButton"); }
    // A folder of photos for a new post.
    static QString photos(int count) {
        const QString folder = PLYTestEnvironment::makeTempDirectory("photos");
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(PLYTestImages::writePhotoJpeg(QDir(folder).filePath(QStringLiteral("photo-%1.jpg").arg(i)), 1600, 1100, i + 1));
        return folder;
    }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
};

TEST_F(MainWindowFrontTest, HomeStaysDrawnBehindTheNewPostSheetAndTheEditorComesUpWhenItIsConfirmed) {
    addPost("Lofoten");
    openWindow();
    newPostButton()->click();
    EXPECT_EQ(root()->screen(), Screen::Editor);
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_NE(editor, nullptr);
    held().finishAll();
    ASSERT_TRUE(waitUntil([&] { return editor->prepViewController() && editor->prepViewController()->isVisible(); }));
    // The sheet lies over home, which is drawn behind it; no empty editor covers it.
    EXPECT_TRUE(home()->isVisible());
    EXPECT_FALSE(editor->isVisible());
    const QImage behind = root()->grab().toImage();
    EXPECT_EQ(behind.pixelColor(behind.width() / 2, 5), home()->grab().toImage().pixelColor(home()->width() / 2, 5));

    // Confirmed (no folder, accepted): the editor slides up over home, which then goes.
    PLYPrepViewController* sheet = editor->prepViewController();
    QTest::keyClicks(sheet->findChild<QLineEdit*>("titleTextField"), "Skye");
    alerts->scriptButtonIndex(0);
    sheet->findChild<QPushButton*>("doneButton")->click();
    ASSERT_TRUE(waitUntil([&] { return editor->isVisible(); }));
    held().finishAll();
    EXPECT_EQ(editor->pos(), QPoint(0, 0));
    EXPECT_FALSE(home()->isVisible());
    EXPECT_EQ(shownPost()->name(), "Skye");
}

TEST_F(MainWindowFrontTest, APostOpensWithItsPanesInPlaceFromTheFirstFrame) {
    const auto lofoten = addPost("Lofoten");
    openWindow();
    doubleClick(lofoten);
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_NE(editor, nullptr);
    // Still sliding up: already with its gallery and inspector, and the post in them.
    ASSERT_TRUE(editor->isVisible());
    EXPECT_NE(editor->pos(), QPoint(0, 0)) << "the slide has not run yet";
    EXPECT_TRUE(editor->gallerySplitViewItem()->isVisible());
    EXPECT_TRUE(editor->inspectorSplitViewItem()->isVisible());
    auto* gallery = editor->gallerySplitViewItem()->findChild<PLYGenericPostViewController*>();
    ASSERT_NE(gallery, nullptr);
    EXPECT_EQ(gallery->representedObject(), editor->postManager());
    held().finishAll();
    EXPECT_TRUE(editor->gallerySplitViewItem()->isVisible());
}

// The post's editor is a panel with rounded corners of 5 and a soft shadow below it, drawn in
// the main window (whose own frame stays the desktop's, so it moves and resizes as any window).
TEST_F(MainWindowFrontTest, ThePostEditorIsARoundedPanelWithASoftShadowBelowIt) {
    const auto lofoten = addPost("Lofoten");
    openWindow();
    doubleClick(lofoten);
    held().finishAll();
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_NE(editor, nullptr);
    QWidget* panel = editor->splitView();
    const QRect frame(panel->mapTo(root(), QPoint(0, 0)), panel->size());
    const QImage shot = root()->grab().toImage();
    const auto darkness = [&](QPoint p) { return 255 - qGray(shot.pixel(p)); };
    const QColor background = root()->palette().color(QPalette::Window);
    // The corners are cut round: the very corner shows what lies under the panel, not the pane.
    EXPECT_FALSE(panel->mask().isEmpty());
    EXPECT_FALSE(panel->mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(panel->mask().contains(QPoint(panel->width() - 1, panel->height() - 1)));
    EXPECT_TRUE(panel->mask().contains(QPoint(panel->width() / 2, 0)));
    EXPECT_TRUE(panel->mask().contains(panel->rect().center()));
    // Below the panel the shadow falls on the window's background: darkest next to the panel,
    // fading out, with more room below than above (it is cast downwards).
    ASSERT_LT(frame.bottom() + 6, root()->height());
    const int x = frame.center().x();
    EXPECT_GT(darkness({x, frame.bottom() + 1}), darkness({x, frame.bottom() + 6}));
    EXPECT_GT(darkness({x, frame.bottom() + 1}), 255 - qGray(background.rgb()) + 8);
    EXPECT_GT(root()->height() - 1 - frame.bottom(), frame.top());
    // It follows the window's size as before.
    window->resize(1300, 900);
    QTest::qWait(1);
    EXPECT_EQ(editor->size(), root()->size());
    EXPECT_GT(panel->width(), 1300 - 20);
}

TEST_F(MainWindowFrontTest, TheOnboardingHintTakesNeitherTheKeyboardNorClicksElsewhere) {
    const auto lofoten = addPost("Lofoten");
    PLYDefaults::setOnBoardPresentationState(0);
    PLYOnboardingSequence::setPresentationDelaySeconds(0.05);
    openWindow();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
    doubleClick(lofoten);
    held().finishAll();
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_TRUE(waitUntil([&] { return editor->onBoardPopOver() && editor->onBoardPopOver()->isVisible(); }));
    PLYOnboardingPopover* hint = editor->onBoardPopOver();
    // Inside the window, over its views, not a window of its own.
    EXPECT_EQ(hint->window(), window.get());
    EXPECT_FALSE(hint->windowFlags() & Qt::Popup);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // A field of the inspector, clicked and typed into through the window.
    QLineEdit* field = nullptr;
    for (QLineEdit* candidate : editor->inspectorSplitViewItem()->findChildren<QLineEdit*>())
        if (candidate->isVisible() && candidate->isEnabled() && !candidate->isReadOnly()) {
            field = candidate;
            break;
        }
    ASSERT_NE(field, nullptr);
    ASSERT_FALSE(hint->geometry().contains(field->mapTo(window.get(), field->rect().center())));
    field->clear();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, field->mapTo(window.get(), field->rect().center()));
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); })) << "the first click reaches the field";
    for (char key : QByteArray("fjord")) QTest::keyClick(window->windowHandle(), key);
    EXPECT_EQ(field->text(), "fjord") << "no key is swallowed";
    EXPECT_TRUE(hint->isVisible()) << "it stays until dismissed";

    // Its own button dismisses it.
    QTest::mouseClick(hint->findChild<QPushButton*>("dismissGalleryOnboardButton"), Qt::LeftButton);
    EXPECT_TRUE(editor->onBoardPopOver() == nullptr || !editor->onBoardPopOver()->isVisible());
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 1);
}

TEST_F(MainWindowFrontTest, APopoverIsOpaqueAndCutToItsBubbleWhereTheScreenHasNoAlpha) {
    openWindow();
    for (bool alpha : {false, true}) {
        PLYScreenAlpha::setOverride(alpha);
        auto* anchor = new QWidget(window.get());
        anchor->setGeometry(200, 100, 32, 30);
        anchor->show();
        auto* popover = new PLYOnboardingPopover(PLYOnboardingPopover::makeContent("c", "Heading", "Text", "b"), anchor);
        popover->showRelativeToRect(anchor->rect(), anchor, PLYOnboardingPopover::Edge::Below);
        EXPECT_EQ(popover->isTranslucent(), alpha);
        EXPECT_EQ(popover->testAttribute(Qt::WA_TranslucentBackground), alpha);
        const QImage picture = popover->grab().toImage();
        if (!alpha) {
            // Every pixel painted, none left transparent (black on such a screen); the corners
            // are outside the window's shape.
            EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() - 3).alpha(), 255);
            EXPECT_FALSE(popover->mask().isEmpty());
            EXPECT_FALSE(popover->mask().contains(QPoint(0, popover->height() - 1)));
            EXPECT_TRUE(popover->mask().contains(QPoint(popover->width() / 2, popover->height() / 2)));
        } else {
            EXPECT_TRUE(popover->mask().isEmpty());
        }
        popover->closePopover();
        delete anchor;
    }
    PLYScreenAlpha::setOverride(std::nullopt);
}

TEST_F(MainWindowFrontTest, APostPreparedBehindTheLoginLeavesTheTitleBarAlone) {
    openWindow();
    dialogs->scriptFolder(photos(4));
    newPostButton()->click();
    PLYPostViewController* editor = root()->currentPostController();
    ASSERT_NE(editor, nullptr);
    held().finishAll();
    ASSERT_TRUE(waitUntil([&] { return editor->prepViewController() && editor->prepViewController()->isVisible(); }));
    PLYPrepViewController* sheet = editor->prepViewController();
    QTest::keyClicks(sheet->findChild<QLineEdit*>("titleTextField"), "Harbour");
    sheet->findChild<QPushButton*>("chooseDirectoryButton")->click();
    sheet->findChild<QPushButton*>("doneButton")->click();
    ASSERT_FALSE(editor->prepHasClosed()) << "the photos are still being prepared";

    // The session needs a sign-in: the login comes over the preparing editor.
    root()->webServiceManagerStateChange(PLYWebServiceManager::StateNotAuthd);
    ASSERT_EQ(root()->screen(), Screen::Login);
    held().finishAll();
    EXPECT_EQ(window->headerState(), 1);
    ASSERT_TRUE(waitUntil([&] { return editor->prepHasClosed(); }));
    PLYTestEnvironment::waitForQueuedCalls();
    EXPECT_EQ(window->headerState(), 1) << "no post controls over the login";
    EXPECT_FALSE(PLYVisualStateHandler::globalHandler()->postHeaderVisible());
}

TEST_F(MainWindowFrontTest, APostDeletedUnderItsEditorClosesItAndSaysSo) {
    const auto lofoten = addPost("Lofoten");
    const auto camino = addPost("Camino");
    openWindow();
    doubleClick(lofoten);
    held().finishAll();
    QPointer<PLYPostViewController> editor = root()->currentPostController();
    ASSERT_TRUE(editor);

    // A deletion that lands while the post is edited (here made directly, as a late answer of
    // the service would be).
    PLYCoreManager::globalManager()->deletePost(lofoten);
    ASSERT_TRUE(lofoten->isRemoved());
    EXPECT_EQ(root()->screen(), Screen::Home);
    EXPECT_EQ(window->headerState(), 1);
    ASSERT_TRUE(waitUntil([&] { return !alerts->presented().isEmpty(); }));
    EXPECT_EQ(alerts->presented().last().messageText, PLYBaseViewController::postDeletedAlert("Lofoten").messageText);
    EXPECT_TRUE(alerts->presented().last().informativeText.contains("Lofoten"));
    held().finishAll();
    EXPECT_TRUE(waitUntil([&] { return editor.isNull() || !root()->postViewControllers().contains(editor.data()); }))
        << "its editor is dropped";
    EXPECT_EQ(tileTitles(), QStringList{"Camino"});

    // Deleted while home is shown: no alert, nothing else changes.
    const int shown = int(alerts->presented().size());
    PLYCoreManager::globalManager()->deletePost(camino);
    PLYTestEnvironment::waitForQueuedCalls();  // after an alert the deletion would have queued
    EXPECT_EQ(alerts->presented().size(), shown);
    EXPECT_EQ(root()->screen(), Screen::Home);
}

TEST_F(MainWindowFrontTest, NewPostWithNobodySignedInSaysWhy) {
    store->signOut();
    openWindow();
    ASSERT_NE(newPostButton(), nullptr);
    newPostButton()->click();
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented().first().messageText, PLYHomeViewController::newPostWithoutAccountAlert().messageText);
    EXPECT_TRUE(alerts->presented().first().informativeText.contains("signed in"));
    EXPECT_EQ(root()->screen(), Screen::Home);
    EXPECT_EQ(PLYCoreManager::globalManager()->currentPostManager(), nullptr);
}

TEST_F(MainWindowFrontTest, AnUnknownStoredSortShowsThePostsInTheDefaultOrder) {
    addPost("Zanzibar");
    addPost("Alpine Lakes");
    for (qint64 stored : {qint64(3), qint64(-1), qint64(1000)}) {
        PLYDefaults::setHomeSortType(stored);
        openWindow();
        EXPECT_EQ(tileTitles(), (QStringList{"Zanzibar", "Alpine Lakes"})) << stored;
        auto* sort = home()->findChild<QAbstractButton*>("sortPopUpButton");
        ASSERT_NE(sort, nullptr);
        EXPECT_TRUE(sort->isVisible()) << stored;
        EXPECT_EQ(sort->text(), PLYHomeModel::sortMenu(PLYHomeModel::SortByCreationDate, 0).popUpTitle) << stored;
        window.reset();
    }
}

TEST_F(MainWindowFrontTest, ATallPreviewShowsItsTopAgainAfterAVisitToThePost) {
    const auto tall = addPost("Tall");
    ASSERT_TRUE(setPlainPreview(tall, QSize(600, 2400), Qt::darkBlue));
    openWindow();
    PLYRecentCollectionViewItem* tile = tileOf(tall);
    ASSERT_NE(tile, nullptr);
    PLYChooserImageView* view = tile->imageContainerView();
    ASSERT_TRUE(waitForPreview(tile));

    // Hovered, the preview starts sliding up; the double-click opens the post meanwhile.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(view, &enter);
    doubleClick(tall);
    held().finishAll();
    ASSERT_FALSE(view->isVisible());
    PLYClickHomeZone(window.get());
    held().finishAll();
    ASSERT_TRUE(view->isVisible());
    EXPECT_DOUBLE_EQ(view->imageTop(), 0) << "the preview starts at the top";
    EXPECT_FALSE(view->isHovered());
}

}  // namespace

TEST_F(MainWindowFrontTest, HomeDrawnFromAnIndexThatIsBehindEndsWithThePostsAsSavedAndOpensThemWhole) {
    const auto kept = addPost("Harbour");
    const auto renamed = addPost("Old name");
    const auto deleted = addPost("Deleted since");
    kept->layout()->add_sections()->mutable_stacked();
    ASSERT_TRUE(store->save());
    const QString index = PLYPostIndex::pathForAccountFolder(account->folderPath());
    QFile file(index);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray behind = file.readAll();
    file.close();
    // Changed since the index was written, and the index's own write lost.
    renamed->setName("New name");
    account->removePost(deleted);
    ASSERT_TRUE(store->save());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(behind);
    file.close();

    const QString library = store->rootDirectory();
    store.reset();
    account.reset();
    PLYCoreManager::resetGlobalManager(library);
    store = PLYCoreManager::persistantStore();
    store->setUp(false);
    account = store->signInUser("ada@example.org");
    // No event has run since set-up: home is made from the index's summaries.
    openWindow();
    ASSERT_TRUE(waitUntil([&] { return tileTitles() == QStringList({"Harbour", "New name"}); }, 20000))
        << tileTitles().join(", ").toStdString();
    EXPECT_FALSE(store->isLoading());

    auto* tile = tileOf(account->postForIdentifier(kept->identifier()));
    ASSERT_NE(tile, nullptr);
    QTest::mouseDClick(tile, Qt::LeftButton, {}, tile->rect().center());
    ASSERT_TRUE(waitUntil([&] { return root()->screen() == Screen::Editor; }));
    ASSERT_NE(shownPost(), nullptr);
    EXPECT_EQ(shownPost()->identifier(), kept->identifier());
    EXPECT_FALSE(shownPost()->isSummaryOnly());
    EXPECT_EQ(shownPost()->constLayout().sections_size(), 2) << "the layout as saved, not an empty one";
}
