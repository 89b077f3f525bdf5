#pragma once
// Line layout of a field's rich text, without drawing: lines broken at paragraph ends and
// (when the field wraps) at spaces, placed inside the field's 2-pixel gutter after margins,
// indents and bullets, aligned, with letter spacing, kerning and tab stops. Everything is
// in twips, relative to the field's top-left corner before scrolling.

#include "swf/text/RichText.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace swf::text {

constexpr double kGutter = 40; // twips, kept free on every side of the text

// A font's measures in ems (1.0 = the font size).
class FontFace {
public:
    virtual ~FontFace() = default;
    virtual double ascent() const = 0;
    virtual double descent() const = 0;
    virtual double advance(char32_t c) const = 0;
    virtual double kerning(char32_t, char32_t) const { return 0; }
    // The glyph that draws `c`, -1 when there is nothing to draw.
    virtual int glyph(char32_t c) const = 0;
};

// The face for a run's format; null draws and measures nothing.
using FaceResolver = std::function<const FontFace*(const TextFormat&)>;

enum class AutoSize : std::uint8_t { None, Left, Center, Right };

struct FieldBox {
    double width = 0, height = 0; // twips
    bool wordWrap = false;
    bool multiline = true; // a single-line field shows a break as a space
    bool password = false;
    AutoSize autoSize = AutoSize::None;
    TextFormat emptyFormat; // sets the line height when there is no text
};

struct GlyphStyle {
    const FontFace* face = nullptr;
    double size = 0; // twips
    std::uint32_t color = 0;
    bool underline = false;
};

struct LaidGlyph {
    std::uint32_t index = 0; // of the character in the text
    char32_t ch = 0;         // what is shown ('*' in a password field)
    std::int32_t glyph = -1; // in the face; -1: nothing to draw
    float x = 0, y = 0;      // pen position on the baseline
    float advance = 0;
    std::uint32_t style = 0; // into TextLayout::styles
};

struct LaidLine {
    std::size_t begin = 0, end = 0;           // text indices; `end` excludes the break
    std::size_t glyphBegin = 0, glyphEnd = 0; // into TextLayout::glyphs
    double left = 0, width = 0;               // where the text starts, its width
    double top = 0, ascent = 0, descent = 0, leading = 0;
    double bottom() const { return top + ascent + descent; }
};

struct Bullet {
    std::uint32_t style = 0;
    float x = 0, y = 0;
};

struct TextLayout {
    std::vector<LaidLine> lines; // at least one
    std::vector<LaidGlyph> glyphs;
    std::vector<GlyphStyle> styles;
    std::vector<Bullet> bullets;
    double textWidth = 0, textHeight = 0; // twips, as textWidth/textHeight report them
    double width = 0, height = 0;         // the field's size after autoSize
    double xShift = 0;                    // how far autoSize moved the field's left edge
    std::size_t missing = 0;              // characters their face cannot draw

    // Scroll positions count lines from 1, as scripts see them.
    int maxScroll(double fieldHeight) const;
    int bottomScroll(int scroll, double fieldHeight) const;
    double maxHScroll(double fieldWidth) const; // twips
    // Nearest caret position to a point (field coordinates, unscrolled).
    std::size_t indexAt(double x, double y) const;
    // The line holding caret position `index`, and the caret's x on it.
    std::size_t lineOf(std::size_t index) const;
    double caretX(std::size_t index) const;
};

TextLayout layoutText(const RichText& text, const FieldBox& box, const FaceResolver& faces);

} // namespace swf::text
