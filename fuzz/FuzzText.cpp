// Feeds arbitrary bytes through what text fields and XML read from movies and scripts:
// the first byte picks options, the rest is cut at its first zero into markup and a
// second part. The markup is read as HTML (with a style sheet parsed from the second
// part), written back and read again, laid out in a field, edited by keys the second
// part spells, and parsed as an XML document; the second part is also a restrict pattern.
// Built for libFuzzer with ORVANE_LIBFUZZER, or as a plain program replaying files and
// directories given on the command line.

#include "ReplayMain.h"
#include "swf/avm1/XmlParser.h"
#include "swf/text/HtmlText.h"
#include "swf/text/StyleSheet.h"
#include "swf/text/TextEditor.h"
#include "swf/text/TextLayout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace swf::text;

// Glyph widths vary with the character so line breaking, kerning and alignment take
// every branch; a few characters have no glyph.
class VaryingFace : public FontFace {
public:
    double ascent() const override { return 0.8; }
    double descent() const override { return 0.2; }
    double advance(char32_t c) const override { return 0.2 + double(c % 7) / 10; }
    double kerning(char32_t a, char32_t b) const override { return (a ^ b) % 5 == 0 ? -0.05 : 0; }
    int glyph(char32_t c) const override { return c % 13 == 0 ? -1 : int(c & 0xFFFF); }
};

std::u16string widen(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes)
        out.push_back(c);
    return out;
}

// Byte pairs as UTF-16 units, so lone surrogates and characters past Latin-1 reach the
// readers too.
std::u16string pairs(std::string_view bytes) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(char16_t(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1])));
    return out;
}

void editByKeys(RichText& text, std::string_view keys, const EditRules& rules, const TextLayout& layout) {
    Selection selection;
    TextEditor editor(text, selection, rules);
    const TextFormat typed = TextFormat::fieldDefault();
    LineMap lines;
    lines.lineStart = [&](std::size_t i) { return layout.lines[std::min(layout.lineOf(i), layout.lines.size() - 1)].begin; };
    lines.lineEnd = [&](std::size_t i) { return layout.lines[std::min(layout.lineOf(i), layout.lines.size() - 1)].end; };
    lines.verticalMove = [&](std::size_t i, int) { return i; };
    std::size_t steps = 0;
    for (unsigned char k : keys) {
        if (++steps > 512)
            break;
        switch (k % 8) {
        case 0: editor.deleteBackward(); break;
        case 1: editor.deleteForward(); break;
        case 2: editor.move(static_cast<CaretMove>(k / 8 % 10), (k & 0x80) ? Extend::Yes : Extend::No, &lines); break;
        case 3: editor.selectAll(); break;
        case 4: (void)editor.selectedText(); break;
        default: {
            const char16_t c[2] = {char16_t(k), u'\r'};
            editor.insert(std::u16string_view(c, (k & 1) ? 2 : 1), typed);
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const unsigned options = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = rest.find('\0');
    const std::string_view markup = rest.substr(0, cut);
    const std::string_view second = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

    StyleSheet styles;
    styles.parseCss(second);
    HtmlOptions html;
    html.condenseWhite = options & 1;
    html.multiline = options & 2;
    html.paragraphs = options & 4;
    html.styles = (options & 8) ? &styles : nullptr;
    const TextFormat base = TextFormat::fieldDefault();
    const std::u16string source = (options & 16) ? pairs(markup) : widen(markup);
    RichText text = parseHtml(source, base, html);
    const std::u16string written = toHtml(text, base);
    (void)parseHtml(written, base, html);
    for (const auto& selector : styles.selectors())
        (void)styles.format(selector);

    static const VaryingFace face;
    FieldBox box;
    box.width = 40 + (options & 0x60) * 30.0;
    box.height = 400;
    box.wordWrap = options & 0x20;
    box.multiline = options & 2;
    box.password = options & 0x80;
    box.autoSize = static_cast<AutoSize>(options >> 5 & 3);
    box.emptyFormat = base;
    const FaceResolver faces = [&](const TextFormat& f) { return (f.bold && *f.bold) ? nullptr : &face; };
    TextLayout layout = layoutText(text, box, faces);
    (void)layout.maxScroll(box.height);
    (void)layout.bottomScroll(1, box.height);
    (void)layout.indexAt(options * 3.0, options * 2.0);

    EditRules rules;
    rules.multiline = options & 2;
    rules.maxChars = options & 0x40 ? options : 0;
    rules.restrict = Restrict(widen(second));
    editByKeys(text, second, rules, layout);
    layout = layoutText(text, box, faces);

    const auto doc = swf::avm1::xml::parse(markup, options & 1, 4096);
    (void)swf::avm1::xml::escape(swf::avm1::xml::decodeEntities(markup));
    (void)doc.status;
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    });
}
#endif
