#include "swf/text/TextLayout.h"
#include "swf/text/EmbeddedFace.h"

#include <gtest/gtest.h>

using namespace swf::text;

namespace {

// Every character is half an em wide; "AV" kerns by -0.1 em; '#' has no glyph.
class HalfEmFace : public FontFace {
public:
    double ascent() const override { return 0.8; }
    double descent() const override { return 0.2; }
    double advance(char32_t) const override { return 0.5; }
    double kerning(char32_t a, char32_t b) const override { return a == U'A' && b == U'V' ? -0.1 : 0; }
    int glyph(char32_t c) const override { return c == U'#' ? -1 : int(c); }
};

const HalfEmFace kFace;

// Size 10 pixels = 200 twips: each character is 100 twips, a line 200 tall.
TextFormat ten() {
    TextFormat f = TextFormat::fieldDefault();
    f.size = 10;
    return f;
}

TextLayout lay(const RichText& t, FieldBox box) {
    box.emptyFormat = ten();
    return layoutText(t, box, [](const TextFormat&) { return &kFace; });
}

FieldBox box(double w, double h, bool wrap = false) {
    FieldBox b;
    b.width = w;
    b.height = h;
    b.wordWrap = wrap;
    return b;
}

} // namespace

TEST(FieldLayout, LinesAlignmentMarginsAndIndent) {
    RichText t(u"ab\rcde", ten());
    TextLayout l = lay(t, box(1000, 1000));
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(l.glyphs[0].x, kGutter);
    EXPECT_DOUBLE_EQ(l.glyphs[0].y, kGutter + 160);
    EXPECT_DOUBLE_EQ(l.lines[1].top, kGutter + 200);
    EXPECT_EQ(l.lines[1].begin, 3u);
    EXPECT_DOUBLE_EQ(l.textWidth, 300);
    EXPECT_DOUBLE_EQ(l.textHeight, 400);

    TextFormat f;
    f.align = Align::Right;
    f.rightMargin = 5; // 100 twips
    t.setFormat(0, 1, f);
    f = {};
    f.align = Align::Center;
    f.leftMargin = 2;
    f.indent = 3;
    f.leading = 4;
    t.setFormat(4, 5, f);
    l = lay(t, box(1000, 1000));
    EXPECT_DOUBLE_EQ(l.lines[0].left, 1000 - kGutter - 100 - 200);
    // Centred in what the margins and the first line's indent leave.
    EXPECT_DOUBLE_EQ(l.lines[1].left, kGutter + 40 + 60 + (1000 - 2 * kGutter - 100 - 300) / 2);
    // Leading adds below every line but the last.
    EXPECT_DOUBLE_EQ(l.textHeight, 400);
    EXPECT_EQ(l.bullets.size(), 0u);

    // A break at the end leaves an empty last line; no text still has one line.
    EXPECT_EQ(lay(RichText(u"a\r", ten()), box(1000, 1000)).lines.size(), 2u);
    const TextLayout empty = lay(RichText(), box(1000, 1000));
    ASSERT_EQ(empty.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(empty.textHeight, 200);
}

TEST(FieldLayout, WrappingJustifyAndAutoSize) {
    // 5 characters fit in 500 twips between the gutters.
    RichText t(u"aa bbb cccccccc", ten());
    TextLayout l = lay(t, box(580, 2000, true));
    ASSERT_EQ(l.lines.size(), 4u);
    EXPECT_EQ(l.lines[0].begin, 0u);
    EXPECT_EQ(l.lines[1].begin, 3u);
    EXPECT_EQ(l.lines[2].begin, 7u);         // the long word alone...
    EXPECT_EQ(l.lines[3].begin, 12u);        // ...broken where it overflows
    EXPECT_DOUBLE_EQ(l.lines[0].width, 200); // the space that broke is not counted

    // Without wrapping nothing breaks; maxhscroll is what overflows.
    l = lay(t, box(580, 2000));
    EXPECT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(l.maxHScroll(580), 1500 + 2 * kGutter - 580);

    // Justified lines spread their spaces; the paragraph's last line does not.
    RichText j(u"a b c d e", ten());
    TextFormat f;
    f.align = Align::Justify;
    j.setFormat(0, 1, f);
    l = lay(j, box(2 * kGutter + 600, 2000, true));
    ASSERT_EQ(l.lines.size(), 2u);
    const LaidGlyph& lastOfFirst = l.glyphs[l.lines[0].glyphEnd - 2];
    EXPECT_NEAR(lastOfFirst.x + lastOfFirst.advance, kGutter + 600, 1e-3);
    EXPECT_DOUBLE_EQ(l.glyphs[l.lines[1].glyphBegin + 1].x, kGutter + 100);

    // autoSize fits the field round the text and moves it by the side it keeps.
    FieldBox b = box(1000, 50);
    b.autoSize = AutoSize::Right;
    l = lay(RichText(u"abc", ten()), b);
    EXPECT_DOUBLE_EQ(l.width, 300 + 2 * kGutter);
    EXPECT_DOUBLE_EQ(l.height, 200 + 2 * kGutter);
    EXPECT_DOUBLE_EQ(l.xShift, 1000 - l.width);
    b.autoSize = AutoSize::Center;
    EXPECT_DOUBLE_EQ(lay(RichText(u"abc", ten()), b).xShift, (1000 - 380) / 2.0);
    b.wordWrap = true; // a wrapping field keeps its width
    EXPECT_DOUBLE_EQ(lay(RichText(u"abc", ten()), b).width, 1000);
}

TEST(FieldLayout, SpacingKerningTabsBulletsPassword) {
    TextFormat f = ten();
    f.letterSpacing = 2; // 40 twips after each character
    f.kerning = true;
    TextLayout l = lay(RichText(u"AVA", f), box(2000, 1000));
    EXPECT_DOUBLE_EQ(l.glyphs[1].x - l.glyphs[0].x, 100 + 40 - 20);
    EXPECT_DOUBLE_EQ(l.glyphs[2].x - l.glyphs[1].x, 140);

    f = ten();
    f.tabStops = std::vector<int>{30, 60};
    l = lay(RichText(u"a\tb\tc\td", f), box(5000, 1000));
    EXPECT_DOUBLE_EQ(l.glyphs[2].x, kGutter + 600);
    EXPECT_DOUBLE_EQ(l.glyphs[4].x, kGutter + 1200);
    EXPECT_DOUBLE_EQ(l.glyphs[6].x, kGutter + 36 * 20 * 2); // past the stops: every 36 pixels

    f = ten();
    f.bullet = true;
    l = lay(RichText(u"x\ry", f), box(2000, 1000));
    EXPECT_EQ(l.bullets.size(), 2u);
    EXPECT_GT(l.glyphs[0].x, l.bullets[0].x);

    FieldBox pw = box(2000, 1000);
    pw.password = true;
    l = lay(RichText(u"s#3", ten()), pw);
    for (const LaidGlyph& g : l.glyphs)
        EXPECT_EQ(g.ch, U'*');
    EXPECT_EQ(l.missing, 0u);
    EXPECT_EQ(lay(RichText(u"s#3", ten()), box(2000, 1000)).missing, 1u);
}

TEST(FieldLayout, ScrollMetricsAndHitTesting) {
    // Ten lines of 200 twips in a field that shows three.
    std::u16string s;
    for (int i = 0; i < 10; ++i)
        s += u"ab\r";
    s.pop_back();
    const TextLayout l = lay(RichText(s, ten()), box(1000, 600 + 2 * kGutter));
    EXPECT_EQ(l.maxScroll(600 + 2 * kGutter), 8);
    EXPECT_EQ(l.bottomScroll(1, 600 + 2 * kGutter), 3);
    EXPECT_EQ(l.bottomScroll(8, 600 + 2 * kGutter), 10);
    EXPECT_EQ(l.bottomScroll(99, 600 + 2 * kGutter), 10);
    EXPECT_EQ(l.maxScroll(10000), 1);

    EXPECT_EQ(l.indexAt(kGutter + 40, kGutter + 10), 0u);
    EXPECT_EQ(l.indexAt(kGutter + 60, kGutter + 10), 1u);
    EXPECT_EQ(l.indexAt(5000, kGutter + 210), 5u); // past a line's end: its end
    EXPECT_EQ(l.indexAt(-50, 1e9), 27u);           // below the text: the last line
    EXPECT_EQ(l.lineOf(3), 1u);
    EXPECT_EQ(l.lineOf(2), 0u);
    EXPECT_DOUBLE_EQ(l.caretX(2), kGutter + 200);
}

TEST(FieldLayout, EmbeddedFontTables) {
    swf::format::FontCharacter font;
    font.version = 3; // 20480 units to the em
    font.glyphs.resize(3);
    font.codes = {'B', 'A', 'A'}; // out of order and repeated: the first glyph of a code wins
    font.hasLayout = true;
    font.ascent = 16384;
    font.descent = 4096;
    font.advances = {10240, 5120}; // one short
    font.kerning = {{'A', 'B', -2048}};
    const EmbeddedFace face(font);
    EXPECT_EQ(face.glyph(U'A'), 1);
    EXPECT_EQ(face.glyph(U'B'), 0);
    EXPECT_EQ(face.glyph(U'C'), -1);
    EXPECT_EQ(face.glyph(0x1F600), -1);
    EXPECT_DOUBLE_EQ(face.advance(U'B'), 0.5);
    EXPECT_DOUBLE_EQ(face.advance(U'A'), 0.25);
    EXPECT_DOUBLE_EQ(face.kerning(U'A', U'B'), -0.1);
    EXPECT_DOUBLE_EQ(face.ascent(), 0.8);
    font.codes = {'A', 'B', 'C'};
    font.advances.clear();
    EXPECT_DOUBLE_EQ(EmbeddedFace(font).advance(U'C'), 0.5); // glyph without an advance
}
