#include "FontBuilder.h"

#include <stdexcept>

namespace orvane::testing {

namespace {

std::vector<std::vector<std::uint8_t>> glyphShapes(const std::vector<Glyph>& glyphs) {
    std::vector<std::vector<std::uint8_t>> shapes;
    shapes.reserve(glyphs.size());
    for (const Glyph& g : glyphs)
        shapes.push_back(g.outline.encodeShape(1, 0));
    return shapes;
}

void nameField(ByteWriter& w, const std::string& name) {
    if (name.size() > 255)
        throw std::invalid_argument("font name longer than 255 bytes");
    w.u8(static_cast<std::uint8_t>(name.size()));
    w.bytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
}

void code(ByteWriter& w, std::uint16_t c, bool wide) {
    if (wide)
        w.u16(c);
    else
        w.u8(static_cast<std::uint8_t>(c));
}

} // namespace

FontBuilder& FontBuilder::addGlyph(std::uint16_t glyphCode, const ShapeBuilder& outline,
                                   std::int16_t advance) {
    glyphs.push_back({glyphCode, outline, advance, std::nullopt});
    return *this;
}

std::vector<std::uint8_t> FontBuilder::encodeFont1(std::uint16_t id) const {
    const auto shapes = glyphShapes(glyphs);
    ByteWriter w;
    w.u16(id);
    std::size_t offset = 2 * shapes.size();
    for (const auto& s : shapes) {
        if (offset > 0xFFFF)
            throw std::invalid_argument("glyph table too large for DefineFont");
        w.u16(static_cast<std::uint16_t>(offset));
        offset += s.size();
    }
    for (const auto& s : shapes)
        w.bytes(s);
    return w.take();
}

std::vector<std::uint8_t> FontBuilder::encodeFontInfo(std::uint16_t id, int version) const {
    ByteWriter w;
    w.u16(id);
    nameField(w, name);
    w.u8(static_cast<std::uint8_t>((smallText ? 0x20 : 0) | (shiftJis ? 0x10 : 0) | (ansi ? 0x08 : 0) |
                                   (italic ? 0x04 : 0) | (bold ? 0x02 : 0) | (wideCodes ? 0x01 : 0)));
    if (version >= 2)
        w.u8(language);
    for (const Glyph& g : glyphs)
        code(w, g.code, wideCodes);
    return w.take();
}

std::vector<std::uint8_t> FontBuilder::encodeFont2(std::uint16_t id, int version) const {
    const bool wide = version >= 3 || wideCodes;
    const auto shapes = glyphShapes(glyphs);
    std::size_t shapeBytes = 0;
    for (const auto& s : shapes)
        shapeBytes += s.size();
    // Offsets count from the table's start; the code table offset follows the glyph offsets.
    const bool longOffsets = wideOffsets || 2 * (shapes.size() + 1) + shapeBytes > 0xFFFF;
    const std::size_t entry = longOffsets ? 4 : 2;

    ByteWriter w;
    w.u16(id);
    w.u8(static_cast<std::uint8_t>((hasLayout ? 0x80 : 0) | (shiftJis ? 0x40 : 0) | (smallText ? 0x20 : 0) |
                                   (ansi ? 0x10 : 0) | (longOffsets ? 0x08 : 0) | (wide ? 0x04 : 0) |
                                   (italic ? 0x02 : 0) | (bold ? 0x01 : 0)));
    w.u8(language);
    nameField(w, name);
    w.u16(static_cast<std::uint16_t>(glyphs.size()));
    std::size_t offset = entry * (shapes.size() + 1);
    auto writeOffset = [&](std::size_t v) {
        if (longOffsets)
            w.u32(static_cast<std::uint32_t>(v));
        else
            w.u16(static_cast<std::uint16_t>(v));
    };
    for (const auto& s : shapes) {
        writeOffset(offset);
        offset += s.size();
    }
    writeOffset(offset); // code table
    for (const auto& s : shapes)
        w.bytes(s);
    for (const Glyph& g : glyphs)
        code(w, g.code, wide);
    if (hasLayout) {
        w.u16(ascent);
        w.u16(descent);
        w.s16(leading);
        for (const Glyph& g : glyphs)
            w.s16(g.advance);
        for (const Glyph& g : glyphs)
            encode::rect(w, g.bounds.value_or(g.outline.bounds()));
        w.u16(static_cast<std::uint16_t>(kerning.size()));
        for (const KerningPair& k : kerning) {
            code(w, k.code1, wide);
            code(w, k.code2, wide);
            w.s16(k.adjustment);
        }
    }
    return w.take();
}

} // namespace orvane::testing
