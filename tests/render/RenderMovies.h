#pragma once
// Small builders shared by the reference-image cases: stages, rectangles and the text
// tags the writer has no helper for.

#include "SwfWriter.h"

#include <QBuffer>
#include <QImage>

#include <string>
#include <vector>

namespace orvane::testing::render {

using Bytes = std::vector<std::uint8_t>;

inline SwfWriter stage(int w, int h, Rgba background = {255, 255, 255}) {
    SwfWriter m;
    m.setStageSize(w, h);
    m.setBackgroundColor(background);
    return m;
}

// A PlaceObject2/3 record of `id` at `depth` under `m`, for cases that add more to it.
inline PlaceObject placeWith(std::uint16_t id, std::uint16_t depth, const Matrix& m) {
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    p.matrix = m;
    return p;
}

// A filled rectangle in twips as its own shape.
inline ShapeBuilder box(const FillStyle& fill, int x, int y, int w, int h) {
    ShapeBuilder s;
    s.setFill0(s.addFill(fill)).rectangle(x, y, w, h);
    return s;
}

inline FillStyle solid(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return FillStyle::solid({r, g, b, a});
}

// Maps the gradient square onto a box of the given twips.
inline Matrix gradientBox(int x, int y, int w, int h) {
    return Matrix::scale(w / 32768.0, h / 32768.0, x + w / 2, y + h / 2);
}

inline Bytes encodeImage(const QImage& img, const char* format, int quality = 95) {
    QByteArray ba;
    QBuffer buf(&ba);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format, quality);
    return Bytes(ba.begin(), ba.end());
}

// A glyph outline on the EM square (y up is negative), filled with fill style 1.
inline Bytes glyphShape(const ShapeBuilder& outline) {
    return outline.encodeShape(1, 0);
}

// DefineFont2 (version 2) or DefineFont3 (version 3); with advances it carries a layout
// (ascent, descent, advances, empty bounds, no kerning).
inline Bytes defineFont(std::uint16_t id, int version, const std::vector<ShapeBuilder>& glyphs,
                        const std::vector<std::uint16_t>& codes,
                        const std::vector<std::int16_t>& advances = {}, std::uint16_t ascent = 0,
                        std::uint16_t descent = 0) {
    ByteWriter w;
    w.u16(id);
    const bool wideCodes = version == 3;
    w.u8((wideCodes ? 0x04 : 0x00) | (advances.empty() ? 0 : 0x80));
    w.u8(0);
    w.u8(4);
    w.bytes(std::vector<std::uint8_t>{'T', 'e', 's', 't'});
    w.u16(static_cast<std::uint16_t>(glyphs.size()));
    std::vector<Bytes> shapes;
    for (const auto& g : glyphs)
        shapes.push_back(glyphShape(g));
    std::size_t offset = 2 * glyphs.size() + 2; // offsets plus the code table offset
    for (const auto& s : shapes) {
        w.u16(static_cast<std::uint16_t>(offset));
        offset += s.size();
    }
    w.u16(static_cast<std::uint16_t>(offset));
    for (const auto& s : shapes)
        w.bytes(s);
    for (std::uint16_t c : codes) {
        if (wideCodes)
            w.u16(c);
        else
            w.u8(static_cast<std::uint8_t>(c));
    }
    if (!advances.empty()) {
        w.u16(ascent);
        w.u16(descent);
        w.s16(0);
        for (std::int16_t a : advances)
            w.s16(a);
        for (std::size_t i = 0; i < advances.size(); ++i)
            encode::rect(w, Rect{});
        w.u16(0);
    }
    return w.data();
}

struct TextRun {
    std::uint16_t fontId = 0;
    Rgba color;
    std::int16_t x = 0, y = 0;
    std::uint16_t height = 0;
    std::vector<std::pair<std::uint32_t, std::int32_t>> glyphs; // index, advance
};

// DefineText (version 1, RGB colours) or DefineText2 (RGBA).
inline Bytes defineText(std::uint16_t id, int version, const Rect& bounds, const Matrix& matrix,
                        const std::vector<TextRun>& runs) {
    ByteWriter w;
    w.u16(id);
    encode::rect(w, bounds);
    encode::matrix(w, matrix);
    const int glyphBits = 8, advanceBits = 16;
    w.u8(glyphBits);
    w.u8(advanceBits);
    for (const TextRun& r : runs) {
        w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
        w.u16(r.fontId);
        if (version == 2)
            encode::rgba(w, r.color);
        else
            encode::rgb(w, r.color);
        w.s16(r.x);
        w.s16(r.y);
        w.u16(r.height);
        w.u8(static_cast<std::uint8_t>(r.glyphs.size()));
        BitWriter bits;
        for (auto [index, advance] : r.glyphs) {
            bits.writeUB(index, glyphBits);
            bits.writeSB(advance, advanceBits);
        }
        w.bytes(bits.bytes());
    }
    w.u8(0);
    return w.data();
}

struct EditTextField {
    Rect bounds;
    std::uint16_t fontId = 0;
    std::uint16_t height = 240;
    Rgba color;
    bool wordWrap = false, multiline = false, border = false, html = false, password = false;
    bool outlines = true;   // embedded glyphs, or a device font
    std::uint8_t align = 0; // left, right, centre, justify
    std::string text;
};

// DefineEditText with a font, a colour, a layout and initial text.
inline Bytes defineEditText(std::uint16_t id, const EditTextField& e) {
    ByteWriter w;
    w.u16(id);
    encode::rect(w, e.bounds);
    w.u8(0x80 | (e.wordWrap ? 0x40 : 0) | (e.multiline ? 0x20 : 0) | (e.password ? 0x10 : 0) | 0x04 | 0x01);
    w.u8(0x20 | (e.border ? 0x08 : 0) | (e.html ? 0x02 : 0) | (e.outlines ? 0x01 : 0));
    w.u16(e.fontId);
    w.u16(e.height);
    encode::rgba(w, e.color);
    w.u8(e.align);
    w.u16(0);
    w.u16(0);
    w.u16(0);
    w.s16(0);
    w.string("");
    w.string(e.text);
    return w.data();
}

} // namespace orvane::testing::render
