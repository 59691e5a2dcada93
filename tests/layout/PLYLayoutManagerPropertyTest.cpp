// Property edits of blocks through the layout manager: validated, announced once, never switching
// a block's kind, never letting an unbounded ratio reach the geometry.
#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace PLYTestLayouts;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

PLYColour rgb(float r, float g, float b) {
    PLYColour c;
    c.set_r(r);
    c.set_g(g);
    c.set_b(b);
    return c;
}

class BlockProperties : public ::testing::Test {
protected:
    void SetUp() override {
        owner = std::make_shared<PLYTestLayoutOwner>(layout(
            10, {section("s", {image("img", "pic"), container("row", false, {blank("gap", 1.5f), text("txt", "Words")}),
                               downloadButton("btn")})}));
        manager = PLYLayoutManager::managerWithOwner(owner);
        observers.add(PLYLayoutManager::LayoutDidChangeNotification, manager.get(),
                      [this](const PLYNotification&) { ++announcements; });
    }
    std::string bytes() const { return manager->representedLayout()->SerializeAsString(); }
    const PLYBlock& block(const char* id) const { return *manager->blockForRef(QString::fromLatin1(id)); }

    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    PLYObserverBag observers;
    int announcements = 0;
};

TEST_F(BlockProperties, EachEditWritesItsBlockAndAnnouncesOnceAndAnUnchangedValueAnnouncesNothing) {
    PLYBlock_Text words;
    words.set_value("Bold words");
    words.add_runs()->set_length(4);
    words.set_style(PLYTextStyle_Quote);  // not the words: ignored
    const std::vector<std::function<bool()>> edits = {
        [&] { return manager->setAspectRatio("gap", 4.0); },
        [&] { return manager->setCropPosition("img", 0.25, 0.75, 2.0); },
        [&] { return manager->setTextStyle("txt", PLYTextStyle_Heading); },
        [&] { return manager->setContentWidth("txt", 0.5); },
        [&] { return manager->setContentWidth("btn", -1.0); },
        [&] { return manager->setContentAlignment("btn", PLYAlignment_Right); },
        [&] { return manager->setDownloadButtonTitle("btn", QStringLiteral("  Get the photos  ")); },
        [&] { return manager->setTextContent("txt", words); },
        [&] { return manager->setTextColour("txt", rgb(200, 30, 10)); },
        [&] { return manager->setUsePelloryStyling("btn", true); },
        [&] { return manager->clearCropPosition("img"); },
    };
    for (size_t i = 0; i < edits.size(); ++i) {
        const std::string before = bytes();
        ASSERT_TRUE(edits[i]()) << i;
        EXPECT_NE(bytes(), before) << i;
        EXPECT_EQ(announcements, int(i) + 1) << i;
        const std::string after = bytes();
        EXPECT_TRUE(edits[i]()) << i << ": the value it already has";
        EXPECT_EQ(announcements, int(i) + 1) << i;
        EXPECT_EQ(bytes(), after) << i;
    }
    EXPECT_EQ(block("gap").aspect_ratio(), 4.0f);
    EXPECT_EQ(block("txt").text().style(), PLYTextStyle_Heading);
    EXPECT_EQ(block("txt").text().value(), "Bold words");
    EXPECT_EQ(block("txt").text().position().width(), 0.5f);
    EXPECT_EQ(block("btn").download_button().position().alignment(), PLYAlignment_Right);
    EXPECT_EQ(block("btn").download_button().title(), "Get the photos");
    EXPECT_TRUE(block("btn").download_button().use_pellory_styling());
    EXPECT_EQ(block("txt").text().colour().g(), 30.0f);
    EXPECT_FALSE(block("img").image().has_position());
}

TEST_F(BlockProperties, RefusedEditsChangeAndAnnounceNothingAndNeverSwitchABlocksKind) {
    PLYBlock_Text outside;
    outside.set_value("abc");
    outside.add_runs()->set_location(2);
    outside.mutable_runs(0)->set_length(5);
    const std::vector<std::pair<const char*, std::function<bool()>>> refused = {
        // Wrong kinds: each would otherwise create the other kind's message in the oneof.
        {"style of an image", [&] { return manager->setTextStyle("img", PLYTextStyle_Title); }},
        {"crop of a text", [&] { return manager->setCropPosition("txt", 0.5, 0.5, 1.0); }},
        {"clear crop of a blank", [&] { return manager->clearCropPosition("gap"); }},
        {"title of a text", [&] { return manager->setDownloadButtonTitle("txt", QStringLiteral("Go")); }},
        {"width of an image", [&] { return manager->setContentWidth("img", 0.5); }},
        {"alignment of a blank", [&] { return manager->setContentAlignment("gap", PLYAlignment_Centre); }},
        {"words of a button", [&] { return manager->setTextContent("btn", PLYBlock_Text()); }},
        {"colour of an image", [&] { return manager->setTextColour("img", rgb(1, 2, 3)); }},
        {"styling of a text", [&] { return manager->setUsePelloryStyling("txt", true); }},
        {"ratio of a container", [&] { return manager->setAspectRatio("row", 2.0); }},
        {"unknown block", [&] { return manager->setAspectRatio("nope", 2.0); }},
        // Values out of range.
        {"NaN ratio", [&] { return manager->setAspectRatio("gap", kNaN); }},
        {"infinite ratio", [&] { return manager->setAspectRatio("gap", kInf); }},
        {"negative ratio", [&] { return manager->setAspectRatio("gap", -2.0); }},
        {"NaN crop", [&] { return manager->setCropPosition("img", kNaN, 0.5, 1.0); }},
        {"zero crop width", [&] { return manager->setCropPosition("img", 0.5, 0.5, 0.0); }},
        {"huge crop width", [&] { return manager->setCropPosition("img", 0.5, 0.5, 1e9); }},
        {"far crop centre", [&] { return manager->setCropPosition("img", 0.5, -1e6, 1.0); }},
        {"unknown style", [&] { return manager->setTextStyle("txt", PLYTextStyle(99)); }},
        {"thin width", [&] { return manager->setContentWidth("txt", 0.01); }},
        {"wide width", [&] { return manager->setContentWidth("txt", 1.5); }},
        {"unknown alignment", [&] { return manager->setContentAlignment("txt", PLYAlignment(17)); }},
        {"blank title", [&] { return manager->setDownloadButtonTitle("btn", QStringLiteral("   ")); }},
        {"long title", [&] { return manager->setDownloadButtonTitle("btn", QString(61, QLatin1Char('x'))); }},
        {"two-line title", [&] { return manager->setDownloadButtonTitle("btn", QStringLiteral("Get\nit")); }},
        {"run outside the words", [&] { return manager->setTextContent("txt", outside); }},
        {"NaN colour", [&] { return manager->setTextColour("txt", rgb(float(kNaN), 0, 0)); }},
        {"colour above 255", [&] { return manager->setTextColour("txt", rgb(0, 256, 0)); }},
    };
    const std::string before = bytes();
    for (const auto& [name, apply] : refused) {
        EXPECT_FALSE(apply()) << name;
        EXPECT_EQ(bytes(), before) << name;
    }
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(block("img").type_case(), PLYBlock::kImage);
    EXPECT_EQ(block("txt").type_case(), PLYBlock::kText);
    EXPECT_EQ(block("btn").type_case(), PLYBlock::kDownloadButton);
    EXPECT_EQ(block("gap").type_case(), PLYBlock::kBlank);
}

TEST_F(BlockProperties, RatiosAreBoundedSoAZeroHeightBlankOrADamagedFileKeepsAFiniteGeometry) {
    // A blank dragged to no height: the resize asks for the ratio of its frame.
    EXPECT_EQ(PLYLayoutManager::aspectRatioForSize(1500, 0), PLYLayoutManager::MaximumAspectRatio);
    EXPECT_EQ(PLYLayoutManager::aspectRatioForSize(0, 300), PLYLayoutManager::MinimumAspectRatio);
    EXPECT_EQ(PLYLayoutManager::aspectRatioForSize(kNaN, 300), 0.0);
    ASSERT_TRUE(manager->setAspectRatio("gap", PLYLayoutManager::aspectRatioForSize(1500, 0)));
    EXPECT_EQ(block("gap").aspect_ratio(), float(PLYLayoutManager::MaximumAspectRatio));
    ASSERT_TRUE(manager->setAspectRatio("img", 1e30));  // finite but huge: kept at the bound
    EXPECT_EQ(block("img").aspect_ratio(), float(PLYLayoutManager::MaximumAspectRatio));
    ASSERT_TRUE(manager->setAspectRatio("img", 0.0));  // the picture's own ratio again
    EXPECT_EQ(block("img").aspect_ratio(), 0.0f);

    // A layout file that carries an infinite ratio never reaches the geometry as one.
    manager->blockForRef("img")->set_aspect_ratio(std::numeric_limits<float>::infinity());
    const PLYLayoutGeometry geometry = PLYLayoutGeometry::layoutGeometry(*manager->representedLayout(), nullptr);
    for (const char* id : {"img", "row", "gap", "txt", "btn"}) {
        const QRectF frame = geometry.frameForBlock(QString::fromLatin1(id));
        EXPECT_TRUE(std::isfinite(frame.width()) && std::isfinite(frame.height())) << id;
        EXPECT_GT(frame.height(), 0.0) << id;
    }
    EXPECT_TRUE(std::isfinite(geometry.totalHeight));
}

}  // namespace
