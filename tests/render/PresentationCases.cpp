// What a display object adds to its character: scroll rectangles, opaque backgrounds,
// cached rasters (cacheAsBitmap) and scale-9 grids, set by tags or as scripts set them
// (the fields written directly, as a script host does).

#include "RenderHarness.h"
#include "RenderMovies.h"

#include "swf/Player.h"
#include "swf/render/StageRenderer.h"
#include "swf/timeline/Clip.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

const QRgb kWhite = qRgb(255, 255, 255), kRed = qRgb(220, 0, 0), kBlue = qRgb(0, 0, 220);

// Sprite 10: a 40 x 20 px shape, red on its left half and blue on its right.
void defineHalves(TagList& m) {
    ShapeBuilder halves;
    halves.setFill0(halves.addFill(solid(220, 0, 0))).rectangle(0, 0, 400, 400);
    halves.setFill0(halves.addFill(solid(0, 0, 220))).rectangle(400, 0, 400, 400);
    m.defineShape(1, halves);
    Sprite s;
    s.place(1, 1).showFrame();
    m.defineSprite(10, s);
}

struct Played {
    swf::Player player;
    swf::render::StageRenderer renderer;
    swf::timeline::DisplayObject& at(int depth) { return *player.root()->objectAt(depth); }
    QImage draw() { return renderer.renderImage(player); }
};

std::unique_ptr<Played> play(const SwfWriter& m) {
    auto p = std::make_unique<Played>();
    EXPECT_TRUE(p->player.loadFromBytes(m.bytes()));
    p->player.tick();
    return p;
}

} // namespace

// The scroll rectangle shows only its part of the sprite's space, moved to the sprite's
// origin: scrolled 20 px right, the blue half sits where the red one was, nothing else.
TEST(RenderPresentation, ScrollRectCropsAndScrolls) {
    SwfWriter m = stage(80, 40);
    defineHalves(m);
    m.place(10, 1, Matrix::translate(200, 200)).showFrame();
    auto p = play(m);
    EXPECT_EQ(p->draw().pixel(15, 15), kRed);
    p->at(1).scrollRect = swf::format::Rect{400, 700, 0, 400}; // x 20..35 px, full height
    const QImage img = p->draw();
    EXPECT_EQ(img.pixel(12, 15), kBlue);
    EXPECT_EQ(img.pixel(24, 15), kBlue);
    EXPECT_EQ(img.pixel(26, 15), kWhite); // past the rectangle's 15 px width
    EXPECT_EQ(img.pixel(45, 15), kWhite); // the blue half's own place is empty
    EXPECT_EQ(img.pixel(12, 31), kWhite); // below the shape
}

// PlaceObject3's background colour fills the object's bounds under it; a script-set one
// works the same, and with a scroll rectangle it fills that rectangle.
TEST(RenderPresentation, OpaqueBackgroundFillsTheBounds) {
    SwfWriter m = stage(80, 40);
    ShapeBuilder triangle;
    triangle.setFill0(triangle.addFill(solid(220, 0, 0))).moveTo(0, 0).lineTo(400, 400).lineTo(0, 400).close();
    m.defineShape(2, triangle);
    PlaceObject placed = placeWith(2, 1, Matrix::translate(200, 200));
    placed.backgroundColor = Rgba{0, 200, 0, 255};
    m.placeObject3(placed);
    defineHalves(m);
    m.place(10, 2, Matrix::translate(800, 200)).showFrame();
    auto p = play(m);
    QImage img = p->draw();
    EXPECT_EQ(img.pixel(11, 27), kRed);
    EXPECT_EQ(img.pixel(28, 12), qRgb(0, 200, 0)); // above the diagonal, inside the bounds
    EXPECT_EQ(img.pixel(32, 12), kWhite);

    p->at(2).opaqueBackground = swf::format::Rgba{0, 0, 0, 255};
    p->at(2).scrollRect = swf::format::Rect{0, 1000, 0, 600}; // 50 x 30 px, wider than the sprite
    img = p->draw();
    EXPECT_EQ(img.pixel(45, 15), kRed);
    EXPECT_EQ(img.pixel(75, 35), qRgb(0, 0, 0)); // the rectangle past the halves
}

// A cached object looks as it does drawn directly, is reused while nothing changes, and is
// drawn anew when something inside it moves.
TEST(RenderPresentation, CacheAsBitmapMatchesDirectDrawingAndFollowsChanges) {
    auto movie = [](bool cached) {
        SwfWriter m = stage(80, 40);
        m.defineShape(1, box(solid(220, 0, 0), 0, 0, 300, 300));
        Sprite s;
        s.place(1, 1, Matrix::translate(10, 10)).showFrame();
        s.moveTo(1, Matrix::translate(410, 110)).showFrame();
        m.defineSprite(10, s);
        PlaceObject p = placeWith(10, 1, Matrix::scale(1.5, 1.5, 210, 115));
        if (cached)
            p.bitmapCache = 1;
        m.placeObject3(p).showFrame(2);
        return m;
    };
    auto direct = play(movie(false)), cached = play(movie(true));
    EXPECT_EQ(cached->draw(), direct->draw());
    EXPECT_EQ(cached->renderer.stats().cachedObjects.misses, 1u);
    EXPECT_EQ(cached->draw(), direct->draw());
    EXPECT_EQ(cached->renderer.stats().cachedObjects.hits, 1u);
    direct->player.tick();
    cached->player.tick();
    EXPECT_EQ(cached->draw(), direct->draw()); // the child moved: drawn anew
    EXPECT_EQ(cached->renderer.stats().cachedObjects.misses, 2u);
    cached->at(1).cacheAsBitmap = false; // a script turns it off
    EXPECT_EQ(cached->draw(), direct->draw());
    EXPECT_EQ(cached->renderer.stats().cachedObjects.misses, 2u);
}

// A sprite with a grid keeps its 10 px frame at 10 px when stretched three times wide; a
// rotated one scales as a whole; the reference shows both with a script-set grid beside.
TEST(RenderPresentation, ScaleGridKeepsCornersAndEdges) {
    SwfWriter m = stage(200, 80);
    ShapeBuilder framed;
    framed.setFill0(framed.addFill(solid(0, 0, 0))).rectangle(0, 0, 800, 800);
    framed.setFill0(framed.addFill(solid(255, 220, 0))).rectangle(200, 200, 400, 400);
    m.defineShape(1, framed);
    Sprite s;
    s.place(1, 1).showFrame();
    m.defineSprite(10, s);
    m.defineScalingGrid(10, Rect{200, 600, 200, 600});
    m.place(10, 1, Matrix::scale(3, 1, 100, 100)).place(10, 2, Matrix::scale(1, 1.5, 2800, 100)).showFrame();
    auto p = play(m);
    QImage img = p->draw();
    EXPECT_EQ(img.pixel(7, 25), qRgb(0, 0, 0));       // the left edge, 10 px wide
    EXPECT_EQ(img.pixel(18, 25), qRgb(255, 220, 0));  // scaled whole it would be 30 px of black
    EXPECT_EQ(img.pixel(110, 25), qRgb(255, 220, 0)); // the middle stretched
    EXPECT_EQ(img.pixel(123, 25), qRgb(0, 0, 0));     // the right edge ends at 125 px
    EXPECT_EQ(img.pixel(60, 8), qRgb(0, 0, 0));       // the top edge keeps its height
    EXPECT_EQ(img.pixel(60, 16), qRgb(255, 220, 0));
    EXPECT_EQ(img.pixel(160, 60), qRgb(0, 0, 0));     // the second: 60 px tall, bottom edge 10 px
    EXPECT_EQ(img.pixel(160, 48), qRgb(255, 220, 0));

    // A script clears the grid: the sprite scales as a whole again.
    p->at(1).scale9Grid.reset();
    img = p->draw();
    EXPECT_EQ(img.pixel(18, 25), qRgb(0, 0, 0));
    EXPECT_MATCHES((RefCase{"presentation", "scale9", 3, 40}), m);
}
