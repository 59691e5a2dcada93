// Drops into the layout through the overlay, as the platform delivers them (drag events sent to
// the canvas) or through the overlay's entry points: gallery images, palette tiles and moved
// blocks, their grouping with Command, their undo and redo through the window's undo manager,
// refused drops, block handlers' drops, the context menus and what is drawn.
#include "PLYLayoutTabFixture.h"

#include "PLYColor.h"
#include "PLYDragBlockImageView.h"
#include "PLYInteractionZone.h"
#include "PLYLayoutSectionInteractionHandler.h"
#include "PLYSectionView.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

namespace {

// A block handler that takes image drops itself and sets the block's ratio, or refuses.
struct RatioDropHandler : PLYLayoutBlockInteractionHandler {
    static inline bool answer = true;
    static inline QStringList calls;
    using PLYLayoutBlockInteractionHandler::PLYLayoutBlockInteractionHandler;
    PLYLayoutManager* manager() const { return view()->layoutViewProxy()->layoutManager(); }
    bool shouldBlockAcceptDropOperation(const QMimeData* data, const QPointF&) override {
        return PLYPasteboard::mimeDataOffersType(data, "com.pellory.image.ref");
    }
    bool handleDrop(const QMimeData*, QVariant* undoInfo) override {
        calls << "drop " + view()->blockId();
        if (!answer) return false;
        *undoInfo = double(manager()->blockForRef(view()->blockId())->aspect_ratio());
        manager()->setAspectRatio(view()->blockId(), 3.0);
        return true;
    }
    void handleUndoForDrop(const QVariant& info) override {
        calls << "undo " + view()->blockId();
        manager()->setAspectRatio(view()->blockId(), info.toDouble());
    }
};

class OverlayDrop : public LayoutTab {
protected:
    // The platform's drag events at a point of the layout; answers whether the place takes it.
    bool dragOver(const QMimeData* data, const QPointF& p, Qt::KeyboardModifiers mods = {}) {
        const QPoint l = local(p).toPoint();
        QDragEnterEvent enter(l, Qt::MoveAction, data, Qt::LeftButton, mods);
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(l, Qt::MoveAction, data, Qt::LeftButton, mods);
        QApplication::sendEvent(view->viewport(), &move);
        return move.isAccepted() && move.dropAction() == Qt::MoveAction;
    }
    bool drop(const QMimeData* data, const QPointF& p, Qt::KeyboardModifiers mods = {}) {
        dragOver(data, p, mods);
        QDropEvent event(local(p), Qt::MoveAction, data, Qt::LeftButton, mods);
        QApplication::sendEvent(view->viewport(), &event);
        return event.isAccepted();
    }
    // The section's shape with new blocks shown as "*".
    std::string shapeNow() {
        static const QRegularExpression uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}",
                                             QRegularExpression::CaseInsensitiveOption);
        return shape(manager->representedLayout()->sections(0)).replace(uuid, "*").toStdString();
    }
    // The seam above block `id` (a slot of the section), on its centre line.
    QPointF seamAbove(const char* id) { return QPointF(centre(id).x(), frameOf(id).top() - 5); }
    std::string layoutBytes() { return manager->representedLayout()->SerializeAsString(); }
    bool dropFlagsClear() {
        return !overlay->inDragOp() && !overlay->hoverSectionHasInteractionZone() &&
               !overlay->hoverSectionAcceptsDrag() && !overlay->hoverBlockAcceptsDrag();
    }
    // Begins the overlay's own drag of what a press on `id` carries; answers its pasteboard.
    std::unique_ptr<QMimeData> dragBlocksFrom(const char* id) {
        std::unique_ptr<QMimeData> carried;
        overlay->setDraggingSessionStarter(
            [&](PLYLayoutInteractionView*, QMimeData* data, const QPixmap&) { carried.reset(data); });
        press(centre(id));
        dragTo(centre(id) + QPointF(0, 30));
        overlay->setDraggingSessionStarter([](PLYLayoutInteractionView*, QMimeData* data, const QPixmap&) { delete data; });
        return carried;
    }
};

TEST_F(OverlayDrop, GalleryImagesLandOnTheSeamStackedOrGroupedWithCommandAndUndoExactly) {
    const std::string before = layoutBytes();
    auto images = board("com.pellory.image.ref", {"wide", "square"});
    EXPECT_TRUE(dragOver(images.get(), seamAbove("row")));
    EXPECT_TRUE(overlay->hoverSectionHasInteractionZone());
    EXPECT_TRUE(overlay->imagesOrientedVertical());
    EXPECT_EQ(overlay->dragImageFrames().size(), 2);
    ASSERT_TRUE(drop(images.get(), seamAbove("row")));
    EXPECT_TRUE(dropFlagsClear());
    EXPECT_EQ(shapeNow(), "a,*,*,(b,c),t,dl,z");
    EXPECT_EQ(post->inUseCountForImage("wide"), 2);
    EXPECT_EQ(post->inUseCountForImage("square"), 3);
    EXPECT_EQ(undo()->undoCount(), 1);
    EXPECT_EQ(undo()->undoActionName(), "Delete Blocks");
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    EXPECT_EQ(post->inUseCountForImage("square"), 2);
    undo()->redo();
    EXPECT_EQ(shapeNow(), "a,*,*,(b,c),t,dl,z");
    EXPECT_EQ(post->inUseCountForImage("square"), 3);
    undo()->undo();

    // Command held: the images line up across the seam and land side by side in a new row.
    auto again = board("com.pellory.image.ref", {"wide", "square"});
    EXPECT_TRUE(dragOver(again.get(), seamAbove("row"), Qt::ControlModifier));
    EXPECT_FALSE(overlay->imagesOrientedVertical());
    const QList<QRectF> frames = overlay->dragImageFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_DOUBLE_EQ(frames[1].left(), frames[0].right() + 5.0);
    EXPECT_DOUBLE_EQ(frames[0].width(), 60.0);  // 60 points on screen at zoom 1
    ASSERT_TRUE(drop(again.get(), seamAbove("row"), Qt::ControlModifier));
    EXPECT_EQ(shapeNow(), "a,(*,*),(b,c),t,dl,z");
    EXPECT_EQ(undo()->undoCount(), 1);  // one step per drop, grouping included
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);

    // An empty section takes the images whole; with Command they arrive in one row.
    QList<PLYBlock*> all;
    for (PLYBlock& b : *manager->representedLayout()->mutable_sections(0)->mutable_blocks()) all << &b;
    manager->removeBlocks(all);
    auto third = board("com.pellory.image.ref", {"wide", "square"});
    const QPointF inside = tab->layoutViewProxy()->layoutView()->sectionViews().first()->sceneBoundingRect().center();
    EXPECT_TRUE(dragOver(third.get(), inside));
    EXPECT_TRUE(overlay->hoverSectionAcceptsDrag());
    ASSERT_TRUE(drop(third.get(), inside, Qt::ControlModifier));
    EXPECT_EQ(shapeNow(), "(*,*)");
}

TEST_F(OverlayDrop, PaletteTilesDropTheirKindAndANewTextGetsNoSideZone) {
    PLYDragBlockImageView* tiles[] = {PLYDragBlockImageView::textTile(), PLYDragBlockImageView::blankTile(),
                                      PLYDragBlockImageView::downloadTile()};
    const PLYBlock::TypeCase kinds[] = {PLYBlock::kText, PLYBlock::kBlank, PLYBlock::kDownloadButton};
    for (int i = 0; i < 3; ++i) {
        // Into the bottom strip of the last block: appended.
        const PLYSection& blocks = manager->representedLayout()->sections(0);
        const std::string last = blocks.blocks(blocks.blocks_size() - 1).id();
        const QPointF bottom(centre(last.c_str()).x(), frameOf(last.c_str()).bottom() - 2);
        std::unique_ptr<PLYDragBlockImageView> tile(tiles[i]);
        std::unique_ptr<QMimeData> carried;
        tile->setDraggingSessionStarter([&](PLYDragBlockImageView*, QMimeData* data, const QPixmap& image) {
            carried.reset(data);
            EXPECT_NEAR(image.deviceIndependentSize().width(), 100.0, 0.5);
            EXPECT_NEAR(image.deviceIndependentSize().height(), 200.0 / 3.0, 0.5);
        });
        // The drag begins with the first move; there is no distance to cover.
        QTest::mousePress(tile.get(), Qt::LeftButton, {}, QPoint(20, 20));
        QMouseEvent move(QEvent::MouseMove, QPointF(21, 20), tile->mapToGlobal(QPointF(21, 20)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tile.get(), &move);
        ASSERT_TRUE(carried) << i;
        ASSERT_TRUE(drop(carried.get(), bottom));
        const PLYSection& section = manager->representedLayout()->sections(0);
        EXPECT_EQ(section.blocks(section.blocks_size() - 1).type_case(), kinds[i]);
        EXPECT_EQ(undo()->undoActionName(), "Delete Blocks");
    }
    EXPECT_EQ(shapeNow(), "a,(b,c),t,dl,z,*,*,*");

    // Beside a picture a new text is offered no side zone, where an image is.
    const QPointF leftStrip(frameOf("a").left() + 5, centre("a").y());
    auto text = board("com.pellory.text.new", {"Write Something..."});
    EXPECT_FALSE(dragOver(text.get(), leftStrip));
    EXPECT_FALSE(overlay->hoverSectionHasInteractionZone());
    overlay->draggingExited();
    auto image = board("com.pellory.image.ref", {"square"});
    EXPECT_TRUE(dragOver(image.get(), leftStrip));
    const auto zone = overlay->layoutProxy()->currentHoverSectionView()->interactionHandler()->currentZone();
    ASSERT_NE(zone, nullptr);
    EXPECT_TRUE(zone->vertical());
    EXPECT_FALSE(overlay->forceOrientationVertical());
}

TEST_F(OverlayDrop, MovedBlocksLandWhereTheZoneShowsInTheOrderDraggedAndRefusalsChangeNothing) {
    const std::string before = layoutBytes();
    // Dragged downward within the section: counted out of the index, it lands above dl.
    auto carried = dragBlocksFrom("a");
    ASSERT_TRUE(carried);
    EXPECT_EQ(overlay->blockDragRefIds(), QStringList{"a"});
    ASSERT_TRUE(drop(carried.get(), seamAbove("dl")));
    overlay->draggingSessionEnded();
    EXPECT_EQ(shapeNow(), "(b,c),t,a,dl,z");
    EXPECT_EQ(undo()->undoActionName(), "Undo Block Move");
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);

    // The blocks land in the order they were selected (the drag's order); with Command they
    // land as one row.
    const std::pair<const char*, const char*> orders[] = {{"z", "a"}, {"a", "z"}};
    for (const auto& [first, second] : orders) {
        for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
            click(centre(first));
            click(centre(second), Qt::ShiftModifier);
            auto both = dragBlocksFrom("a");
            ASSERT_TRUE(both);
            EXPECT_EQ(overlay->blockDragRefIds(), QStringList({first, second}));
            ASSERT_TRUE(drop(both.get(), seamAbove("dl"), mods));
            overlay->draggingSessionEnded();
            const std::string order = std::string(first) + "," + second;
            EXPECT_EQ(shapeNow(), mods ? "(b,c),t,(" + order + "),dl" : "(b,c),t," + order + ",dl") << first;
            undo()->undo();
            EXPECT_EQ(layoutBytes(), before);
        }
    }

    // Onto the seam just below itself: the zone shows but cannot take it. Nothing changes, no
    // undo is registered and the drag's flags are cleared.
    const int entries = undo()->undoCount();
    auto self = dragBlocksFrom("t");
    ASSERT_TRUE(self);
    EXPECT_TRUE(dragOver(self.get(), seamAbove("dl")));
    EXPECT_TRUE(overlay->hoverSectionHasInteractionZone());
    EXPECT_FALSE(drop(self.get(), seamAbove("dl")));
    EXPECT_TRUE(dropFlagsClear());
    overlay->draggingSessionEnded();
    EXPECT_EQ(layoutBytes(), before);
    EXPECT_EQ(undo()->undoCount(), entries);
}

TEST_F(OverlayDrop, ABlockHandlersDropIsUndoneByPuttingItsSectionBackAndARefusalRegistersNothing) {
    PLYInteractionHandlerFactory::registerBlockHandlerMaker(
        PLYBlock::kBlank, [](PLYBlockView* v) { return std::make_unique<RatioDropHandler>(v); });
    tab->setPostManager(postManager);  // views made again, with that handler
    RatioDropHandler::calls.clear();
    const std::string before = layoutBytes();
    auto image = board("com.pellory.image.ref", {"square"});

    RatioDropHandler::answer = false;
    EXPECT_TRUE(dragOver(image.get(), centre("c")));
    EXPECT_TRUE(overlay->hoverBlockAcceptsDrag());
    EXPECT_FALSE(drop(image.get(), centre("c")));
    EXPECT_TRUE(dropFlagsClear());
    EXPECT_EQ(undo()->undoCount(), 0);

    RatioDropHandler::answer = true;
    ASSERT_TRUE(drop(image.get(), centre("c")));
    EXPECT_EQ(manager->blockForRef("c")->aspect_ratio(), 3.0f);
    EXPECT_EQ(undo()->undoActionName(), "Delete Blocks");
    // Undone, like every layout step, by putting the section back: exact even when the views
    // were made again meanwhile, and without asking the handler.
    tab->setPostManager(postManager);
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);
    undo()->redo();
    EXPECT_EQ(manager->blockForRef("c")->aspect_ratio(), 3.0f);
    EXPECT_EQ(RatioDropHandler::calls, QStringList({"drop c", "drop c"}));
}

TEST_F(OverlayDrop, AnImageBlockTakesAGalleryImageOrAnotherBlocksPictureInItsMiddleWithUndoAndRedo) {
    auto wide = board("com.pellory.image.ref", {"wide"});
    // Off the middle ninth the section's zones take it instead.
    EXPECT_TRUE(dragOver(wide.get(), frameOf("z").topLeft() + QPointF(20, 20)));
    EXPECT_FALSE(overlay->hoverBlockAcceptsDrag());
    ASSERT_TRUE(drop(wide.get(), centre("z")));
    EXPECT_EQ(manager->blockForRef("z")->image().img_ref(), "wide");
    EXPECT_EQ(post->inUseCountForImage("wide"), 2);
    EXPECT_EQ(post->inUseCountForImage("square"), 1);
    undo()->undo();
    EXPECT_EQ(manager->blockForRef("z")->image().img_ref(), "square");
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    EXPECT_EQ(post->inUseCountForImage("square"), 2);
    undo()->redo();
    EXPECT_EQ(manager->blockForRef("z")->image().img_ref(), "wide");
    EXPECT_EQ(post->inUseCountForImage("square"), 1);
    undo()->undo();

    // The picture of a, dragged onto z: the two swap, and the shape of the section stays.
    const std::string shapeBefore = shapeNow();
    std::unique_ptr<QMimeData> fromA = dragBlocksFrom("a");
    ASSERT_TRUE(drop(fromA.get(), centre("z")));
    EXPECT_EQ(manager->blockForRef("z")->image().img_ref(), "wide");
    EXPECT_EQ(manager->blockForRef("a")->image().img_ref(), "square");
    EXPECT_EQ(shapeNow(), shapeBefore);
    undo()->undo();
    EXPECT_EQ(manager->blockForRef("a")->image().img_ref(), "wide");
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
}

TEST_F(OverlayDrop, PointsBesideTheCanvasTargetItsEdgeAndADragNearTheViewsEdgeScrolls) {
    tab->setZoom(50);
    auto image = board("com.pellory.image.ref", {"square", "wide"});
    const QPointF left = frameOf("a").topLeft() + QPointF(0, frameOf("a").height() / 2);
    // 50 points beside the canvas: taken 1 point inside, on a's left side.
    EXPECT_EQ(overlay->draggingEntered({image.get(), left - QPointF(50, 0), 0}), 16);
    auto handler = overlay->layoutProxy()->currentHoverSectionView()->interactionHandler();
    ASSERT_NE(handler->currentZone(), nullptr);
    EXPECT_EQ(handler->currentZone()->majorRegion()->edge(), 1);
    EXPECT_FALSE(overlay->imagesOrientedVertical());  // side by side along the vertical line
    // 150 points beside it: nothing.
    EXPECT_EQ(overlay->draggingUpdated({image.get(), left - QPointF(150, 0), 0}), 0);
    // Above the layout the side zone is forgotten; the top zone is offered.
    EXPECT_EQ(overlay->draggingUpdated({image.get(), QPointF(left.x() + 300, -30), 0}), 16);
    EXPECT_FALSE(handler->currentZone()->vertical());
    overlay->draggingExited();
    EXPECT_TRUE(dropFlagsClear());

    tab->setZoom(100);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->minimum());
    const int top = view->verticalScrollBar()->value();
    const QPointF nearBottom = view->mapToScene(QPoint(view->viewport()->width() / 2, view->viewport()->height() - 3));
    overlay->draggingEntered({image.get(), nearBottom, 0});
    const int scrolled = view->verticalScrollBar()->value();
    EXPECT_GT(scrolled, top);
    // Resting there, the view keeps scrolling.
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return view->verticalScrollBar()->value() > scrolled; }));
    overlay->draggingExited();
    const int stopped = view->verticalScrollBar()->value();
    // Well past two ticks of the scrolling timer (40 ms), had it gone on.
    PLYTestEnvironment::waitForTimersDueWithin(100);
    EXPECT_EQ(view->verticalScrollBar()->value(), stopped);
}

TEST_F(OverlayDrop, ContextMenusEditAndDeleteTheBlockUnderThePointerAndEveryUndoHasItsRedo) {
    const std::string before = layoutBytes();
    moveTo(QPointF(-50, -50));
    QMenu* general = overlay->menu();
    EXPECT_EQ(general, overlay->generalMenu());
    ASSERT_EQ(general->actions().size(), 1);
    EXPECT_EQ(general->actions()[0]->text(), "Reload Layout");

    // "Delete" takes the block under the pointer, not the selection, and is undoable.
    click(centre("a"));
    moveTo(centre("z"));
    QMenu* block = overlay->menu();
    EXPECT_EQ(block, overlay->imageMenu());
    ASSERT_EQ(block->actions().size(), 2);
    EXPECT_EQ(block->actions()[0]->text(), "Edit");
    block->actions()[1]->trigger();
    EXPECT_EQ(manager->blockForRef("z"), nullptr);
    EXPECT_NE(manager->blockForRef("a"), nullptr);
    EXPECT_EQ(post->inUseCountForImage("square"), 1);
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);
    EXPECT_EQ(post->inUseCountForImage("square"), 2);
    undo()->redo();
    EXPECT_EQ(manager->blockForRef("z"), nullptr);
    undo()->undo();

    // The Delete key's entry too.
    click(centre("t"));
    key(Qt::Key_Backspace);
    undo()->undo();
    EXPECT_EQ(layoutBytes(), before);
    undo()->redo();
    EXPECT_EQ(manager->blockForRef("t"), nullptr);
    undo()->undo();

    // "Edit" enters edit mode; the double click's crop undo has its redo.
    moveTo(centre("c"));
    overlay->menu()->actions()[0]->trigger();
    EXPECT_EQ(ids({manager->currentEditBlock()}), "c");
    key(Qt::Key_Escape);
    doubleClick(centre("b"));
    ASSERT_TRUE(manager->setCropPosition("b", 0.4, 0.5, 1.5));
    key(Qt::Key_Return);
    undo()->undo();
    EXPECT_FALSE(manager->blockForRef("b")->image().has_position());
    undo()->redo();
    EXPECT_FLOAT_EQ(manager->blockForRef("b")->image().position().width(), 1.5f);

    // "Reload Layout" drops empty containers; a right click opens the menu of what it is over.
    manager->representedLayout()->mutable_sections(0)->add_blocks()->mutable_container()->set_vert(true);
    general->actions()[0]->trigger();
    EXPECT_EQ(manager->representedLayout()->sections(0).blocks_size(), 5);
    // The open menu takes the pointer from the canvas; its "Delete" still takes that block.
    const QPoint l = local(centre("a")).toPoint();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, l, view->viewport()->mapToGlobal(l));
    QApplication::sendEvent(view->viewport(), &menuEvent);
    ASSERT_TRUE(overlay->imageMenu()->isVisible());
    moveTo(QPointF(-50, -50));
    overlay->imageMenu()->hide();
    overlay->imageMenu()->actions()[1]->trigger();
    EXPECT_EQ(manager->blockForRef("a"), nullptr);
}

TEST_F(OverlayDrop, OutlinesAndBandsKeepTheirWidthOnScreenAtAnyZoom) {
    const QColor blue = PLYColor::kro_blueColour();
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 && std::abs(a.blue() - b.blue()) < 8;
    };
    click(centre("a"));
    for (int zoom : {100, 200}) {
        tab->setZoom(zoom);
        QApplication::processEvents();
        const QPoint edge = local(QPointF(frameOf("a").left(), centre("a").y())).toPoint();
        const QImage shot = view->viewport()->grab().toImage();
        EXPECT_TRUE(near(shot.pixelColor(edge + QPoint(3, 0)), blue)) << zoom;   // 2 to 6 points in
        EXPECT_FALSE(near(shot.pixelColor(edge + QPoint(8, 0)), blue)) << zoom;  // the picture
    }
    tab->setZoom(100);
    auto image = board("com.pellory.image.ref", {"wide"});
    ASSERT_TRUE(dragOver(image.get(), seamAbove("row")));
    QApplication::processEvents();
    const QPoint line = local(seamAbove("row")).toPoint();
    const QImage shot = view->viewport()->grab().toImage();
    EXPECT_TRUE(near(shot.pixelColor(line + QPoint(0, 2)), blue));    // the active band, 6 points thick
    EXPECT_TRUE(near(shot.pixelColor(line + QPoint(0, 6)), Qt::white));  // on the layout's own ground
    overlay->draggingExited();
}

}  // namespace
