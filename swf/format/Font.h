#pragma once
// Fonts 1-3: glyph outlines, code table and layout. Glyph coordinates are on a
// 1024-unit EM square, or 20480 units for DefineFont3.

#include "swf/format/Shape.h"

#include <string>

namespace swf::format {

struct KerningRecord {
    std::uint16_t code1 = 0;
    std::uint16_t code2 = 0;
    std::int16_t adjustment = 0;
};

struct FontCharacter : Character {
    FontCharacter() : Character(0, CharacterKind::Font) {}
    int version = 1;  // 1, 2 or 3
    std::string name; // UTF-8, trailing NULs dropped
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false, wideCodes = false;
    std::uint8_t language = 0;
    std::vector<Shape> glyphs;
    std::vector<std::uint16_t> codes; // same order as glyphs; empty when unknown
    bool hasLayout = false;
    int ascent = 0, descent = 0, leading = 0;
    std::vector<std::int16_t> advances;
    std::vector<Rect> glyphBounds;
    std::vector<KerningRecord> kerning;
    std::string copyright; // DefineFontName

    double emSquare() const { return version == 3 ? 20480.0 : 1024.0; }
};

std::unique_ptr<FontCharacter> parseFont(TagCode code, io::ByteReader& r, const ParseContext& ctx);
// DefineFontInfo/2 amends a font already in the dictionary; false when broken.
bool applyFontInfo(TagCode code, io::ByteReader& r, const ParseContext& ctx, FontCharacter& font);

} // namespace swf::format
