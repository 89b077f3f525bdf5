// The scale-9 warp's arithmetic: corners at their own size, the middle taking the rest,
// corners sharing the room when there is less than they need, and when it does not apply.

#include "swf/render/ScaleGrid.h"

#include <gtest/gtest.h>

using swf::render::GridAxis;
using swf::render::scaleGridFor;

TEST(ScaleGrid, AxisKeepsTheOuterPartsAndStretchesTheMiddle) {
    // Content 0..100 with its middle 20..80, shown three times as large: the outer parts
    // become 20/3 in the sprite's space (20 once scaled), the middle takes the rest.
    const GridAxis a(0, 20, 80, 100, 3.0);
    EXPECT_DOUBLE_EQ(a.map(0), 0);
    EXPECT_NEAR(a.map(20), 20.0 / 3, 1e-9);
    EXPECT_NEAR(a.map(80), 100 - 20.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(a.map(100), 100);
    EXPECT_NEAR(a.map(50), 50, 1e-9); // the middle of the middle stays put
    EXPECT_NEAR(a.map(10), 10.0 / 3, 1e-9);
    // A mirroring scale keeps the sizes (the sign is the matrix's business).
    EXPECT_NEAR(GridAxis(0, 20, 80, 100, -3.0).map(20), 20.0 / 3, 1e-9);

    // Shown at a tenth: the outer parts would need 400 of the 100, so they share it
    // in proportion (here evenly) and the middle vanishes.
    const GridAxis tight(0, 20, 80, 100, 0.1);
    EXPECT_NEAR(tight.map(20), 50, 1e-9);
    EXPECT_NEAR(tight.map(50), 50, 1e-9);
    EXPECT_NEAR(tight.map(80), 50, 1e-9);
    EXPECT_NEAR(tight.map(100), 100, 1e-9);
}

TEST(ScaleGrid, AppliesOnlyToPlainScalesAndGridsInsideTheBounds) {
    const QRectF bounds(0, 0, 100, 100), grid(20, 20, 60, 60);
    EXPECT_TRUE(scaleGridFor(grid, bounds, QTransform::fromScale(2, 3)));
    EXPECT_FALSE(scaleGridFor(grid, bounds, QTransform().rotate(30)));
    EXPECT_FALSE(scaleGridFor(grid, bounds, QTransform(1, 0.5, 0, 1, 0, 0))); // skew
    EXPECT_FALSE(scaleGridFor(grid, bounds, QTransform::fromScale(0, 1)));
    EXPECT_FALSE(scaleGridFor(QRectF(20, 20, 0, 60), bounds, QTransform::fromScale(2, 2)));
    EXPECT_FALSE(scaleGridFor(QRectF(-10, 20, 60, 60), bounds, QTransform::fromScale(2, 2)));
}
