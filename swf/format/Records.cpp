#include "swf/format/Records.h"

#include "swf/io/BitReader.h"
#include "swf/io/Utf8.h"

#include <algorithm>

namespace swf::format {

Matrix Matrix::operator*(const Matrix& m) const {
    Matrix out;
    out.a = a * m.a + c * m.b;
    out.b = b * m.a + d * m.b;
    out.c = a * m.c + c * m.d;
    out.d = b * m.c + d * m.d;
    out.tx = a * m.tx + c * m.ty + tx;
    out.ty = b * m.tx + d * m.ty + ty;
    return out;
}

namespace {
std::uint8_t clampChannel(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}
std::int16_t clamp16(int v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}
} // namespace

Rgba ColorTransform::apply(Rgba c) const {
    return {clampChannel(c.r * rMul / 256 + rAdd), clampChannel(c.g * gMul / 256 + gAdd),
            clampChannel(c.b * bMul / 256 + bAdd), clampChannel(c.a * aMul / 256 + aAdd)};
}

ColorTransform ColorTransform::operator*(const ColorTransform& in) const {
    ColorTransform out;
    out.rMul = clamp16(rMul * in.rMul / 256);
    out.gMul = clamp16(gMul * in.gMul / 256);
    out.bMul = clamp16(bMul * in.bMul / 256);
    out.aMul = clamp16(aMul * in.aMul / 256);
    out.rAdd = clamp16(in.rAdd * rMul / 256 + rAdd);
    out.gAdd = clamp16(in.gAdd * gMul / 256 + gAdd);
    out.bAdd = clamp16(in.bAdd * bMul / 256 + bAdd);
    out.aAdd = clamp16(in.aAdd * aMul / 256 + aAdd);
    return out;
}

BlendMode blendModeFromByte(std::uint8_t value) {
    if (value < 1 || value > 14)
        return BlendMode::Normal;
    return static_cast<BlendMode>(value);
}

// RECT
Rect readRect(io::ByteReader& r) {
    io::BitReader bits(r);
    unsigned n = bits.ub(5);
    Rect rect;
    rect.xMin = bits.sb(n);
    rect.xMax = bits.sb(n);
    rect.yMin = bits.sb(n);
    rect.yMax = bits.sb(n);
    return rect;
}

// MATRIX
Matrix readMatrix(io::ByteReader& r) {
    io::BitReader bits(r);
    Matrix m;
    if (bits.flag()) {
        unsigned n = bits.ub(5);
        m.a = bits.fb(n);
        m.d = bits.fb(n);
    }
    if (bits.flag()) {
        unsigned n = bits.ub(5);
        m.b = bits.fb(n);
        m.c = bits.fb(n);
    }
    unsigned n = bits.ub(5);
    m.tx = bits.sb(n);
    m.ty = bits.sb(n);
    return m;
}

// CXFORM / CXFORMWITHALPHA
ColorTransform readColorTransform(io::ByteReader& r, bool withAlpha) {
    io::BitReader bits(r);
    bool hasAdd = bits.flag();
    bool hasMul = bits.flag();
    unsigned n = bits.ub(4);
    ColorTransform cx;
    auto field = [&] { return clamp16(bits.sb(n)); };
    if (hasMul) {
        cx.rMul = field();
        cx.gMul = field();
        cx.bMul = field();
        if (withAlpha)
            cx.aMul = field();
    }
    if (hasAdd) {
        cx.rAdd = field();
        cx.gAdd = field();
        cx.bAdd = field();
        if (withAlpha)
            cx.aAdd = field();
    }
    return cx;
}

Rgba readRgb(io::ByteReader& r) {
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rgba readRgba(io::ByteReader& r) {
    Rgba c = readRgb(r);
    c.a = r.u8();
    return c;
}

Rgba readArgb(io::ByteReader& r) {
    const std::uint8_t a = r.u8();
    Rgba c = readRgb(r);
    c.a = a;
    return c;
}

namespace {

void readGradientFilterTail(io::ByteReader& r, Filter& f) {
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.angle = r.fixed16();
    f.distance = r.fixed16();
    f.strength = r.fixed8();
    std::uint8_t flags = r.u8();
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.compositeSource = flags & 0x20;
    f.onTop = flags & 0x10;
    f.passes = flags & 0x0F;
}

} // namespace

// FILTERLIST
std::vector<Filter> readFilterList(io::ByteReader& r) {
    std::vector<Filter> filters;
    unsigned count = r.u8();
    for (unsigned i = 0; i < count && r.ok(); ++i) {
        Filter f;
        std::uint8_t id = r.u8();
        switch (id) {
        case 0: // DropShadow
        case 2: // Glow
        {
            f.type = id == 0 ? FilterType::DropShadow : FilterType::Glow;
            f.color = readRgba(r);
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            if (id == 0) {
                f.angle = r.fixed16();
                f.distance = r.fixed16();
            }
            f.strength = r.fixed8();
            std::uint8_t flags = r.u8();
            f.inner = flags & 0x80;
            f.knockout = flags & 0x40;
            f.compositeSource = flags & 0x20;
            f.passes = flags & 0x1F;
            break;
        }
        case 1: // Blur
            f.type = FilterType::Blur;
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.passes = r.u8() >> 3;
            break;
        case 3: // Bevel
            f.type = FilterType::Bevel;
            f.color = readRgba(r);
            f.highlightColor = readRgba(r);
            readGradientFilterTail(r, f);
            break;
        case 4: // GradientGlow
        case 7: // GradientBevel
        {
            f.type = id == 4 ? FilterType::GradientGlow : FilterType::GradientBevel;
            unsigned n = r.u8();
            if (n * 5u > r.remaining()) {
                r.fail();
                return filters;
            }
            for (unsigned k = 0; k < n; ++k)
                f.gradientColors.push_back(readRgba(r));
            for (unsigned k = 0; k < n; ++k)
                f.gradientRatios.push_back(r.u8());
            readGradientFilterTail(r, f);
            break;
        }
        case 5: // Convolution
        {
            f.type = FilterType::Convolution;
            f.matrixX = r.u8();
            f.matrixY = r.u8();
            f.divisor = r.f32();
            f.bias = r.f32();
            std::size_t n = std::size_t(f.matrixX) * f.matrixY;
            if (n * 4 > r.remaining()) {
                r.fail();
                return filters;
            }
            f.convolution.reserve(n);
            for (std::size_t k = 0; k < n; ++k)
                f.convolution.push_back(r.f32());
            f.defaultColor = readRgba(r);
            std::uint8_t flags = r.u8();
            f.clamp = flags & 0x02;
            f.preserveAlpha = flags & 0x01;
            break;
        }
        case 6: // ColorMatrix
            f.type = FilterType::ColorMatrix;
            for (float& v : f.colorMatrix)
                v = r.f32();
            break;
        default:
            r.fail();
            return filters;
        }
        if (r.ok())
            filters.push_back(std::move(f));
    }
    return filters;
}

std::string latin1ToUtf8(std::string_view text) {
    // Windows-1252's 0x80-0x9F block differs from Latin-1; map the printable ones.
    static constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(text.size());
    for (unsigned char ch : text) {
        char32_t cp = ch;
        if (ch >= 0x80 && ch < 0xA0)
            cp = kHigh[ch - 0x80] ? kHigh[ch - 0x80] : ch;
        io::appendUtf8(out, cp);
    }
    return out;
}

std::string readString(io::ByteReader& r, const ParseContext& ctx) {
    std::string raw = r.string();
    if (ctx.swfVersion >= 6)
        return raw;
    return latin1ToUtf8(raw);
}

} // namespace swf::format
