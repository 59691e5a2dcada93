#include <gtest/gtest.h>

#include "PLYBlockView.h"
#include "PLYInteractionHandlerFactory.h"
#include "PLYInteractionZone.h"
#include "PLYLayoutSectionInteractionHandler_Stacked.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYPasteboard.h"
#include "PLYSectionView.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"

#include <QGraphicsScene>

using namespace PLYTestLayouts;

// Through the real views: zones are asked in layout coordinates of a section that does not start
// at the top, follow the views after an edit, and drops become one undoable edit; an empty
// section takes a move whole, the block leaving its old place.
TEST(SectionInteractionHandler, ZonesAndDropsThroughTheSectionViews) {
    PLYInteractionHandlerFactory::registerSectionHandlerMaker(&PLYLayoutSectionInteractionHandler_Stacked::handlerWithSectionView);
    auto owner = std::make_shared<PLYTestLayoutOwner>(
        layout(10, {section("empty", {}), section("s", {blank("a"), blank("b")})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    QGraphicsScene scene;
    auto proxy = std::make_unique<PLYLayoutViewProxy>(manager);
    scene.addItem(proxy->layoutView());
    auto handlerOf = [&](int section) { return proxy->layoutView()->sectionViews().at(section)->interactionHandler(); };

    // The seam between a and b, in layout coordinates.
    const QRectF a = proxy->geometry().frameForBlock("a");
    const QPointF seam(a.center().x(), a.bottom() + 5);
    PLYLayoutSectionInteractionHandler* handler = handlerOf(1);
    ASSERT_NE(handler, nullptr);
    EXPECT_FALSE(handler->shouldSectionAcceptDrop(PLYPasteboard(), seam));
    auto zone = handler->interactionZoneAtPoint(seam, {});
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->majorRegion()->edge(), 32);
    EXPECT_EQ(zone->majorRegion()->index(), 1);
    EXPECT_EQ(handler->currentZone(), zone);

    PLYUndoManager undo;
    const std::string original = owner->layout()->SerializeAsString();
    PLYLayoutEdit edit;
    PLYBlock n = PLYLayoutManager::newBlock_Blank();
    n.set_id("n");
    ASSERT_TRUE(handler->handleDropOnZone(*zone, {PLYDropItem::introducing(n)}, std::nullopt, &edit));
    manager->registerUndoForEdit(&undo, edit, "Delete Blocks");
    EXPECT_EQ(shape(owner->layout()->sections(1)), "a,n,b");
    // The views followed; the same point now lies on the seam between a and n.
    handler = handlerOf(1);
    handler->resetZones();
    zone = handler->interactionZoneAtPoint(seam, {"n"});
    ASSERT_NE(zone, nullptr);
    EXPECT_FALSE(zone->majorRegion()->canActivate());
    EXPECT_FALSE(handler->handleDropOnZone(*zone, {PLYDropItem::moving("n")}, std::nullopt));
    EXPECT_EQ(proxy->blockViewForId("n")->sectionView(), proxy->layoutView()->sectionViews().at(1));

    // The empty section takes "a" whole; undo puts everything back in one step.
    PLYLayoutSectionInteractionHandler* empty = handlerOf(0);
    EXPECT_TRUE(empty->shouldSectionAcceptDrop(PLYPasteboard(), QPointF(10, 10)));
    EXPECT_EQ(empty->interactionZoneAtPoint(QPointF(10, 10), {}), nullptr);
    ASSERT_TRUE(empty->handleDropOnSection({PLYDropItem::moving("a")}, std::nullopt, &edit));
    manager->registerUndoForEdit(&undo, edit, "Undo Block Move");
    EXPECT_EQ(shape(owner->layout()->sections(0)), "a");
    EXPECT_EQ(shape(owner->layout()->sections(1)), "n,b");
    undo.undo();
    undo.undo();
    EXPECT_EQ(owner->layout()->SerializeAsString(), original);
    EXPECT_EQ(proxy->layoutView()->sectionViews().at(1)->subBlocks().size(), 2);

    // The abstract base answers no and says so.
    QStringList errors;
    const int token = PLYLog::addObserver([&](PLYLog::Level level, const QString& line) {
        if (level == PLYLog::Level::Error) errors << line;
    });
    PLYLayoutSectionInteractionHandler base(nullptr);
    EXPECT_EQ(base.interactionZoneAtPoint(seam, {}), nullptr);
    EXPECT_FALSE(base.handleDropOnSection({PLYDropItem::moving("b")}, std::nullopt));
    PLYLog::removeObserver(token);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].startsWith("WARN: subclass should implement: \n ")) << errors[0].toStdString();
    EXPECT_EQ(base.activationDimensionFromEdge(1, proxy->blockViewForId("b")), proxy->geometry().frameForBlock("b").width() / 3);

    proxy.reset();
    PLYInteractionHandlerFactory::unregisterAll();
}
