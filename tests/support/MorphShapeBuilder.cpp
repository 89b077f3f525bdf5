#include "MorphShapeBuilder.h"

#include <stdexcept>

namespace orvane::testing {

namespace {

void count(ByteWriter& out, std::size_t n) {
    if (n > 0xFFFF)
        throw std::invalid_argument("too many morph styles");
    if (n < 0xFF) {
        out.u8(static_cast<std::uint8_t>(n));
    } else {
        out.u8(0xFF);
        out.u16(static_cast<std::uint16_t>(n));
    }
}

void morphFill(ByteWriter& out, const MorphFillStyle& f) {
    out.u8(f.type);
    switch (f.type) {
    case FillStyle::Solid:
        encode::rgba(out, f.startColor);
        encode::rgba(out, f.endColor);
        break;
    case FillStyle::LinearGradient:
    case FillStyle::RadialGradient:
    case FillStyle::FocalRadialGradient:
        encode::matrix(out, f.startMatrix);
        encode::matrix(out, f.endMatrix);
        if (f.gradient.size() > 15)
            throw std::invalid_argument("a gradient holds at most 15 records");
        out.u8(static_cast<std::uint8_t>(f.gradient.size()));
        for (const MorphGradientRecord& g : f.gradient) {
            out.u8(g.startRatio);
            encode::rgba(out, g.startColor);
            out.u8(g.endRatio);
            encode::rgba(out, g.endColor);
        }
        if (f.type == FillStyle::FocalRadialGradient) {
            out.fixed8(f.startFocal);
            out.fixed8(f.endFocal);
        }
        break;
    default:
        out.u16(f.bitmapId);
        encode::matrix(out, f.startMatrix);
        encode::matrix(out, f.endMatrix);
        break;
    }
}

void morphLine(ByteWriter& out, const MorphLineStyle& l, int version) {
    out.u16(l.startWidth);
    out.u16(l.endWidth);
    if (version >= 2) {
        const bool hasFill = l.fill.has_value();
        out.u8(static_cast<std::uint8_t>(static_cast<int>(l.startCap) << 6 | static_cast<int>(l.join) << 4 |
                                         (hasFill ? 0x08 : 0) | (l.noHScale ? 0x04 : 0) |
                                         (l.noVScale ? 0x02 : 0) | (l.pixelHinting ? 0x01 : 0)));
        out.u8(static_cast<std::uint8_t>((l.noClose ? 0x04 : 0) | static_cast<int>(l.endCap)));
        if (l.join == JoinStyle::Miter)
            out.u16(static_cast<std::uint16_t>(l.miterLimit * 256.0 + 0.5));
        if (hasFill) {
            morphFill(out, *l.fill);
            return;
        }
    }
    encode::rgba(out, l.startColor);
    encode::rgba(out, l.endColor);
}

} // namespace

int MorphShapeBuilder::addFill(const MorphFillStyle& fill) {
    m_fills.push_back(fill);
    return static_cast<int>(m_fills.size());
}

int MorphShapeBuilder::addLine(const MorphLineStyle& line) {
    m_lines.push_back(line);
    return static_cast<int>(m_lines.size());
}

MorphShapeBuilder& MorphShapeBuilder::setStartBounds(const Rect& r) {
    m_startBounds = r;
    return *this;
}

MorphShapeBuilder& MorphShapeBuilder::setEndBounds(const Rect& r) {
    m_endBounds = r;
    return *this;
}

MorphShapeBuilder& MorphShapeBuilder::setFlags(std::uint8_t flags) {
    m_flags = flags;
    return *this;
}

std::vector<std::uint8_t> MorphShapeBuilder::encode(std::uint16_t id, int version) const {
    ByteWriter out;
    out.u16(id);
    encode::rect(out, m_startBounds.value_or(m_start.bounds()));
    encode::rect(out, m_endBounds.value_or(m_end.bounds()));
    if (version >= 2) {
        encode::rect(out, m_start.edgeBounds());
        encode::rect(out, m_end.edgeBounds());
        out.u8(m_flags);
    }
    const std::size_t offsetAt = out.size();
    out.u32(0);
    count(out, m_fills.size());
    for (const MorphFillStyle& f : m_fills)
        morphFill(out, f);
    count(out, m_lines.size());
    for (const MorphLineStyle& l : m_lines)
        morphLine(out, l, version);

    const int fillBits = BitWriter::unsignedBits(static_cast<std::uint32_t>(m_fills.size()));
    const int lineBits = BitWriter::unsignedBits(static_cast<std::uint32_t>(m_lines.size()));
    if (fillBits > 15 || lineBits > 15)
        throw std::invalid_argument("too many morph styles for a shape record");
    out.bytes(m_start.encodeShape(fillBits, lineBits, 3));
    out.patchU32(offsetAt, static_cast<std::uint32_t>(out.size() - offsetAt - 4));

    // The end edges carry positions only: style widths 0, no selections.
    BitWriter end;
    end.writeUB(0, 8);
    m_end.encodeRecords(end, 0, 0, 3, ShapeBuilder::Styles::Drop);
    out.bytes(end.bytes());
    return out.take();
}

} // namespace orvane::testing
