// Editing image, blank and text blocks on the real layout tab, offscreen, with the pointer and
// keys a user would use; drops on image blocks through the handler's own entry points.
#include "PLYLayoutBlockInteractionHandler_Blank.h"
#include "PLYLayoutBlockInteractionHandler_Image.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutTabFixture.h"
#include "PLYNotificationCenter.h"
#include "PLYPasteboard.h"
#include "PLYRichTextEditor.h"

#include <QMimeData>
#include <QTextDocument>

using namespace PLYTestLayouts;

namespace {

const QString kImageRef = QStringLiteral("com.pellory.image.ref");
const QString kBlockRef = QStringLiteral("com.pellory.block");

// Hears what the editor's text twin reports to the property inspector.
struct InspectorDelegate : PLYRichTextEditorDelegate {
    QList<bool> boldStates;
    void selectionForEditor(PLYRichTextEditor*, const PLYRichTextSelection&, bool isBold, bool, bool, bool,
                            const QColor&, const QColor&) override {
        boldStates << isBold;
    }
};

class BlockEditing : public LayoutTab {
protected:
    // As the layout tab's, with a blank spacer below a and without the download button.
    PLYSection initialSection() override {
        return section("s1", {image("a", "wide"), blank("gap"),
                              container("row", false, {image("b", "square"), blank("c")}),
                              text("t", "Words of the story"), image("z", "square")});
    }
    void SetUp() override {
        LayoutTab::SetUp();
        announcements.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), manager.get(),
                          [this](const PLYNotification&) { ++announced; });
    }
    void TearDown() override {
        announcements.clear();
        PLYLayoutManager::setImageModificationDateLookup({});
        LayoutTab::TearDown();
    }

    PLYBlock* block(const char* id) { return manager->blockForRef(id); }
    template <class Handler>
    Handler* handlerOf(const char* id) {
        return dynamic_cast<Handler*>(blockView(id)->interactionHandler());
    }
    // A drag in two steps from `from` by `by`.
    void drag(const QPointF& from, const QPointF& by, Qt::KeyboardModifiers mods = {}) {
        press(from, mods);
        dragTo(from + by / 2, mods);
        dragTo(from + by, mods);
        release(from + by, mods);
    }
    int twinsInOverlay() {
        const QList<QGraphicsItem*> items = overlay->childItems();
        return int(std::count_if(items.begin(), items.end(), [](QGraphicsItem* i) { return dynamic_cast<PLYBlockView*>(i); }));
    }
    static QMimeData* pasteboard(const QList<PLYPasteboardItem>& items) {
        auto* data = new QMimeData;
        PLYPasteboard(items).writeTo(data);
        return data;
    }

    // Pans, scales and resizes the picture of `a` in one edit-mode session, as a user would at
    // the current zoom; answers the block as it ends, after checking what each step did.
    std::string cropSession() {
        doubleClick(frameOf("a").center());
        auto* handler = handlerOf<PLYLayoutBlockInteractionHandler_Image>("a");
        EXPECT_NE(manager->currentEditBlock(), nullptr);
        const QRectF b = frameOf("a");
        EXPECT_DOUBLE_EQ(b.width() / b.height(), 1.5);  // the picture fills the block exactly
        announced = 0;

        // 30 right and 4 down: the top and bottom edges are pulled back onto the block's. (Every
        // step is a whole number of pixels at half size too.)
        const QPointF inside = b.center() + QPointF(-200, -100);
        drag(inside, {30, 4});
        EXPECT_EQ(handler->snaps().edgeSnaps, PLYBlockEditGeometry::SnapTop | PLYBlockEditGeometry::SnapBottom);
        EXPECT_NEAR(block("a")->image().position().x(), (30 + b.width() / 2) / b.width(), 1e-6);
        EXPECT_FLOAT_EQ(block("a")->image().position().y(), 0.5f);
        // With Shift the picture goes 4 down, unsnapped.
        drag(inside, {0, 4}, Qt::ShiftModifier);
        EXPECT_NEAR(block("a")->image().position().y(), (4 + b.height() / 2) / b.height(), 1e-6);
        EXPECT_EQ(handler->snaps().edgeSnaps, 0);

        // The top-left handle, 150 in with Shift: the bottom-right corner stays.
        QRectF picture = handler->imageFrame();
        drag(picture.topLeft(), {150, 0}, Qt::ShiftModifier);
        const QRectF scaled = handler->imageFrame();
        EXPECT_NEAR(scaled.right(), picture.right(), 1e-3);
        EXPECT_NEAR(scaled.bottom(), picture.bottom(), 1e-3);
        EXPECT_NEAR(scaled.width(), picture.width() - 150, 1e-3);
        // The left handle with Option, 100 in: about the centre the picture had.
        picture = scaled;
        drag(QPointF(picture.left(), picture.center().y()), {100, 0}, Qt::AltModifier | Qt::ShiftModifier);
        EXPECT_NEAR(handler->imageFrame().center().x(), picture.center().x(), 1e-3);
        EXPECT_NEAR(handler->imageFrame().width(), picture.width() - 200, 1e-3);

        // The bottom block handle, 100 down: the block gets taller and the text below moves at
        // once, before anything is announced.
        const double textTop = frameOf("t").top();
        const QPointF bottomHandle = handler->blockHandles().last()->frame().center();
        EXPECT_EQ(handler->blockHandles().last()->corner(), PLYGrabHandleCornerBottom);
        press(bottomHandle);
        dragTo(bottomHandle + QPointF(0, 100));
        EXPECT_NEAR(frameOf("t").top(), textTop + 100, 0.5);
        release(bottomHandle + QPointF(0, 100));
        EXPECT_FLOAT_EQ(block("a")->aspect_ratio(), float(b.width() / (b.height() + 100)));
        EXPECT_EQ(announced, 0);

        key(Qt::Key_Escape);
        EXPECT_EQ(manager->currentEditBlock(), nullptr);
        EXPECT_EQ(announced, 1);  // once, as edit mode ends
        return block("a")->SerializeAsString();
    }

    PLYObserverBag announcements;
    int announced = 0;
};

TEST_F(BlockEditing, CropPanScaleAndBlockResizeGiveTheSameBlockAtHalfZoomAndUndoAsOneEdit) {
    const std::string before = block("a")->SerializeAsString();
    const std::string atFullSize = cropSession();
    ASSERT_NE(atFullSize, before);
    undo()->undo();
    EXPECT_EQ(block("a")->SerializeAsString(), before);

    tab->setZoom(50);
    const std::string atHalfSize = cropSession();
    PLYBlock full, half;
    full.ParseFromString(atFullSize);
    half.ParseFromString(atHalfSize);
    EXPECT_NEAR(half.image().position().x(), full.image().position().x(), 1e-6);
    EXPECT_NEAR(half.image().position().y(), full.image().position().y(), 1e-6);
    EXPECT_NEAR(half.image().position().width(), full.image().position().width(), 1e-6);
    EXPECT_FLOAT_EQ(half.aspect_ratio(), full.aspect_ratio());
}

TEST_F(BlockEditing, BlankHandlesSetTheRatioFromTheDraggedSideWithAtLeastOneHundredPoints) {
    // Beside b the blank has left and right handles: 60 wider.
    doubleClick(frameOf("c").center());
    auto* c = handlerOf<PLYLayoutBlockInteractionHandler_Blank>("c");
    ASSERT_EQ(c->blockHandles().last()->corner(), PLYGrabHandleCornerRight);
    QRectF f = frameOf("c");
    drag(c->blockHandles().last()->frame().center(), {60, 25});
    EXPECT_FLOAT_EQ(block("c")->aspect_ratio(), float((f.width() + 60) / f.height()));
    key(Qt::Key_Return);

    // At the top level it has top and bottom handles; the top one dragged up lengthens it.
    const float original = block("gap")->aspect_ratio();
    doubleClick(frameOf("gap").center());
    auto* gap = handlerOf<PLYLayoutBlockInteractionHandler_Blank>("gap");
    f = frameOf("gap");
    announced = 0;
    drag(gap->blockHandles().first()->frame().center(), {0, -50});
    EXPECT_EQ(gap->blockHandles().first()->corner(), PLYGrabHandleCornerTop);
    EXPECT_FLOAT_EQ(block("gap")->aspect_ratio(), float(f.width() / (f.height() + 50)));
    EXPECT_NEAR(frameOf("gap").height(), f.height() + 50, 0.5);  // laid out at once
    // The bottom one dragged up past the top: 100 points high.
    drag(gap->blockHandles().last()->frame().center(), {0, -f.height() - 200});
    EXPECT_FLOAT_EQ(block("gap")->aspect_ratio(), float(f.width() / 100));
    // A press off the handles takes nothing and leaves edit mode.
    drag(frameOf("gap").center(), {0, 40});
    EXPECT_EQ(manager->currentEditBlock(), nullptr);
    EXPECT_FLOAT_EQ(block("gap")->aspect_ratio(), float(f.width() / 100));
    EXPECT_EQ(announced, 1);

    undo()->undo();  // the gap's edit
    EXPECT_FLOAT_EQ(block("gap")->aspect_ratio(), original);
    undo()->undo();  // c's
    EXPECT_FLOAT_EQ(block("c")->aspect_ratio(), 0.0f);

    // Wrapped into a row later, the gap keeps the top and bottom handles it was given, sized by
    // their own corner: long across, thin down.
    const PLYBlock spacer = PLYLayoutManager::newBlock_Blank();
    manager->wrapBlock(block("gap"), nullptr, manager->sectionForBlock(block("gap")), {spacer}, 1);
    ASSERT_EQ(handlerOf<PLYLayoutBlockInteractionHandler_Blank>("gap"), gap);
    manager->setEditBlock(block("gap"));
    EXPECT_EQ(gap->blockHandles().first()->corner(), PLYGrabHandleCornerTop);
    EXPECT_EQ(gap->blockHandles().first()->frame().size(), QSizeF(30, 6));
}

TEST_F(BlockEditing, ImageDropsReplaceOrSwapInTheMiddleNinthWithUseCountsAndUndo) {
    PLYLayoutManager::setImageModificationDateLookup([](const QString& id) -> std::optional<QDateTime> {
        if (id == "wide") return QDateTime::fromSecsSinceEpoch(1700000000);
        return std::nullopt;
    });
    block("z")->mutable_image()->set_source_last_updated("111");
    auto* z = handlerOf<PLYLayoutBlockInteractionHandler_Image>("z");
    const QPointF middle = frameOf("z").center();
    const QPointF corner = frameOf("z").topLeft() + QPointF(4, 4);
    std::unique_ptr<QMimeData> gallery(pasteboard({{kImageRef, "wide"}}));
    std::unique_ptr<QMimeData> fromA(pasteboard({{kBlockRef, "a"}}));
    std::unique_ptr<QMimeData> two(pasteboard({{kImageRef, "wide"}, {kImageRef, "square"}}));
    std::unique_ptr<QMimeData> itself(pasteboard({{kBlockRef, "z"}}));
    std::unique_ptr<QMimeData> blank(pasteboard({{kBlockRef, "c"}}));
    std::unique_ptr<QMimeData> gone(pasteboard({{kBlockRef, "nope"}}));
    std::unique_ptr<QMimeData> newText(pasteboard({{"com.pellory.text.new", "com.pellory.text.new"}}));
    EXPECT_TRUE(z->shouldBlockAcceptDropOperation(gallery.get(), middle));
    EXPECT_TRUE(z->shouldBlockAcceptDropOperation(fromA.get(), middle));
    EXPECT_FALSE(z->shouldBlockAcceptDropOperation(gallery.get(), corner));
    for (QMimeData* refused : {two.get(), itself.get(), blank.get(), gone.get(), newText.get()})
        EXPECT_FALSE(z->shouldBlockAcceptDropOperation(refused, middle));
    EXPECT_FALSE(handlerOf<PLYLayoutBlockInteractionHandler_Blank>("c")->shouldBlockAcceptDropOperation(
        gallery.get(), frameOf("c").center()));

    // A gallery image replaces the picture; the use counts and the stamp follow, and come back.
    QVariant info;
    ASSERT_TRUE(z->handleDrop(gallery.get(), &info));
    EXPECT_EQ(block("z")->image().img_ref(), "wide");
    EXPECT_EQ(block("z")->image().source_last_updated(), "1700000000");
    EXPECT_EQ(post->inUseCountForImage("wide"), 2);
    EXPECT_EQ(post->inUseCountForImage("square"), 1);
    z->handleUndoForDrop(info);
    EXPECT_EQ(block("z")->image().img_ref(), "square");
    EXPECT_EQ(block("z")->image().source_last_updated(), "111");
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    EXPECT_EQ(post->inUseCountForImage("square"), 2);

    // Another image block swaps pictures with it; counts stay; undo swaps back.
    ASSERT_TRUE(z->handleDrop(fromA.get(), &info));
    EXPECT_EQ(block("z")->image().img_ref(), "wide");
    EXPECT_EQ(block("a")->image().img_ref(), "square");
    EXPECT_EQ(block("a")->image().source_last_updated(), "111");
    EXPECT_EQ(post->inUseCountForImage("wide"), 1);
    z->handleUndoForDrop(info);
    EXPECT_EQ(block("z")->image().img_ref(), "square");
    EXPECT_EQ(block("a")->image().img_ref(), "wide");

    // The undo of a swap whose other block has gone keeps this block's picture.
    ASSERT_TRUE(z->handleDrop(fromA.get(), &info));
    manager->removeBlock(block("a"), false);
    z = handlerOf<PLYLayoutBlockInteractionHandler_Image>("z");
    z->handleUndoForDrop(info);
    EXPECT_EQ(block("z")->image().img_ref(), "wide");
    EXPECT_FALSE(z->handleDrop(fromA.get(), &info));
    EXPECT_EQ(block("z")->image().img_ref(), "wide");
}

TEST_F(BlockEditing, TheTextTwinIsMadeOncePerEditModeAndItsStyledWordsSurviveAnAutosave) {
    auto* handler = handlerOf<PLYLayoutBlockInteractionHandler_Text>("t");
    InspectorDelegate inspector;
    handler->setTextViewDelegate(&inspector);  // before the twin exists
    const QRectF t = frameOf("t");
    doubleClick(t.bottomRight() - QPointF(4, 4));  // below the words: the cursor goes to their end
    ASSERT_NE(handler->editTextView(), nullptr);
    QPointer<PLYBlockView> twin = handler->editBlockView();
    handler->ensureEditViews(overlay);
    EXPECT_EQ(twinsInOverlay(), 1);
    EXPECT_EQ(handler->editBlockView(), twin);
    EXPECT_EQ(twin->pos(), t.topLeft());
    PLYRichTextEditor* editor = handler->editTextView();
    EXPECT_EQ(editor->rteDelegate(), &inspector);
    EXPECT_FALSE(inspector.boldStates.isEmpty());

    // Typed straight after the double click, then the first word made bold from the inspector.
    type(" and more");
    editor->setSelection(0, 5);
    handler->toggleCurrentSelectionBold();
    EXPECT_TRUE(inspector.boldStates.last());
    editor->setSelection(editor->document()->characterCount() - 1, 0);
    type(" words");

    // The autosave writes what is typed so far, with its styles, and typing goes on after it.
    PLYRichTextEditor::commitLiveEditors();
    ASSERT_TRUE(post->save());
    const auto saved = PLYPersistantPost::load(post->folderPath(), {});
    ASSERT_NE(saved, nullptr);
    const PLYBlock* savedText = PLYLayoutViewProxy::findBlock(saved->layout(), "t");
    ASSERT_NE(savedText, nullptr);
    EXPECT_EQ(savedText->text().value(), "Words of the story and more words");
    ASSERT_EQ(savedText->text().runs_size(), 1);
    EXPECT_EQ(savedText->text().runs(0).location(), 0);
    EXPECT_EQ(savedText->text().runs(0).length(), 5);
    EXPECT_EQ(savedText->text().runs(0).properties(0), PLYTextProperty_Bold);
    ASSERT_TRUE(twin);
    type(" still");
    EXPECT_EQ(block("t")->text().value(), "Words of the story and more words");  // not yet committed

    // Leaving edit mode writes the rest, drops the twin and shows the block again.
    key(Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(twin);
    EXPECT_EQ(twinsInOverlay(), 0);
    EXPECT_EQ(blockView("t")->opacity(), 1.0);
    EXPECT_EQ(block("t")->text().value(), "Words of the story and more words still");
    EXPECT_EQ(block("t")->text().runs_size(), 1);
    EXPECT_EQ(editor = handler->editTextView(), nullptr);
    handler->toggleCurrentSelectionItalic();  // without a twin: nothing

    // Each commit is a step of the window's history.
    EXPECT_EQ(undo()->undoActionName(), "Typing");
    undo()->undo();
    EXPECT_EQ(block("t")->text().value(), "Words of the story and more words");

    // A new edit mode makes one new twin, with the inspector still attached.
    doubleClick(frameOf("t").center());
    EXPECT_EQ(twinsInOverlay(), 1);
    EXPECT_NE(handler->editBlockView(), nullptr);
    EXPECT_EQ(handler->editTextView()->rteDelegate(), &inspector);
    handler->setTextViewDelegate(nullptr);
    EXPECT_EQ(handler->editTextView()->rteDelegate(), nullptr);
}

}  // namespace
