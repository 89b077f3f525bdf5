#pragma once
// The HTML subset text fields read and write: p, br, font, b, i, u, a, li, textformat, span
// and the common entities. Any markup is accepted: unknown tags are dropped with their
// content kept, unmatched end tags are ignored, an unterminated tag ends the text.

#include "swf/text/RichText.h"

#include <string>
#include <string_view>

namespace swf::text {

class StyleSheet;

struct HtmlOptions {
    bool condenseWhite = false; // runs of white space read as one space, line breaks too
    bool multiline = true;      // a single-line field drops <br>
    bool paragraphs = true;     // false: <p> and <li> neither break nor set the alignment
    const StyleSheet* styles = nullptr;
};

// Reads `html` into text formatted from `base` (the field's new text format).
RichText parseHtml(std::u16string_view html, const TextFormat& base, const HtmlOptions& options = {});

// The text written back as htmlText: one P (or LI) per paragraph with the first run's FONT
// in full and a nested FONT for each later run that differs. `empty` is the format an
// empty field reports.
std::u16string toHtml(const RichText& text, const TextFormat& empty);

} // namespace swf::text
