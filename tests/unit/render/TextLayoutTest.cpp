#include "swf/render/TextLayout.h"

#include <gtest/gtest.h>

using namespace swf;
using namespace swf::render;

namespace {

// A font with glyphs for 'A', 'B' and ' ' (ascending codes), 500 units wide each.
format::FontCharacter font() {
    format::FontCharacter f;
    f.version = 2;
    f.glyphs.resize(3);
    f.codes = {' ', 'A', 'B'};
    f.hasLayout = true;
    f.ascent = 800;
    f.descent = 224;
    f.advances = {500, 500, 500};
    return f;
}

format::EditTextCharacter field(const std::string& text) {
    format::EditTextCharacter e;
    e.bounds = {0, 2000, 0, 2000};
    e.fontHeight = 1024; // one glyph unit = one twip
    e.initialText = text;
    return e;
}

} // namespace

TEST(TextLayout, HtmlEntitiesAndPasswords) {
    format::EditTextCharacter e = field("<p align='left'>A&amp;B<br/>&lt;x&gt;</p><p></p>");
    e.html = true;
    EXPECT_EQ(displayText(e), U"A&B\n<x>");
    e = field("AB\nA");
    e.password = true;
    EXPECT_EQ(displayText(e), U"**\n*");
    EXPECT_EQ(displayText(field("<b>not html</b>")), U"<b>not html</b>");
}

TEST(TextLayout, LinesAlignmentAndWrapping) {
    const format::FontCharacter f = font();
    format::EditTextCharacter e = field("AB\nBA");
    e.multiline = true;
    TextFieldLayout l = layoutTextField(e, f);
    ASSERT_EQ(l.glyphs.size(), 4u);
    EXPECT_DOUBLE_EQ(l.glyphs[0].x, 40);  // gutter
    EXPECT_DOUBLE_EQ(l.glyphs[0].y, 840); // gutter + ascent
    EXPECT_DOUBLE_EQ(l.glyphs[1].x, 540);
    EXPECT_DOUBLE_EQ(l.glyphs[2].y, 840 + 1024); // next line: ascent + descent
    EXPECT_EQ(l.glyphs[2].index, 2u);

    // Without multiline a break is a space; right alignment ends at the right gutter.
    e.multiline = false;
    e.align = format::TextAlign::Right;
    l = layoutTextField(e, f);
    ASSERT_EQ(l.glyphs.size(), 5u);
    EXPECT_DOUBLE_EQ(l.glyphs.back().x + 500, 2000 - 40);

    // Wrapping breaks at the last space that fits: 1920 twips hold three glyphs.
    e = field("AB AB");
    e.wordWrap = e.multiline = true;
    l = layoutTextField(e, f);
    ASSERT_EQ(l.glyphs.size(), 4u);
    EXPECT_DOUBLE_EQ(l.glyphs[2].x, 40);
    EXPECT_GT(l.glyphs[2].y, l.glyphs[1].y);

    // Characters without glyphs are counted; a word longer than the field breaks anywhere.
    e = field("AxBAAAAAA");
    e.wordWrap = e.multiline = true;
    l = layoutTextField(e, f);
    EXPECT_EQ(l.missing, 1u);
    EXPECT_GT(l.glyphs.back().y, l.glyphs.front().y);
}
