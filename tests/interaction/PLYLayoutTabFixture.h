#pragma once

// The layout tab of a five-block post, shown offscreen, and the pointer, key and pinch events a
// user sends to its canvas. Shared by the overlay's tests.
#include "PLYBlockDrawHandler_Text.h"
#include "PLYBlockView.h"
#include "PLYInstantAnimator.h"
#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutBlockInteractionHandler_Image.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYPasteboard.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYRichTextEditor.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QTextCursor>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace PLYTestLayouts;

namespace {

QString ids(const QList<PLYBlock*>& blocks) {
    QStringList out;
    for (const PLYBlock* b : blocks) out << QString::fromStdString(b->id());
    return out.join(',');
}

// Records the zoom factors the shared visual state hands out.
struct ZoomRecorder : PLYVisualStateHandlerDelegate {
    QList<double> factors;
    void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double f) override { factors << f; }
};

// Notes what the model and the views look like when it hears that the hover was cleared.
struct ConsistencyProxy : PLYLayoutManagerInteractionProxy {
    PLYLayoutViewProxy* views = nullptr;
    QStringList seen;
    void layoutManagerDidSetHoverBlock(PLYLayoutManager* m, PLYBlock* block) override {
        if (!block)
            seen << QStringLiteral("hover cleared; c %1, its view %2")
                        .arg(m->blockForRef("c") ? "in layout" : "gone", views->blockViewForId("c") ? "shown" : "gone");
    }
};

class LayoutTab : public ::testing::Test {
protected:
    // One picture of "wide" and two of "square", as the use counts have it. Here a: 1500 x 1000
    // at the top; the row below holds b (596 square) beside the blank c.
    virtual PLYSection initialSection() {
        return section("s1", {image("a", "wide"), container("row", false, {image("b", "square"), blank("c")}),
                              text("t", "Words of the story"), downloadButton("dl"), image("z", "square")});
    }
    // The post's layout: the one section above, unless a test needs more.
    virtual PLYLayout initialLayout() { return layout(10, {initialSection()}); }
    void SetUp() override {
        PLYVisualStateHandler::resetGlobalHandler();
        PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
        images = std::make_shared<PLYTestImageSource>();
        images->addImage("wide", QSize(3000, 2000), Qt::red);
        images->addImage("square", QSize(1000, 1000), Qt::blue);
        PLYLayoutImageSource::setDefaultSource(images);
        PLYLayoutInteraction::registerInteractionHandlers();

        post = PLYPersistantPost::create("Story", PLYTestEnvironment::makeTempDirectory(), {});
        *post->layout() = initialLayout();
        post->incrementInUseCountForImage("wide");
        post->incrementInUseCountForImage("square");
        post->incrementInUseCountForImage("square");
        postManager = PLYPostManager::create(post);
        manager = postManager->layoutManager();

        tab = std::make_unique<PLYLayoutViewController>();
        tab->resize(1250, 800);
        tab->setPostManager(postManager);
        tab->show();
        tab->activateWindow();
        QApplication::setActiveWindow(tab.get());
        QApplication::processEvents();
        overlay = tab->interactionView();
        view = tab->scrollView();
    }
    void TearDown() override {
        tab.reset();
        PLYInteractionHandlerFactory::unregisterAll();
        PLYLayoutImageSource::setDefaultSource(nullptr);
        PLYAnimator::setShared(nullptr);
        PLYVisualStateHandler::resetGlobalHandler();
    }

    PLYBlockView* blockView(const char* id) { return tab->layoutViewProxy()->blockViewForId(id); }
    QRectF frameOf(const char* id) { return blockView(id)->mapRectToScene(blockView(id)->boundingRect()); }
    QPointF centre(const char* id) { return frameOf(id).center(); }
    PLYUndoManager* undo() { return PLYWindowUndoManager::undoManagerForWidget(view); }
    QString selection() { return ids(manager->currentSelectedBlocks()); }
    QString hoverId() {
        const PLYBlock* b = manager->currentHoverBlock();
        return b ? QString::fromStdString(b->id()) : QString();
    }

    // A point of the layout in viewport coordinates, scrolled into view first unless a button is
    // held: the canvas does not move under a pointer that drags (the pointer may leave it).
    QPointF local(const QPointF& p, bool scrollIntoView = true) {
        if (scrollIntoView && !view->viewport()->rect().contains(view->mapFromScene(p))) view->centerOn(p);
        return view->mapFromScene(p);
    }
    void mouse(QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {}) {
        const bool dragging = type == QEvent::MouseButtonRelease || (type == QEvent::MouseMove && buttons != Qt::NoButton);
        const QPointF l = local(p, !dragging);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, l, view->viewport()->mapToGlobal(l), button, buttons, mods);
        QApplication::sendEvent(view->viewport(), &e);
    }
    void moveTo(const QPointF& p) { mouse(QEvent::MouseMove, p, Qt::NoButton); }
    void press(const QPointF& p, Qt::KeyboardModifiers mods = {}) {
        moveTo(p);
        mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, mods);
    }
    void dragTo(const QPointF& p, Qt::KeyboardModifiers mods = {}) { mouse(QEvent::MouseMove, p, Qt::LeftButton, mods); }
    void release(const QPointF& p, Qt::KeyboardModifiers mods = {}) {
        mouse(QEvent::MouseButtonRelease, p, Qt::NoButton, mods);
    }
    void click(const QPointF& p, Qt::KeyboardModifiers mods = {}) {
        press(p, mods);
        release(p, mods);
    }
    void doubleClick(const QPointF& p) {
        click(p);
        mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton);
        release(p);
    }
    // A key typed on the canvas; it acts at its release.
    bool key(int qtKey, QObject* target = nullptr) {
        QKeyEvent down(QEvent::KeyPress, qtKey, Qt::NoModifier);
        QKeyEvent up(QEvent::KeyRelease, qtKey, Qt::NoModifier);
        QApplication::sendEvent(target ? target : view, &down);
        QApplication::sendEvent(target ? target : view, &up);
        return up.isAccepted();
    }
    // Letters and spaces typed into whatever has the keyboard.
    void type(const QString& text) {
        for (QChar c : text) {
            const int code = c == ' ' ? Qt::Key_Space : Qt::Key_A + (c.toUpper().unicode() - 'A');
            QKeyEvent down(QEvent::KeyPress, code, Qt::NoModifier, QString(c));
            QKeyEvent up(QEvent::KeyRelease, code, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view, &down);
            QApplication::sendEvent(view, &up);
        }
    }
    void pinch(Qt::NativeGestureType type, double value) {
        const QPointF l(400, 300);
        QNativeGestureEvent e(type, QPointingDevice::primaryPointingDevice(), 2, l, l, view->viewport()->mapToGlobal(l),
                              value, QPointF(), 1);
        QApplication::sendEvent(view->viewport(), &e);
    }
    // What the gallery or a tile writes: one item of `type` per value, in a session of its own.
    static std::unique_ptr<QMimeData> board(const char* type, const QStringList& values) {
        PLYPasteboard pasteboard;
        for (const QString& value : values) pasteboard.addItem(PLYPasteboardItem(type, value));
        pasteboard.setSequenceNumber(PLYPasteboard::nextSequenceNumber());
        auto data = std::make_unique<QMimeData>();
        pasteboard.writeTo(data.get());
        return data;
    }
    std::string sectionBytes() { return manager->representedLayout()->sections(0).SerializeAsString(); }

    std::shared_ptr<PLYTestImageSource> images;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYLayoutManager> manager;
    std::unique_ptr<PLYLayoutViewController> tab;
    PLYLayoutInteractionView* overlay = nullptr;
    PLYLayoutScrollView* view = nullptr;
};

}  // namespace
