// Shapes, fills and lines against reference images.

#include "RenderHarness.h"
#include "RenderMovies.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace orvane::testing::render;

TEST(RenderShapes, FillSidesAndCurves) {
    SwfWriter m = stage(120, 80);
    // Two fills share the middle edge: red on its left side (fill0), blue on its right (fill1);
    // the outer edges of red run with fill0, of blue with fill1.
    ShapeBuilder split;
    const int red = split.addFill(solid(220, 0, 0));
    const int blue = split.addFill(solid(0, 0, 220));
    split.moveTo(1000, 200).setFill0(red).setFill1(blue).lineTo(1000, 1400);
    split.setFill0(0).setFill1(blue).lineTo(1800, 1400).lineTo(1800, 200).lineTo(1000, 200);
    split.setFill1(0).setFill0(red).moveTo(1000, 1400).lineTo(200, 1400).lineTo(200, 200).lineTo(1000, 200);
    m.defineShape(1, split, 1);
    // A disc of four quadratic curves with a thick outline.
    ShapeBuilder disc;
    disc.setFill0(disc.addFill(solid(0, 160, 0))).setLine(disc.addLine(LineStyle::solid(60, {0, 0, 0})));
    disc.moveTo(2000, 800).curveTo(2000, 200, 1600, 200).curveTo(1200, 200, 1200, 800);
    disc.curveTo(1200, 1400, 1600, 1400).curveTo(2000, 1400, 2000, 800);
    m.defineShape(2, disc, 2);
    m.place(1, 1).place(2, 2, Matrix::translate(150, 0)).showFrame();
    EXPECT_MATCHES((RefCase{"shapes", "fill_sides_curves", 3, 48}), m);
}

TEST(RenderShapes, EvenOddAndWindingRule) {
    SwfWriter m = stage(120, 60);
    auto ring = [](std::uint8_t flags) {
        ShapeBuilder s;
        s.setFill0(s.addFill(solid(40, 40, 160)));
        // Both squares drawn the same way round: even-odd leaves a hole, non-zero does not.
        s.moveTo(200, 200).lineTo(1000, 200).lineTo(1000, 1000).lineTo(200, 1000).lineTo(200, 200);
        s.moveTo(400, 400).lineTo(800, 400).lineTo(800, 800).lineTo(400, 800).lineTo(400, 400);
        s.setFlags(flags);
        return s;
    };
    m.defineShape(1, ring(0), 4).defineShape(2, ring(0x04), 4);
    m.place(1, 1).place(2, 2, Matrix::translate(1200, 0)).showFrame();
    EXPECT_MATCHES((RefCase{"shapes", "even_odd_winding", 3, 36}), m);
}

TEST(RenderShapes, NewStylesDrawGroupsInOrder) {
    SwfWriter m = stage(80, 80);
    ShapeBuilder s;
    s.setFill0(s.addFill(solid(230, 0, 0))).setLine(s.addLine(LineStyle::solid(100, {0, 0, 0})));
    s.rectangle(200, 200, 800, 800);
    s.newStyles();
    // The second group's fill covers the first group's outline where they overlap.
    s.setFill0(s.addFill(solid(0, 0, 230, 200))).setLine(s.addLine(LineStyle::solid(40, {0, 200, 0})));
    s.rectangle(600, 600, 800, 800);
    m.defineShape(1, s, 3).place(1, 1).showFrame();
    EXPECT_MATCHES((RefCase{"shapes", "new_styles", 3, 32}), m);
}

TEST(RenderShapes, DegenerateShapesDrawNothingAndDoNotFail) {
    SwfWriter m = stage(80, 60);
    ShapeBuilder empty;
    empty.addFill(solid(255, 0, 0));
    m.defineShape(1, empty);
    ShapeBuilder point;
    point.setFill0(point.addFill(solid(255, 0, 0))).moveTo(500, 500).lineTo(500, 500).lineTo(500, 500);
    m.defineShape(2, point);
    ShapeBuilder huge;
    huge.setFill0(huge.addFill(solid(0, 120, 0))).setLine(huge.addLine(LineStyle::solid(20, {0, 0, 0})));
    huge.moveTo(-50'000'000, -50'000'000).lineTo(50'000'000, -50'000'000).lineTo(50'000'000, 50'000'000);
    huge.lineTo(-50'000'000, -50'000'000);
    m.defineShape(3, huge);
    m.defineShape(4, box(solid(0, 0, 200), 0, 0, 400, 400));
    Matrix zero = Matrix::scale(0, 0, 800, 400); // scale fields of zero bits
    zero.forceScale = true;
    m.place(1, 1).place(2, 2).place(3, 3).place(4, 4, zero).place(4, 5, Matrix::translate(200, 600));
    ShapeBuilder outlined;
    outlined.setLine(outlined.addLine(LineStyle::solid(0, {255, 0, 255}))).rectangle(-400, -400, 800, 800);
    m.defineShape(8, outlined).place(8, 7, zero); // flattened: not even its hairline shows
    // A reference to a character that does not exist is ignored.
    m.place(77, 6).showFrame();
    EXPECT_MATCHES((RefCase{"shapes", "degenerate", 3, 24}), m);
}

TEST(RenderFills, Gradients) {
    SwfWriter m = stage(200, 60);
    const std::vector<GradientRecord> stops{{0, {255, 0, 0}}, {128, {255, 255, 0}}, {255, {0, 0, 255}}};
    m.defineShape(1, box(FillStyle::linear(gradientBox(100, 100, 700, 1000), stops), 100, 100, 700, 1000));
    m.defineShape(2, box(FillStyle::radial(gradientBox(900, 100, 700, 1000), stops), 900, 100, 700, 1000));
    m.defineShape(
        3, box(FillStyle::focal(gradientBox(1700, 100, 700, 1000), stops, 0.75), 1700, 100, 700, 1000), 4);
    FillStyle linearRgb =
        FillStyle::linear(gradientBox(2500, 100, 700, 1000), {{0, {0, 0, 0}}, {255, {255, 255, 255}}});
    linearRgb.interpolation = InterpolationMode::Linear;
    m.defineShape(4, box(linearRgb, 2500, 100, 700, 1000), 4);
    // A fade from red to transparent blue, over black and white halves.
    m.defineShape(5, box(solid(0, 0, 0), 3300, 100, 350, 1000));
    m.defineShape(6, box(FillStyle::linear(gradientBox(3300, 100, 700, 1000),
                                           {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 0}}}),
                         3300, 100, 700, 1000));
    m.place(1, 1).place(2, 2).place(3, 3).place(4, 4).place(5, 5).place(6, 6).showFrame();
    EXPECT_MATCHES((RefCase{"fills", "gradients", 3, 60}), m);
}

TEST(RenderFills, SpreadModes) {
    SwfWriter m = stage(120, 60);
    const std::vector<GradientRecord> stops{{0, {0, 0, 0}}, {255, {0, 200, 255}}};
    int id = 1;
    for (SpreadMode spread : {SpreadMode::Pad, SpreadMode::Reflect, SpreadMode::Repeat}) {
        const int x = 100 + (id - 1) * 800;
        // The gradient spans a quarter of the box, so the spread decides the rest.
        FillStyle f = FillStyle::linear(gradientBox(x + 250, 100, 200, 1000), stops);
        f.spread = spread;
        m.defineShape(id, box(f, x, 100, 700, 1000), 4).place(id, id);
        ++id;
    }
    m.showFrame();
    EXPECT_MATCHES((RefCase{"fills", "spread", 3, 36}), m);
}

TEST(RenderFills, AlphaEmptyAndDegenerateGradients) {
    SwfWriter m = stage(120, 60);
    m.defineShape(1, box(solid(0, 0, 0), 0, 500, 2400, 200));
    m.defineShape(2, box(solid(255, 0, 0, 128), 100, 100, 500, 1000));
    m.defineShape(3, box(FillStyle::linear(gradientBox(700, 100, 500, 1000), {}), 700, 100, 500, 1000));
    m.defineShape(4, box(FillStyle::linear(gradientBox(1300, 100, 500, 1000), {{10, {0, 150, 0}}}), 1300, 100,
                         500, 1000));
    Matrix collapsed = Matrix::scale(0, 0, 2100, 600);
    collapsed.forceScale = true;
    m.defineShape(
        5, box(FillStyle::linear(collapsed, {{0, {255, 0, 0}}, {255, {0, 0, 255}}}), 1900, 100, 400, 1000));
    m.place(1, 1).place(2, 2).place(3, 3).place(4, 4).place(5, 5).showFrame();
    EXPECT_MATCHES((RefCase{"fills", "alpha_empty_degenerate", 3, 36}), m);
}

TEST(RenderFills, BitmapFills) {
    SwfWriter m = stage(160, 60);
    // 2x2 checker, scaled up so smoothing and repetition are visible.
    const std::vector<Rgba> px{{255, 0, 0}, {0, 0, 255}, {0, 0, 255}, {255, 0, 0}};
    m.defineBitsLossless(10, LosslessBitmap::truecolor(2, 2, px, false));
    const int types[] = {FillStyle::RepeatingBitmap, FillStyle::ClippedBitmap, FillStyle::RepeatingBitmapHard,
                         FillStyle::ClippedBitmapHard};
    for (int i = 0; i < 4; ++i) {
        const int x = 100 + i * 750;
        // 1 bitmap pixel = 200 twips (10 stage pixels); the box is wider than the image.
        m.defineShape(
            i + 1, box(FillStyle::bitmap(10, Matrix::scale(200, 200, x, 100), types[i]), x, 100, 650, 900));
        m.place(i + 1, i + 1);
    }
    // A stroke painted with the bitmap.
    LineStyle textured = LineStyle::solid(160, {0, 0, 0});
    textured.fill = FillStyle::bitmap(10, Matrix::scale(40, 40), FillStyle::RepeatingBitmapHard);
    ShapeBuilder stroke;
    stroke.setLine(stroke.addLine(textured)).moveTo(200, 1120).lineTo(3000, 1120);
    m.defineShape(8, stroke, 4).place(8, 8);
    // A fill naming a bitmap that does not exist draws nothing.
    m.defineShape(
        9, box(FillStyle::bitmap(99, Matrix::scale(20, 20), FillStyle::RepeatingBitmap), 0, 1050, 3200, 100));
    m.place(9, 9).showFrame();
    EXPECT_MATCHES((RefCase{"fills", "bitmap", 3, 48}), m);
}

TEST(RenderLines, CapsJoinsWidthsAndScaling) {
    SwfWriter m = stage(160, 100);
    auto zigzag = [](LineStyle l, int y) {
        ShapeBuilder s;
        s.setLine(s.addLine(l)).moveTo(200, y + 600).lineTo(600, y).lineTo(1000, y + 600);
        return s;
    };
    LineStyle miter = LineStyle::solid(160, {0, 0, 0});
    miter.join = JoinStyle::Miter;
    miter.miterLimit = 10;
    miter.startCap = miter.endCap = CapStyle::None;
    LineStyle bevel = miter;
    bevel.join = JoinStyle::Bevel;
    bevel.startCap = bevel.endCap = CapStyle::Square;
    LineStyle round = LineStyle::solid(160, {0, 0, 160});
    m.defineShape(1, zigzag(miter, 200), 4)
        .defineShape(2, zigzag(bevel, 200), 4)
        .defineShape(3, zigzag(round, 200), 4);
    m.place(1, 1).place(2, 2, Matrix::translate(1000, 0)).place(3, 3, Matrix::translate(2000, 0));
    // Hairline, a line thinner than a pixel, and the same line in an object shrunk tenfold.
    m.defineShape(4, zigzag(LineStyle::solid(0, {200, 0, 0}), 1100), 4);
    m.defineShape(5, zigzag(LineStyle::solid(4, {200, 0, 0}), 1100), 4);
    m.defineShape(6, zigzag(LineStyle::solid(100, {200, 0, 0}), 0), 4);
    m.place(4, 4).place(5, 5, Matrix::translate(1000, 0)).place(6, 6, Matrix::scale(0.1, 0.1, 2300, 1300));
    // A line that keeps its width when its object is stretched, next to one that does not.
    LineStyle fixed = LineStyle::solid(40, {0, 140, 0});
    fixed.noHScale = fixed.noVScale = true;
    m.defineShape(7, zigzag(fixed, 0), 4).defineShape(8, zigzag(LineStyle::solid(40, {0, 140, 0}), 0), 4);
    m.place(7, 7, Matrix::scale(1, 0.5, 0, 1300)).place(8, 8, Matrix::scale(3, 0.5, 0, 1600));
    // A line painted with a gradient.
    LineStyle graded = LineStyle::solid(200, {0, 0, 0});
    graded.fill =
        FillStyle::linear(gradientBox(2000, 1400, 1200, 400), {{0, {255, 0, 255}}, {255, {0, 200, 200}}});
    ShapeBuilder g;
    g.setLine(g.addLine(graded)).moveTo(2000, 1700).lineTo(3100, 1700);
    m.defineShape(9, g, 4).place(9, 9);
    // Different caps at the two ends: square at the start, round at the end.
    LineStyle mixed = LineStyle::solid(200, {120, 60, 0});
    mixed.startCap = CapStyle::Square;
    mixed.endCap = CapStyle::Round;
    ShapeBuilder caps;
    caps.setLine(caps.addLine(mixed)).moveTo(2300, 250).lineTo(2900, 250);
    m.defineShape(10, caps, 4).place(10, 10, Matrix::translate(0, 700)).showFrame();
    EXPECT_MATCHES((RefCase{"lines", "caps_joins_widths", 3, 80}), m);
}

// Gradients go through 256 entries, each holding its colour for 1/255 of the way, sampled
// at each pixel's top-left corner: a red record at 127 followed by green (moved to 128)
// over 150 px centred on x = 100 turns green at column 101 (sampled at pixel centres it
// would turn at 100; blended smoothly, column 100 would be half red, half green).
TEST(RenderFills, GradientsSampleEntriesAtPixelCorners) {
    SwfWriter m = stage(200, 150);
    m.defineShape(1, box(FillStyle::linear(gradientBox(500, 500, 3000, 2000), {{127, {255, 0, 0}}, {0, {0, 255, 0}}}),
                         500, 500, 3000, 2000));
    m.place(1, 1).showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    ASSERT_FALSE(img.isNull());
    for (int y : {30, 60, 120}) {
        EXPECT_EQ(img.pixelColor(100, y), QColor(255, 0, 0)) << y;
        EXPECT_EQ(img.pixelColor(101, y), QColor(0, 255, 0)) << y;
    }
}

TEST(RenderFills, RatiosThatFallOrRepeatAndEmptyGradients) {
    // Each gradient spans the middle third of its box, so both pads show.
    SwfWriter m = stage(160, 80);
    auto padded = [&](std::uint16_t id, int y, std::vector<GradientRecord> records) {
        m.defineShape(
            id, box(FillStyle::linear(gradientBox(1067, y, 1067, 400), std::move(records)), 0, y, 3200, 400));
        m.place(id, id);
    };
    // A ratio below the one before moves one step after it; what is pushed past 255 goes.
    padded(1, 0, {{254, {255, 0, 0}}, {0, {0, 0, 255}}, {0, {0, 255, 0}}});
    // Of equal ratios the first shows at that ratio and the last blends on from it.
    padded(2, 400, {{0, {255, 0, 0}}, {0, {0, 0, 255}}, {255, {0, 200, 0}}, {255, {0, 0, 0}}});
    padded(3, 800, {{128, {255, 0, 0}}, {128, {0, 0, 255}}, {128, {0, 200, 0}}});
    // No records at all: solid black, through the colour transform.
    m.defineShape(4, box(FillStyle::linear(gradientBox(0, 1200, 3200, 400), {}), 0, 1200, 3200, 400));
    ColorTransform tint;
    tint.redAdd = 200;
    PlaceObject empty = placeWith(4, 4, Matrix{});
    empty.colorTransform = tint;
    m.placeObject2(empty).showFrame();
    const QImage img = renderMovie(m.bytes(), 1);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixelColor(10, 10), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(150, 10), QColor(0, 0, 255)); // padded with the moved record
    EXPECT_EQ(img.pixelColor(10, 30), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(150, 30), QColor(0, 200, 0)); // the first of the two at 255
    EXPECT_EQ(img.pixelColor(10, 50), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(150, 50), QColor(0, 200, 0)); // the blue between never shows
    EXPECT_EQ(img.pixelColor(80, 70), QColor(200, 0, 0));
    EXPECT_MATCHES((RefCase{"fills", "ratio_rules", 3, 40}), m);
}

TEST(RenderFills, BitmapFillsOfVersion6SitOnePixelLower) {
    // The same bytes as a version 6 and a version 7 movie: the older one shows the image one
    // pixel right and down, its first row and column repeated into the gap.
    std::vector<Rgba> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            px.push_back({std::uint8_t(x * 30), std::uint8_t(y * 30), std::uint8_t((x + y) % 2 * 200)});
    auto movie = [&](std::uint8_t version) {
        SwfWriter m = stage(40, 40);
        m.setVersion(version);
        m.defineBitsLossless(1, LosslessBitmap::truecolor(8, 8, px, false));
        m.defineShape(2,
                      box(FillStyle::bitmap(1, Matrix::scale(20, 20, 200, 200), FillStyle::ClippedBitmapHard),
                          200, 200, 160, 160));
        m.place(2, 1).showFrame();
        return renderMovie(m.bytes(), 1);
    };
    const QImage v6 = movie(6), v7 = movie(7);
    ASSERT_FALSE(v6.isNull());
    ASSERT_FALSE(v7.isNull());
    for (int y = 10; y < 18; ++y)
        for (int x = 10; x < 18; ++x)
            EXPECT_EQ(v6.pixel(x, y), v7.pixel(std::max(10, x - 1), std::max(10, y - 1))) << x << "," << y;
    EXPECT_EQ(v6.pixelColor(9, 9), QColor(255, 255, 255)); // the shape itself does not move
    EXPECT_EQ(v6.pixelColor(18, 18), QColor(255, 255, 255));
}
