// Parsers for DefineText 1-2 and DefineEditText.

#include "swf/format/Text.h"

#include "swf/io/BitReader.h"

namespace swf::format {

// DefineText, DefineText2
std::unique_ptr<TextCharacter> parseText(TagCode code, io::ByteReader& r, const ParseContext&) {
    auto text = std::make_unique<TextCharacter>();
    text->version = code == TagCode::DefineText2 ? 2 : 1;
    text->id = r.u16();
    text->bounds = readRect(r);
    text->matrix = readMatrix(r);
    unsigned glyphBits = r.u8();
    unsigned advanceBits = r.u8();
    if (!r.ok() || glyphBits > 32 || advanceBits > 32)
        return nullptr;
    TextRecord style;
    // A missing end byte is tolerated; a record cut short is not.
    while (!r.atEnd()) {
        std::uint8_t flags = r.u8();
        if (flags == 0)
            break;
        TextRecord rec;
        rec.fontId = style.fontId;
        rec.color = style.color;
        rec.height = style.height;
        if (flags & 0x08)
            rec.fontId = r.u16();
        if (flags & 0x04)
            rec.color = text->version == 2 ? readRgba(r) : readRgb(r);
        if (flags & 0x01)
            rec.xOffset = r.s16();
        if (flags & 0x02)
            rec.yOffset = r.s16();
        if (flags & 0x08)
            rec.height = r.u16();
        std::size_t count = r.u8();
        if (count * (glyphBits + advanceBits) > r.remaining() * 8)
            return nullptr;
        io::BitReader bits(r);
        rec.glyphs.resize(count);
        for (auto& g : rec.glyphs) {
            g.index = bits.ub(glyphBits);
            g.advance = bits.sb(advanceBits);
        }
        if (!r.ok())
            return nullptr;
        style = rec;
        style.glyphs.clear();
        text->records.push_back(std::move(rec));
    }
    return text;
}

// DefineEditText
std::unique_ptr<EditTextCharacter> parseEditText(io::ByteReader& r, const ParseContext& ctx) {
    auto edit = std::make_unique<EditTextCharacter>();
    edit->id = r.u16();
    edit->bounds = readRect(r);
    std::uint8_t a = r.u8();
    std::uint8_t b = r.u8();
    bool hasText = a & 0x80;
    edit->wordWrap = a & 0x40;
    edit->multiline = a & 0x20;
    edit->password = a & 0x10;
    edit->readOnly = a & 0x08;
    bool hasColor = a & 0x04;
    bool hasMaxLength = a & 0x02;
    bool hasFont = a & 0x01;
    bool hasFontClass = b & 0x80;
    edit->autoSize = b & 0x40;
    edit->hasLayout = b & 0x20;
    edit->noSelect = b & 0x10;
    edit->border = b & 0x08;
    edit->wasStatic = b & 0x04;
    edit->html = b & 0x02;
    edit->useOutlines = b & 0x01;
    if (hasFont)
        edit->fontId = r.u16();
    if (hasFontClass)
        edit->fontClass = readString(r, ctx);
    if (hasFont || hasFontClass)
        edit->fontHeight = r.u16();
    if (hasColor)
        edit->textColor = readRgba(r);
    if (hasMaxLength)
        edit->maxLength = r.u16();
    if (edit->hasLayout) {
        std::uint8_t align = r.u8();
        edit->align = align <= 3 ? static_cast<TextAlign>(align) : TextAlign::Left;
        edit->leftMargin = r.u16();
        edit->rightMargin = r.u16();
        edit->indent = r.u16();
        edit->leading = r.s16();
    }
    edit->variableName = readString(r, ctx);
    if (hasText)
        edit->initialText = readString(r, ctx);
    if (!r.ok())
        return nullptr;
    return edit;
}

} // namespace swf::format
