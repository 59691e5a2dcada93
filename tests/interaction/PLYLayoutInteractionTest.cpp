// The layout tab and its editing overlay, driven the way a user drives them: pointer, wheel,
// pinch and key events sent to the real canvas, offscreen.
#include "PLYLayoutTabFixture.h"

#include <QPointer>

namespace {

TEST_F(LayoutTab, HoverPicksTheDeepestBlockAndClicksSelectWithShiftAndCommand) {
    moveTo(centre("b"));
    EXPECT_EQ(hoverId(), "b");  // the leaf inside the row, never the row
    EXPECT_EQ(QString::fromStdString(manager->currentHoverSection()->id()), "s1");
    EXPECT_EQ(overlay->cursor().shape(), Qt::ArrowCursor);

    click(centre("b"));
    EXPECT_EQ(selection(), "b");
    click(centre("a"), Qt::ShiftModifier);
    EXPECT_EQ(selection(), "b,a");
    click(centre("b"), Qt::ControlModifier);  // Command
    EXPECT_EQ(selection(), "a");
    click(centre("z"));
    EXPECT_EQ(selection(), "z");              // a plain click replaces the selection
    click(centre("a"), Qt::ShiftModifier);
    click(centre("a"), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(selection(), "z");              // Command is tested first: Command-Shift deselects

    // A click on empty canvas (the room below the layout) empties the selection.
    click(QPointF(700, tab->layoutViewProxy()->layoutView()->boundingRect().bottom() + 40));
    EXPECT_EQ(hoverId(), "");
    EXPECT_EQ(selection(), "");
}

TEST_F(LayoutTab, ARubberBandSelectsEveryBlockItTouchesAndOnlyThose) {
    tab->setZoom(50);  // the whole width shows, with empty canvas beside it
    click(centre("z"));
    ASSERT_EQ(selection(), "z");
    const QRectF b = frameOf("b");
    // From beside the layout across all of a and just the corner of b.
    const QPointF start(-100, 20);
    press(start);
    EXPECT_TRUE(overlay->inSelectionDrag());
    dragTo(QPointF(200, b.top() + 4));
    dragTo(QPointF(b.left() + 6, b.top() + 6));
    const QRectF band = overlay->currentSelectionDragRect();  // view pixels are 2 points here
    EXPECT_NEAR(band.left(), -100, 2);
    EXPECT_NEAR(band.top(), 20, 2);
    EXPECT_NEAR(band.right(), b.left() + 6, 2);
    EXPECT_NEAR(band.bottom(), b.top() + 6, 2);
    release(QPointF(b.left() + 6, b.top() + 6));
    EXPECT_FALSE(overlay->inSelectionDrag());
    EXPECT_EQ(selection(), "a,b");  // replaced, and not wiped by the same release

    // A band that touches no block only empties the selection.
    press(QPointF(-200, 100));
    dragTo(QPointF(-120, 300));
    release(QPointF(-120, 300));
    EXPECT_EQ(selection(), "");
}

TEST_F(LayoutTab, ABlockDragStartsBeyondTwentyPointsAndCarriesTheSelectionPressedOn) {
    QStringList dragged;
    QStringList types;
    QList<QSizeF> pictures;  // each drag's picture, in points
    overlay->setDraggingSessionStarter([&](PLYLayoutInteractionView* source, QMimeData* data, const QPixmap& image) {
        dragged = source->blockDragRefIds();
        types = data->formats();
        EXPECT_FALSE(image.isNull());
        pictures << QSizeF(image.size()) / image.devicePixelRatio();
        delete data;
    });
    // Each dragged block shows 60 points wide, one below the other, 5 points apart.
    const auto shownHeight = [&](const char* id) { return 60.0 * frameOf(id).height() / frameOf(id).width(); };
    ASSERT_EQ(view->magnification(), 1.0);
    const QPointF p = centre("a");
    press(p);
    dragTo(p + QPointF(12, 16));  // exactly 20 points away
    EXPECT_TRUE(dragged.isEmpty());
    EXPECT_FALSE(overlay->inBlockDragOp());
    dragTo(p + QPointF(12, 17));
    EXPECT_EQ(dragged, QStringList{"a"});
    EXPECT_TRUE(types.contains(PLYPasteboard::markerFormat("com.pellory.block")));
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_NEAR(pictures[0].width(), 60, 1);
    EXPECT_NEAR(pictures[0].height(), shownHeight("a"), 2);
    release(p + QPointF(12, 17));
    EXPECT_EQ(selection(), "");  // the release that ends a drag selects nothing
    EXPECT_FALSE(overlay->inBlockDragOp());

    // Pressed on a selected block, the selection goes, wherever the pointer is when the drag
    // begins (here above the layout, over no block at all).
    click(centre("z"));
    click(p, Qt::ShiftModifier);
    press(p);
    dragTo(QPointF(p.x(), -60));
    EXPECT_EQ(dragged, QStringList({"z", "a"}));
    // The picture holds both blocks, not only the first.
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_NEAR(pictures[1].width(), 60, 1);
    EXPECT_NEAR(pictures[1].height(), shownHeight("z") + 5 + shownHeight("a"), 2);
    release(QPointF(p.x(), -60));
    overlay->draggingSessionEnded();

    // Both leaves of the row stand for the row; with a top-level block each goes alone.
    EXPECT_EQ(PLYLayoutInteractionView::blockIdsToDrag(*manager, {"b", "c"}, "b", true), QStringList{"row"});
    EXPECT_EQ(PLYLayoutInteractionView::blockIdsToDrag(*manager, {"b", "c", "a"}, "b", true),
              QStringList({"b", "c", "a"}));
    EXPECT_EQ(PLYLayoutInteractionView::blockIdsToDrag(*manager, {"b", "a"}, "b", true), QStringList({"b", "a"}));
    EXPECT_EQ(PLYLayoutInteractionView::blockIdsToDrag(*manager, {"b", "c"}, "z", false), QStringList{"z"});
}

TEST_F(LayoutTab, DoubleClickEditsABlockWhoseHandlerTakesEditAndLeavesOnAClickOff) {
    doubleClick(centre("b"));
    ASSERT_EQ(ids({manager->currentEditBlock()}), "b");
    EXPECT_EQ(selection(), "");
    EXPECT_EQ(undo()->undoCount(), 0) << "edit mode records its step once it changes something";

    // A crop changes the picture's place and the block's ratio; undo puts both back.
    manager->blockForRef("b")->mutable_image()->mutable_position()->set_width(1.5f);
    manager->blockForRef("b")->set_aspect_ratio(2.0f);
    click(centre("a"));  // off the edit handles: edit mode ends
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_EQ(selection(), "");  // that click only left edit mode
    EXPECT_EQ(undo()->undoCount(), 1);
    EXPECT_EQ(undo()->undoActionName(), "Undo Edit");
    undo()->undo();
    EXPECT_FALSE(manager->blockForRef("b")->image().has_position());
    EXPECT_EQ(manager->blockForRef("b")->aspect_ratio(), 0.0f);

    // A download button has no handler: the double click selects it and edits nothing.
    doubleClick(centre("dl"));
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_EQ(selection(), "dl");
    EXPECT_EQ(undo()->undoCount(), 0);

    // E edits the hovered block; left without a change, it records nothing and what could be
    // redone stays. Escape and Return leave edit mode.
    moveTo(centre("c"));
    key(Qt::Key_E);
    EXPECT_EQ(ids({manager->currentEditBlock()}), "c");
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_EQ(undo()->undoCount(), 0);
    EXPECT_EQ(undo()->redoCount(), 1);
    EXPECT_FALSE(key(Qt::Key_Return));  // outside edit mode the canvas may have it
    moveTo(QPointF(-50, -50));
    key(Qt::Key_E);  // over nothing
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
}

TEST_F(LayoutTab, DeleteRemovesTheSelectionAndItsUndoPutsTheSectionBack) {
    ConsistencyProxy inspector;
    inspector.views = tab->layoutViewProxy();
    manager->addInteractionProxy(&inspector);
    const std::string before = sectionBytes();
    click(centre("a"));
    click(centre("c"), Qt::ShiftModifier);
    inspector.seen.clear();
    key(Qt::Key_Backspace);
    EXPECT_EQ(manager->blockForRef("a"), nullptr);
    EXPECT_EQ(manager->blockForRef("c"), nullptr);
    EXPECT_EQ(manager->blockForRef("row"), nullptr);  // left with b alone, the row dissolved
    EXPECT_EQ(post->inUseCountForImage("wide"), 0);
    EXPECT_EQ(undo()->undoActionName(), "Undo Block Delete");
    // The hover (on c) was cleared once the removal was whole: model and views alike.
    EXPECT_EQ(inspector.seen, QStringList{"hover cleared; c gone, its view gone"});

    undo()->undo();
    EXPECT_EQ(sectionBytes(), before);
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    EXPECT_EQ(post->inUseCountForImage("square"), 2);
    EXPECT_NE(blockView("row"), nullptr);

    // With nothing selected nothing is recorded, and what is left to redo stays.
    ASSERT_EQ(undo()->redoCount(), 1);
    manager->deSelectAllBlocks();
    key(Qt::Key_Delete);
    EXPECT_EQ(undo()->undoCount(), 0);
    EXPECT_EQ(undo()->redoCount(), 1);
    EXPECT_EQ(sectionBytes(), before);
    undo()->redo();
    EXPECT_EQ(manager->blockForRef("a"), nullptr);
    undo()->undo();
    EXPECT_EQ(sectionBytes(), before);
    manager->removeInteractionProxy(&inspector);
}

TEST_F(LayoutTab, TheTextTwinKeepsItsKeysAndItsEditorWhileTheSectionChanges) {
    doubleClick(centre("t"));
    auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(blockView("t")->interactionHandler());
    ASSERT_NE(handler, nullptr);
    QPointer<PLYBlockView> twin = handler->editBlockView();
    ASSERT_TRUE(twin);
    EXPECT_EQ(twin->parentItem(), overlay);
    EXPECT_EQ(blockView("t")->opacity(), 0.0);
    PLYRichTextEditor* editor = dynamic_cast<PLYBlockDrawHandler_Text*>(twin->drawHandler())->textView();
    QTextCursor cursor(editor->document());
    cursor.setPosition(5);
    editor->setTextCursor(cursor);
    editor->setFocus();
    const int entries = undo()->undoCount();

    // Typing Backspace and E in the twin is text, not the editor's Delete and Edit keys.
    key(Qt::Key_Backspace);
    key(Qt::Key_E);
    EXPECT_EQ(undo()->undoCount(), entries);
    EXPECT_EQ(ids({manager->currentEditBlock()}), "t");

    // An edit elsewhere in the section leaves the twin, its editor and its cursor alone; the
    // twin moves up with its block.
    PLYBlockView* textView = blockView("t");
    const double y = frameOf("t").top();
    manager->removeBlock(manager->blockForRef("a"), false);
    ASSERT_TRUE(twin);
    EXPECT_EQ(blockView("t"), textView);
    EXPECT_EQ(editor->textCursor().position(), 4);
    EXPECT_LT(frameOf("t").top(), y);
    EXPECT_EQ(twin->pos(), frameOf("t").topLeft());

    // Escape in the twin leaves edit mode, once the key has been handled.
    key(Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_FALSE(twin);
    EXPECT_EQ(blockView("t")->opacity(), 1.0);
}

TEST_F(LayoutTab, ZoomFitsPinchesAndTakesTheSharedFactorWithoutEchoingIt) {
    ZoomRecorder recorder;
    PLYVisualStateHandler* shared = PLYVisualStateHandler::globalHandler();
    shared->addVisualDelegate(&recorder);
    EXPECT_DOUBLE_EQ(tab->fitFactor(), 1250.0 / 2500.0);
    tab->setZoom(0);
    EXPECT_DOUBLE_EQ(view->magnification(), 0.5);
    EXPECT_EQ(recorder.factors, QList<double>{0.5});  // a fit starts here: it is reported
    EXPECT_DOUBLE_EQ(overlay->boundsToFrameRatio(), 2.0);
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    tab->setZoom(150);
    EXPECT_DOUBLE_EQ(shared->layoutZoomFactor(), 1.5);
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    recorder.factors.clear();
    shared->setLayoutZoomFactor(0.8);
    EXPECT_DOUBLE_EQ(view->magnification(), 0.8);
    EXPECT_EQ(recorder.factors, QList<double>{0.8});  // the handler's own call, not an echo
    EXPECT_FALSE(tab->magSetExternally());
    shared->setLayoutZoomFactor(0.8);  // no change follows: nothing stays pending

    // A pinch adds up from its start, and is reported even after an external factor.
    recorder.factors.clear();
    pinch(Qt::BeginNativeGesture, 0);
    pinch(Qt::ZoomNativeGesture, 0.1);
    pinch(Qt::ZoomNativeGesture, 0.2);
    pinch(Qt::EndNativeGesture, 0);
    EXPECT_NEAR(view->magnification(), 1.1, 1e-9);
    ASSERT_FALSE(recorder.factors.isEmpty());
    EXPECT_NEAR(recorder.factors.last(), 1.1, 1e-9);
    EXPECT_NEAR(overlay->boundsToFrameRatio(), 1.0 / 1.1, 1e-9);

    shared->incrementLayoutZoomFactorBy(0.1);  // the Zoom In menu item
    EXPECT_NEAR(view->magnification(), 1.2, 1e-9);

    // Without a post the fit leaves 1000 points of room.
    tab->setPostManager(nullptr);
    EXPECT_DOUBLE_EQ(tab->fitFactor(), 1250.0 / 1000.0);
    shared->removeVisualDelegate(&recorder);
}

TEST_F(LayoutTab, ScrollingByWheelStillWorksAndTheOverlayFollowsIt) {
    const QPointF l = local(centre("a"));
    const double top = overlay->bounds().top();
    const int scrolled = view->verticalScrollBar()->value();
    QWheelEvent wheel(l, view->viewport()->mapToGlobal(l), QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_GT(view->verticalScrollBar()->value(), scrolled);
    EXPECT_GT(overlay->bounds().top(), top);
    EXPECT_EQ(overlay->bounds().height(), view->viewport()->height());

    // A second post replaces the first one's views and subscriptions.
    // Guarded: the new view may well be made at the address the old one freed.
    const QPointer<PLYLayoutView> first = tab->layoutViewProxy()->layoutView();
    tab->setPostManager(postManager);
    EXPECT_TRUE(first.isNull()) << "the first post's views are gone";
    EXPECT_TRUE(tab->layoutViewProxy()->layoutView());
    EXPECT_EQ(view->documentView(), tab->layoutViewProxy()->layoutView());
    click(centre("z"));
    EXPECT_EQ(selection(), "z");
}

TEST_F(LayoutTab, HandlesKeepTheirSizeOnScreenAtAnyZoom) {
    tab->setZoom(50);
    doubleClick(centre("b"));
    auto* image = dynamic_cast<PLYLayoutBlockInteractionHandler_Image*>(blockView("b")->interactionHandler());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->editHandles().first()->frame().size(), QSizeF(12, 12));
    ASSERT_EQ(image->blockHandles().first()->corner(), PLYGrabHandleCornerLeft);  // b sits beside c
    EXPECT_EQ(image->blockHandles().first()->frame().size(), QSizeF(12, 60));
    EXPECT_EQ(image->blockHandles().first()->frame().center(), QPointF(frameOf("b").left() + 24, centre("b").y()));

    // Over the top-right edit handle the diagonal resize cursor shows.
    moveTo(frameOf("b").topRight() + QPointF(-1, 1));
    EXPECT_EQ(overlay->cursor().shape(), Qt::SizeBDiagCursor);

    tab->setZoom(200);
    EXPECT_EQ(image->editHandles().first()->frame().size(), QSizeF(3, 3));
    EXPECT_EQ(image->blockHandles().first()->frame().size(), QSizeF(3, 15));
    key(Qt::Key_Return);
    doubleClick(centre("a"));
    auto* top = dynamic_cast<PLYLayoutBlockInteractionHandler_Image*>(blockView("a")->interactionHandler());
    EXPECT_EQ(top->blockHandles().first()->corner(), PLYGrabHandleCornerTop);
    EXPECT_EQ(top->blockHandles().first()->frame().size(), QSizeF(15, 3));

    // Drops go to the block's middle ninth: its left and top edges are in, right and bottom out.
    const QRectF a = frameOf("a");
    const QPointF third(a.width() / 3, a.height() / 3);
    EXPECT_TRUE(top->PLYLayoutBlockInteractionHandlerBase::shouldBlockAcceptDropOperation(nullptr, a.topLeft() + third));
    EXPECT_FALSE(top->PLYLayoutBlockInteractionHandlerBase::shouldBlockAcceptDropOperation(
        nullptr, a.topLeft() + 2 * third));
}

TEST(BlockInteractionHandlerBase, AnOperationAKindLacksWarnsWithTheCallStack) {
    QStringList errors;
    const int token = PLYLog::addObserver([&](PLYLog::Level level, const QString& line) {
        if (level == PLYLog::Level::Error) errors << line;
    });
    PLYLayoutBlockInteractionHandlerBase handler(nullptr);
    EXPECT_FALSE(handler.shouldBlockAcceptEdit());
    EXPECT_FALSE(handler.handleDrop(nullptr, nullptr));
    PLYLog::removeObserver(token);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors.first().contains("WARN: subclass should implement: \n "));
    EXPECT_GT(errors.first().count('\n'), 3);  // the frames of the call stack
}

}  // namespace

// An editor closed while a block was in edit mode leaves nothing behind: the next editor of the
// post starts outside edit mode, so its first click selects instead of only ending an edit.
TEST_F(LayoutTab, ANewEditorOfThePostStartsOutsideEditMode) {
    doubleClick(centre("t"));
    ASSERT_NE(manager->currentEditBlock(), nullptr);
    tab.reset();
    tab = std::make_unique<PLYLayoutViewController>();
    tab->resize(1250, 800);
    tab->setPostManager(postManager);
    tab->show();
    QApplication::processEvents();
    view = tab->scrollView();
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    click(centre("b"));
    EXPECT_EQ(selection(), "b");
}

namespace {
// Notes the pictures asked for, and at which drawn width.
struct RecordingImageSource : PLYTestImageSource {
    mutable QList<QPair<QString, double>> asked;
    QImage imageForDrawnWidth(const QString& identifier, double drawnWidth) const override {
        asked.append({identifier, drawnWidth});
        return PLYTestImageSource::imageForDrawnWidth(identifier, drawnWidth);
    }
};
}  // namespace

// The canvas is held back for half a second when the post window opens; the pictures it will
// show are asked for at once, at the width they will be drawn, so that they decode meanwhile.
TEST_F(LayoutTab, TheEntranceAsksForThePicturesInViewBeforeTheCanvasIsDrawn) {
    auto recording = std::make_shared<RecordingImageSource>();
    recording->addImage("wide", QSize(3000, 2000), Qt::red);
    recording->addImage("square", QSize(1000, 1000), Qt::blue);
    PLYLayoutImageSource::setDefaultSource(recording);
    tab->ensureEntrancePostion();
    tab->performEntrance();
    // Nothing has been painted yet: no event has been processed since.
    QStringList asked;
    for (const auto& [id, width] : recording->asked) asked << id;
    ASSERT_TRUE(asked.contains(QStringLiteral("wide"))) << asked.join(',').toStdString();
    // Block a is as wide as its picture's frame.
    const QTransform t = blockView("a")->deviceTransform(view->viewportTransform());
    const double drawn = blockView("a")->boundingRect().width() * std::hypot(t.m11(), t.m12());
    ASSERT_GT(drawn, 0.0);
    for (const auto& [id, width] : recording->asked) {
        if (id == QStringLiteral("wide")) {
            EXPECT_NEAR(width, drawn, 1.0);
        }
    }
    PLYLayoutImageSource::setDefaultSource(images);
}
