#pragma once
// Builds font definitions: DefineFont (+ DefineFontInfo/2) and DefineFont2/3.
// Each glyph outline is a ShapeBuilder drawn on the EM square (1024 units, or 20480 for
// DefineFont3) that selects fill style 1, e.g. outline.setFill0(1).rectangle(...).
//
//   FontBuilder font;
//   font.addGlyph('A', outlineOfA, 600).addGlyph('B', outlineOfB, 620);
//   movie.defineFont2(1, font, 3);

#include "ShapeBuilder.h"
#include "SwfRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::testing {

struct Glyph {
    std::uint16_t code = 0;
    ShapeBuilder outline;
    std::int16_t advance = 0;
    std::optional<Rect> bounds; // layout bounds; the outline's own bounds otherwise
};

struct KerningPair {
    std::uint16_t code1 = 0;
    std::uint16_t code2 = 0;
    std::int16_t adjustment = 0;
};

class FontBuilder {
public:
    FontBuilder& addGlyph(std::uint16_t code, const ShapeBuilder& outline, std::int16_t advance = 0);

    std::string name = "Orvane Test";
    bool bold = false;
    bool italic = false;
    bool smallText = false;
    bool ansi = false;
    bool shiftJis = false;
    bool wideCodes = false;   // DefineFont2 and DefineFontInfo; DefineFont3 always uses wide codes
    bool wideOffsets = false; // forced on when the glyph table needs it
    std::uint8_t language = 0;
    // Layout (DefineFont2/3): written when hasLayout is set.
    bool hasLayout = false;
    std::uint16_t ascent = 0;
    std::uint16_t descent = 0;
    std::int16_t leading = 0;
    std::vector<KerningPair> kerning;
    std::vector<Glyph> glyphs;

    // DefineFont body: id, offset table, glyph shapes.
    std::vector<std::uint8_t> encodeFont1(std::uint16_t id) const;
    // DefineFontInfo (version 1) or DefineFontInfo2 (version 2) body.
    std::vector<std::uint8_t> encodeFontInfo(std::uint16_t id, int version) const;
    // DefineFont2 (version 2) or DefineFont3 (version 3) body.
    std::vector<std::uint8_t> encodeFont2(std::uint16_t id, int version) const;
};

} // namespace orvane::testing
