#include "PLYBlockDrawHandler_Image.h"
#include "PLYBlockDrawHandler_Text.h"
#include "PLYBlockView.h"
#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYNotificationCenter.h"
#include "PLYRichTextEditor.h"
#include "PLYSectionView.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"

#include <QAction>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTest>
#include <QImage>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace PLYTestLayouts;

namespace {

// Records what the views ask of an editor-side handler, as the real edit handlers would see it.
struct HandlerLog {
    QStringList teardowns;      // block ids, in order
    QStringList liveAtTeardown; // ids whose view was still in a scene when torn down
    int destroyed = 0;
};

class RecordingHandler : public PLYLayoutBlockInteractionHandler {
public:
    RecordingHandler(PLYBlockView* view, HandlerLog* log) : PLYLayoutBlockInteractionHandler(view), m_log(log) {}
    ~RecordingHandler() override { ++m_log->destroyed; }
    void teardownEditViews() override {
        m_log->teardowns << view()->blockId();
        if (view()->scene())
            m_log->liveAtTeardown << view()->blockId();
    }

private:
    HandlerLog* m_log;
};

QStringList ids(const QList<PLYBlockView*>& views) {
    QStringList out;
    for (PLYBlockView* v : views)
        out << v->blockId();
    return out;
}

class LayoutViews : public ::testing::Test {
protected:
    void SetUp() override {
        // Only the recording maker: the editor's own makers are registered at start-up.
        PLYInteractionHandlerFactory::unregisterAll();
        images = std::make_shared<PLYTestImageSource>();
        images->addImage("wide", QSize(3000, 2000), Qt::red);
        images->addImage("square", QSize(1000, 1000), Qt::blue);
        owner = std::make_shared<PLYTestLayoutOwner>(
            layout(10, {section("s1", {image("a", "wide"), container("row", false, {image("b", "square"), blank("c")}),
                                       text("t", "Hello")}),
                        section("s2", {image("d", "square")})}));
        manager = PLYLayoutManager::managerWithOwner(owner);
        PLYInteractionHandlerFactory::registerBlockHandlerMaker(PLYBlock::kImage, [this](PLYBlockView* v) {
            return std::make_unique<RecordingHandler>(v, &log);
        });
        proxy = std::make_unique<PLYLayoutViewProxy>(manager, nullptr, images);
        scene.addItem(proxy->layoutView());
    }
    void TearDown() override {
        proxy.reset();
        PLYInteractionHandlerFactory::unregisterAll();
    }

    PLYSectionView* sectionView(int i) { return proxy->layoutView()->sectionViews().at(i); }
    // Every block view sits where the geometry puts it, in scene coordinates.
    void expectViewsOnGeometry() {
        const PLYLayoutGeometry g = PLYLayoutGeometry::layoutGeometry(*manager->representedLayout(), images.get());
        for (auto it = g.blocks.constBegin(); it != g.blocks.constEnd(); ++it) {
            PLYBlockView* view = proxy->blockViewForId(it.key());
            ASSERT_NE(view, nullptr) << it.key().toStdString();
            EXPECT_EQ(view->mapRectToScene(view->boundingRect()), it->frame) << it.key().toStdString();
        }
    }

    QGraphicsScene scene;
    HandlerLog log;
    std::shared_ptr<PLYTestImageSource> images;
    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    std::unique_ptr<PLYLayoutViewProxy> proxy;
};

TEST_F(LayoutViews, TheViewTreeMirrorsTheLayoutAndSitsOnItsGeometry) {
    EXPECT_EQ(manager->liveLayoutViewProxy(), proxy.get());
    ASSERT_EQ(proxy->layoutView()->sectionViews().size(), 2);
    EXPECT_EQ(ids(sectionView(0)->subBlocks()), QStringList({"a", "row", "t"}));
    EXPECT_EQ(ids(sectionView(0)->subBlocks().at(1)->subBlocks()), QStringList({"b", "c"}));
    EXPECT_EQ(sectionView(1)->representedSection(), &manager->representedLayout()->sections(1));
    PLYBlockView* b = proxy->blockViewForId("b");
    EXPECT_EQ(b->sectionView(), sectionView(0));
    EXPECT_EQ(b->representedBlock(), manager->blockForRef("b"));
    EXPECT_EQ(proxy->layoutView()->boundingRect().width(), 1500);
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, HandlersComeFromTheRegistryOnlyForKindsThatTakeThem) {
    EXPECT_NE(proxy->blockViewForId("a")->interactionHandler(), nullptr);
    EXPECT_EQ(proxy->blockViewForId("c")->interactionHandler(), nullptr);  // no blank maker registered
    EXPECT_EQ(proxy->blockViewForId("row")->interactionHandler(), nullptr);
    EXPECT_EQ(sectionView(0)->interactionHandler(), nullptr);
    int made = 0;
    PLYInteractionHandlerFactory::registerBlockHandlerMaker(PLYBlock::kDownloadButton, [&made](PLYBlockView* v) {
        ++made;
        return std::make_unique<PLYLayoutBlockInteractionHandler>(v);
    });
    manager->addBlock(downloadButton("dl"), nullptr, manager->representedLayout()->mutable_sections(1));
    EXPECT_NE(proxy->blockViewForId("dl"), nullptr);
    EXPECT_EQ(proxy->blockViewForId("dl")->interactionHandler(), nullptr);
    EXPECT_EQ(made, 0);
}

TEST_F(LayoutViews, AddingABlockBuildsItsViewAndMovesTheSectionsBelow) {
    const double before = sectionView(1)->pos().y();
    manager->addBlock(image("e", "wide"), nullptr, manager->representedLayout()->mutable_sections(0));
    EXPECT_EQ(ids(sectionView(0)->subBlocks()), QStringList({"a", "row", "t", "e"}));
    EXPECT_NEAR(sectionView(1)->pos().y(), before + 10 + 1000, 1e-6);
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, WrappingSwapsTheBlocksViewForTheContainers) {
    PLYBlock* a = manager->blockForRef("a");
    manager->wrapBlock(a, nullptr, manager->representedLayout()->mutable_sections(0), {image("n", "square")}, 1);
    PLYBlockView* first = sectionView(0)->subBlocks().at(0);
    EXPECT_EQ(first->kind(), PLYBlock::kContainer);
    EXPECT_EQ(ids(first->subBlocks()), QStringList({"a", "n"}));
    EXPECT_EQ(proxy->blockViewForId("a")->sectionView(), sectionView(0));
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, RemovingTearsEditViewsDownBeforeTheViewGoes) {
    manager->setEditBlock(manager->blockForRef("b"));
    manager->removeBlock(manager->blockForRef("b"), false);
    ASSERT_FALSE(log.teardowns.isEmpty());
    EXPECT_EQ(log.teardowns.first(), QStringLiteral("b"));
    EXPECT_TRUE(log.liveAtTeardown.contains("b"));
    EXPECT_EQ(proxy->blockViewForId("b"), nullptr);
    // The row kept one child and was purged: the blank now sits at the top level.
    EXPECT_EQ(ids(sectionView(0)->subBlocks()), QStringList({"a", "c", "t"}));
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, ChangingTheEditBlockTearsDownThePreviousHandlersViews) {
    manager->setEditBlock(manager->blockForRef("a"));
    log.teardowns.clear();
    manager->setEditBlock(manager->blockForRef("d"));
    EXPECT_EQ(log.teardowns, QStringList({"a"}));
    EXPECT_EQ(proxy->currentEditBlockView(), proxy->blockViewForId("d"));
}

TEST_F(LayoutViews, PaddingAndBackgroundChangesRelayout) {
    manager->representedLayout()->set_padding(50);
    manager->announceChange();
    EXPECT_NEAR(proxy->blockViewForId("row")->scenePos().y(), 1000 + 50, 1e-6);
    expectViewsOnGeometry();
    manager->representedLayout()->set_padding(0);
    proxy->layoutManagerDidChangeLayout(manager.get());
    EXPECT_NEAR(proxy->blockViewForId("row")->scenePos().y(), 1000, 1e-6);
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, ReloadRebuildsEveryViewAndTearsDownFirst) {
    manager->setEditBlock(manager->blockForRef("a"));
    PLYBlockView* old = proxy->blockViewForId("a");
    log.teardowns.clear();
    proxy->layoutView()->reloadLayout();
    EXPECT_TRUE(log.teardowns.contains("a"));
    EXPECT_NE(proxy->blockViewForId("a"), nullptr);
    EXPECT_NE(proxy->blockViewForId("a"), old);
    expectViewsOnGeometry();
}

TEST_F(LayoutViews, StateViewsFollowTheManager) {
    EXPECT_EQ(proxy->currentHoverBlockView(), nullptr);
    manager->setHoverSection(manager->representedLayout()->mutable_sections(1));
    manager->setHoverBlock(manager->blockForRef("c"));
    manager->selectBlocks({manager->blockForRef("a"), manager->blockForRef("d")});
    EXPECT_EQ(proxy->currentHoverSectionView(), sectionView(1));
    EXPECT_EQ(proxy->currentHoverBlockView(), proxy->blockViewForId("c"));
    EXPECT_EQ(ids(proxy->currentSelectedBlockViews()), QStringList({"a", "d"}));
}

TEST_F(LayoutViews, AFixedLayoutIgnoresTheManagersEdits) {
    auto fixed = std::make_shared<PLYLayout>(layout(0, {section("x", {image("only", "square")})}));
    PLYLayoutViewProxy preview(manager, fixed, images);
    EXPECT_EQ(preview.layout(), fixed.get());
    manager->addBlock(image("e", "wide"), nullptr, manager->representedLayout()->mutable_sections(0));
    ASSERT_EQ(preview.layoutView()->sectionViews().size(), 1);
    EXPECT_EQ(ids(preview.layoutView()->sectionViews().at(0)->subBlocks()), QStringList({"only"}));
    EXPECT_EQ(preview.blockViewForId("e"), nullptr);
}

TEST_F(LayoutViews, AProxyUnregistersWhenItGoes) {
    {
        PLYLayoutViewProxy second(manager, nullptr, images);
        EXPECT_EQ(manager->layoutViewProxies().size(), 2);
    }
    EXPECT_EQ(manager->layoutViewProxies().size(), 1);
    proxy.reset();
    EXPECT_EQ(manager->layoutViewProxies().size(), 0);
    manager->addBlock(image("e", "wide"), nullptr, manager->representedLayout()->mutable_sections(0));
    EXPECT_EQ(log.destroyed, 6);  // a, b, d of both proxies: every handler went with its view
}

TEST_F(LayoutViews, TheImageDrawHandlerReportsItsPictureFrame) {
    auto* handler = dynamic_cast<PLYBlockDrawHandler_Image*>(proxy->blockViewForId("b")->drawHandler());
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->currentImage(), QStringLiteral("square"));
    const QRectF bounds = proxy->blockViewForId("b")->boundingRect();
    EXPECT_EQ(handler->realImageFrame(), bounds);  // a square picture in a square block
    manager->blockForRef("b")->mutable_image()->mutable_position()->set_x(0.25f);
    manager->blockForRef("b")->mutable_image()->mutable_position()->set_y(0.5f);
    manager->blockForRef("b")->mutable_image()->mutable_position()->set_width(2.0f);
    const QRectF crop = handler->realImageFrame();
    EXPECT_NEAR(crop.width(), 2 * bounds.width(), 1e-6);
    EXPECT_NEAR(crop.center().x(), 0.25 * bounds.width(), 1e-6);
    EXPECT_NEAR(crop.center().y(), 0.5 * bounds.height(), 1e-6);
}

TEST_F(LayoutViews, ATextTwinWritesItsWordsOnlyAtCommitPointsOnceEachAndTheViewsFollow) {
    PLYBlockView* original = proxy->blockViewForId("t");
    std::unique_ptr<PLYBlockView> twin(
        PLYBlockView::viewWithBlock(manager->blockForRef("t"), proxy.get(), original->sectionView()));
    scene.addItem(twin.get());
    twin->setEditable(true);
    auto* handler = dynamic_cast<PLYBlockDrawHandler_Text*>(twin->drawHandler());
    ASSERT_NE(handler, nullptr);
    PLYRichTextEditor* editor = handler->textView();
    ASSERT_TRUE(editor->isEditable());
    int announcements = 0;
    PLYObserverBag observers;
    observers.add(PLYLayoutManager::LayoutDidChangeNotification, manager.get(),
                  [&](const PLYNotification&) { ++announcements; });
    const double before = original->boundingRect().height();
    const double sectionBelow = sectionView(1)->pos().y();
    const auto words = [&] { return QString::fromStdString(manager->blockForRef("t")->text().value()); };

    // Typing changes the editor only: no write, no announcement, no relayout.
    QTextCursor cursor(editor->document());
    cursor.movePosition(QTextCursor::End);
    QString more;
    for (int i = 0; i < 60; ++i)
        more += QStringLiteral(" and some more words");
    cursor.insertText(more);
    EXPECT_EQ(words(), QStringLiteral("Hello"));
    EXPECT_EQ(announcements, 0);
    EXPECT_TRUE(editor->hasUncommittedChanges());

    // A save commits every live editor: one write, one announcement, and every view follows.
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_EQ(words(), QStringLiteral("Hello") + more);
    EXPECT_EQ(announcements, 1);
    EXPECT_GT(original->boundingRect().height(), before);
    EXPECT_EQ(twin->boundingRect(), original->boundingRect());  // the twin grows with its words
    EXPECT_GT(sectionView(1)->pos().y(), sectionBelow);
    auto* shown = dynamic_cast<PLYBlockDrawHandler_Text*>(original->drawHandler());
    EXPECT_EQ(shown->textView()->document()->toPlainText(), QStringLiteral("Hello") + more);
    // The relayout the commit caused left the editor's cursor where it was.
    EXPECT_EQ(editor->textCursor().position(), editor->document()->characterCount() - 1);
    editor->commit();
    EXPECT_EQ(announcements, 1) << "nothing new, nothing announced";

    // A pause in typing commits.
    cursor.insertText(QStringLiteral("!"));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return announcements == 2; }, PLYRichTextEditor::kCommitPauseMs * 4));
    EXPECT_TRUE(words().endsWith(QLatin1Char('!')));

    // Another block's edit relays the section out; the words typed meanwhile stay in the editor.
    cursor.insertText(QStringLiteral("?"));
    ASSERT_TRUE(manager->setAspectRatio("c", 2.0));
    EXPECT_TRUE(editor->document()->toPlainText().endsWith(QLatin1Char('?')));
    EXPECT_TRUE(editor->hasUncommittedChanges());

    // An editor that goes with words pending writes them once its view's teardown is over.
    const int sofar = announcements;
    twin.reset();
    EXPECT_TRUE(words().endsWith(QLatin1Char('!')));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return words().endsWith(QLatin1Char('?')); }, 2000));
    EXPECT_EQ(announcements, sofar + 1);
}

// One undo history: the editor keeps none of its own and leaves Undo to the window, whose
// history holds each commit as one step.
TEST_F(LayoutViews, UndoInATextTwinGoesToTheWindowsHistoryAfterCommittingTheWordsTyped) {
    PLYUndoManager undo;
    proxy->setUndoManagerProvider([&] { return &undo; });
    QWidget window;
    auto* view = new QGraphicsView(&scene, &window);
    view->resize(800, 600);
    auto* undoAction = new QAction(&window);
    undoAction->setShortcut(QKeySequence::Undo);
    window.addAction(undoAction);
    QObject::connect(undoAction, &QAction::triggered, [&] { undo.undo(); });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    PLYBlockView* original = proxy->blockViewForId("t");
    std::unique_ptr<PLYBlockView> twin(
        PLYBlockView::viewWithBlock(manager->blockForRef("t"), proxy.get(), original->sectionView()));
    scene.addItem(twin.get());
    twin->setEditable(true);
    PLYRichTextEditor* editor = dynamic_cast<PLYBlockDrawHandler_Text*>(twin->drawHandler())->textView();
    view->setFocus();
    scene.setFocusItem(editor);
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    editor->setTextCursor(end);
    const auto words = [&] { return QString::fromStdString(manager->blockForRef("t")->text().value()); };

    QTest::keyClicks(view, QStringLiteral(" there"));
    EXPECT_EQ(editor->document()->toPlainText(), QStringLiteral("Hello there"));
    EXPECT_EQ(words(), QStringLiteral("Hello"));
    editor->userSelectedBold();  // formatting is a step of its own, committed at once
    ASSERT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));
    EXPECT_EQ(words(), QStringLiteral("Hello there"));
    editor->setSelection(0, 5);
    editor->userSelectedBold();
    ASSERT_EQ(undo.undoCount(), 2);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Bold"));
    EXPECT_EQ(manager->blockForRef("t")->text().runs_size(), 1);

    QTest::keyClicks(view, QStringLiteral("!"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);  // commits "!", then undoes it
    EXPECT_EQ(words(), QStringLiteral("Hello there"));
    EXPECT_EQ(editor->document()->toPlainText(), QStringLiteral("Hello there"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(manager->blockForRef("t")->text().runs_size(), 0);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(words(), QStringLiteral("Hello"));
    EXPECT_EQ(editor->document()->toPlainText(), QStringLiteral("Hello"));
    EXPECT_EQ(undo.undoCount(), 0);
    // Every undo offers its redo: the words come back, step by step.
    ASSERT_EQ(undo.redoCount(), 3);
    undo.redo();
    EXPECT_EQ(words(), QStringLiteral("Hello there"));
    undo.redo();
    EXPECT_EQ(manager->blockForRef("t")->text().runs_size(), 1);
    undo.redo();
    EXPECT_EQ(words(), QStringLiteral("! there"));  // typed over the selected "Hello"
    EXPECT_EQ(undo.redoCount(), 0);
    proxy->setUndoManagerProvider({});
}

TEST_F(LayoutViews, ABlockViewExportsItsBlockAsJpeg) {
    const QByteArray jpeg = proxy->blockViewForId("row")->exportImageDataForWidth(600, 0.9);
    QImage image;
    ASSERT_TRUE(image.loadFromData(jpeg, "JPEG"));
    EXPECT_EQ(image.width(), 600);
    // The square picture on the left, the blank (background white) on the right.
    const QColor left = image.pixelColor(50, image.height() / 2);
    const QColor right = image.pixelColor(580, image.height() / 2);
    EXPECT_GT(left.blue(), 200);
    EXPECT_LT(left.red(), 60);
    EXPECT_GT(right.red(), 230);
    EXPECT_GT(right.green(), 230);
    EXPECT_TRUE(proxy->blockViewForId("nothing") == nullptr);
}

}  // namespace

TEST(LayoutViewLifetime, AProxyOutlivingTheSceneThatShowedItsViewDoesNotDeleteTheViewAgain) {
    auto owner = std::make_shared<PLYTestLayoutOwner>(layout(10, {section("s", {blank("a")})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    auto proxy = std::make_unique<PLYLayoutViewProxy>(manager, nullptr, std::make_shared<PLYTestImageSource>());
    {
        QGraphicsScene scene;
        scene.addItem(proxy->layoutView());
    }  // the scene deletes the items it holds
    EXPECT_EQ(proxy->layoutView(), nullptr);
    EXPECT_EQ(proxy->blockViewForId("a"), nullptr);
    manager->addBlock(blank("b"), nullptr, manager->representedLayout()->mutable_sections(0));  // no view to follow
    proxy.reset();
}
