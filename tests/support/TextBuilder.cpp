#include "TextBuilder.h"

#include "BitWriter.h"

#include <algorithm>
#include <stdexcept>

namespace orvane::testing {

std::vector<std::uint8_t> TextBuilder::encode(std::uint16_t id, int version) const {
    int glyphBits = 0, advanceBits = 0;
    for (const TextRecord& r : records)
        for (const GlyphEntry& g : r.glyphs) {
            glyphBits = std::max(glyphBits, BitWriter::unsignedBits(g.index));
            advanceBits = std::max(advanceBits, BitWriter::signedBits(g.advance));
        }
    ByteWriter w;
    w.u16(id);
    encode::rect(w, bounds);
    encode::matrix(w, matrix);
    w.u8(static_cast<std::uint8_t>(glyphBits));
    w.u8(static_cast<std::uint8_t>(advanceBits));
    for (const TextRecord& r : records) {
        if (r.glyphs.size() > 255)
            throw std::invalid_argument("a text record holds at most 255 glyphs");
        w.u8(static_cast<std::uint8_t>(0x80 | (r.fontId ? 0x08 : 0) | (r.color ? 0x04 : 0) |
                                       (r.y ? 0x02 : 0) | (r.x ? 0x01 : 0)));
        if (r.fontId)
            w.u16(*r.fontId);
        if (r.color)
            version >= 2 ? encode::rgba(w, *r.color) : encode::rgb(w, *r.color);
        if (r.x)
            w.s16(*r.x);
        if (r.y)
            w.s16(*r.y);
        if (r.fontId)
            w.u16(r.height);
        w.u8(static_cast<std::uint8_t>(r.glyphs.size()));
        BitWriter bits;
        for (const GlyphEntry& g : r.glyphs) {
            bits.writeUB(g.index, glyphBits);
            bits.writeSB(g.advance, advanceBits);
        }
        w.bytes(bits.bytes());
    }
    w.u8(0);
    return w.take();
}

std::vector<std::uint8_t> EditText::encode(std::uint16_t id) const {
    ByteWriter w;
    w.u16(id);
    encode::rect(w, bounds);
    w.u8(static_cast<std::uint8_t>((initialText ? 0x80 : 0) | (wordWrap ? 0x40 : 0) | (multiline ? 0x20 : 0) |
                                   (password ? 0x10 : 0) | (readOnly ? 0x08 : 0) | (textColor ? 0x04 : 0) |
                                   (maxLength ? 0x02 : 0) | (fontId ? 0x01 : 0)));
    w.u8(static_cast<std::uint8_t>((fontClass ? 0x80 : 0) | (autoSize ? 0x40 : 0) | (layout ? 0x20 : 0) |
                                   (noSelect ? 0x10 : 0) | (border ? 0x08 : 0) | (wasStatic ? 0x04 : 0) |
                                   (html ? 0x02 : 0) | (useOutlines ? 0x01 : 0)));
    if (fontId)
        w.u16(*fontId);
    if (fontClass)
        w.string(*fontClass);
    if (fontId || fontClass)
        w.u16(fontHeight);
    if (textColor)
        encode::rgba(w, *textColor);
    if (maxLength)
        w.u16(*maxLength);
    if (layout) {
        w.u8(layout->align);
        w.u16(layout->leftMargin);
        w.u16(layout->rightMargin);
        w.u16(layout->indent);
        w.s16(layout->leading);
    }
    w.string(variableName);
    if (initialText)
        w.string(*initialText);
    return w.take();
}

} // namespace orvane::testing
