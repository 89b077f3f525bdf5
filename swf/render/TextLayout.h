#pragma once
// Lays out an edit text field's initial text, with the glyphs of an embedded font or with
// the measures of a device font: lines split at line breaks (and at spaces when the field
// wraps), aligned in the field's bounds inside Flash's 2-pixel gutter.

#include "swf/format/Font.h"
#include "swf/format/Text.h"

#include <cstdint>
#include <functional>
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

// What the layout needs to know of a font, in twips.
struct FieldMetrics {
    double ascent = 0;
    double descent = 0;
    std::function<double(char32_t)> advance;
    std::function<int(char32_t)> glyph; // what to draw for a character; -1 for nothing
};

struct PlacedChar {
    char32_t c = 0;
    int glyph = -1;
    double x = 0, y = 0; // pen position (baseline) in the field's twips
};

// The text a field shows: HTML tags removed and entities decoded when the field is HTML,
// asterisks for a password field.
std::u32string displayText(const format::EditTextCharacter& field);

// Every character of the field's text that has something to draw; `missing` counts the
// others (spaces aside).
std::vector<PlacedChar> layoutField(const format::EditTextCharacter& field, const FieldMetrics& metrics,
                                    std::size_t* missing = nullptr);

TextFieldLayout layoutTextField(const format::EditTextCharacter& field, const format::FontCharacter& font);

} // namespace swf::render
