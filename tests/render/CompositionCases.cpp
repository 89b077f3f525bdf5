// Colour transforms, masks, blend modes and the stage viewport against reference images.

#include "ActionAssembler.h"
#include "RenderHarness.h"
#include "RenderMovies.h"

#include "swf/Player.h"
#include "swf/render/StageRenderer.h"

#include <QPainter>

#include <map>

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

TEST(RenderColorTransform, TermsGradientsBitmapsAndNesting) {
    SwfWriter m = stage(160, 60);
    m.defineShape(1, box(solid(200, 100, 50), 0, 0, 500, 500));
    m.defineShape(2,
                  box(FillStyle::linear(gradientBox(0, 0, 500, 500), {{0, {255, 0, 0}}, {255, {0, 0, 255}}}),
                      0, 0, 500, 500));
    m.defineBitsLossless(3, LosslessBitmap::truecolor(2, 1, {{255, 255, 255}, {0, 0, 0}}, false));
    m.defineShape(
        4, box(FillStyle::bitmap(3, Matrix::scale(250, 500), FillStyle::ClippedBitmapHard), 0, 0, 500, 500));
    const ColorTransform halfRed{128, 256, 256, 256, 0, 0, 0, 0};
    const ColorTransform addBlue{256, 256, 256, 256, 0, 0, 200, 0};
    const ColorTransform negative{-256, -256, -256, 256, 255, 255, 255, 0};
    const ColorTransform halfAlpha{256, 256, 256, 128, 0, 0, 0, 0};
    const ColorTransform transforms[] = {halfRed, addBlue, negative, halfAlpha};
    // PlaceObject2 carries the alpha terms that PlaceObject lacks.
    auto place = [](TagList& list, std::uint16_t id, std::uint16_t depth, const Matrix& mx,
                    const ColorTransform& cx) {
        PlaceObject p = placeWith(id, depth, mx);
        p.colorTransform = cx;
        list.placeObject2(p);
    };
    for (int i = 0; i < 4; ++i) {
        place(m, 1, std::uint16_t(1 + i), Matrix::translate(100 + i * 600, 100), transforms[i]);
        place(m, 2, std::uint16_t(11 + i), Matrix::translate(100 + i * 600, 650), transforms[i]);
    }
    place(m, 4, 21, Matrix::translate(2500, 100), negative);
    // Sprite with a half-alpha transform holding an inverted square: both apply.
    Sprite s;
    place(s, 1, 1, Matrix{}, negative);
    s.showFrame();
    m.defineSprite(30, s);
    place(m, 30, 22, Matrix::translate(2500, 650), halfAlpha);
    m.showFrame();
    EXPECT_MATCHES((RefCase{"cxform", "terms", 3, 48}), m);
}

TEST(RenderMasks, ClipLayersNestedAndOverlapping) {
    SwfWriter m = stage(160, 60);
    m.defineShape(1, box(solid(0, 0, 0), 0, 0, 2000, 2000)); // mask geometry; its colour must not show
    ShapeBuilder stripes;
    stripes.setFill0(stripes.addFill(solid(230, 60, 0)));
    for (int x = 0; x < 3200; x += 200)
        stripes.rectangle(x, 0, 100, 1200);
    m.defineShape(2, stripes);
    ShapeBuilder disc;
    disc.setFill0(disc.addFill(solid(255, 255, 255)));
    disc.moveTo(600, 0)
        .curveTo(600, -600, 0, -600)
        .curveTo(-600, -600, -600, 0)
        .curveTo(-600, 600, 0, 600)
        .curveTo(600, 600, 600, 0);
    m.defineShape(3, disc);
    m.defineShape(4, box(solid(0, 0, 220, 160), 0, 0, 3200, 300));

    // Depth 1 masks 2..3: stripes and a blue band, only inside the disc.
    PlaceObject mask = placeWith(3, 1, Matrix::translate(700, 600));
    mask.clipDepth = 3;
    m.placeObject2(mask).place(2, 2).place(4, 3, Matrix::translate(0, 450));
    // Overlapping ranges: depth 10 masks 11..13, depth 12 masks 13..14.
    PlaceObject a = placeWith(1, 10, Matrix::scale(0.4, 0.5, 1600, 100));
    a.clipDepth = 13;
    PlaceObject b = placeWith(1, 12, Matrix::scale(0.4, 0.4, 2000, 300));
    b.clipDepth = 14;
    m.placeObject2(a).place(2, 11, Matrix::translate(1600, 0)).placeObject2(b);
    m.place(4, 13, Matrix::translate(0, 450)).place(4, 14, Matrix::translate(0, 800));
    // A sprite whose own clip layer sits inside an outer mask.
    Sprite inner;
    PlaceObject innerMask = placeWith(3, 1, Matrix::scale(0.5, 0.5, 400, 600));
    innerMask.clipDepth = 2;
    inner.placeObject2(innerMask).place(4, 2, Matrix::translate(0, 450));
    inner.showFrame();
    m.defineSprite(20, inner);
    PlaceObject outer = placeWith(1, 20, Matrix::scale(0.2, 0.6, 0, 0));
    outer.clipDepth = 21;
    m.placeObject2(outer).place(20, 21).showFrame();
    EXPECT_MATCHES((RefCase{"masks", "clip_layers", 3, 48}), m);
}

TEST(RenderBlend, AllModesOverAGradient) {
    SwfWriter m = stage(280, 40);
    m.defineShape(
        1, box(FillStyle::linear(gradientBox(0, 0, 5600, 800), {{0, {0, 0, 0}}, {255, {255, 255, 255}}}), 0,
               0, 5600, 800));
    m.defineShape(2, box(solid(230, 120, 30, 200), 0, 0, 300, 500));
    m.place(1, 1);
    // Modes 1..14; alpha (11) and erase (12) act on a layered parent, so they sit in a
    // sprite with the layer mode over their own backdrop.
    for (int mode = 1; mode <= 14; ++mode) {
        PlaceObject p =
            placeWith(2, std::uint16_t(10 + mode), Matrix::translate(100 + (mode - 1) * 390, 150));
        p.blendMode = std::uint8_t(mode);
        if (mode == 11 || mode == 12)
            continue;
        m.placeObject3(p);
    }
    for (int mode : {11, 12}) {
        Sprite s;
        s.defineShape(3, box(solid(0, 100, 200), 0, 0, 300, 500));
        s.place(3, 1);
        PlaceObject child = placeWith(2, 2, Matrix::translate(100, 100));
        child.blendMode = std::uint8_t(mode);
        s.placeObject3(child).showFrame();
        m.defineSprite(std::uint16_t(40 + mode), s);
        PlaceObject holder = placeWith(std::uint16_t(40 + mode), std::uint16_t(10 + mode),
                                       Matrix::translate(100 + (mode - 1) * 390, 150));
        holder.blendMode = 2; // layer
        m.placeObject3(holder);
    }
    m.showFrame();
    EXPECT_MATCHES((RefCase{"blend", "modes", 3, 56}), m);
}

TEST(RenderStage, ShowAllIntoWideViewportAndClipping) {
    SwfWriter m = stage(80, 60, {40, 40, 90});
    // Sticks out of the stage on every side: only the stage part may show.
    m.defineShape(1, box(solid(250, 200, 0), -400, -400, 2400, 800));
    m.defineShape(2, box(solid(0, 200, 0), 400, 400, 800, 400));
    m.place(1, 1).place(2, 2).showFrame();
    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(m.bytes()));
    player.tick();
    swf::render::StageRenderer renderer;
    // 200x100 viewport: the 80x60 stage scales by 100/60 and is centred; bars in the
    // background colour on both sides.
    QImage wide(200, 100, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::magenta);
    {
        QPainter p(&wide);
        renderer.render(p, player, QRectF(0, 0, 200, 100), 1.0);
    }
    std::string msg = checkImage(RefCase{"stage", "show_all_wide", 3, 50}, wide);
    EXPECT_TRUE(msg.empty()) << msg;
    // The same at a device pixel ratio of 2 on a surface twice as large.
    QImage hidpi(400, 200, QImage::Format_ARGB32_Premultiplied);
    hidpi.setDevicePixelRatio(2.0);
    hidpi.fill(Qt::magenta);
    {
        QPainter p(&hidpi);
        renderer.render(p, player, QRectF(0, 0, 200, 100), 2.0);
    }
    hidpi.setDevicePixelRatio(1.0);
    msg = checkImage(RefCase{"stage", "show_all_dpr2", 3, 100}, hidpi);
    EXPECT_TRUE(msg.empty()) << msg;
    // renderImage at scale 2 is exactly twice the stage.
    const QImage twice = renderer.renderImage(player, 2.0);
    EXPECT_EQ(twice.size(), QSize(160, 120));
    msg = checkImage(RefCase{"stage", "scale2", 3, 50}, twice);
    EXPECT_TRUE(msg.empty()) << msg;
}

TEST(RenderStage, FramesAdvanceAndObjectsMove) {
    SwfWriter m = stage(60, 30);
    m.defineShape(1, box(solid(0, 0, 200), 0, 0, 200, 200));
    m.place(1, 1, Matrix::translate(100, 200)).showFrame();
    m.moveTo(1, Matrix::translate(500, 200)).showFrame();
    m.removeObject2(1).showFrame();
    RefCase c{"stage", "frames", 3, 9};
    c.frames = {1, 2, 3};
    EXPECT_MATCHES(c, m);
}

TEST(RenderFilters, BlurShadowGlowAndColorMatrix) {
    SwfWriter m = stage(200, 50);
    m.defineShape(1, box(solid(40, 120, 220), 0, 0, 600, 600));
    const Filter filters[] = {
        Filter::blur(8, 8, 2),
        Filter::dropShadow({0, 0, 0, 200}, 6, 6, 0.785, 6, 1.0),
        Filter::glow({255, 0, 0, 255}, 8, 8, 2.0),
        Filter::dropShadow({0, 0, 0, 255}, 4, 4, 0.785, 4, 1.0, 0x80 | 0x20 | 1), // inner
        Filter::colorMatrix(
            {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0}), // swap red and blue
    };
    for (int i = 0; i < 5; ++i) {
        PlaceObject p = placeWith(1, std::uint16_t(1 + i), Matrix::translate(200 + i * 760, 200));
        p.filters = std::vector<Filter>{filters[i]};
        m.placeObject3(p);
    }
    m.showFrame();
    EXPECT_MATCHES((RefCase{"filters", "kinds", 3, 50}), m);
}

TEST(RenderBlend, DeeplyNestedLayersStayBounded) {
    // Ten sprites inside each other, each with a blend mode and a filter: deep layers are
    // drawn straight onto the one they are in instead of each holding a stage-sized image.
    SwfWriter m = stage(40, 40);
    m.defineShape(1, box(solid(200, 0, 0), 0, 0, 400, 400));
    std::uint16_t inner = 1;
    for (std::uint16_t id = 2; id <= 11; ++id) {
        Sprite s;
        PlaceObject p = placeWith(inner, 1, Matrix::translate(20, 20));
        p.blendMode = id % 2 ? 3 : 2;
        p.filters = std::vector<Filter>{Filter::blur(1, 1)};
        s.placeObject3(p).showFrame();
        m.defineSprite(id, s);
        inner = id;
    }
    m.place(inner, 1).showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixelColor(20, 20).red(), 200);
    EXPECT_EQ(img.pixelColor(38, 38), QColor(255, 255, 255));
}

TEST(RenderColorTransform, LayerGroupsFadeAsAWhole) {
    // Two overlapping squares in a sprite at half alpha: with the layer mode the overlap is
    // not darker than the rest; without it each square fades on its own.
    SwfWriter m = stage(100, 40);
    m.defineShape(1, box(solid(0, 0, 200), 0, 0, 400, 400));
    Sprite pair;
    pair.place(1, 1).place(1, 2, Matrix::translate(200, 200)).showFrame();
    m.defineSprite(2, pair);
    ColorTransform half;
    half.alphaMult = 128;
    PlaceObject grouped = placeWith(2, 1, Matrix::translate(100, 100));
    grouped.colorTransform = half;
    grouped.blendMode = 2;
    PlaceObject plain = placeWith(2, 2, Matrix::translate(1100, 100));
    plain.colorTransform = half;
    m.placeObject3(grouped).placeObject3(plain).showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    ASSERT_FALSE(img.isNull());
    // Grouped: overlap (at 17,17) equals a single square (at 7,7).
    EXPECT_NEAR(img.pixelColor(17, 17).blue(), img.pixelColor(7, 7).blue(), 2);
    EXPECT_NEAR(img.pixelColor(17, 17).red(), img.pixelColor(7, 7).red(), 2);
    // Ungrouped: the overlap is darker (more blue coverage, less white).
    EXPECT_LT(img.pixelColor(67, 17).red(), img.pixelColor(57, 7).red() - 20);
    // Nothing outside the squares is tinted.
    EXPECT_EQ(img.pixelColor(40, 5), QColor(255, 255, 255));
}

TEST(RenderBlend, LayerSpritesGroupChildrenThatBlend) {
    // A layer sprite whose child multiplies: the child mixes with the sprite's own backdrop,
    // and where it overhangs that backdrop it meets the empty group, not the grey stage.
    // An inverting child stays ungrouped and inverts the stage under it.
    SwfWriter m = stage(120, 40, {128, 128, 128});
    m.defineShape(1, box(solid(0, 200, 200), 0, 0, 400, 400));
    m.defineShape(2, box(solid(200, 100, 0), 0, 0, 400, 400));
    auto layered = [&](std::uint16_t spriteId, std::uint8_t childMode, int x) {
        Sprite s;
        s.place(1, 1);
        PlaceObject child = placeWith(2, 2, Matrix::translate(200, 200));
        child.blendMode = childMode;
        s.placeObject3(child).showFrame();
        m.defineSprite(spriteId, s);
        PlaceObject holder = placeWith(spriteId, spriteId, Matrix::translate(x, 100));
        holder.blendMode = 2; // layer
        m.placeObject3(holder);
    };
    layered(10, 3, 100);   // multiply
    layered(11, 10, 1300); // invert
    m.showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixelColor(17, 17), QColor(0, 78, 0));      // multiplied with the backdrop
    EXPECT_EQ(img.pixelColor(27, 27), QColor(200, 100, 0));   // over the empty group: itself
    EXPECT_EQ(img.pixelColor(87, 27), QColor(127, 127, 127)); // the stage inverted
    EXPECT_MATCHES((RefCase{"blend", "layer_groups", 3, 30}), m);
}

// Depth 1 masks 2..5 with the left half; depth 3, inside that range, masks 4..10 with the
// top half; depth 8 lies past the outer range but is still cut by both. Played forward
// and reached by a seek back, the frame looks the same.
TEST(RenderMasks, ClipLayerInsideAnotherIsClippedByIt) {
    SwfWriter m = stage(40, 40);
    m.defineShape(1, box(solid(0, 0, 0), 0, 0, 400, 800));   // left half
    m.defineShape(2, box(solid(0, 0, 0), 0, 0, 800, 400));   // top half
    m.defineShape(3, box(solid(255, 0, 0), 0, 0, 800, 800)); // everything
    PlaceObject outer = placeWith(1, 1, Matrix());
    outer.clipDepth = 5;
    PlaceObject inner = placeWith(2, 3, Matrix());
    inner.clipDepth = 10;
    m.placeObject2(outer).placeObject2(inner).place(3, 8).showFrame(3);
    swf::Player player;
    ASSERT_TRUE(player.loadFromBytes(m.bytes()));
    swf::render::StageRenderer renderer;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) {
            player.tick();
        } else {
            player.gotoFrame(2);
            player.gotoFrame(0);
        }
        const QImage img = renderer.renderImage(player);
        EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0)) << pass;
        EXPECT_EQ(img.pixel(30, 5), qRgb(255, 255, 255)) << pass; // outside the outer mask
        EXPECT_EQ(img.pixel(5, 30), qRgb(255, 255, 255)) << pass; // outside the inner mask
    }
}

namespace {

// Colours in `img` within `area`, each counted.
std::map<QRgb, int> colourCounts(const QImage& img, const QRect& area) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[img.pixel(x, y)];
    return counts;
}

// A 60 px square at a fractional position, a disc and a 2x2 bitmap scaled by ten.
SwfWriter qualityMovie() {
    SwfWriter m = stage(200, 80);
    m.defineShape(1, box(solid(0, 0, 200), 206, 212, 1200, 1200));
    ShapeBuilder disc;
    disc.setFill0(disc.addFill(solid(200, 0, 0)));
    disc.moveTo(2300, 800).curveTo(2300, 200, 1900, 200).curveTo(1500, 200, 1500, 800);
    disc.curveTo(1500, 1400, 1900, 1400).curveTo(2300, 1400, 2300, 800);
    m.defineShape(2, disc);
    m.defineBitsLossless(
        3, LosslessBitmap::truecolor(2, 2, {{255, 0, 0}, {0, 0, 255}, {0, 0, 255}, {255, 0, 0}}, false));
    m.defineShape(4, box(FillStyle::bitmap(3, Matrix::scale(200, 200, 2600, 200), FillStyle::ClippedBitmap),
                         2600, 200, 800, 800));
    m.place(1, 1).place(2, 2).place(4, 4);
    return m;
}

} // namespace

TEST(RenderQuality, LowIsAliasedWithPixelCentresAndOnlyHighSmoothsBitmaps) {
    using swf::timeline::Quality;
    SwfWriter m = qualityMovie();
    m.showFrame();
    const QImage low = renderMovie(m.bytes(), 1, 1.0, Quality::Low);
    ASSERT_FALSE(low.isNull());
    // A pixel is covered when its centre is inside: the square covers exactly 60 x 60.
    const auto square = colourCounts(low, QRect(0, 0, 74, 80));
    EXPECT_EQ(square.size(), 2u);
    EXPECT_EQ(square.at(qRgb(0, 0, 200)), 3600);
    EXPECT_EQ(low.pixelColor(10, 11), QColor(0, 0, 200));
    EXPECT_EQ(low.pixelColor(69, 70), QColor(0, 0, 200));
    EXPECT_EQ(low.pixelColor(70, 40), QColor(255, 255, 255));
    EXPECT_EQ(low.pixelColor(10, 10), QColor(255, 255, 255));
    EXPECT_EQ(colourCounts(low, QRect(73, 8, 44, 64)).size(), 2u);   // the disc: no edge shades
    EXPECT_EQ(colourCounts(low, QRect(130, 10, 40, 40)).size(), 2u); // the bitmap: its two colours
    const QImage medium = renderMovie(m.bytes(), 1, 1.0, Quality::Medium);
    EXPECT_GT(colourCounts(medium, QRect(73, 8, 44, 64)).size(), 4u);
    EXPECT_EQ(colourCounts(medium, QRect(130, 10, 40, 40)).size(), 2u);
    const QImage high = renderMovie(m.bytes(), 1, 1.0, Quality::High);
    EXPECT_GT(colourCounts(high, QRect(130, 10, 40, 40)).size(), 4u);
    EXPECT_MATCHES((RefCase{"stage", "quality_low", 0, 0, {1}, 1.0, Quality::Low}), m);
}

// Best smooths every bitmap, high only those whose fill asks for it: a hard (unsmoothed)
// bitmap fill keeps its two colours at high and blends them at best.
TEST(RenderQuality, BestSmoothsBitmapsHighLeavesHard) {
    using swf::timeline::Quality;
    SwfWriter m = stage(80, 80);
    m.defineBitsLossless(
        3, LosslessBitmap::truecolor(2, 2, {{255, 0, 0}, {0, 0, 255}, {0, 0, 255}, {255, 0, 0}}, false));
    m.defineShape(4, box(FillStyle::bitmap(3, Matrix::scale(200, 200, 200, 200), FillStyle::ClippedBitmapHard),
                         200, 200, 800, 800));
    m.place(4, 4).showFrame();
    const QRect area(12, 12, 36, 36);
    EXPECT_EQ(colourCounts(renderMovie(m.bytes(), 1, 1.0, Quality::High), area).size(), 2u);
    EXPECT_GT(colourCounts(renderMovie(m.bytes(), 1, 1.0, Quality::Best), area).size(), 4u);
    EXPECT_EQ(colourCounts(renderMovie(m.bytes(), 1, 1.0, Quality::Medium), area).size(), 2u);
}

TEST(RenderQuality, ScriptsSetQualityWhileThePlayerRuns) {
    // _quality = "low" on frame 1; toggleHighQuality on frame 2 turns it back to high.
    SwfWriter m = qualityMovie();
    m.setVersion(6);
    m.doAction(assembleActions("push \"_quality\", \"low\"; setvariable")).showFrame();
    m.doAction(assembleActions("togglequality")).showFrame();
    EXPECT_EQ(colourCounts(renderMovie(m.bytes(), 1), QRect(73, 8, 44, 64)).size(), 2u);
    EXPECT_GT(colourCounts(renderMovie(m.bytes(), 2), QRect(73, 8, 44, 64)).size(), 4u);
}
