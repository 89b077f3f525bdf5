#pragma once
// Static text (DefineText/DefineText2) and edit text (DefineEditText) bodies.

#include "SwfRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::testing {

struct GlyphEntry {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

// One TEXTRECORD: a font change carries its height; every field but glyphs is optional.
struct TextRecord {
    std::optional<std::uint16_t> fontId;
    std::uint16_t height = 240; // written with fontId
    std::optional<Rgba> color;
    std::optional<std::int16_t> x;
    std::optional<std::int16_t> y;
    std::vector<GlyphEntry> glyphs;
};

struct TextBuilder {
    Rect bounds = Rect::pixels(100, 20);
    Matrix matrix;
    std::vector<TextRecord> records;

    // version 1 writes RGB colours, version 2 RGBA. Glyph and advance widths are the smallest
    // that hold every entry.
    std::vector<std::uint8_t> encode(std::uint16_t id, int version) const;
};

struct EditTextLayout {
    std::uint8_t align = 0; // 0 left, 1 right, 2 centre, 3 justify
    std::uint16_t leftMargin = 0;
    std::uint16_t rightMargin = 0;
    std::uint16_t indent = 0;
    std::int16_t leading = 0;
};

struct EditText {
    Rect bounds = Rect::pixels(100, 20);
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, noSelect = false, border = false, wasStatic = false, html = false;
    bool useOutlines = false;
    std::optional<std::uint16_t> fontId;
    std::optional<std::string> fontClass;
    std::uint16_t fontHeight = 240; // written with fontId or fontClass
    std::optional<Rgba> textColor;
    std::optional<std::uint16_t> maxLength;
    std::optional<EditTextLayout> layout;
    std::string variableName;
    std::optional<std::string> initialText;

    std::vector<std::uint8_t> encode(std::uint16_t id) const;
};

} // namespace orvane::testing
