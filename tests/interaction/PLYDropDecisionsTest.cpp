// The overlay's drag decisions without widgets.
#include "PLYDragBlockImageView.h"
#include "PLYDropDecisions.h"
#include "PLYLayoutManager.h"
#include "PLYPasteboard.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <gtest/gtest.h>

using namespace PLYTestLayouts;

TEST(DropDecisions, ThePasteboardBecomesMovedAndNewBlocksInItemOrder) {
    auto manager = PLYLayoutManager::managerWithOwner(
        std::make_shared<PLYTestLayoutOwner>(layout(10, {section("s", {blank("a"), image("b", "img")})})));
    PLYPasteboard board;
    board.addItem(PLYPasteboardItem("com.pellory.block", "b"));
    board.addItem(PLYPasteboardItem("com.pellory.block", "gone"));  // no longer in the layout
    board.addItem(PLYPasteboardItem("public.file-url", "file:///x.jpg"));
    board.addItem(PLYPasteboardItem("com.pellory.image.ref", "unknown-image"));
    for (qint64 type : {PLYDragBlockImageView::BlockTypeText, PLYDragBlockImageView::BlockTypeDownload,
                        PLYDragBlockImageView::BlockTypeBlank, qint64(7)})
        board.addItem(PLYDragBlockImageView::pasteboardForBlockType(type).pasteboardItems().first());
    bool introduced = false;
    const QList<PLYDropItem> items = PLYDropDecisions::dropItemsFromPasteboard(board, *manager, &introduced);
    EXPECT_TRUE(introduced);
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0].movedBlockId, "b");
    EXPECT_EQ(items[1].newBlock.image().img_ref(), "unknown-image");
    EXPECT_EQ(items[1].newBlock.image().source_last_updated(), "0");
    const PLYBlock::TypeCase kinds[] = {PLYBlock::kText, PLYBlock::kDownloadButton, PLYBlock::kBlank, PLYBlock::kText};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(items[2 + i].newBlock.type_case(), kinds[i]) << i;

    // Moves alone introduce nothing; the zone lookup gets the dragged blocks or the new text.
    PLYPasteboard moves({PLYPasteboardItem("com.pellory.block", "a")});
    EXPECT_EQ(PLYDropDecisions::dropItemsFromPasteboard(moves, *manager, &introduced).size(), 1);
    EXPECT_FALSE(introduced);
    EXPECT_EQ(PLYDropDecisions::zoneRefsForDrag(true, {"a"}, moves), QStringList{"a"});
    EXPECT_EQ(PLYDropDecisions::zoneRefsForDrag(false, {}, moves), QStringList());
    EXPECT_EQ(PLYDropDecisions::zoneRefsForDrag(false, {}, PLYDragBlockImageView::pasteboardForBlockType(1)),
              QStringList{"com.pellory.text.new"});
    EXPECT_EQ(PLYDragBlockImageView::pasteboardForBlockType(2).stringsForType("com.pellory.blank.new"),
              QStringList{"blank block"});
}

TEST(DropDecisions, PointsBesideTheLayoutArrangementAndAutoscroll) {
    const QRectF r(0, 0, 1500, 3000);
    using D = PLYDropDecisions;
    EXPECT_EQ(D::resolvePointFromOutOfBounds({-50, 700}, r).point, QPointF(1, 700));
    EXPECT_FALSE(D::resolvePointFromOutOfBounds({-50, 700}, r).verticalReset);
    EXPECT_EQ(D::resolvePointFromOutOfBounds({-150, 700}, r).point, QPointF(-150, 700));
    EXPECT_EQ(D::resolvePointFromOutOfBounds({-100, 700}, r).point, QPointF(-100, 700));  // 100 is too far
    EXPECT_EQ(D::resolvePointFromOutOfBounds({1500, 700}, r).point, QPointF(1499, 700));  // the right edge is out
    const D::ResolvedPoint above = D::resolvePointFromOutOfBounds({-20, -900}, r);
    EXPECT_EQ(above.point, QPointF(1, 1));
    EXPECT_TRUE(above.verticalReset);
    EXPECT_EQ(D::resolvePointFromOutOfBounds({700, 3000}, r).point, QPointF(700, 2999));
    EXPECT_EQ(D::resolvePointFromOutOfBounds({700, 10}, r).point, QPointF(700, 10));

    const QList<QSizeF> sizes = {{60, 40}, {60, 90}};
    EXPECT_EQ(D::arrangedDragImageFrames(sizes, {100, 200}, true),
              QList<QRectF>({QRectF(70, 200, 60, 40), QRectF(70, 245, 60, 90)}));
    EXPECT_EQ(D::arrangedDragImageFrames(sizes, {100, 200}, false),
              QList<QRectF>({QRectF(100, 180, 60, 40), QRectF(165, 155, 60, 90)}));

    const QSizeF viewport(800, 600);
    EXPECT_EQ(D::autoscrollDelta({400, 300}, viewport), QPointF(0, 0));
    EXPECT_EQ(D::autoscrollDelta({400, 599}, viewport), QPointF(0, 23));
    EXPECT_EQ(D::autoscrollDelta({0, 0}, viewport), QPointF(-24, -24));
    EXPECT_EQ(D::autoscrollDelta({400, 23.9}, viewport).y(), -1);  // the inner side of the band
    EXPECT_EQ(D::autoscrollDelta({400, 300}, QSizeF(800, 60)), QPointF(0, 0));  // too small for bands
}
