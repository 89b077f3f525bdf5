#include "swf/text/FieldState.h"
#include "swf/format/Text.h"
#include "swf/text/DeviceFaces.h"

#include <gtest/gtest.h>

using namespace swf::text;

namespace {

std::string utf8(const std::u16string& s) {
    return utf16ToUtf8(s);
}

} // namespace

TEST(FieldState, ScriptTextHtmlAndFormats) {
    FieldState f(0, 0, 2000, 400);
    EXPECT_EQ(utf8(f.htmlText()),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
              "LETTERSPACING=\"0\" KERNING=\"0\"></FONT></P>");
    f.setText(u"a\nb\r\nc");
    EXPECT_EQ(f.text(), u"a\rb\r\rc");

    // Without the html flag htmlText is taken as it is, and still read back as HTML.
    f.setHtmlText(u"<b>x</b>");
    EXPECT_EQ(f.text(), u"<b>x</b>");
    EXPECT_NE(utf8(f.htmlText()).find("&lt;b&gt;x&lt;/b&gt;"), std::string::npos);
    f.change([](FieldProperties& p) { p.html = true; });
    f.setHtmlText(u"<b>x</b>y");
    EXPECT_EQ(f.text(), u"xy");
    EXPECT_EQ(f.textFormat(0, 1).bold, true);
    EXPECT_FALSE(f.textFormat(0, 2).bold.has_value());

    // New text takes the new text format; setTextFormat changes only the range.
    TextFormat red;
    red.color = 0xFF0000;
    f.setNewFormat(red);
    f.replaceText(1, 2, u"zz");
    EXPECT_EQ(f.text(), u"xzz");
    EXPECT_EQ(f.textFormat(1, 3).color, 0xFF0000u);
    EXPECT_EQ(f.textFormat(0, 1).color, 0u);
    f.selection = {0, 1};
    f.replaceSel(u"Q\n");
    EXPECT_EQ(f.text(), u"Q\rzz");
    EXPECT_EQ(f.selection.caret, 2u);
    const std::uint64_t r = f.revision();
    f.setTextFormat(0, 1, red);
    EXPECT_GT(f.revision(), r);

    // Replacing beyond the end is clamped; an empty field reports its new format.
    f.replaceText(50, 60, u"!");
    EXPECT_EQ(f.text(), u"Q\rzz!");
    f.setText(u"");
    EXPECT_EQ(f.textFormat(0, 0).color, 0xFF0000u);
}

TEST(FieldState, DefinitionsAndTyping) {
    swf::format::EditTextCharacter def;
    def.bounds = {100, 2100, 200, 600};
    def.fontHeight = 240;
    def.textColor = swf::format::Rgba{0x12, 0x34, 0x56, 255};
    def.maxLength = 5;
    def.html = true;
    def.initialText = "<p align=\"right\">hi</p>";
    def.variableName = "_root.score";
    FieldState f(def, nullptr);
    EXPECT_EQ(f.text(), u"hi");
    EXPECT_EQ(f.textFormat(0, 2).align, Align::Right);
    EXPECT_EQ(f.textFormat(0, 2).size, 12);
    EXPECT_EQ(f.textFormat(0, 2).color, 0x123456u);
    EXPECT_EQ(f.properties().type, FieldType::Input);
    EXPECT_EQ(f.properties().variable, "_root.score");
    EXPECT_DOUBLE_EQ(f.properties().width, 2000);

    f.selection = {2, 2};
    f.change([](FieldProperties& p) { p.restrict = u"0-9"; });
    EXPECT_TRUE(f.typeText(u"1a2345"));
    EXPECT_EQ(f.text(), u"hi123"); // restrict, then maxChars
    EXPECT_TRUE(f.deleteBackward());
    f.moveCaret(CaretMove::TextStart, Extend::Yes);
    EXPECT_EQ(f.selectedText(), u"hi12");
    EXPECT_TRUE(f.deleteForward());
    EXPECT_EQ(f.text(), u"");
}

TEST(FieldState, MetricsFollowTheDeviceFaces) {
    // A face of 0.5 em per character: 12 pixels text makes 6 pixel characters.
    class Half : public FontFace {
    public:
        double ascent() const override { return 0.75; }
        double descent() const override { return 0.25; }
        double advance(char32_t) const override { return 0.5; }
        int glyph(char32_t) const override { return 0; }
    };
    static const Half half;
    FieldState f(0, 0, 20 * 100, 20 * (24 + 4) + 1);
    f.change([](FieldProperties& p) { p.multiline = true; });
    f.setText(u"abcd\rx\ry\rz");
    const double estimated = f.textWidth();
    EXPECT_GT(estimated, 0);

    setDeviceFaceSource([](const TextFormat&) { return &half; });
    EXPECT_DOUBLE_EQ(f.textWidth(), 24); // measured again with the new faces
    EXPECT_DOUBLE_EQ(f.textHeight(), 48);
    EXPECT_EQ(f.maxScroll(), 3);
    f.scroll = 2;
    EXPECT_EQ(f.bottomScroll(), 3);
    EXPECT_DOUBLE_EQ(f.maxHScroll(), 0);
    setDeviceFaceSource(nullptr);
    EXPECT_DOUBLE_EQ(f.textWidth(), estimated);
}

// Markup starts in the new-text format and leaves an open tag's format for text set later;
// before SWF 8 it starts afresh in the field's first format each time, and breaks at <br>
// in a single-line field too. Markup that makes no text reads back as no paragraph at all.
TEST(FieldState, MarkupFormatsAndVersions) {
    TextFormat fifty;
    fifty.size = 50;
    for (int version : {7, 8}) {
        FieldState f(0, 0, 2000, 400);
        f.change([](FieldProperties& p) {
            p.html = true;
            p.multiline = false;
        });
        f.setHtmlText(u"a<font size='100'>b", version);
        EXPECT_EQ(f.textFormat(0, 1).size, 12);
        f.setText(u"c");
        EXPECT_EQ(f.textFormat(0, 1).size, 100) << version;
        f.setHtmlText(u"d", version);
        EXPECT_EQ(f.textFormat(0, 1).size, version >= 8 ? 100 : 12) << version;
        f.setNewFormat(fifty);
        f.setHtmlText(u"e<br>f", version);
        EXPECT_EQ(f.textFormat(0, 1).size, version >= 8 ? 50 : 12) << version;
        EXPECT_EQ(f.text(), version >= 8 ? u"ef" : u"e\rf") << version;
        f.setHtmlText(u"<span></span>", version);
        EXPECT_EQ(utf8(f.htmlText()), "");
        f.setText(u"");
        EXPECT_NE(utf8(f.htmlText()), "");
    }
}

namespace {

// An embedded font whose glyphs for `codes` are one edge each, `advance` units wide
// (1024 units an em).
swf::format::FontCharacter outlineFont(const std::string& name, const std::u16string& codes, int advance) {
    swf::format::FontCharacter font;
    font.version = 2;
    font.name = name;
    font.hasLayout = true;
    font.ascent = 800;
    font.descent = 224;
    for (char16_t c : codes) {
        swf::format::Shape glyph;
        glyph.records.emplace_back(swf::format::StraightEdgeRecord{100, 0});
        font.glyphs.push_back(glyph);
        font.codes.push_back(c);
        font.advances.push_back(std::int16_t(advance));
    }
    return font;
}

} // namespace

// Each run finds its own font: the field's font draws runs in its name, another embedded
// font of the movie draws runs in its name, and with embedFonts a run whose font the movie
// does not embed shows nothing; a field without embedded text keeps device fonts per run.
TEST(FieldState, FontsPerRun) {
    const swf::format::FontCharacter own = outlineFont("Own", u"ab", 512);   // half an em
    const swf::format::FontCharacter wide = outlineFont("Wide", u"ab", 1024); // a whole em
    std::vector<std::string> asked;
    const auto lookup = [&](std::string_view name, bool, bool) -> const swf::format::FontCharacter* {
        asked.emplace_back(name);
        return name == "wide" ? &wide : name == "Own" ? &own : nullptr;
    };
    swf::format::EditTextCharacter def;
    def.bounds = {0, 20000, 0, 2000};
    def.fontHeight = 400; // 20 pixels
    def.useOutlines = true;
    def.initialText = "ab";
    FieldState f(def, &own);
    f.setFontLookup(lookup);
    TextFormat w;
    w.font = "wide";
    f.setTextFormat(1, 2, w);
    const TextLayout& laid = f.layout();
    ASSERT_EQ(laid.glyphs.size(), 2u);
    EXPECT_DOUBLE_EQ(laid.glyphs[0].advance, 200); // "a" in Own: 10 pixels
    EXPECT_DOUBLE_EQ(laid.glyphs[1].advance, 400); // "b" in Wide: 20 pixels
    EXPECT_EQ(asked, std::vector<std::string>{"wide"});

    // A font the movie does not embed: the field's own outlines stand in.
    TextFormat missing;
    missing.font = "Nowhere";
    f.setTextFormat(1, 2, missing);
    EXPECT_DOUBLE_EQ(f.layout().glyphs[1].advance, 200);

    // A script's field with embedFonts and no font of its own.
    FieldState s(0, 0, 20000, 2000);
    s.setFontLookup(lookup);
    s.change([](FieldProperties& p) { p.embedFonts = true; });
    s.setText(u"ab");
    ASSERT_EQ(s.layout().glyphs.size(), 2u);
    EXPECT_EQ(s.layout().glyphs[0].glyph, -1); // Times New Roman is not embedded
    EXPECT_EQ(s.layout().styles[0].face, nullptr);
    EXPECT_TRUE(s.usesEmbeddedFont());
    s.setTextFormat(0, 2, w);
    ASSERT_EQ(s.layout().glyphs.size(), 2u);
    EXPECT_EQ(s.layout().glyphs[0].glyph, 0);
    EXPECT_DOUBLE_EQ(s.layout().glyphs[0].advance, 240); // 12 pixels, a whole em each
    s.change([](FieldProperties& p) { p.embedFonts = false; });
    EXPECT_FALSE(s.usesEmbeddedFont());
    EXPECT_NE(s.layout().styles[0].face, nullptr); // device text again
}
