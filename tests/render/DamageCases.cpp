// A frame kept by the renderer for painters that are not plain images (the player's widget)
// and drawn again only where it changed: the pixels of a frame drawn whole, and a damage()
// that names no more than what changed.

#include "RenderMovies.h"
#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/render/StageRenderer.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace orvane::testing;
using namespace orvane::testing::render;

namespace {

// Frame by frame: 1 the scene; 2 one small square moves; 3 nothing changes; 4 a shape goes;
// 5 one comes under the others; 6 one is tinted; 7 the morph changes; 8 two swap depths;
// 9 a masked layer comes (the whole stage from then on, whenever anything changes).
SwfWriter changingMovie() {
    SwfWriter m = stage(160, 120, {250, 250, 240});
    for (int i = 0; i < 12; ++i) {
        ShapeBuilder s;
        const std::vector<GradientRecord> stops{{0, {std::uint8_t(i * 20), 80, 160}}, {255, {240, 200, 20, 140}}};
        s.setFill0(s.addFill(FillStyle::linear(gradientBox(0, 0, 500, 400), stops)));
        s.setLine(s.addLine(LineStyle::solid(30, {0, 0, 0})));
        s.rectangle(0, 0, 500, 400);
        m.defineShape(std::uint16_t(1 + i), s);
    }
    MorphShapeBuilder morph;
    const int fill = morph.addFill(MorphFillStyle::solid({200, 0, 0}, {0, 0, 200}));
    morph.start().setFill0(fill).rectangle(0, 0, 400, 400);
    morph.end().rectangle(0, 0, 600, 200);
    m.defineMorphShape(20, morph);
    m.defineShape(21, box(solid(0, 0, 0), 0, 0, 800, 800));

    for (int i = 0; i < 12; ++i)
        m.place(std::uint16_t(1 + i), std::uint16_t(10 + i), Matrix::translate(100 + i * 230, 100 + i * 150));
    PlaceObject morphAt = placeWith(20, 30, Matrix::translate(2000, 1600));
    morphAt.ratio = 0;
    m.placeObject2(morphAt).showFrame();
    m.moveTo(12, Matrix::translate(600, 470)).showFrame();         // 2
    m.showFrame();                                                 // 3
    m.removeObject2(15).showFrame();                               // 4
    m.place(4, 5, Matrix::translate(1500, 300)).showFrame();       // 5
    PlaceObject tint;
    tint.depth = 18;
    tint.move = true;
    tint.colorTransform = ColorTransform{128, 256, 256, 256, 0, 0, 60, 0};
    m.placeObject2(tint).showFrame();                              // 6
    PlaceObject ratio;
    ratio.depth = 30;
    ratio.move = true;
    ratio.ratio = 30000;
    m.placeObject2(ratio).showFrame();                             // 7
    m.removeObject2(11).removeObject2(13);
    m.place(4, 13, Matrix::translate(330, 250)).place(2, 11, Matrix::translate(330, 250)).showFrame(); // 8
    PlaceObject mask = placeWith(21, 40, Matrix::translate(200, 200));
    mask.clipDepth = 41;
    m.placeObject2(mask).place(3, 41, Matrix::translate(300, 300)).showFrame(); // 9
    m.moveTo(41, Matrix::translate(310, 300)).showFrame();         // 10
    return m;
}

} // namespace

TEST(RenderDamage, OnlyWhatChangedIsDrawnAndThePixelsAreAFullFramesOwn) {
    const SwfWriter movie = changingMovie();
    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(movie.bytes()));
    swf::render::StageRenderer kept, whole;
    kept.setThreads(2);
    const QRectF viewport(0, 0, 160, 120);
    // An image of another format is not drawn on straight: the renderer keeps a frame for it.
    QImage screen(160, 120, QImage::Format_RGB32);
    std::vector<QRect> damage;
    for (int f = 1; f <= 10; ++f) {
        player.tick();
        damage.push_back(kept.damage(player, viewport));
        {
            QPainter p(&screen);
            kept.render(p, player, viewport);
        }
        const QImage expected = whole.renderImage(player).convertToFormat(QImage::Format_RGB32);
        // Shapes left as drawn in an earlier frame may come from a kept image in a whole frame:
        // the two agree to the level or two a kept image may be off by.
        int off = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                const QRgb a = screen.pixel(x, y), b = expected.pixel(x, y);
                off += std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
                       std::abs(qBlue(a) - qBlue(b)) > 2;
            }
        EXPECT_EQ(off, 0) << "frame " << f;
    }
    const QRect all(0, 0, 160, 120);
    EXPECT_EQ(damage[0], all); // nothing kept yet
    // The moved square, old and new places: small, and inside the stage.
    EXPECT_FALSE(damage[1].isEmpty());
    EXPECT_LT(damage[1].width() * damage[1].height(), all.width() * all.height() / 4);
    EXPECT_TRUE(damage[2].isEmpty()); // a frame that changes nothing
    for (int f : {3, 4, 5, 6, 7})
        EXPECT_FALSE(damage[std::size_t(f)].isEmpty()) << "frame " << f + 1;
    EXPECT_EQ(damage[8], all); // a mask came
    EXPECT_EQ(damage[9], all); // and a masked object moved
}
