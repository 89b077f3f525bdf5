#include "swf/text/RichText.h"

#include <gtest/gtest.h>

using namespace swf::text;

namespace {

TextFormat sized(double s) {
    TextFormat f;
    f.size = s;
    f.bold = false;
    f.align = Align::Left;
    return f;
}

} // namespace

TEST(RichText, ReplaceKeepsRunsInPlace) {
    RichText t(u"abcdef", sized(10));
    t.replace(2, 4, u"XYZ", sized(20)); // abXYZef
    EXPECT_EQ(t.text(), u"abXYZef");
    EXPECT_EQ(t.formatAt(1).size, 10);
    EXPECT_EQ(t.formatAt(2).size, 20);
    EXPECT_EQ(t.formatAt(4).size, 20);
    EXPECT_EQ(t.formatAt(5).size, 10);
    ASSERT_EQ(t.runs().size(), 3u);
    EXPECT_EQ(t.runs()[2].start, 5u);

    // Deleting the middle run joins its neighbours into one; out-of-range ends are clamped.
    t.replace(2, 5, u"", sized(99));
    EXPECT_EQ(t.text(), u"abef");
    EXPECT_EQ(t.runs().size(), 1u);
    t.replace(100, 200, u"!", sized(30));
    EXPECT_EQ(t.text(), u"abef!");
    EXPECT_EQ(t.formatAt(4).size, 30);
    t.replace(0, 1000, u"", sized(1));
    EXPECT_EQ(t.text(), u"");
    EXPECT_TRUE(t.runs().empty());
    EXPECT_EQ(t.formatAt(0), TextFormat{});
}

TEST(RichText, FormatsOverRangesAndParagraphs) {
    RichText t(u"one\rtwo\rthree", sized(10));
    TextFormat f;
    f.bold = true;
    f.align = Align::Right; // a paragraph property: spreads over the paragraphs touched
    t.setFormat(2, 5, f);
    EXPECT_EQ(t.formatAt(1).bold, false);
    EXPECT_EQ(t.formatAt(2).bold, true);
    EXPECT_EQ(t.formatAt(4).bold, true);
    EXPECT_EQ(t.formatAt(5).bold, false);
    EXPECT_EQ(t.formatAt(0).align, Align::Right);
    EXPECT_EQ(t.formatAt(6).align, Align::Right);
    EXPECT_EQ(t.formatAt(8).align, Align::Left);

    // Mixed values are unset in the common format; shared ones stay.
    const TextFormat common = t.commonFormat(0, 6);
    EXPECT_FALSE(common.bold.has_value());
    EXPECT_EQ(common.size, 10);
    EXPECT_EQ(common.align, Align::Right);

    // Text inserted into a paragraph takes that paragraph's properties.
    TextFormat centred = sized(10);
    centred.align = Align::Center;
    t.replace(9, 9, u"xx", centred);
    EXPECT_EQ(t.formatAt(9).align, Align::Left);
    EXPECT_EQ(t.formatAt(12).align, Align::Left);
    EXPECT_EQ(t.paragraphStart(10), 8u);
    EXPECT_EQ(t.paragraphEnd(0), 3u);
    EXPECT_EQ(t.paragraphEnd(9), t.size());
}

TEST(RichText, NewlinesAndUtf) {
    EXPECT_EQ(normalizeNewlines(u"a\r\nb\nc\rd"), u"a\r\rb\rc\rd");
    EXPECT_EQ(utf8ToUtf16("a\xC3\xA4\xF0\x9F\x98\x80"), u"a\u00E4\U0001F600");
    EXPECT_EQ(utf16ToUtf8(u"a\u00E4\U0001F600"), "a\xC3\xA4\xF0\x9F\x98\x80");
    // Bytes that are not UTF-8 stand for Latin-1; a cut sequence too.
    EXPECT_EQ(utf8ToUtf16("\xE4x\xE2\x82"), u"\u00E4x\u00E2\u0082");
}
