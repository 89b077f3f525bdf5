#include "swf/render/Damage.h"

#include <gtest/gtest.h>

using namespace swf::render;

namespace {

int g_shapeA, g_shapeB;

DrawnItem item(const void* what, double x, double y, double w = 10, double h = 10) {
    DrawnItem d;
    d.what = what;
    d.toDevice = QTransform::fromTranslate(x, y);
    d.bounds = QRectF(x, y, w, h);
    return d;
}

} // namespace

TEST(Damage, CoversWhatMovesChangesComesAndGoesInDrawingOrder) {
    const QRect stage(0, 0, 200, 100);
    FrameItems before{{item(&g_shapeA, 10, 10), item(&g_shapeB, 100, 50)}, false};

    // The same frame: nothing to paint.
    EXPECT_TRUE(damagedArea(before, before, stage).isEmpty());

    // One moves: where it was and where it is, to whole pixels and a pixel more around.
    FrameItems moved = before;
    moved.items[0] = item(&g_shapeA, 20.5, 10);
    EXPECT_EQ(damagedArea(before, moved, stage), QRect(QPoint(9, 9), QPoint(31, 20)));

    // A colour change or a morph ratio alone changes pixels as well.
    FrameItems tinted = before;
    tinted.items[1].cx.mult[0] = 0.5f;
    EXPECT_EQ(damagedArea(before, tinted, stage), QRect(QPoint(99, 49), QPoint(110, 60)));
    FrameItems morphed = before;
    morphed.items[1].detail = 7;
    EXPECT_EQ(damagedArea(before, morphed, stage), damagedArea(before, tinted, stage));

    // One that goes, and one that comes at the end.
    FrameItems gone{{before.items[0]}, false};
    EXPECT_EQ(damagedArea(before, gone, stage), QRect(QPoint(99, 49), QPoint(110, 60)));
    EXPECT_EQ(damagedArea(gone, before, stage), QRect(QPoint(99, 49), QPoint(110, 60)));

    // Two swapping places in the drawing order: both, though neither moved.
    FrameItems swapped{{before.items[1], before.items[0]}, false};
    EXPECT_EQ(damagedArea(before, swapped, stage), QRect(QPoint(9, 9), QPoint(110, 60)));

    // Damage never reaches past the stage.
    FrameItems out = before;
    out.items[0] = item(&g_shapeA, 190, 95, 40, 40);
    EXPECT_EQ(damagedArea(before, out, stage), QRect(QPoint(9, 9), QPoint(199, 99)));
}

TEST(Damage, FramesThatCannotBeFollowedChangeWhole) {
    const QRect stage(0, 0, 200, 100);
    FrameItems plain{{item(&g_shapeA, 10, 10)}, false};
    FrameItems whole = plain;
    whole.whole = true;
    // Going to or from a frame with masks or layers, or changing within one, repaints it all.
    EXPECT_EQ(damagedArea(plain, whole, stage), stage);
    EXPECT_EQ(damagedArea(whole, plain, stage), stage);
    FrameItems whole2 = whole;
    whole2.items[0] = item(&g_shapeA, 11, 10);
    EXPECT_EQ(damagedArea(whole, whole2, stage), stage);
    // Even when its list is the same: what changed may lie under a mask or inside a layer.
    EXPECT_EQ(damagedArea(whole, whole, stage), stage);
}
