#pragma once
// Static texts (glyph runs) and edit text fields.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/TagCode.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace swf::format {

struct GlyphEntry {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

// Font, colour and height are carried forward from earlier records, so every record
// here holds the style in effect; offsets are set only where the file sets them.
struct TextRecord {
    std::uint16_t fontId = 0;
    Rgba color;
    std::uint16_t height = 0; // twips
    std::optional<std::int16_t> xOffset;
    std::optional<std::int16_t> yOffset;
    std::vector<GlyphEntry> glyphs;
};

struct TextCharacter : Character {
    TextCharacter() : Character(0, CharacterKind::Text) {}
    int version = 1; // DefineText or DefineText2
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

enum class TextAlign : std::uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct EditTextCharacter : Character {
    EditTextCharacter() : Character(0, CharacterKind::EditText) {}
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, noSelect = false, border = false, wasStatic = false, html = false;
    bool useOutlines = false;
    std::uint16_t fontId = 0; // 0 = none
    std::string fontClass;
    std::uint16_t fontHeight = 0;
    std::optional<Rgba> textColor;
    std::optional<std::uint16_t> maxLength;
    bool hasLayout = false;
    TextAlign align = TextAlign::Left;
    std::uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    std::int16_t leading = 0;
    std::string variableName;
    std::string initialText;
};

std::unique_ptr<TextCharacter> parseText(TagCode code, io::ByteReader& r, const ParseContext& ctx);
std::unique_ptr<EditTextCharacter> parseEditText(io::ByteReader& r, const ParseContext& ctx);

} // namespace swf::format
