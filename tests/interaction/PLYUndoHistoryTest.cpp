// The post's undo history through the real layout tab and Properties tab, driven with
// synthesized events: every change of the layout is a step, so no undo or redo throws away an
// edit made after it; a step that can no longer be applied says so and clears the history; a
// block handle dragged while the view is scrolled to its end neither recurses nor runs away.
// Then a seeded random walk of all of these, undoing and redoing everything after every step.
#include "PLYLayoutTabFixture.h"

#include "PLYAlertPresenter.h"
#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYDocumentViewController.h"
#include "PLYGalleryViewController.h"
#include "PLYPopUpButton.h"
#include "PLYPostViewController.h"
#include "PLYPropertyViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYVisualStateHandler.h"

#include <QClipboard>
#include <QColorDialog>
#include <QLineEdit>
#include <QPainter>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <random>

namespace {

class UndoHistory : public LayoutTab {
protected:
    void SetUp() override {
        LayoutTab::SetUp();
        alerts = std::make_shared<PLYScriptedAlertPresenter>();
        PLYAlertPresenter::setShared(alerts);
        // The Properties tab inside the tab's window, so that both share one history.
        pane = new PLYPropertyViewController(tab.get());
        pane->setGeometry(0, 0, 250, 700);
        pane->setLayoutManager(manager);
        history()->setFailureHandler([this](const QString& message) { failures << message; });
        history()->removeAllActions();
    }
    void TearDown() override {
        PLYAlertPresenter::setShared(nullptr);
        LayoutTab::TearDown();
    }

    PLYUndoManager* history() { return undo(); }
    std::string layoutBytes() { return manager->representedLayout()->SerializeAsString(); }
    // In edit mode on `id`: a drag from its centre by `by`, then Escape.
    void panAndLeaveEditMode(const char* id, const QPointF& by) {
        press(centre(id));
        dragTo(centre(id) + by);
        release(centre(id) + by);
        key(Qt::Key_Escape);
    }
    template <typename T>
    T* child(const char* name) {
        return pane->findChild<T*>(QLatin1String(name));
    }
    // Picks the item titled `title` of a pop-up of the Properties tab, as a click on it does.
    bool choose(const char* popUpName, const QString& title) {
        auto* popUp = child<PLYPopUpButton>(popUpName);
        if (!popUp || !popUp->isEnabled()) return false;
        for (QAction* action : popUp->menu()->actions())
            if (action->text() == title && action->isEnabled()) {
                action->trigger();
                return true;
            }
        return false;
    }
    bool drop(const QMimeData* data, const QPointF& p) {
        const QPoint l = local(p).toPoint();
        QDragEnterEvent enter(l, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(l, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QDropEvent event(l, Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &event);
        return event.isAccepted();
    }
    std::unique_ptr<QMimeData> dragBlocksFrom(const QPointF& p) {
        std::unique_ptr<QMimeData> carried;
        overlay->setDraggingSessionStarter(
            [&](PLYLayoutInteractionView*, QMimeData* data, const QPixmap&) { carried.reset(data); });
        press(p);
        dragTo(p + QPointF(0, 30));
        release(p + QPointF(0, 30));
        overlay->setDraggingSessionStarter([](PLYLayoutInteractionView*, QMimeData* data, const QPixmap&) { delete data; });
        return carried;
    }
    // A press and a move in viewport coordinates, the way a pointer that does not leave its
    // place on screen sends them, whatever the canvas does meanwhile.
    void viewportMouse(QEvent::Type type, const QPointF& l, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, l, view->viewport()->mapToGlobal(l), button, buttons, {});
        QApplication::sendEvent(view->viewport(), &e);
    }
    // Undoes everything, then redoes everything, checking the bytes at both ends.
    void undoAllAndRedoAll(const std::string& first, const std::string& last, const std::string& what) {
        const int redoable = history()->redoCount();
        int undone = 0;
        // Every step of the history changes the layout: none is empty.
        for (; history()->canUndo() && undone < 1000; ++undone) {
            const std::string before = layoutBytes();
            history()->undo();
            ASSERT_NE(layoutBytes(), before) << "undo " << undone + 1 << " after " << what;
        }
        ASSERT_EQ(layoutBytes(), first) << "undo-all after " << what;
        for (int i = 0; i < undone; ++i) history()->redo();
        ASSERT_EQ(history()->redoCount(), redoable) << what;
        ASSERT_EQ(layoutBytes(), last) << "redo-all after " << what;
        ASSERT_TRUE(failures.isEmpty()) << failures.join(' ').toStdString() << " after " << what;
    }

    // Redoes what is left to redo, which must lead to `last`.
    void redoAll(const std::string& last) {
        for (int i = 0; history()->canRedo() && i < 1000; ++i) history()->redo();
        EXPECT_EQ(layoutBytes(), last);
        EXPECT_TRUE(failures.isEmpty()) << failures.join(' ').toStdString();
    }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts;
    PLYPropertyViewController* pane = nullptr;
    QStringList failures;
};

// ---- Item by item ----

TEST_F(UndoHistory, EditModeByTheKeyOrTheMenuIsAStepSoAnEarlierUndoKeepsTheCrop) {
    const std::string first = layoutBytes();
    click(centre("t"));
    key(Qt::Key_Delete);
    ASSERT_EQ(manager->blockForRef("t"), nullptr);

    // E on the picture of b, then a pan inside it: the crop is in the history.
    moveTo(centre("b"));
    key(Qt::Key_E);
    ASSERT_EQ(ids({manager->currentEditBlock()}), "b");
    panAndLeaveEditMode("b", QPointF(40, 0));
    ASSERT_TRUE(manager->blockForRef("b")->image().has_position());
    EXPECT_EQ(history()->undoActionName(), "Undo Edit");
    const std::string cropped = layoutBytes();

    // The menu's "Edit" on z, a handle resize: its own step as well.
    moveTo(centre("z"));
    overlay->menu();
    overlay->imageMenu()->actions()[0]->trigger();
    ASSERT_EQ(ids({manager->currentEditBlock()}), "z");
    auto* z = dynamic_cast<PLYLayoutBlockInteractionHandler_Image*>(blockView("z")->interactionHandler());
    ASSERT_NE(z, nullptr);
    const QPointF handle = z->blockHandles().last()->frame().center();
    press(handle);
    dragTo(handle + QPointF(0, 60));
    release(handle + QPointF(0, 60));
    key(Qt::Key_Return);
    ASSERT_NE(manager->blockForRef("z")->aspect_ratio(), 0.0f);
    const std::string last = layoutBytes();

    history()->undo();  // z's edit mode, with its resize
    EXPECT_EQ(layoutBytes(), cropped);
    history()->undo();  // b's edit mode, with its crop
    EXPECT_FALSE(manager->blockForRef("b")->image().has_position());
    EXPECT_EQ(manager->blockForRef("t"), nullptr);
    history()->undo();  // the delete: the crop made after it was not lost on the way
    EXPECT_EQ(layoutBytes(), first);
    redoAll(last);
}

TEST_F(UndoHistory, PropertiesEditsAreStepsOfTheirOwnAndAnEarlierDropKeepsThem) {
    const std::string first = layoutBytes();
    auto picture = board("com.pellory.image.ref", {"wide"});
    ASSERT_TRUE(drop(picture.get(), QPointF(centre("z").x(), frameOf("z").top() - 5)));
    EXPECT_EQ(history()->undoActionName(), "Delete Blocks");

    const auto style = manager->blockForRef("t")->text().style();
    click(centre("t"));
    ASSERT_TRUE(choose("textStylePopUpButton", child<PLYPopUpButton>("textStylePopUpButton")->menu()->actions().last()->text()));
    ASSERT_NE(manager->blockForRef("t")->text().style(), style);
    EXPECT_EQ(history()->undoActionName(), PLYPropertyViewController::TextStyleUndoName);
    click(centre("a"));
    ASSERT_TRUE(choose("aspectRatioPopUpButton", "1:1"));
    EXPECT_EQ(history()->undoActionName(), PLYPropertyViewController::AspectRatioUndoName);
    EXPECT_EQ(manager->blockForRef("a")->aspect_ratio(), 1.0f);
    const std::string last = layoutBytes();

    history()->undo();
    history()->undo();
    EXPECT_EQ(manager->blockForRef("t")->text().style(), style);
    EXPECT_EQ(manager->blockForRef("a")->aspect_ratio(), 0.0f);
    history()->undo();  // the drop: only the dropped block goes
    EXPECT_EQ(layoutBytes(), first);
    redoAll(last);
}

TEST_F(UndoHistory, AnAutoAddedPictureIsAStep) {
    PLYDefaults::setShouldAutoAddNewImages(true);
    PLYGalleryViewController gallery(tab.get());
    gallery.setUndoManager(history());
    gallery.setPostManager(postManager);
    const std::string first = layoutBytes();
    click(centre("t"));
    key(Qt::Key_Delete);
    gallery.sourceDirectoryAddedNewImage(nullptr, QStringLiteral("square"));
    PLYDefaults::setShouldAutoAddNewImages(false);
    EXPECT_EQ(history()->undoCount(), 2);
    EXPECT_EQ(post->inUseCountForImage("square"), 3);
    const std::string last = layoutBytes();
    history()->undo();
    EXPECT_EQ(post->inUseCountForImage("square"), 2);
    history()->undo();  // the delete, without taking the picture added after it along
    EXPECT_EQ(layoutBytes(), first);
    redoAll(last);
}

TEST_F(UndoHistory, EditModeLeftWithoutAChangeKeepsWhatCouldBeRedone) {
    click(centre("t"));
    key(Qt::Key_Delete);
    history()->undo();
    ASSERT_EQ(history()->undoCount(), 0);
    ASSERT_EQ(history()->redoCount(), 1);

    // In and out of edit mode by every road, a click on the picture that moves nothing included.
    doubleClick(centre("b"));
    ASSERT_EQ(ids({manager->currentEditBlock()}), "b");
    click(centre("b"));
    key(Qt::Key_Escape);
    moveTo(centre("z"));
    key(Qt::Key_E);
    ASSERT_EQ(ids({manager->currentEditBlock()}), "z");
    key(Qt::Key_Return);
    moveTo(centre("a"));
    overlay->menu();
    overlay->imageMenu()->actions()[0]->trigger();
    ASSERT_EQ(ids({manager->currentEditBlock()}), "a");
    click(centre("dl"));  // away from the picture
    ASSERT_EQ(manager->currentEditBlock(), nullptr);

    EXPECT_EQ(history()->undoCount(), 0) << history()->undoActionName().toStdString();
    ASSERT_EQ(history()->redoCount(), 1);
    history()->redo();
    EXPECT_EQ(manager->blockForRef("t"), nullptr);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(' ').toStdString();
}

TEST_F(UndoHistory, APictureAutoAddedDuringADragIsAStepOfItsOwn) {
    PLYGalleryViewController gallery(tab.get());
    gallery.setUndoManager(history());
    gallery.setPostManager(postManager);
    const std::string first = layoutBytes();
    doubleClick(centre("b"));
    ASSERT_EQ(ids({manager->currentEditBlock()}), "b");
    const QPointF c = centre("b");
    press(c);
    dragTo(c + QPointF(30, 0));
    PLYDefaults::setShouldAutoAddNewImages(true);
    gallery.sourceDirectoryAddedNewImage(nullptr, QStringLiteral("wide"));
    PLYDefaults::setShouldAutoAddNewImages(false);
    dragTo(c + QPointF(50, 0));
    release(c + QPointF(50, 0));
    key(Qt::Key_Escape);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return post->inUseCountForImage("wide") == 2; }));
    ASSERT_TRUE(manager->blockForRef("b")->image().has_position());
    const std::string last = layoutBytes();
    EXPECT_EQ(history()->undoCount(), 2);

    // Each undo takes back its own change only.
    history()->undo();
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    EXPECT_TRUE(manager->blockForRef("b")->image().has_position()) << "the crop stays";
    history()->undo();
    EXPECT_EQ(layoutBytes(), first);
    redoAll(last);
}

TEST_F(UndoHistory, TheDocumentTabsPaddingAndBackgroundAreStepsOfThePostsHistory) {
    auto* document = new PLYDocumentViewController(tab.get());
    document->setGeometry(0, 0, 250, 600);
    document->setLayoutManager(manager);
    auto* field = document->findChild<QLineEdit*>(QStringLiteral("paddingTextField"));
    auto* well = document->findChild<PLYColourWell*>(QStringLiteral("backgroundColourWell"));
    ASSERT_TRUE(field && well);
    // The canvas in the gap below the first picture: the background shows there.
    const auto gapColour = [&] {
        const QRectF a = frameOf("a");
        const QPointF gap(a.center().x(), a.bottom() + manager->representedLayout()->padding() / 2.0);
        QImage pixel(1, 1, QImage::Format_RGB32);
        QPainter painter(&pixel);
        view->scene()->render(&painter, QRectF(0, 0, 1, 1), QRectF(gap, QSizeF(1, 1)));
        return QColor(pixel.pixel(0, 0));
    };
    // The gap between the first picture and the row below it on the canvas.
    const auto gapIs = [&](double points) { return std::abs(frameOf("row").top() - frameOf("a").bottom() - points) < 0.5; };
    const std::string first = layoutBytes();
    ASSERT_TRUE(gapIs(10));
    const QColor background = gapColour();

    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("30"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(manager->representedLayout()->padding(), 30);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapIs(30); }));
    const std::string padded = layoutBytes();

    well->activate();
    auto* panel = tab->findChild<QColorDialog*>();
    ASSERT_NE(panel, nullptr);
    panel->setCurrentColor(QColor(200, 30, 40));
    ASSERT_EQ(manager->representedLayout()->background_colour().r(), 200.0f);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapColour() == QColor(200, 30, 40); }));
    const std::string last = layoutBytes();
    ASSERT_EQ(history()->undoCount(), 2);

    history()->undo();
    EXPECT_EQ(layoutBytes(), padded);
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapColour() == background; }));
    EXPECT_EQ(well->colour().rgb(), background.rgb()) << "the tab shows the colour taken back";
    history()->undo();
    EXPECT_EQ(layoutBytes(), first);
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapIs(10); }));
    EXPECT_EQ(field->text(), QStringLiteral("10")) << "the tab shows the padding taken back";
    history()->redo();
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapIs(30); }));
    EXPECT_EQ(field->text(), QStringLiteral("30"));
    history()->redo();
    EXPECT_EQ(layoutBytes(), last);
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return gapColour() == QColor(200, 30, 40); }));
    EXPECT_TRUE(failures.isEmpty()) << failures.join(' ').toStdString();
}

TEST_F(UndoHistory, AStepThatNoLongerMatchesTellsTheUserAndClearsBothStacks) {
    click(centre("t"));
    key(Qt::Key_Delete);
    click(centre("dl"));
    key(Qt::Key_Delete);
    history()->undo();
    ASSERT_EQ(history()->undoCount(), 1);
    ASSERT_EQ(history()->redoCount(), 1);
    // A change that no step describes (as the code of another road might make).
    ASSERT_TRUE(manager->setAspectRatio("a", 2.0));
    const std::string now = layoutBytes();
    history()->undo();
    EXPECT_EQ(layoutBytes(), now) << "nothing is put back over the change";
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().contains("Undo Block Delete")) << failures.first().toStdString();
    EXPECT_FALSE(history()->canUndo());
    EXPECT_FALSE(history()->canRedo());
}

TEST_F(UndoHistory, ARefusedStepInTheEditorsWindowIsShownToTheUser) {
    // The editor's own history reports through an alert, after the undo has finished.
    PLYPostViewController editor;
    PLYUndoManager* own = editor.undoManager();
    own->registerUndo([] {});
    own->registerUndo([own] { own->refuse(QStringLiteral("no longer matches")); });
    own->setActionName(QStringLiteral("Undo Block Move"));
    own->undo();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !alerts->presented().isEmpty(); }));
    EXPECT_EQ(alerts->presented().first().informativeText, "no longer matches");
    EXPECT_FALSE(own->canUndo());
    EXPECT_FALSE(own->canRedo());
}

TEST_F(UndoHistory, TypedTextHasItsRedoAndAPastePastTheLimitIsRefusedWithAMessage) {
    doubleClick(centre("t"));
    auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(blockView("t")->interactionHandler());
    ASSERT_NE(handler, nullptr);
    PLYRichTextEditor* editor = handler->editTextView();
    ASSERT_NE(editor, nullptr);
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    editor->setTextCursor(end);
    const std::string before = manager->blockForRef("t")->text().value();

    QMimeData words;
    words.setText(QStringLiteral(" and more"));
    editor->insertFromMimeData(&words);
    const std::string typed = manager->blockForRef("t")->text().value();
    ASSERT_EQ(typed, before + " and more");
    history()->undo();
    EXPECT_EQ(manager->blockForRef("t")->text().value(), before);
    ASSERT_TRUE(history()->canRedo()) << "undoing the words offers them back";
    history()->redo();
    EXPECT_EQ(manager->blockForRef("t")->text().value(), typed);

    // Past the limit: nothing shown, nothing committed, and said so.
    const int undoCount = history()->undoCount();
    QMimeData tooLong;
    tooLong.setText(QString(PLYLayoutManager::MaximumTextLength, QLatin1Char('x')));
    editor->insertFromMimeData(&tooLong);
    EXPECT_EQ(editor->toPlainText().toStdString(), typed);
    EXPECT_EQ(manager->blockForRef("t")->text().value(), typed);
    EXPECT_EQ(history()->undoCount(), undoCount);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !alerts->presented().isEmpty(); }));
    EXPECT_EQ(alerts->presented().first().messageText, "The Text Is Too Long");
}

TEST_F(UndoHistory, ReloadLayoutLeavesEditModeAndTheInspectorFollowsEditModeDrags) {
    // The blank beside b, resized by its right handle: the page shows the new ratio while edit
    // mode goes on.
    doubleClick(centre("c"));
    ASSERT_EQ(ids({manager->currentEditBlock()}), "c");
    auto* ratio = child<PLYPopUpButton>("blankAspectRatioPopUpButton");
    ASSERT_NE(ratio, nullptr);
    const QString shown = ratio->title();
    auto* c = dynamic_cast<PLYLayoutBlockInteractionHandlerBase*>(blockView("c")->interactionHandler());
    ASSERT_NE(c, nullptr);
    const QPointF handle = c->blockHandles().last()->frame().center();
    press(handle);
    dragTo(handle + QPointF(80, 0));
    release(handle + QPointF(80, 0));
    ASSERT_NE(manager->blockForRef("c")->aspect_ratio(), 0.0f);
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return ratio->title() != shown; }))
        << "the ratio shown follows the resize";
    ASSERT_EQ(ids({manager->currentEditBlock()}), "c");

    moveTo(QPointF(-50, -50));
    overlay->generalMenu()->actions()[0]->trigger();  // "Reload Layout"
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
}

TEST_F(UndoHistory, ZoomToFitAsksTheShownLayoutTab) {
    PLYLayoutViewController hidden;
    hidden.resize(300, 300);
    hidden.setPostManager(postManager);  // never shown
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    // The hidden tab is asked first.
    handler->removeVisualDelegate(tab.get());
    handler->addVisualDelegate(tab.get());
    EXPECT_EQ(hidden.layoutZoomFactorToFitForVisualStateHandler(handler), std::nullopt);
    const std::optional<double> shown = tab->layoutZoomFactorToFitForVisualStateHandler(handler);
    ASSERT_TRUE(shown);
    handler->setLayoutZoomToFit();
    EXPECT_DOUBLE_EQ(handler->layoutZoomFactor(), *shown);
}

// ---- Edit mode in a layout of several sections ----

class UndoInLaterSection : public UndoHistory {
protected:
    PLYLayout initialLayout() override {
        return layout(10, {section("s1", {image("a", "wide"), text("t", "Words of the story")}),
                           section("s2", {image("b", "square"), blank("c")})});
    }
};

// A crop in the second section is one step that puts back that section, whichever sections the
// layout holds; an edit of the first section afterwards is a step of its own.
TEST_F(UndoInLaterSection, ACropInTheSecondSectionUndoesAndRedoesBesideTheFirstSectionsSteps) {
    const std::string first = layoutBytes();
    doubleClick(centre("b"));
    ASSERT_EQ(ids({manager->currentEditBlock()}), "b");
    panAndLeaveEditMode("b", QPointF(40, 0));
    ASSERT_TRUE(manager->blockForRef("b")->image().has_position());
    const std::string cropped = layoutBytes();

    click(centre("t"));
    key(Qt::Key_Delete);
    ASSERT_EQ(manager->blockForRef("t"), nullptr);
    const std::string last = layoutBytes();

    history()->undo();
    EXPECT_EQ(layoutBytes(), cropped);
    history()->undo();
    EXPECT_EQ(layoutBytes(), first);
    redoAll(last);
}

// ---- The handle drag at the end of a scrolled view ----

class ScrolledHandleDrag : public UndoHistory {
protected:
    PLYSection initialSection() override {
        return section("s1", {image("p1", "wide"), image("p2", "wide"), image("p3", "wide"), image("last", "square")});
    }
};

TEST_F(ScrolledHandleDrag, FivePointsUpAtTheEndGiveFivePointsAndNoRecursion) {
    doubleClick(centre("last"));
    auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Image*>(blockView("last")->interactionHandler());
    ASSERT_NE(handler, nullptr);
    ASSERT_EQ(ids({manager->currentEditBlock()}), "last");
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QRectF before = frameOf("last");
    const QPointF bottom = handler->blockHandles().last()->frame().center();
    ASSERT_EQ(handler->blockHandles().last()->corner(), PLYGrabHandleCornerBottom);
    const QPointF l = view->mapFromScene(bottom);
    ASSERT_TRUE(view->viewport()->rect().contains(l.toPoint()));

    viewportMouse(QEvent::MouseMove, l, Qt::NoButton);
    viewportMouse(QEvent::MouseButtonPress, l, Qt::LeftButton);
    for (int i = 1; i <= 5; ++i) viewportMouse(QEvent::MouseMove, l + QPointF(0, -i), Qt::LeftButton);
    viewportMouse(QEvent::MouseButtonRelease, l + QPointF(0, -5), Qt::NoButton);
    QApplication::processEvents();
    // Five screen points, in layout points at the tab's zoom.
    const double up = 5 * overlay->boundsToFrameRatio();
    EXPECT_NEAR(manager->blockForRef("last")->aspect_ratio(), before.width() / (before.height() - up), 1e-3);
    EXPECT_NEAR(frameOf("last").height(), before.height() - up, 0.5);
}

// ---- The random walk ----

class UndoWalk : public UndoHistory {
protected:
    std::mt19937 rng;
    qint64 pick(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng); }

    // Any block's view, leaves and containers alike, by its identifier.
    QStringList blockIds() {
        QStringList out;
        std::function<void(const PLYBlock&)> add = [&](const PLYBlock& b) {
            out << QString::fromStdString(b.id());
            if (b.type_case() == PLYBlock::kContainer)
                for (const PLYBlock& c : b.container().sub_blocks()) add(c);
        };
        for (const PLYBlock& b : manager->representedLayout()->sections(0).blocks()) add(b);
        return out;
    }
    QStringList leavesOf(std::initializer_list<PLYBlock::TypeCase> kinds) {
        QStringList out;
        for (const QString& id : blockIds()) {
            const PLYBlock* b = manager->blockForRef(id);
            if (b && std::find(kinds.begin(), kinds.end(), b->type_case()) != kinds.end()) out << id;
        }
        return out;
    }
    QString anyOf(const QStringList& list) { return list.isEmpty() ? QString() : list[int(pick(0, list.size() - 1))]; }
    QRectF frameOfId(const QString& id) {
        PLYBlockView* v = tab->layoutViewProxy()->blockViewForId(id);
        return v ? v->mapRectToScene(v->boundingRect()) : QRectF();
    }
    // A point in or near a block: its middle, or by one of its edges (a drop zone).
    QPointF somewhere(const QString& id) {
        const QRectF f = frameOfId(id);
        const double x = f.left() + f.width() * pick(5, 95) / 100.0;
        const double y = f.top() + f.height() * pick(5, 95) / 100.0;
        switch (pick(0, 3)) {
        case 0: return QPointF(x, f.top() - 5);
        case 1: return QPointF(f.left() + 5, y);
        default: return QPointF(x, y);
        }
    }
    bool enterEditMode(const QString& id) {
        const QPointF c = frameOfId(id).center();
        switch (pick(0, 2)) {
        case 0: doubleClick(c); break;
        case 1:
            moveTo(c);
            key(Qt::Key_E);
            break;
        default:
            moveTo(c);
            overlay->menu();
            overlay->imageMenu()->actions()[0]->trigger();
        }
        const PLYBlock* edit = manager->currentEditBlock();
        return edit && QString::fromStdString(edit->id()) == id;
    }
    void scrollSomewhere() {
        QScrollBar* bar = view->verticalScrollBar();
        bar->setValue(pick(0, 2) == 0 ? bar->maximum() : int(pick(bar->minimum(), bar->maximum())));
    }

    std::string step() {
        if (manager->currentEditBlock() && pick(0, 2) == 0) {
            key(Qt::Key_Escape);
            return "leave edit mode";
        }
        const int roll = int(pick(0, 99));
        if (roll < 14) {
            const QStringList refs = pick(0, 2) == 0 ? QStringList{"wide", "square"} : QStringList{pick(0, 1) ? "wide" : "square"};
            auto data = board("com.pellory.image.ref", refs);
            drop(data.get(), somewhere(anyOf(blockIds())));
            return "gallery drop";
        }
        if (roll < 26) {
            const QString from = anyOf(leavesOf({PLYBlock::kImage, PLYBlock::kBlank, PLYBlock::kText}));
            const QString to = anyOf(blockIds());
            if (from.isEmpty() || to.isEmpty()) return "no move";
            if (manager->currentEditBlock()) key(Qt::Key_Escape);
            auto carried = dragBlocksFrom(frameOfId(from).center());
            if (carried) drop(carried.get(), somewhere(to));
            overlay->draggingSessionEnded();
            return "move " + from.toStdString();
        }
        if (roll < 34) {
            if (manager->currentEditBlock()) key(Qt::Key_Escape);
            const QString id = anyOf(leavesOf({PLYBlock::kImage, PLYBlock::kBlank, PLYBlock::kText, PLYBlock::kDownloadButton}));
            if (blockIds().size() < 3 || id.isEmpty()) return "no delete";
            click(frameOfId(id).center());
            key(Qt::Key_Delete);
            return "delete " + id.toStdString();
        }
        if (roll < 52 && pick(0, 4) == 0) {
            // In and out of edit mode, by any road, changing nothing.
            const QString id = anyOf(leavesOf({PLYBlock::kImage, PLYBlock::kBlank, PLYBlock::kText}));
            if (id.isEmpty() || !enterEditMode(id)) return "no look";
            const bool text = manager->blockForRef(id)->type_case() == PLYBlock::kText;
            if (!text && pick(0, 1)) click(frameOfId(id).center());
            // (Return would be typed into a text.)
            switch (text ? 2 * pick(0, 1) : pick(0, 2)) {
            case 0: key(Qt::Key_Escape); break;
            case 1: key(Qt::Key_Return); break;
            default: click(frameOfId(anyOf(blockIds())).center());
            }
            return "look " + id.toStdString();
        }
        if (roll < 52) {
            const QString id = anyOf(leavesOf({PLYBlock::kImage}));
            if (id.isEmpty() || !enterEditMode(id)) return "no crop";
            const QPointF c = frameOfId(id).center();
            const bool add = pick(0, 3) == 0;
            press(c);
            dragTo(c + QPointF(pick(-60, 60), pick(-40, 40)), pick(0, 1) ? Qt::ShiftModifier : Qt::NoModifier);
            // A picture that lands in the watched folder while the button is held.
            const std::function<void()> landed = add ? autoAdd() : std::function<void()>();
            if (add) dragTo(c + QPointF(pick(-60, 60), pick(-40, 40)));
            release(c + QPointF(pick(-60, 60), pick(-40, 40)));
            if (add) landed();
            return (add ? "drag-add " : "crop ") + id.toStdString();
        }
        if (roll < 64) {
            const QString id = anyOf(leavesOf({PLYBlock::kImage, PLYBlock::kBlank}));
            if (id.isEmpty() || !enterEditMode(id)) return "no resize";
            auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandlerBase*>(blockView(id.toLatin1().constData())->interactionHandler());
            if (!handler || handler->blockHandles().isEmpty()) return "no handle";
            scrollSomewhere();
            QApplication::processEvents();
            const QPointF handle = handler->blockHandles()[int(pick(0, handler->blockHandles().size() - 1))]->frame().center();
            const QPointF l = view->mapFromScene(handle);
            viewportMouse(QEvent::MouseMove, l, Qt::NoButton);
            viewportMouse(QEvent::MouseButtonPress, l, Qt::LeftButton);
            const QPointF by(pick(-30, 30), pick(-30, 30));
            for (int i = 1; i <= 3; ++i) viewportMouse(QEvent::MouseMove, l + by * i / 3.0, Qt::LeftButton);
            viewportMouse(QEvent::MouseButtonRelease, l + by, Qt::NoButton);
            return "resize " + id.toStdString();
        }
        if (roll < 72) {
            if (manager->currentEditBlock()) key(Qt::Key_Escape);
            const QString id = anyOf(leavesOf({PLYBlock::kImage, PLYBlock::kBlank}));
            if (id.isEmpty()) return "no ratio";
            click(frameOfId(id).center());
            static const QStringList titles{"1:1", "3:2", "2:3", "16:9"};
            choose(manager->blockForRef(id)->type_case() == PLYBlock::kBlank ? "blankAspectRatioPopUpButton"
                                                                             : "aspectRatioPopUpButton",
                   titles[int(pick(0, titles.size() - 1))]);
            if (pick(0, 3) == 0) {
                if (auto* reset = child<QPushButton>("revertAspectRatioButton"); reset && reset->isEnabled()) reset->click();
            }
            return "ratio " + id.toStdString();
        }
        if (roll < 78) {
            if (manager->currentEditBlock()) key(Qt::Key_Escape);
            const QString id = anyOf(leavesOf({PLYBlock::kText}));
            if (id.isEmpty()) return "no text style";
            click(frameOfId(id).center());
            auto* popUp = child<PLYPopUpButton>("textStylePopUpButton");
            const QList<QAction*> actions = popUp ? popUp->menu()->actions() : QList<QAction*>();
            if (!actions.isEmpty()) choose("textStylePopUpButton", actions[int(pick(0, actions.size() - 1))]->text());
            return "text style " + id.toStdString();
        }
        if (roll < 84) {
            const QString id = anyOf(leavesOf({PLYBlock::kText}));
            if (id.isEmpty() || !enterEditMode(id)) return "no typing";
            auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(blockView(id.toLatin1().constData())->interactionHandler());
            PLYRichTextEditor* editor = handler ? handler->editTextView() : nullptr;
            if (!editor) return "no twin";
            QMimeData words;
            words.setText(QStringLiteral(" w%1").arg(pick(0, 99)));
            editor->insertFromMimeData(&words);
            key(Qt::Key_Escape);
            return "typing " + id.toStdString();
        }
        if (roll < 88) {
            autoAdd()();
            return "auto-add";
        }
        if (roll < 95) {
            if (history()->canUndo()) history()->undo();
            return "undo";
        }
        if (history()->canRedo()) history()->redo();
        return "redo";
    }

    // A picture added to the post's folder with auto-add on; the answer waits until the layout
    // holds it (a drag under way takes it once released).
    std::function<void()> autoAdd() {
        const QString ref = pick(0, 1) ? QStringLiteral("wide") : QStringLiteral("square");
        const qint64 uses = post->inUseCountForImage(ref);
        PLYDefaults::setShouldAutoAddNewImages(true);
        gallery->sourceDirectoryAddedNewImage(nullptr, ref);
        PLYDefaults::setShouldAutoAddNewImages(false);
        return [this, ref, uses] {
            EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return post->inUseCountForImage(ref) > uses; })) << "auto-add";
        };
    }

    PLYGalleryViewController* gallery = nullptr;  // the tab's child
    QSet<QString> changedBy;
};

TEST_F(UndoWalk, RandomInterfaceEditsUndoAllToTheFirstBytesAndRedoAllToTheLast) {
    gallery = new PLYGalleryViewController(tab.get());
    gallery->setUndoManager(history());
    gallery->setPostManager(postManager);
    const std::string first = layoutBytes();
    int steps = 0;
    for (unsigned seed = 1; seed <= 125 && !HasFailure(); ++seed) {
        rng.seed(seed);
        // Each walk starts from the same saved layout with an empty history.
        if (manager->currentEditBlock()) key(Qt::Key_Escape);
        while (history()->canUndo()) history()->undo();
        ASSERT_EQ(layoutBytes(), first) << "seed " << seed;
        history()->removeAllActions();
        for (int i = 0; i < 16 && !HasFailure(); ++i, ++steps) {
            const std::string before = layoutBytes();
            const int undoable = history()->undoCount();
            const int redoable = history()->redoCount();
            const std::string done = step();
            const std::string last = layoutBytes();
            // The kind of step (its first word), when it changed the layout.
            const QString kind = QString::fromStdString(done).section(' ', 0, 0);
            if (last != before) changedBy.insert(kind);
            // Edit mode entered and left without a change leaves the history as it was: no empty
            // step, nothing to redo lost.
            if (kind == "look") {
                ASSERT_EQ(last, before) << "seed " << seed << " step " << i << ": " << done;
                ASSERT_EQ(history()->undoCount(), undoable) << "seed " << seed << " step " << i << ": " << done;
                ASSERT_EQ(history()->redoCount(), redoable) << "seed " << seed << " step " << i << ": " << done;
            }
            undoAllAndRedoAll(first, last, "seed " + std::to_string(seed) + " step " + std::to_string(i) + ": " + done);
        }
    }
    EXPECT_GE(steps, 2000);
    // Every kind of edit of the walk really changed the layout somewhere.
    for (const char* kind : {"gallery", "move", "delete", "crop", "drag-add", "resize", "ratio", "text", "typing", "auto-add", "undo", "redo"})
        EXPECT_TRUE(changedBy.contains(QLatin1String(kind))) << kind;
}

}  // namespace
