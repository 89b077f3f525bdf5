#pragma once
// The formatting of a run of characters as TextFormat describes it: every property may be
// unset, which is what getTextFormat reports where a range mixes values and what
// setTextFormat leaves alone.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swf::text {

enum class Align : std::uint8_t { Left, Right, Center, Justify };

struct TextFormat {
    // Character properties.
    std::optional<std::string> font;    // UTF-8
    std::optional<double> size;         // pixels
    std::optional<std::uint32_t> color; // 0xRRGGBB
    std::optional<bool> bold, italic, underline;
    std::optional<std::string> url, target;
    std::optional<double> letterSpacing; // pixels
    std::optional<bool> kerning;
    // Paragraph properties: they hold for whole paragraphs.
    std::optional<Align> align;
    std::optional<int> leftMargin, rightMargin, indent, blockIndent, leading; // pixels
    std::optional<bool> bullet;
    std::optional<std::vector<int>> tabStops; // pixels

    // Sets every property `other` sets.
    void apply(const TextFormat& other);
    // Unsets every property whose value differs in `other`.
    void intersect(const TextFormat& other);
    // The paragraph properties alone (or the character ones alone).
    TextFormat paragraphPart() const;
    TextFormat characterPart() const;
    bool operator==(const TextFormat&) const = default;

    // What a field created by a script starts with: Times New Roman 12, black, left.
    static TextFormat fieldDefault();
};

const char* alignName(Align a);                            // "left", "right", "center", "justify"
std::optional<Align> alignFromName(std::string_view name); // any case

} // namespace swf::text
