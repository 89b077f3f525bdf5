// The drawing API: how scripts' arguments become drawing calls, and how the pen turns
// them into shape records a renderer draws like a DefineShape.

#include "ScriptRun.h"

#include "swf/avm1/DrawingPen.h"

#include <gtest/gtest.h>

#include <variant>

using namespace orvane::testing;
using swf::avm1::DrawOp;

TEST(Drawing, ArgumentsConvertAsFlashReadThem) {
    ScriptRun s(7);
    s.run(R"(
        push "square", "none", false, 50, 0xFF8000, 5, 6, "_root"; getvariable; push "lineStyle"; callmethod; pop
        push 0, "_root"; getvariable; push "lineStyle"; callmethod; pop
        push 0x123456, 1, "_root"; getvariable; push "beginFill"; callmethod; pop
        push 20, 10, 2, "_root"; getvariable; push "moveTo"; callmethod; pop
        push 5, 1, "_root"; getvariable; push "lineTo"; callmethod; pop
        push 4, 3, 2, 1, 4, "_root"; getvariable; push "curveTo"; callmethod; pop
        push "m"; push "matrixType", "box", "x", 0, "y", 0, "w", 1638.4, "h", 819.2, "r", 0, 6; initobject; setvariable
        push "pad", "m"; getvariable; push 0, 255, 2; initarray; push 100, 50, 2; initarray; push 0xFF0000, 0xFF, 2; initarray; push "radial", 6, "_root"; getvariable; push "beginGradientFill"; callmethod; pop
        push "m"; getvariable; push 0, 2; initarray; push 100, 1; initarray; push 0, 0, 2; initarray; push "linear", 5, "_root"; getvariable; push "beginGradientFill"; callmethod; pop
        push 0, "_root"; getvariable; push "clear"; callmethod; pop
    )");
    const auto& d = s.host.draws;
    ASSERT_EQ(d.size(), 8u); // lineTo with one argument is ignored
    EXPECT_EQ(d[0].second.kind, DrawOp::Kind::LineStyle);
    EXPECT_EQ(d[0].second.width, 5);
    EXPECT_EQ(d[0].second.color, 0x80FF8000u); // 50% of 255, rounded
    EXPECT_TRUE(d[0].second.noHScale && d[0].second.noVScale);
    EXPECT_EQ(d[0].second.caps, 2);
    EXPECT_EQ(d[1].second.kind, DrawOp::Kind::NoLine); // no thickness: lines off
    EXPECT_EQ(d[2].second.color, 0xFF123456u);         // alpha defaults to 100
    EXPECT_EQ(d[3].second.x, 10);
    EXPECT_EQ(d[3].second.y, 20);
    EXPECT_EQ(d[4].second.kind, DrawOp::Kind::CurveTo); // control point first, then anchor
    EXPECT_EQ(d[4].second.cx, 1);
    EXPECT_EQ(d[4].second.x, 3);
    EXPECT_EQ(d[5].second.kind, DrawOp::Kind::Fill);
    ASSERT_TRUE(d[5].second.gradient);
    const swf::avm1::DrawGradient& g = *d[5].second.gradient;
    EXPECT_TRUE(g.radial);
    ASSERT_EQ(g.stops.size(), 2u);
    EXPECT_EQ(g.stops[0].second, 0x800000FFu); // initarray takes the last pushed first
    EXPECT_EQ(g.stops[0].first, 255);
    EXPECT_DOUBLE_EQ(g.matrix[0], 1);   // a box 1638.4 wide is the gradient square's own width
    EXPECT_DOUBLE_EQ(g.matrix[3], 0.5);
    EXPECT_DOUBLE_EQ(g.matrix[4], 819.2); // centred in the box
    EXPECT_EQ(d[6].second.kind, DrawOp::Kind::EndFill); // arrays of different lengths: no fill
    EXPECT_EQ(d[7].second.kind, DrawOp::Kind::Clear);
}

TEST(Drawing, MatrixObjectsFillFromSwf8On) {
    // {a, b, c, d, tx, ty} (a flash.geom.Matrix) is read from SWF 8 on; earlier files take any
    // object but a box as the 3x3 form, which such an object does not fill in.
    for (int version : {6, 7, 8}) {
        ScriptRun s(version);
        s.run(R"(
            push "m"; push "a", 1, "b", 0, "c", 0, "d", 2, "tx", 30, "ty", 40, 6; initobject; setvariable
            push "m"; getvariable; push 0, 255, 2; initarray; push 100, 100, 2; initarray; push 0xFF0000, 0xFF, 2; initarray; push "linear", 5, "_root"; getvariable; push "beginGradientFill"; callmethod; pop
            push "m"; push "a", 1638.4, "b", 0, "d", 0, "e", 1638.4, "g", 5, "h", 6, 6; initobject; setvariable
            push "m"; getvariable; push 0, 255, 2; initarray; push 100, 100, 2; initarray; push 0xFF0000, 0xFF, 2; initarray; push "linear", 5, "_root"; getvariable; push "beginGradientFill"; callmethod; pop
        )");
        const auto& d = s.host.draws;
        ASSERT_EQ(d.size(), 2u) << version;
        if (version >= 8) {
            ASSERT_TRUE(d[0].second.gradient);
            EXPECT_DOUBLE_EQ(d[0].second.gradient->matrix[3], 2);
            EXPECT_DOUBLE_EQ(d[0].second.gradient->matrix[5], 40);
        } else {
            EXPECT_EQ(d[0].second.kind, DrawOp::Kind::EndFill) << version;
        }
        ASSERT_TRUE(d[1].second.gradient) << version; // the 3x3 form, in every version
        EXPECT_DOUBLE_EQ(d[1].second.gradient->matrix[0], 1);
        EXPECT_DOUBLE_EQ(d[1].second.gradient->matrix[4], 5);
    }
}

namespace {

std::size_t edges(const swf::format::ShapeCharacter& s) {
    std::size_t n = 0;
    for (const auto& r : s.shape.records)
        n += !std::holds_alternative<swf::format::StyleChangeRecord>(r);
    return n;
}

} // namespace

TEST(Drawing, PenClosesFillsAndKeepsBounds) {
    swf::timeline::Graphics g;
    swf::avm1::DrawingPen pen;
    const auto revision = g.revision();
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::LineStyle, .color = 0xFF000000, .width = 2});
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::MoveTo, .x = 10, .y = 10});
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::Fill, .color = 0xFFFF0000});
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::LineTo, .x = 30, .y = 10});
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::CurveTo, .x = 30, .y = 30, .cx = 40, .cy = 20});
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::EndFill}); // closes back to (10, 10)
    const swf::format::ShapeCharacter& s = g.shape();
    EXPECT_NE(g.revision(), revision);
    EXPECT_EQ(edges(s), 3u);
    ASSERT_EQ(s.shape.styles.fills.size(), 1u);
    ASSERT_EQ(s.shape.styles.lines.size(), 1u);
    EXPECT_EQ(s.shape.styles.lines[0].width, 40);
    // Edge bounds include the curve's control point; bounds add half the line width.
    EXPECT_EQ(s.edgeBounds.xMin, 200);
    EXPECT_EQ(s.edgeBounds.xMax, 800);
    EXPECT_EQ(s.bounds.xMin, 180);
    EXPECT_EQ(s.bounds.yMax, 620);
    // The closing edge leads back to the fill's start.
    const auto& last = std::get<swf::format::StraightEdgeRecord>(s.shape.records[s.shape.records.size() - 2]);
    EXPECT_EQ(last.dx, -400);
    EXPECT_EQ(last.dy, -400);
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::Clear});
    EXPECT_TRUE(g.empty());
}

TEST(Drawing, AScriptDrawingForeverStopsGrowing) {
    swf::timeline::Graphics g;
    swf::avm1::DrawingPen pen;
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::LineStyle, .width = 1});
    for (int i = 0; i < (1 << 18) + 100; ++i)
        pen.apply(g, DrawOp{.kind = DrawOp::Kind::LineTo, .x = static_cast<double>(i & 1), .y = 0});
    EXPECT_LE(g.shape().shape.records.size(), std::size_t{1} << 18);
}

TEST(Drawing, BitmapFillsNameTheDrawingsOwnPixels) {
    swf::timeline::Graphics g;
    swf::avm1::DrawingPen pen;
    auto pixels = std::make_shared<swf::timeline::Pixels>();
    pixels->width = pixels->height = 2;
    pixels->argb.assign(4, 0xFF00FF00u);
    swf::avm1::DrawBitmap fill;
    fill.pixels = pixels;
    fill.matrix[0] = 2;   // twice as wide
    fill.matrix[4] = 5;   // 5 pixels right
    fill.repeat = false;
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::Fill, .bitmap = fill});
    fill.smoothing = true;
    fill.repeat = true;
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::Fill, .bitmap = fill});
    const auto& fills = g.shape().shape.styles.fills;
    ASSERT_EQ(fills.size(), 2u);
    // The same pixels are listed once; both fills name them (1-based).
    ASSERT_EQ(g.bitmaps.size(), 1u);
    EXPECT_EQ(g.bitmaps[0], pixels);
    EXPECT_EQ(fills[0].bitmapId, 1);
    EXPECT_EQ(fills[1].bitmapId, 1);
    EXPECT_EQ(fills[0].type, swf::format::FillType::ClippedBitmapHard);
    EXPECT_EQ(fills[1].type, swf::format::FillType::RepeatingBitmap);
    // Bitmap pixels to twips: a scale of 20 is one pixel a pixel.
    EXPECT_DOUBLE_EQ(fills[0].matrix.a, 40);
    EXPECT_DOUBLE_EQ(fills[0].matrix.d, 20);
    EXPECT_DOUBLE_EQ(fills[0].matrix.tx, 100);
    pen.apply(g, DrawOp{.kind = DrawOp::Kind::Clear});
    EXPECT_TRUE(g.bitmaps.empty());
}

TEST(Drawing, LineGradientsPaintTheCurrentLineOnly) {
    // Without a line there is nothing to paint; with one, a copy of it takes the gradient and
    // keeps its width, and a bad gradient leaves the line alone.
    ScriptRun s(8);
    s.run(R"(
        push "m"; push "matrixType", "box", "x", 0, "y", 0, "w", 100, "h", 100, "r", 0, 6; initobject; setvariable
        push "m"; getvariable; push 255, 0, 2; initarray; push 100, 100, 2; initarray; push 0xFF, 0xFF0000, 2; initarray; push "linear", 5, "_root"; getvariable; push "lineGradientStyle"; callmethod; pop
        push 0x00FF00, 3, 2, "_root"; getvariable; push "lineStyle"; callmethod; pop
        push "m"; getvariable; push 255, 0, 2; initarray; push 100, 100, 2; initarray; push 0xFF, 0xFF0000, 2; initarray; push "linear", 5, "_root"; getvariable; push "lineGradientStyle"; callmethod; pop
        push "m"; getvariable; push 0, 1; initarray; push 100, 100, 2; initarray; push 0xFF, 0xFF0000, 2; initarray; push "linear", 5, "_root"; getvariable; push "lineGradientStyle"; callmethod; pop
    )");
    const auto& d = s.host.draws;
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[1].second.kind, DrawOp::Kind::LineStyle);
    EXPECT_EQ(d[2].second.kind, DrawOp::Kind::LineGradient);
    swf::timeline::Graphics g;
    swf::avm1::DrawingPen pen;
    for (const auto& [clip, op] : d)
        pen.apply(g, op);
    const auto& lines = g.shape().shape.styles.lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].fill);
    ASSERT_TRUE(lines[1].fill);
    EXPECT_EQ(lines[1].width, lines[0].width);
    EXPECT_EQ(lines[1].fill->type, swf::format::FillType::LinearGradient);
    EXPECT_EQ(lines[1].fill->gradient.records.size(), 2u);
}
