// Shape-exact hit testing through the display list: fill rules, strokes, masks,
// visibility and buttons' hit states.

#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvane::testing;

namespace {

// Plays frame 1 of a movie and answers hit tests in stage pixels.
struct Stage {
    swf::Player player;
    explicit Stage(const SwfWriter& movie) {
        EXPECT_TRUE(player.loadFromBytes(movie.bytes())) << player.error();
        player.tick();
    }
    bool hit(double x, double y) {
        auto& root = *player.root();
        return swf::timeline::clipContains(root.world(), root, x * 20, y * 20);
    }
    bool buttonUnder(double x, double y) {
        auto& root = *player.root();
        return bool(swf::timeline::findMouseTarget(root.world(), root, x * 20, y * 20,
                                                   [](swf::timeline::Clip&) { return false; }));
    }
};

// A 100x100 pixel square with a 50x50 square inside it, both drawn the same way round
// with the same fill: a hole under even-odd, solid under non-zero.
ShapeBuilder ring(bool winding) {
    ShapeBuilder s;
    s.setFill1(s.addFill(FillStyle::solid({0, 0, 255}))).rectangle(0, 0, 2000, 2000).rectangle(500, 500, 1000, 1000);
    if (winding)
        s.setFlags(0x04);
    return s;
}

} // namespace

TEST(HitTest, FillRulesAsDrawn) {
    SwfWriter evenOdd;
    evenOdd.defineShape(1, ring(false), 4).place(1, 1);
    evenOdd.showFrame();
    Stage a(evenOdd);
    EXPECT_TRUE(a.hit(10, 10));
    EXPECT_FALSE(a.hit(50, 50)); // the hole
    EXPECT_FALSE(a.hit(150, 50));

    SwfWriter nonZero;
    nonZero.defineShape(1, ring(true), 4).place(1, 1);
    nonZero.showFrame();
    Stage b(nonZero);
    EXPECT_TRUE(b.hit(10, 10));
    EXPECT_TRUE(b.hit(50, 50));
}

TEST(HitTest, StrokesTransformsAndCurves) {
    // A 10-pixel wide line from (0,50) to (100,50), no fill; a filled curve cap below.
    ShapeBuilder s;
    s.setLine(s.addLine(LineStyle::solid(200, {0, 0, 0}))).moveTo(0, 1000).lineTo(2000, 1000);
    s.setLine(0).setFill1(s.addFill(FillStyle::solid({255, 0, 0})));
    s.moveTo(0, 3000).curveTo(1000, 5000, 2000, 3000).lineTo(0, 3000);
    SwfWriter movie;
    movie.defineShape(1, s, 3).place(1, 1, Matrix::scale(2, 2, 200, 0));
    movie.showFrame();
    Stage st(movie);
    // Scaled twice and moved 10 pixels right: the line runs at y=100, 10 pixels thick each side.
    EXPECT_TRUE(st.hit(100, 100));
    EXPECT_TRUE(st.hit(100, 109));
    EXPECT_FALSE(st.hit(100, 112));
    EXPECT_TRUE(st.hit(3, 100));   // the round cap
    EXPECT_FALSE(st.hit(-2, 100)); // beyond it
    // The curve runs from y=150 down to y=200 at its middle (shape pixels): 300..400 on stage.
    EXPECT_TRUE(st.hit(110, 350));
    EXPECT_FALSE(st.hit(110, 410));
    EXPECT_FALSE(st.hit(15, 390)); // under the curve near its end
}

TEST(HitTest, MasksAndVisibility) {
    ShapeBuilder left;
    left.setFill1(left.addFill(FillStyle::solid({0, 0, 0}))).rectangle(0, 0, 1000, 2000);
    ShapeBuilder wide;
    wide.setFill1(wide.addFill(FillStyle::solid({0, 255, 0}))).rectangle(0, 0, 2000, 2000);
    SwfWriter movie;
    movie.setVersion(8);
    movie.defineShape(1, left).defineShape(2, wide);
    PlaceObject mask;
    mask.depth = 1;
    mask.characterId = 1;
    mask.clipDepth = 2;
    movie.placeObject2(mask).place(2, 2);
    // An invisible copy far right.
    PlaceObject hidden;
    hidden.depth = 3;
    hidden.characterId = 2;
    hidden.matrix = Matrix::translate(4000, 0);
    hidden.visible = 0;
    movie.placeObject3(hidden);
    movie.showFrame();
    Stage st(movie);
    EXPECT_TRUE(st.hit(25, 50));   // under the mask
    EXPECT_FALSE(st.hit(75, 50));  // the shape is there, its mask is not
    EXPECT_FALSE(st.hit(225, 50)); // invisible
}

TEST(HitTest, ButtonsAreHitThroughTheirHitState) {
    ShapeBuilder small;
    small.setFill1(small.addFill(FillStyle::solid({0, 0, 0}))).rectangle(0, 0, 200, 200);
    ButtonBuilder b;
    // Drawn at 0..10 pixels, hit at 100..110.
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::Over | ButtonRecord::Down, 1, 1));
    b.records.push_back(ButtonRecord::of(ButtonRecord::HitTest, 1, 2, Matrix::translate(2000, 0)));
    SwfWriter movie;
    movie.defineShape(1, small).defineButton(2, b, 2).place(2, 1);
    movie.showFrame();
    Stage st(movie);
    EXPECT_FALSE(st.buttonUnder(5, 5));
    EXPECT_TRUE(st.buttonUnder(105, 5));
    EXPECT_TRUE(st.hit(105, 5));
}

// A sprite in the hit state is hit by what its first frame places, where it places it.
TEST(HitTest, SpritesInTheHitStateHitByTheirFirstFrame) {
    ShapeBuilder small;
    small.setFill1(small.addFill(FillStyle::solid({0, 0, 0}))).rectangle(0, 0, 200, 200);
    Sprite area;
    area.place(1, 1, Matrix::translate(1000, 0)).showFrame();
    area.removeObject2(1).place(1, 1, Matrix::translate(3000, 0)).showFrame();
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up, 1, 1));
    b.records.push_back(ButtonRecord::of(ButtonRecord::HitTest, 2, 2, Matrix::translate(0, 400)));
    SwfWriter movie;
    movie.defineShape(1, small).defineSprite(2, area).defineButton(3, b, 2).place(3, 1);
    movie.showFrame();
    Stage st(movie);
    EXPECT_FALSE(st.buttonUnder(5, 5));
    EXPECT_TRUE(st.buttonUnder(55, 25));
    EXPECT_FALSE(st.buttonUnder(155, 25)); // the sprite's second frame is never seen
}
