#include <gtest/gtest.h>

#include "PLYAspectRatio.h"

TEST(AspectRatio, PresetsInTheirStoredOrder) {
    const double factors[] = {1.0, 1.25, 0.8, 4.0 / 3.0, 0.75, 1.5, 2.0 / 3.0, 16.0 / 9.0, 9.0 / 16.0, 2.0, 0.5};
    for (int i = 0; i < PLYAspectRatio::PresetCount; ++i) {
        const PLYAspectRatio r = PLYAspectRatio::ratioWithBlockRatio(i);
        EXPECT_EQ(r.preset(), i);
        EXPECT_DOUBLE_EQ(r.factor(), factors[i]);
        EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(factors[i]).preset(), i);
    }
    EXPECT_EQ(PLYAspectRatio::ratioWithBlockRatio(5).title(), "3:2");
    EXPECT_EQ(PLYAspectRatio::ratioWithBlockRatio(11).preset(), PLYAspectRatio::Custom);
    EXPECT_EQ(PLYAspectRatio::ratioWithBlockRatio(-1).preset(), PLYAspectRatio::Custom);
}

TEST(AspectRatio, RawRatiosMatchWithinTheToleranceInclusive) {
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(1.515).preset(), 5);
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(1.485).preset(), 5);
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(double(float(1.515))).preset(), 5) << "block ratios are floats";
    EXPECT_DOUBLE_EQ(PLYAspectRatio::ratioWithRawRatio(1.51).factor(), 1.5) << "a match takes the preset's factor";

    const PLYAspectRatio outside = PLYAspectRatio::ratioWithRawRatio(1.5151);
    EXPECT_EQ(outside.preset(), PLYAspectRatio::Custom);
    EXPECT_DOUBLE_EQ(outside.factor(), 1.5151);
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(1.4849).preset(), PLYAspectRatio::Custom);
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(0.0).preset(), PLYAspectRatio::Custom);
}

TEST(AspectRatio, CompositeIsItsOwnKind) {
    const PLYAspectRatio mixed = PLYAspectRatio::compositeRatio();
    EXPECT_EQ(mixed.preset(), PLYAspectRatio::Composite);
    EXPECT_FALSE(mixed.isCustom());
    EXPECT_EQ(mixed.title(), "multiple");
    EXPECT_EQ(PLYAspectRatio::ratioWithRawRatio(3.0).title(), "Custom");
}
