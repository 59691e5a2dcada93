// Padding and background colour as layout-manager edits: validated, mirrored into the views and
// announced once; refused values change nothing.
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYTestLayoutOwner.h"
#include "PLYTestLayouts.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {
struct CountingViewProxy : PLYLayoutViewProxyBase {
    int reloads = 0;
    void layoutManagerDidChangeLayout(PLYLayoutManager*) override { ++reloads; }
};

PLYColour colour(float r, float g, float b) {
    PLYColour c;
    c.set_r(r);
    c.set_g(g);
    c.set_b(b);
    return c;
}
}  // namespace

TEST(LayoutManagerPropertyEdits, PaddingAndBackgroundAreValidatedAndAnnouncedOnce) {
    auto owner = std::make_shared<PLYTestLayoutOwner>(PLYTestLayouts::layout(10, {PLYTestLayouts::section("s", {})}));
    auto manager = PLYLayoutManager::managerWithOwner(owner);
    CountingViewProxy view;
    manager->addLayoutViewProxy(&view);
    int announced = 0;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), manager.get(),
            [&](const PLYNotification&) { ++announced; });
    const PLYLayout& layout = *manager->representedLayout();

    EXPECT_TRUE(manager->setPadding(24));
    EXPECT_EQ(layout.padding(), 24);
    EXPECT_TRUE(manager->setPadding(24));
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(view.reloads, 1);
    for (qint64 bad : {qint64(-1), PLYLayoutManager::MaximumPadding + 1, std::numeric_limits<qint64>::min()})
        EXPECT_FALSE(manager->setPadding(bad)) << bad;
    EXPECT_TRUE(manager->setPadding(PLYLayoutManager::MaximumPadding));
    EXPECT_EQ(announced, 2);

    EXPECT_TRUE(manager->setBackgroundColour(colour(127, 0, 255)));
    EXPECT_EQ(layout.background_colour().r(), 127.0f);
    EXPECT_EQ(layout.background_colour().b(), 255.0f);
    EXPECT_TRUE(manager->setBackgroundColour(colour(127, 0, 255)));
    EXPECT_EQ(announced, 3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const PLYColour& bad : {colour(nan, 0, 0), colour(0, -1, 0), colour(0, 0, 256), colour(INFINITY, 0, 0)})
        EXPECT_FALSE(manager->setBackgroundColour(bad));
    EXPECT_EQ(layout.background_colour().r(), 127.0f);
    EXPECT_EQ(announced, 3);
    EXPECT_EQ(view.reloads, 3);
    manager->removeLayoutViewProxy(&view);
}
