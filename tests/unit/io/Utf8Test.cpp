// UTF-8 output at every length boundary, and the two converters built on it: old
// movies' Windows-1252 text and the interpreter's UTF-16 strings.

#include "swf/avm1/Value.h"
#include "swf/format/Records.h"
#include "swf/io/Utf8.h"

#include <gtest/gtest.h>

namespace {

std::string encode(char32_t cp) {
    std::string out;
    swf::io::appendUtf8(out, cp);
    return out;
}

TEST(Utf8, EncodesEachLengthAtItsBoundaries) {
    EXPECT_EQ(encode(0x41), "A");
    EXPECT_EQ(encode(0x7F), "\x7F");
    EXPECT_EQ(encode(0x80), "\xC2\x80");
    EXPECT_EQ(encode(0x7FF), "\xDF\xBF");
    EXPECT_EQ(encode(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(encode(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(encode(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(encode(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST(Utf8, OldMovieTextMapsTheWindowsBlock) {
    EXPECT_EQ(swf::format::latin1ToUtf8("ab"), "ab");
    EXPECT_EQ(swf::format::latin1ToUtf8("\xE9"), "\xC3\xA9");    // é
    EXPECT_EQ(swf::format::latin1ToUtf8("\x80"), "\xE2\x82\xAC"); // €
    EXPECT_EQ(swf::format::latin1ToUtf8("\x81"), "\xC2\x81");     // unmapped: kept as U+0081
    EXPECT_EQ(swf::format::latin1ToUtf8("\x9F"), "\xC5\xB8");     // Ÿ
}

TEST(Utf8, Utf16PairsJoinAndLoneSurrogatesSurvive) {
    const std::string clef = "\xF0\x9D\x84\x9E"; // U+1D11E
    EXPECT_EQ(swf::avm1::fromUtf16(u"\U0001D11E"), clef);
    EXPECT_EQ(swf::avm1::fromUtf16(swf::avm1::toUtf16(clef)), clef);
    const std::u16string lone{char16_t(0xD800), u'x'};
    EXPECT_EQ(swf::avm1::fromUtf16(lone), "\xED\xA0\x80x");
}

} // namespace
