#include "SwfRecords.h"

#include "BitWriter.h"

#include <algorithm>
#include <stdexcept>

namespace orvane::testing {

namespace {

void appendBits(ByteWriter& out, const BitWriter& bits) {
    const auto bytes = bits.bytes();
    out.bytes(bytes);
}

int widest(std::initializer_list<std::int32_t> values) {
    int bits = 0;
    for (std::int32_t v : values)
        bits = std::max(bits, BitWriter::signedBits(v));
    return bits;
}

void arrayCount(ByteWriter& out, std::size_t count, int shapeVersion, const char* what) {
    if (count < 0xFF) {
        out.u8(static_cast<std::uint8_t>(count));
        return;
    }
    if (shapeVersion < 2 || count > 0xFFFF)
        throw std::invalid_argument(std::string("too many ") + what + " for this shape version");
    out.u8(0xFF);
    out.u16(static_cast<std::uint16_t>(count));
}

} // namespace

Filter Filter::dropShadow(Rgba color, double blurX, double blurY, double angle, double distance,
                          double strength, std::uint8_t flags) {
    ByteWriter w;
    encode::rgba(w, color);
    w.fixed(blurX);
    w.fixed(blurY);
    w.fixed(angle);
    w.fixed(distance);
    w.fixed8(strength);
    w.u8(flags);
    return {0, w.take()};
}

Filter Filter::blur(double blurX, double blurY, int passes) {
    ByteWriter w;
    w.fixed(blurX);
    w.fixed(blurY);
    w.u8(static_cast<std::uint8_t>((passes & 0x1F) << 3));
    return {1, w.take()};
}

Filter Filter::glow(Rgba color, double blurX, double blurY, double strength, std::uint8_t flags) {
    ByteWriter w;
    encode::rgba(w, color);
    w.fixed(blurX);
    w.fixed(blurY);
    w.fixed8(strength);
    w.u8(flags);
    return {2, w.take()};
}

Filter Filter::colorMatrix(const std::array<float, 20>& m) {
    ByteWriter w;
    for (float v : m)
        w.f32(v);
    return {6, w.take()};
}

namespace {

// The fields bevels and gradient filters end with.
void edgeFilterTail(ByteWriter& w, double blur, double angle, double distance, double strength, std::uint8_t flags) {
    w.fixed(blur);
    w.fixed(blur);
    w.fixed(angle);
    w.fixed(distance);
    w.fixed8(strength);
    w.u8(flags);
}

} // namespace

Filter Filter::bevel(Rgba shadow, Rgba highlight, double blur, double angle, double distance, double strength,
                     std::uint8_t flags) {
    ByteWriter w;
    encode::rgba(w, shadow);
    encode::rgba(w, highlight);
    edgeFilterTail(w, blur, angle, distance, strength, flags);
    return {3, w.take()};
}

Filter Filter::gradient(std::uint8_t id, const std::vector<std::pair<Rgba, std::uint8_t>>& stops, double blur,
                        double angle, double distance, double strength, std::uint8_t flags) {
    ByteWriter w;
    w.u8(static_cast<std::uint8_t>(stops.size()));
    for (const auto& s : stops)
        encode::rgba(w, s.first);
    for (const auto& s : stops)
        w.u8(s.second);
    edgeFilterTail(w, blur, angle, distance, strength, flags);
    return {id, w.take()};
}

Filter Filter::convolution(std::uint8_t cols, std::uint8_t rows, const std::vector<float>& matrix, float divisor,
                           float bias, Rgba defaultColor, bool clamp, bool preserveAlpha) {
    ByteWriter w;
    w.u8(cols);
    w.u8(rows);
    w.f32(divisor);
    w.f32(bias);
    for (float v : matrix)
        w.f32(v);
    encode::rgba(w, defaultColor);
    w.u8(static_cast<std::uint8_t>((clamp ? 2 : 0) | (preserveAlpha ? 1 : 0)));
    return {5, w.take()};
}

namespace encode {

void rect(ByteWriter& out, const Rect& r, int nbits) {
    if (nbits < 0)
        nbits = widest({r.xMin, r.xMax, r.yMin, r.yMax});
    BitWriter bits;
    bits.writeUB(static_cast<std::uint32_t>(nbits), 5);
    bits.writeSB(r.xMin, nbits);
    bits.writeSB(r.xMax, nbits);
    bits.writeSB(r.yMin, nbits);
    bits.writeSB(r.yMax, nbits);
    appendBits(out, bits);
}

void matrix(ByteWriter& out, const Matrix& m) {
    BitWriter bits;
    const bool hasScale = m.forceScale || m.scaleX != 1.0 || m.scaleY != 1.0;
    bits.writeUB(hasScale ? 1 : 0, 1);
    if (hasScale) {
        const std::int32_t sx = toFixed16(m.scaleX), sy = toFixed16(m.scaleY);
        const int n = widest({sx, sy});
        bits.writeUB(static_cast<std::uint32_t>(n), 5);
        bits.writeFB(sx, n);
        bits.writeFB(sy, n);
    }
    const bool hasRotate = m.rotateSkew0 != 0.0 || m.rotateSkew1 != 0.0;
    bits.writeUB(hasRotate ? 1 : 0, 1);
    if (hasRotate) {
        const std::int32_t r0 = toFixed16(m.rotateSkew0), r1 = toFixed16(m.rotateSkew1);
        const int n = widest({r0, r1});
        bits.writeUB(static_cast<std::uint32_t>(n), 5);
        bits.writeFB(r0, n);
        bits.writeFB(r1, n);
    }
    const int n = widest({m.translateX, m.translateY});
    bits.writeUB(static_cast<std::uint32_t>(n), 5);
    bits.writeSB(m.translateX, n);
    bits.writeSB(m.translateY, n);
    appendBits(out, bits);
}

void colorTransform(ByteWriter& out, const ColorTransform& cx, bool withAlpha) {
    const bool hasAdd = cx.hasAdd(withAlpha), hasMult = cx.hasMult(withAlpha);
    std::vector<std::int32_t> mult{cx.redMult, cx.greenMult, cx.blueMult};
    std::vector<std::int32_t> add{cx.redAdd, cx.greenAdd, cx.blueAdd};
    if (withAlpha) {
        mult.push_back(cx.alphaMult);
        add.push_back(cx.alphaAdd);
    }
    int n = 0;
    for (std::int32_t v : mult)
        if (hasMult)
            n = std::max(n, BitWriter::signedBits(v));
    for (std::int32_t v : add)
        if (hasAdd)
            n = std::max(n, BitWriter::signedBits(v));
    if (n > 15)
        throw std::invalid_argument("colour transform term needs more than 15 bits");
    BitWriter bits;
    bits.writeUB(hasAdd ? 1 : 0, 1);
    bits.writeUB(hasMult ? 1 : 0, 1);
    bits.writeUB(static_cast<std::uint32_t>(n), 4);
    if (hasMult)
        for (std::int32_t v : mult)
            bits.writeSB(v, n);
    if (hasAdd)
        for (std::int32_t v : add)
            bits.writeSB(v, n);
    appendBits(out, bits);
}

void rgb(ByteWriter& out, Rgba c) {
    out.u8(c.r);
    out.u8(c.g);
    out.u8(c.b);
}

void rgba(ByteWriter& out, Rgba c) {
    rgb(out, c);
    out.u8(c.a);
}

void fillStyle(ByteWriter& out, const FillStyle& f, int shapeVersion) {
    const bool alpha = shapeVersion >= 3;
    out.u8(f.type);
    switch (f.type) {
    case FillStyle::Solid:
        alpha ? rgba(out, f.color) : rgb(out, f.color);
        break;
    case FillStyle::LinearGradient:
    case FillStyle::RadialGradient:
    case FillStyle::FocalRadialGradient:
        matrix(out, f.matrix);
        if (f.gradient.size() > 15)
            throw std::invalid_argument("a gradient holds at most 15 records");
        out.u8(static_cast<std::uint8_t>(static_cast<int>(f.spread) << 6 |
                                         static_cast<int>(f.interpolation) << 4 | f.gradient.size()));
        for (const GradientRecord& g : f.gradient) {
            out.u8(g.ratio);
            alpha ? rgba(out, g.color) : rgb(out, g.color);
        }
        if (f.type == FillStyle::FocalRadialGradient)
            out.fixed8(f.focalPoint);
        break;
    default: // bitmaps, and unknown codes written as bitmaps so tests can reach the reader's default
        out.u16(f.bitmapId);
        matrix(out, f.matrix);
        break;
    }
}

void lineStyle(ByteWriter& out, const LineStyle& l, int shapeVersion) {
    out.u16(l.width);
    if (shapeVersion < 4) {
        shapeVersion >= 3 ? rgba(out, l.color) : rgb(out, l.color);
        return;
    }
    const bool hasFill = l.fill.has_value();
    out.u8(static_cast<std::uint8_t>(static_cast<int>(l.startCap) << 6 | static_cast<int>(l.join) << 4 |
                                     (hasFill ? 0x08 : 0) | (l.noHScale ? 0x04 : 0) |
                                     (l.noVScale ? 0x02 : 0) | (l.pixelHinting ? 0x01 : 0)));
    out.u8(static_cast<std::uint8_t>((l.noClose ? 0x04 : 0) | static_cast<int>(l.endCap)));
    if (l.join == JoinStyle::Miter)
        out.u16(static_cast<std::uint16_t>(l.miterLimit * 256.0 + 0.5));
    if (hasFill)
        fillStyle(out, *l.fill, shapeVersion);
    else
        rgba(out, l.color);
}

void fillStyles(ByteWriter& out, const std::vector<FillStyle>& fills, int shapeVersion) {
    arrayCount(out, fills.size(), shapeVersion, "fill styles");
    for (const FillStyle& f : fills)
        fillStyle(out, f, shapeVersion);
}

void lineStyles(ByteWriter& out, const std::vector<LineStyle>& lines, int shapeVersion) {
    arrayCount(out, lines.size(), shapeVersion, "line styles");
    for (const LineStyle& l : lines)
        lineStyle(out, l, shapeVersion);
}

void filters(ByteWriter& out, const std::vector<Filter>& list) {
    if (list.size() > 255)
        throw std::invalid_argument("a filter list holds at most 255 filters");
    out.u8(static_cast<std::uint8_t>(list.size()));
    for (const Filter& f : list) {
        out.u8(f.id);
        out.bytes(f.body);
    }
}

void clipActions(ByteWriter& out, const std::vector<ClipAction>& actions, int eventBytes) {
    auto flags = [&](std::uint32_t v) {
        if (eventBytes == 2)
            out.u16(static_cast<std::uint16_t>(v));
        else
            out.u32(v);
    };
    std::uint32_t all = 0;
    for (const ClipAction& a : actions)
        all |= a.events;
    out.u16(0);
    flags(all);
    for (const ClipAction& a : actions) {
        flags(a.events);
        out.u32(static_cast<std::uint32_t>(a.actions.size() + 1 + (a.keyCode ? 1 : 0)));
        if (a.keyCode)
            out.u8(*a.keyCode);
        out.bytes(a.actions);
        out.u8(0);
    }
    flags(0);
}

} // namespace encode

} // namespace orvane::testing
