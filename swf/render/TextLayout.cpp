#include "swf/render/TextLayout.h"

#include "swf/text/EmbeddedFace.h"
#include "swf/text/FieldDefinition.h"

namespace swf::render {

std::u32string displayText(const format::EditTextCharacter& field) {
    const text::RichText content = text::definitionContent(field, text::definitionFormat(field, nullptr));
    std::u32string out;
    const std::u16string& s = content.text();
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        out.push_back(c == U'\r' ? U'\n' : field.password ? U'*' : c);
    }
    while (!out.empty() && out.back() == U'\n')
        out.pop_back();
    return out;
}

TextFieldLayout layoutTextField(const format::EditTextCharacter& field, const format::FontCharacter& font) {
    TextFieldLayout out;
    out.scale = field.fontHeight / font.emSquare();
    const text::EmbeddedFace face(font);
    const text::TextFormat format = text::definitionFormat(field, &font);
    text::FieldBox box = text::definitionBox(field);
    box.emptyFormat = format;
    const text::TextLayout laid = text::layoutText(text::definitionContent(field, format), box,
                                                   [&](const text::TextFormat&) { return &face; });
    out.missing = laid.missing;
    for (const text::LaidGlyph& g : laid.glyphs)
        if (g.glyph >= 0)
            out.glyphs.push_back({std::uint32_t(g.glyph), field.bounds.xMin + g.x, field.bounds.yMin + g.y});
    return out;
}

} // namespace swf::render
