#include "../player/EngineMovies.h"

#include "swf/format/Font.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/Records.h"
#include "swf/format/Shape.h"
#include "swf/format/Text.h"
#include "swf/movie/Movie.h"

#include <gtest/gtest.h>

using namespace engine_test;
namespace fmt = swf::format;

namespace {

std::unique_ptr<swf::movie::Movie> parse(const SwfWriter& movie) {
    std::string error;
    auto loaded = swf::movie::Movie::fromBytes(movie.bytes(), error);
    EXPECT_TRUE(loaded) << error;
    return loaded;
}

template <class T> const T& as(const swf::movie::Movie& movie, std::uint16_t id) {
    auto* c = movie.character(id);
    EXPECT_NE(c, nullptr);
    return *static_cast<const T*>(c);
}

fmt::PlaceObject firstPlacement(const swf::movie::Movie& movie) {
    fmt::PlaceObject place;
    auto tags = movie.root().frameTags(0);
    EXPECT_FALSE(tags.empty());
    swf::io::ByteReader r(movie.tagBody(tags[0]));
    fmt::ParseContext ctx{movie.version()};
    EXPECT_TRUE(fmt::parsePlaceObject(static_cast<fmt::TagCode>(tags[0].code), r, ctx, place));
    return place;
}

} // namespace

TEST(Shapes, StylesAndRecordsOfEveryVersion) {
    for (int version = 1; version <= 4; ++version) {
        ShapeBuilder shape;
        int solid = shape.addFill(FillStyle::solid({10, 20, 30, 40}));
        shape.addFill(
            FillStyle::focal(Matrix::scale(0.5, 0.5), {{0, {255, 0, 0}}, {255, {0, 0, 255}}}, -0.5));
        shape.addFill(FillStyle::bitmap(9, Matrix::scale(20, 20), FillStyle::RepeatingBitmapHard));
        LineStyle thick = LineStyle::solid(60, {1, 2, 3});
        thick.join = JoinStyle::Miter;
        thick.miterLimit = 2.5;
        thick.endCap = CapStyle::Square;
        thick.fill = FillStyle::solid({9, 9, 9});
        int line = shape.addLine(thick);
        shape.setFill0(solid)
            .setLine(line)
            .moveTo(100, 200)
            .lineTo(300, 200)
            .curveTo(400, 300, 300, 400)
            .close();
        shape.newStyles();
        shape.setFill1(shape.addFill(FillStyle::solid({7, 7, 7}))).moveTo(0, 0).lineTo(0, 50).close();
        SwfWriter movie;
        movie.defineShape(1, shape, version).showFrame();
        auto loaded = parse(movie);
        ASSERT_TRUE(loaded);
        const auto& s = as<fmt::ShapeCharacter>(*loaded, 1);
        SCOPED_TRACE(version);
        EXPECT_EQ(s.version, version);
        ASSERT_EQ(s.shape.styles.fills.size(), 3u);
        auto& fills = s.shape.styles.fills;
        EXPECT_EQ(fills[0].color,
                  (fmt::Rgba{10, 20, 30, static_cast<std::uint8_t>(version >= 3 ? 40 : 255)}));
        EXPECT_EQ(fills[1].type, fmt::FillType::FocalRadialGradient);
        ASSERT_EQ(fills[1].gradient.records.size(), 2u);
        EXPECT_EQ(fills[1].gradient.records[1].color.b, 255);
        EXPECT_DOUBLE_EQ(fills[1].gradient.focalPoint, -0.5);
        EXPECT_DOUBLE_EQ(fills[1].matrix.a, 0.5);
        EXPECT_EQ(fills[2].bitmapId, 9);
        EXPECT_FALSE(fmt::isSmoothedBitmap(fills[2].type));
        ASSERT_EQ(s.shape.styles.lines.size(), 1u);
        const auto& l = s.shape.styles.lines[0];
        EXPECT_EQ(l.width, 60);
        if (version == 4) {
            EXPECT_EQ(l.join, fmt::JoinStyle::Miter);
            EXPECT_DOUBLE_EQ(l.miterLimit, 2.5);
            EXPECT_EQ(l.endCap, fmt::CapStyle::Square);
            ASSERT_TRUE(l.fill.has_value());
            EXPECT_EQ(l.fill->color.r, 9);
        } else {
            EXPECT_EQ(l.color.g, 2);
        }
        // Records: style change with move, line, curve, closing line, new styles...
        const auto& recs = s.shape.records;
        ASSERT_GE(recs.size(), 5u);
        auto& first = std::get<fmt::StyleChangeRecord>(recs[0]);
        EXPECT_EQ(*first.moveX, 100);
        EXPECT_EQ(first.moveY, 200);
        EXPECT_EQ(*first.fill0, 1u);
        EXPECT_EQ(*first.line, 1u);
        auto& edge = std::get<fmt::StraightEdgeRecord>(recs[1]);
        EXPECT_EQ(edge.dx, 200);
        EXPECT_EQ(edge.dy, 0);
        auto& curve = std::get<fmt::CurvedEdgeRecord>(recs[2]);
        EXPECT_EQ(curve.controlDx, 100);
        EXPECT_EQ(curve.anchorDy, 100);
        bool sawNewStyles = false;
        for (const auto& rec : recs)
            if (auto* sc = std::get_if<fmt::StyleChangeRecord>(&rec); sc && sc->newStyles) {
                sawNewStyles = true;
                EXPECT_EQ(sc->newStyles->fills.size(), 1u);
            }
        EXPECT_TRUE(sawNewStyles);
    }
}

TEST(Shapes, AbsurdCountsFailWithoutAllocating) {
    // DefineShape3: id, empty RECT, fill count 0xFF -> 0xFFFF extended, then 3 bytes.
    SwfWriter movie;
    movie.rawTag(tag::DefineShape3, Bytes{1, 0, 0, 0xFF, 0xFF, 0xFF, 0, 1, 2});
    // A record stream that never ends: edges up to the tag end.
    movie.rawTag(tag::DefineShape, Bytes{2, 0, 0, 0, 0, 0x11, 0xFF, 0xFF, 0xFF});
    movie.showFrame();
    auto loaded = parse(movie);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->character(1), nullptr);
    EXPECT_EQ(loaded->character(2), nullptr);
    EXPECT_EQ(loaded->tagStats().broken.at(32), 1u);
    EXPECT_EQ(loaded->tagStats().broken.at(2), 1u);
}

TEST(Records, MatrixAndColorTransformEdgeCases) {
    // HasScale with zero-bit fields is a scale of 0, not 1.
    Bytes zeroScale{0b10000000, 0b00000000};
    swf::io::ByteReader r(zeroScale);
    auto m = fmt::readMatrix(r);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(m.a, 0.0);
    EXPECT_EQ(m.d, 0.0);

    fmt::ColorTransform cx;
    cx.rMul = 512;
    cx.gAdd = -300;
    cx.aMul = 128;
    EXPECT_EQ(cx.apply({200, 100, 0, 255}), (fmt::Rgba{255, 0, 0, 127}));
    fmt::Matrix move{1, 0, 0, 1, 10, 0};
    fmt::Matrix scale{2, 0, 0, 2, 0, 0};
    EXPECT_EQ((scale * move).tx, 20); // move first, then scale
}

TEST(Morphs, InterpolateBetweenStartAndEnd) {
    MorphShapeBuilder morph;
    int fill = morph.addFill(MorphFillStyle::solid({0, 0, 0}, {200, 100, 50}));
    morph.start().setFill0(fill).moveTo(0, 0).lineTo(100, 0).lineTo(100, 100).close();
    morph.end().moveTo(0, 0).lineTo(300, 0).curveTo(300, 100, 300, 300).close();
    for (int version : {1, 2}) {
        SwfWriter movie;
        movie.defineMorphShape(3, morph, version).showFrame();
        auto loaded = parse(movie);
        ASSERT_TRUE(loaded);
        const auto& m = as<fmt::MorphShapeCharacter>(*loaded, 3);
        EXPECT_EQ(m.version, version);
        auto atStart = m.shapeAt(0);
        auto atEnd = m.shapeAt(65535);
        auto half = m.shapeAt(32768);
        EXPECT_EQ(std::get<fmt::StraightEdgeRecord>(atStart.shape.records[1]).dx, 100);
        EXPECT_EQ(std::get<fmt::StraightEdgeRecord>(atEnd.shape.records[1]).dx, 300);
        EXPECT_EQ(std::get<fmt::StraightEdgeRecord>(half.shape.records[1]).dx, 200);
        // A straight start edge paired with an end curve blends as a curve.
        auto& blended = std::get<fmt::CurvedEdgeRecord>(atEnd.shape.records[2]);
        EXPECT_EQ(blended.controlDy + blended.anchorDy, 300);
        EXPECT_EQ(half.shape.styles.fills[0].color.r, 100);
    }
}

TEST(Placements, PlaceObject3CarriesEveryField) {
    PlaceObject p = placement(4, 1, false);
    p.matrix = Matrix::translate(5, 6);
    p.ratio = 9;
    p.name = "clip";
    p.clipDepth = 12;
    p.className = "Thing";
    p.filters = std::vector<Filter>{
        Filter::blur(4, 5, 2), Filter::dropShadow({1, 2, 3, 4}, 1, 1, 0.5, 3, 1),
        Filter::colorMatrix({1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0})};
    p.blendMode = 3;
    p.bitmapCache = 1;
    p.visible = 0;
    p.backgroundColor = Rgba{9, 8, 7, 6};
    p.clipActions = {ClipAction{0x02 /*enterFrame*/, {}, {0x07}},
                     ClipAction{0x20000 /*keyPress*/, 65, {0x06}}};
    SwfWriter movie;
    movie.defineShape(1, square()).placeObject3(p).showFrame();
    auto loaded = parse(movie);
    ASSERT_TRUE(loaded);
    auto place = firstPlacement(*loaded);
    EXPECT_EQ(place.version, 3);
    EXPECT_EQ(*place.className, "Thing");
    EXPECT_EQ(*place.ratio, 9);
    EXPECT_EQ(*place.clipDepth, 12);
    ASSERT_EQ(place.filters->size(), 3u);
    EXPECT_EQ((*place.filters)[0].type, fmt::FilterType::Blur);
    EXPECT_DOUBLE_EQ((*place.filters)[0].blurY, 5);
    EXPECT_EQ((*place.filters)[0].passes, 2);
    EXPECT_EQ((*place.filters)[1].color, (fmt::Rgba{1, 2, 3, 4}));
    EXPECT_FLOAT_EQ((*place.filters)[2].colorMatrix[18], 1.0f);
    EXPECT_EQ(*place.blendMode, fmt::BlendMode::Multiply);
    EXPECT_TRUE(*place.cacheAsBitmap);
    EXPECT_FALSE(*place.visible);
    EXPECT_EQ(place.backgroundColor->a, 6);
    ASSERT_EQ(place.clipActions.size(), 2u);
    EXPECT_EQ(place.clipActions[0].events, fmt::kClipEnterFrame);
    EXPECT_EQ(place.clipActions[1].keyCode, 65);
    EXPECT_EQ(place.clipActions[1].actions[0], 0x06);
}

TEST(Placements, ClipEventFlagsFollowTheVersion) {
    for (std::uint8_t version : {5, 6}) {
        PlaceObject p = placement(1, 1, false);
        p.clipActions = {ClipAction{0x01 /*load*/, {}, {0x07}}};
        p.clipEventBytes = version >= 6 ? 4 : 2;
        SwfWriter movie;
        movie.setVersion(version);
        movie.defineShape(1, square()).placeObject2(p).showFrame();
        auto loaded = parse(movie);
        ASSERT_TRUE(loaded);
        auto place = firstPlacement(*loaded);
        ASSERT_EQ(place.clipActions.size(), 1u) << int(version);
        EXPECT_EQ(place.clipActions[0].events, fmt::kClipLoad);
    }
}

TEST(Texts, RecordsCarryTheirStyleForward) {
    // DefineText2: id 7, empty bounds and matrix, 8-bit glyphs and advances.
    Bytes body{7,    0,    0x00, 0x00, 8, 8,   0x8D, 3,    0,    10, 20, 30, 40, 0x10,
               0x00, 0xF0, 0x00, 2,    5, 100, 6,    0xF6, 0x80, 1,  9,  1,  0};
    SwfWriter movie;
    movie.rawTag(33, body).showFrame();
    auto loaded = parse(movie);
    ASSERT_TRUE(loaded);
    const auto& text = as<fmt::TextCharacter>(*loaded, 7);
    ASSERT_EQ(text.records.size(), 2u);
    EXPECT_EQ(text.records[0].fontId, 3);
    EXPECT_EQ(*text.records[0].xOffset, 16);
    EXPECT_EQ(text.records[0].height, 240);
    EXPECT_EQ(text.records[0].glyphs[1].advance, -10);
    EXPECT_EQ(text.records[1].fontId, 3);
    EXPECT_EQ(text.records[1].color, (fmt::Rgba{10, 20, 30, 40}));
    EXPECT_FALSE(text.records[1].xOffset.has_value());
    EXPECT_EQ(text.records[1].glyphs[0].index, 9u);

    // A glyph count larger than the tag is refused.
    SwfWriter broken;
    broken.rawTag(33, Bytes{8, 0, 0x00, 0x00, 8, 8, 0x80, 200, 1, 2}).showFrame();
    auto bad = parse(broken);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->character(8), nullptr);
}

TEST(Fonts, DeviceFontWithoutGlyphsAndFontInfo) {
    // DefineFont2 id 4, flags 0, language 0, name "Ab", no glyphs, no code table offset.
    SwfWriter movie;
    movie.rawTag(48, Bytes{4, 0, 0x00, 0, 2, 'A', 'b', 0, 0});
    // DefineFont 5 with one empty glyph, then DefineFontInfo giving it code 'x'.
    movie.rawTag(10, Bytes{5, 0, 2, 0, 0x00});
    movie.rawTag(13, Bytes{5, 0, 3, 'S', 'e', 'r', 0x02, 'x'});
    movie.showFrame();
    auto loaded = parse(movie);
    ASSERT_TRUE(loaded);
    const auto& device = as<fmt::FontCharacter>(*loaded, 4);
    EXPECT_EQ(device.name, "Ab");
    EXPECT_TRUE(device.glyphs.empty());
    const auto& info = as<fmt::FontCharacter>(*loaded, 5);
    EXPECT_EQ(info.glyphs.size(), 1u);
    EXPECT_EQ(info.name, "Ser");
    EXPECT_TRUE(info.bold);
    ASSERT_EQ(info.codes.size(), 1u);
    EXPECT_EQ(info.codes[0], 'x');
    EXPECT_EQ(loaded->tagStats().brokenTotal(), 0u);
}
