#include "swf/text/FieldDefinition.h"

#include "swf/text/HtmlText.h"

namespace swf::text {

TextFormat definitionFormat(const format::EditTextCharacter& field, const format::FontCharacter* font) {
    TextFormat f = TextFormat::fieldDefault();
    if (font) {
        f.font = font->name;
        f.bold = font->bold;
        f.italic = font->italic;
    } else if (!field.fontClass.empty()) {
        f.font = field.fontClass;
    }
    f.size = field.fontHeight / 20.0;
    if (field.textColor)
        f.color = (std::uint32_t(field.textColor->r) << 16) | (std::uint32_t(field.textColor->g) << 8) |
                  field.textColor->b;
    {
        // Without the layout flag these hold their defaults (left, zero).
        switch (field.align) {
        case format::TextAlign::Right:
            f.align = Align::Right;
            break;
        case format::TextAlign::Center:
            f.align = Align::Center;
            break;
        case format::TextAlign::Justify:
            f.align = Align::Justify;
            break;
        case format::TextAlign::Left:
            break;
        }
        // Margins, indent and leading are stored in twips; formats count pixels.
        f.leftMargin = field.leftMargin / 20;
        f.rightMargin = field.rightMargin / 20;
        f.indent = field.indent / 20;
        f.leading = field.leading / 20;
    }
    return f;
}

RichText definitionContent(const format::EditTextCharacter& field, const TextFormat& format) {
    const std::u16string text = utf8ToUtf16(field.initialText);
    if (field.html)
        return parseHtml(text, format);
    return RichText(normalizeNewlines(text), format);
}

FieldBox definitionBox(const format::EditTextCharacter& field) {
    FieldBox b;
    b.width = double(field.bounds.width());
    b.height = double(field.bounds.height());
    b.wordWrap = field.wordWrap;
    b.multiline = field.multiline;
    b.password = field.password;
    b.autoSize = field.autoSize ? AutoSize::Left : AutoSize::None;
    return b;
}

} // namespace swf::text
