#include "PLYLayoutGeometry.h"
#include "PLYRichTextDocument.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayouts.h"

#include <gtest/gtest.h>

using namespace PLYTestLayouts;

namespace {

constexpr double kTolerance = 1e-6;

class LayoutGeometry : public ::testing::Test {
protected:
    void SetUp() override {
        images.addImage("wide", QSize(3000, 2000), Qt::red);    // 1.5
        images.addImage("tall", QSize(1500, 2000), Qt::green);  // 0.75
        images.addImage("square", QSize(800, 800), Qt::blue);   // 1.0
    }
    PLYTestImageSource images;
    PLYLayoutGeometry geometryOf(const PLYLayout& layout) { return PLYLayoutGeometry::layoutGeometry(layout, &images); }
    QRectF frame(const PLYLayoutGeometry& g, const char* id) { return g.frameForBlock(QString::fromLatin1(id)); }

    // Every container's children tile it: a row's children share its height and, with the
    // gaps, fill its width; a stack's children share its width and fill its height.
    void expectTiled(const PLYLayoutGeometry& g, const PLYBlock& block, double padding) {
        if (block.type_case() != PLYBlock::kContainer)
            return;
        const QRectF outer = g.frameForBlock(QString::fromStdString(block.id()));
        double cursor = block.container().vert() ? outer.top() : outer.left();
        for (const PLYBlock& child : block.container().sub_blocks()) {
            const QRectF f = g.frameForBlock(QString::fromStdString(child.id()));
            if (block.container().vert()) {
                EXPECT_NEAR(f.left(), outer.left(), kTolerance) << child.id();
                EXPECT_NEAR(f.width(), outer.width(), 1e-6) << child.id();
                EXPECT_NEAR(f.top(), cursor, 1e-6) << child.id();
                cursor = f.bottom() + padding;
            } else {
                EXPECT_NEAR(f.top(), outer.top(), kTolerance) << child.id();
                EXPECT_NEAR(f.height(), outer.height(), 1e-6) << child.id();
                EXPECT_NEAR(f.left(), cursor, 1e-6) << child.id();
                cursor = f.right() + padding;
            }
            expectTiled(g, child, padding);
        }
        const double end = (block.container().vert() ? outer.bottom() : outer.right()) + padding;
        EXPECT_NEAR(cursor, end, 1e-6) << block.id();
    }
};

TEST_F(LayoutGeometry, TopLevelBlocksTakeTheFullWidthWithPaddingBetweenThem) {
    const PLYLayout l = layout(20, {section("s", {image("a", "wide"), blank("b"), image("c", "tall")})});
    const PLYLayoutGeometry g = geometryOf(l);
    EXPECT_EQ(frame(g, "a"), QRectF(0, 0, 1500, 1000));
    EXPECT_EQ(frame(g, "b"), QRectF(0, 1020, 1500, 1000));
    EXPECT_EQ(frame(g, "c"), QRectF(0, 2040, 1500, 2000));
    EXPECT_EQ(g.sections.at(0).frame, QRectF(0, 0, 1500, 4040));
    EXPECT_DOUBLE_EQ(g.totalHeight, 4040);
}

TEST_F(LayoutGeometry, SectionsStackWithoutGapAndAnEmptySectionKeepsItsMinimumHeight) {
    const PLYLayout l = layout(30, {section("s1", {image("a", "square")}), section("empty", {}),
                                    section("s3", {image("b", "wide")})});
    const PLYLayoutGeometry g = geometryOf(l);
    EXPECT_EQ(g.frameForSection("s1"), QRectF(0, 0, 1500, 1500));
    EXPECT_EQ(g.frameForSection("empty"), QRectF(0, 1500, 1500, PLYLayoutGeometry::kEmptySectionHeight));
    EXPECT_EQ(g.frameForSection("s3"), QRectF(0, 1700, 1500, 1000));
    EXPECT_EQ(frame(g, "b").topLeft(), QPointF(0, 1700));
    EXPECT_EQ(g.localFrameForBlock("b"), QRectF(0, 0, 1500, 1000));
}

TEST_F(LayoutGeometry, SideBySideChildrenShareOneHeightAndFillTheRowExactly) {
    const PLYLayout l = layout(10, {section("s", {container("row", false, {image("a", "wide"), image("b", "tall")})})});
    const PLYLayoutGeometry g = geometryOf(l);
    // 1.5h + 0.75h + 10 = 1500
    const double h = 1490.0 / 2.25;
    EXPECT_NEAR(frame(g, "a").height(), h, kTolerance);
    EXPECT_NEAR(frame(g, "b").height(), h, kTolerance);
    EXPECT_NEAR(frame(g, "a").width(), 1.5 * h, kTolerance);
    EXPECT_NEAR(frame(g, "b").left(), 1.5 * h + 10, kTolerance);
    EXPECT_NEAR(frame(g, "b").right(), 1500, kTolerance);
    EXPECT_NEAR(frame(g, "row").height(), h, kTolerance);
    EXPECT_EQ(g.blocks.value("a").parentId, QStringLiteral("row"));
}

TEST_F(LayoutGeometry, JustifiedRowsHoldThroughNestedContainers) {
    const PLYBlock tree = container(
        "row", false,
        {image("a", "wide"),
         container("stack", true,
                   {image("b", "square"), container("inner", false, {image("c", "tall"), image("d", "wide")}),
                    blank("e", 2.0f)}),
         image("f", "tall")});
    for (qint64 padding : {0, 12, 40}) {
        const PLYLayout l = layout(padding, {section("s", {tree, image("after", "wide")})});
        const PLYLayoutGeometry g = geometryOf(l);
        SCOPED_TRACE(padding);
        EXPECT_NEAR(frame(g, "row").width(), 1500, kTolerance);
        expectTiled(g, l.sections(0).blocks(0), double(padding));
        // Leaves keep their own ratios inside the solved row.
        EXPECT_NEAR(frame(g, "c").width() / frame(g, "c").height(), 0.75, 1e-9);
        EXPECT_NEAR(frame(g, "e").width() / frame(g, "e").height(), 2.0, 1e-9);
        EXPECT_NEAR(frame(g, "after").top(), frame(g, "row").bottom() + padding, kTolerance);
    }
}

TEST_F(LayoutGeometry, MissingOrDeletedImagesCountAsThreeByTwo) {
    images.addImage("gone", QSize(500, 2000), Qt::black);
    images.setDeleted("gone", true);
    const PLYLayout l = layout(0, {section("s", {image("unknown", "nowhere"), image("deleted", "gone")})});
    const PLYLayoutGeometry g = geometryOf(l);
    EXPECT_NEAR(frame(g, "unknown").height(), 1000, kTolerance);
    EXPECT_NEAR(frame(g, "deleted").height(), 1000, kTolerance);
    const PLYLayoutGeometry without = PLYLayoutGeometry::layoutGeometry(l, PLYLayoutGeometry::ImageSizeFunction());
    EXPECT_NEAR(without.frameForBlock("unknown").height(), 1000, kTolerance);
}

TEST_F(LayoutGeometry, AnAspectRatioAboveZeroOverridesTheKindsOwn) {
    const PLYLayout l = layout(0, {section("s", {image("a", "wide", 3.0f), blank("b", 0.5f), text("t", "Hi")})});
    PLYLayout withRatio = l;
    withRatio.mutable_sections(0)->mutable_blocks(2)->set_aspect_ratio(5.0f);
    const PLYLayoutGeometry g = geometryOf(withRatio);
    EXPECT_NEAR(frame(g, "a").height(), 500, kTolerance);
    EXPECT_NEAR(frame(g, "b").height(), 3000, kTolerance);
    EXPECT_NEAR(frame(g, "t").height(), 300, kTolerance);
}

TEST_F(LayoutGeometry, TextTakesItsLaidOutHeightAtItsWidthFraction) {
    std::string sentence;
    for (int i = 0; i < 80; ++i)
        sentence += "several words of text ";
    PLYBlock full = text("full", sentence);
    PLYBlock half = text("half", sentence);
    half.mutable_text()->mutable_position()->set_width(0.5f);
    PLYBlock minusOne = text("minus", sentence);
    minusOne.mutable_text()->mutable_position()->set_width(-1.0f);
    const PLYLayout l = layout(0, {section("s", {full, half, minusOne, text("short", "One line"), text("empty", "")})});
    const PLYLayoutGeometry g = geometryOf(l);
    const double line = PLYRichTextDocument::heightForWidth(PLYBlock_Text(), 1500);
    EXPECT_GT(frame(g, "full").height(), 3 * line);
    EXPECT_GT(frame(g, "half").height(), 1.5 * frame(g, "full").height());
    EXPECT_NEAR(frame(g, "minus").height(), frame(g, "full").height(), kTolerance);
    EXPECT_NEAR(frame(g, "short").height(), line, 1.0);
    EXPECT_NEAR(frame(g, "empty").height(), line, 1.0);
    EXPECT_EQ(frame(g, "half").width(), 1500);
}

TEST_F(LayoutGeometry, TextStackedBesideAPictureIsWidenedUntilItFitsTheRow) {
    // The text's height depends on the width the row gives it. A first share that leaves it
    // too narrow for the row's height would cut its words off: the row is solved again with
    // the text as wide as it needs, the row still filled exactly.
    for (int words : {10, 40, 70}) {
        std::string value;
        for (int i = 0; i < words; ++i)
            value += "word ";
        const PLYLayout l = layout(20, {section("s", {container("row", false, {image("a", "square"),
                                                                                container("col", true, {text("t", value),
                                                                                                        image("b", "square")})}),
                                                      container("flat", false, {image("c", "square"), text("u", value)})})});
        const PLYLayoutGeometry g = geometryOf(l);
        expectTiled(g, l.sections(0).blocks(0), 20);
        expectTiled(g, l.sections(0).blocks(1), 20);
        for (const char* id : {"t", "u"}) {
            const QRectF f = frame(g, id);
            const double needed = PLYRichTextDocument::heightForWidth(l.sections(0).blocks(1).container().sub_blocks(1).text(), f.width());
            EXPECT_LE(needed, f.height() + 0.5) << id << " with " << words << " words";
        }
    }
}

TEST_F(LayoutGeometry, DownloadButtonHasAFixedHeightAtTheTopLevel) {
    const PLYLayout l = layout(5, {section("s", {downloadButton("d"), image("a", "square")})});
    const PLYLayoutGeometry g = geometryOf(l);
    EXPECT_EQ(frame(g, "d"), QRectF(0, 0, 1500, PLYLayoutGeometry::kDownloadButtonHeight));
    EXPECT_EQ(frame(g, "a").top(), PLYLayoutGeometry::kDownloadButtonHeight + 5);
}

TEST_F(LayoutGeometry, PaddingLargerThanTheRowNeverGivesNegativeSizes) {
    const PLYLayout l = layout(2000, {section("s", {container("row", false, {image("a", "wide"), image("b", "wide")})})});
    const PLYLayoutGeometry g = geometryOf(l);
    EXPECT_GT(frame(g, "a").height(), 0.0);
    EXPECT_GE(frame(g, "a").width(), 0.0);
    EXPECT_GT(frame(g, "row").height(), 0.0);
}

}  // namespace
