// The stand-in editor window: its Edit menu undoes what the layout tab in it did.
#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYTemporaryPostEditorWindow.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYVisualStateHandler.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <gtest/gtest.h>

using namespace PLYTestLayouts;

TEST(TemporaryPostEditorWindow, ItsUndoItemTakesBackADeleteMadeOnTheCanvas) {
    PLYVisualStateHandler::resetGlobalHandler();
    PLYLayoutInteraction::registerInteractionHandlers();
    auto post = PLYPersistantPost::create("Story", PLYTestEnvironment::makeTempDirectory(), {});
    *post->layout() = layout(10, {section("s1", {blank("x"), blank("y")})});
    auto postManager = PLYPostManager::create(post);
    auto* window = new PLYTemporaryPostEditorWindow(postManager);
    QPointer<PLYTemporaryPostEditorWindow> guard(window);
    window->show();
    EXPECT_EQ(window->windowTitle(), "Story");

    auto manager = postManager->layoutManager();
    manager->selectBlock(manager->blockForRef("x"));
    PLYLayoutScrollView* view = window->layoutViewController()->scrollView();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    window->layoutViewController()->interactionView()->setFocus();
    QApplication::sendEvent(view, &down);
    QApplication::sendEvent(view, &up);
    ASSERT_EQ(manager->blockForRef("x"), nullptr);

    QAction* undo = nullptr;
    for (QAction* action : window->menuBar()->findChildren<QAction*>())
        if (action->shortcut() == QKeySequence(QKeySequence::Undo)) undo = action;
    ASSERT_NE(undo, nullptr);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), "Undo Block Delete");
    undo->trigger();
    EXPECT_NE(manager->blockForRef("x"), nullptr);
    EXPECT_FALSE(undo->isEnabled());

    window->close();  // deletes itself
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    PLYInteractionHandlerFactory::unregisterAll();
}
