#pragma once
// A DefineEditText field's initial content laid out in its embedded font: the glyphs to
// draw and where, for callers that have only the character (tools, tests).

#include "swf/format/Font.h"
#include "swf/format/Text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace swf::render {

struct PlacedGlyph {
    std::uint32_t index = 0; // into the font's glyphs
    double x = 0, y = 0;     // pen position (baseline) in the field's twips
};

struct TextFieldLayout {
    std::vector<PlacedGlyph> glyphs;
    double scale = 0;        // glyph units to twips
    std::size_t missing = 0; // characters the font has no glyph for
};

// The text a field shows: HTML read, trailing breaks dropped, line breaks as '\n',
// asterisks for a password field.
std::u32string displayText(const format::EditTextCharacter& field);

TextFieldLayout layoutTextField(const format::EditTextCharacter& field, const format::FontCharacter& font);

} // namespace swf::render
