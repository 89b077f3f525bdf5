// Parsers for DefineShape 1-4 and DefineMorphShape 1-2.

#include "swf/format/Shape.h"

#include "swf/io/BitReader.h"

#include <cmath>

namespace swf::format {
namespace {

// No real shape comes near this; it bounds the work a hostile record stream can ask for.
constexpr std::size_t kMaxShapeRecords = 4u << 20;

Gradient readGradient(io::ByteReader& r, int shapeVersion, bool focal) {
    Gradient g;
    std::uint8_t head = r.u8();
    std::uint8_t spread = head >> 6;
    g.spread = spread <= 2 ? static_cast<SpreadMode>(spread) : SpreadMode::Pad;
    g.interpolation = ((head >> 4) & 3) == 1 ? InterpolationMode::Linear : InterpolationMode::Normal;
    unsigned count = head & 0x0F;
    g.records.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        GradientRecord rec;
        rec.ratio = r.u8();
        rec.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
        g.records.push_back(rec);
    }
    if (focal)
        g.focalPoint = r.fixed8();
    return g;
}

bool readFillStyle(io::ByteReader& r, int shapeVersion, FillStyle& fill) {
    std::uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        fill.type = FillType::Solid;
        fill.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        fill.type = static_cast<FillType>(type);
        fill.matrix = readMatrix(r);
        fill.gradient = readGradient(r, shapeVersion, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        fill.type = static_cast<FillType>(type);
        fill.bitmapId = r.u16();
        fill.matrix = readMatrix(r);
        break;
    default:
        return false; // the rest of the array cannot be located
    }
    return r.ok();
}

// The caps, join, scaling flags and miter limit of a LINESTYLE2, laid out alike in
// shapes and morph shapes. Returns whether a fill style stands in place of the colour.
template <class Line>
bool readLineFlags(io::ByteReader& r, Line& line) {
    std::uint8_t a = r.u8();
    std::uint8_t b = r.u8();
    auto cap = [](unsigned v) { return v <= 2 ? static_cast<CapStyle>(v) : CapStyle::Round; };
    line.startCap = cap(a >> 6);
    unsigned join = (a >> 4) & 3;
    line.join = join <= 2 ? static_cast<JoinStyle>(join) : JoinStyle::Round;
    line.noHScale = a & 0x04;
    line.noVScale = a & 0x02;
    line.pixelHinting = a & 0x01;
    line.noClose = b & 0x04;
    line.endCap = cap(b & 3);
    if (join == 2)
        line.miterLimit = r.u16() / 256.0;
    return a & 0x08;
}

bool readLineStyle(io::ByteReader& r, int shapeVersion, LineStyle& line) {
    line.width = r.u16();
    if (shapeVersion < 4) {
        line.color = shapeVersion >= 3 ? readRgba(r) : readRgb(r);
        return r.ok();
    }
    // LINESTYLE2
    const bool hasFill = readLineFlags(r, line);
    if (hasFill) {
        FillStyle fill;
        if (!readFillStyle(r, shapeVersion, fill))
            return false;
        line.fill = std::move(fill);
    } else {
        line.color = readRgba(r);
    }
    return r.ok();
}

std::size_t readCount(io::ByteReader& r, bool extended) {
    std::size_t count = r.u8();
    if (count == 0xFF && extended)
        count = r.u16();
    return count;
}

// A counted style array. `minSize` is the fewest bytes one entry takes, so a count the
// tag cannot hold is refused before anything is allocated.
template <class Style, class ReadOne>
bool readStyleArray(io::ByteReader& r, std::size_t minSize, std::vector<Style>& out, ReadOne readOne) {
    const std::size_t count = readCount(r, true);
    if (count > r.remaining() / minSize + 1)
        return false;
    out.resize(count);
    for (auto& style : out)
        if (!readOne(style))
            return false;
    return true;
}

bool readStyles(io::ByteReader& r, int shapeVersion, ShapeStyles& styles) {
    // The 0xFF escape is honoured for DefineShape 1 too: old tools wrote it.
    // Each fill style takes at least 4 bytes (type + RGB), each line at least 5.
    if (!readStyleArray(r, 4, styles.fills, [&](FillStyle& f) { return readFillStyle(r, shapeVersion, f); }))
        return false;
    if (!readStyleArray(r, 4, styles.lines, [&](LineStyle& l) { return readLineStyle(r, shapeVersion, l); }))
        return false;
    return r.ok();
}

// SHAPERECORDs up to the end record. `styles` allows NewStyles records (SHAPEWITHSTYLE);
// glyphs and morph edges never carry them, but tolerate them anyway.
bool readRecords(io::ByteReader& r, int shapeVersion, std::vector<ShapeRecord>& out) {
    io::BitReader bits(r);
    unsigned fillBits = bits.ub(4);
    unsigned lineBits = bits.ub(4);
    while (r.ok()) {
        if (out.size() >= kMaxShapeRecords)
            return false;
        bool edge = bits.flag();
        if (!edge) {
            unsigned flags = bits.ub(5);
            if (flags == 0)
                return r.ok(); // EndShapeRecord
            StyleChangeRecord sc;
            if (flags & 0x01) {
                unsigned n = bits.ub(5);
                sc.moveX = bits.sb(n);
                sc.moveY = bits.sb(n);
            }
            if (flags & 0x02)
                sc.fill0 = bits.ub(fillBits);
            if (flags & 0x04)
                sc.fill1 = bits.ub(fillBits);
            if (flags & 0x08)
                sc.line = bits.ub(lineBits);
            if (flags & 0x10) {
                bits.align();
                ShapeStyles styles;
                if (!readStyles(r, shapeVersion, styles))
                    return false;
                sc.newStyles = std::move(styles);
                fillBits = bits.ub(4);
                lineBits = bits.ub(4);
            }
            out.emplace_back(std::move(sc));
        } else if (bits.flag()) {
            unsigned n = bits.ub(4) + 2;
            StraightEdgeRecord e;
            if (bits.flag()) {
                e.dx = bits.sb(n);
                e.dy = bits.sb(n);
            } else if (bits.flag()) {
                e.dy = bits.sb(n);
            } else {
                e.dx = bits.sb(n);
            }
            out.emplace_back(e);
        } else {
            unsigned n = bits.ub(4) + 2;
            CurvedEdgeRecord c;
            c.controlDx = bits.sb(n);
            c.controlDy = bits.sb(n);
            c.anchorDx = bits.sb(n);
            c.anchorDy = bits.sb(n);
            out.emplace_back(c);
        }
    }
    return false;
}

int shapeVersionOf(TagCode code) {
    switch (code) {
    case TagCode::DefineShape2:
        return 2;
    case TagCode::DefineShape3:
        return 3;
    case TagCode::DefineShape4:
        return 4;
    default:
        return 1;
    }
}

Rgba lerp(Rgba a, Rgba b, double t) {
    auto ch = [t](int x, int y) { return static_cast<std::uint8_t>(x + (y - x) * t + 0.5); };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}
double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}
Matrix lerp(const Matrix& a, const Matrix& b, double t) {
    return {lerp(a.a, b.a, t), lerp(a.b, b.b, t),   lerp(a.c, b.c, t),
            lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}
std::int32_t lerpI(std::int32_t a, std::int32_t b, double t) {
    return static_cast<std::int32_t>(std::lround(a + (double(b) - a) * t));
}

bool readMorphFill(io::ByteReader& r, MorphFillStyle& fill) {
    std::uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        fill.type = FillType::Solid;
        fill.startColor = readRgba(r);
        fill.endColor = readRgba(r);
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        fill.type = static_cast<FillType>(type);
        fill.startMatrix = readMatrix(r);
        fill.endMatrix = readMatrix(r);
        std::uint8_t head = r.u8();
        std::uint8_t spread = head >> 6;
        fill.spread = spread <= 2 ? static_cast<SpreadMode>(spread) : SpreadMode::Pad;
        fill.interpolation = ((head >> 4) & 3) == 1 ? InterpolationMode::Linear : InterpolationMode::Normal;
        unsigned count = head & 0x0F;
        for (unsigned i = 0; i < count; ++i) {
            MorphGradientRecord g;
            g.startRatio = r.u8();
            g.startColor = readRgba(r);
            g.endRatio = r.u8();
            g.endColor = readRgba(r);
            fill.gradient.push_back(g);
        }
        if (type == 0x13) {
            fill.startFocalPoint = r.fixed8();
            fill.endFocalPoint = r.fixed8();
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        fill.type = static_cast<FillType>(type);
        fill.bitmapId = r.u16();
        fill.startMatrix = readMatrix(r);
        fill.endMatrix = readMatrix(r);
        break;
    default:
        return false;
    }
    return r.ok();
}

bool readMorphLine(io::ByteReader& r, int version, MorphLineStyle& line) {
    line.startWidth = r.u16();
    line.endWidth = r.u16();
    if (version == 1) {
        line.startColor = readRgba(r);
        line.endColor = readRgba(r);
        return r.ok();
    }
    const bool hasFill = readLineFlags(r, line);
    if (hasFill) {
        MorphFillStyle fill;
        if (!readMorphFill(r, fill))
            return false;
        line.fill = std::move(fill);
    } else {
        line.startColor = readRgba(r);
        line.endColor = readRgba(r);
    }
    return r.ok();
}

FillStyle fillAt(const MorphFillStyle& m, double t) {
    FillStyle f;
    f.type = m.type;
    f.color = lerp(m.startColor, m.endColor, t);
    f.matrix = lerp(m.startMatrix, m.endMatrix, t);
    f.bitmapId = m.bitmapId;
    f.gradient.spread = m.spread;
    f.gradient.interpolation = m.interpolation;
    f.gradient.focalPoint = lerp(m.startFocalPoint, m.endFocalPoint, t);
    for (const auto& g : m.gradient)
        f.gradient.records.push_back({static_cast<std::uint8_t>(lerp(g.startRatio, g.endRatio, t) + 0.5),
                                      lerp(g.startColor, g.endColor, t)});
    return f;
}

} // namespace

bool readShape(io::ByteReader& r, int shapeVersion, Shape& out) {
    return readRecords(r, shapeVersion, out.records);
}

// DefineShape, DefineShape2, DefineShape3, DefineShape4
std::unique_ptr<ShapeCharacter> parseShape(TagCode code, io::ByteReader& r, const ParseContext&) {
    auto shape = std::make_unique<ShapeCharacter>();
    shape->version = shapeVersionOf(code);
    shape->id = r.u16();
    shape->bounds = readRect(r);
    shape->edgeBounds = shape->bounds;
    if (shape->version == 4) {
        shape->edgeBounds = readRect(r);
        std::uint8_t flags = r.u8();
        shape->usesFillWindingRule = flags & 0x04;
        shape->usesNonScalingStrokes = flags & 0x02;
        shape->usesScalingStrokes = flags & 0x01;
    }
    if (!r.ok() || !readStyles(r, shape->version, shape->shape.styles))
        return nullptr;
    if (!readRecords(r, shape->version, shape->shape.records))
        return nullptr;
    return shape;
}

// DefineMorphShape, DefineMorphShape2
std::unique_ptr<MorphShapeCharacter> parseMorphShape(TagCode code, io::ByteReader& r, const ParseContext&) {
    auto morph = std::make_unique<MorphShapeCharacter>();
    morph->version = code == TagCode::DefineMorphShape2 ? 2 : 1;
    morph->id = r.u16();
    morph->startBounds = readRect(r);
    morph->endBounds = readRect(r);
    morph->startEdgeBounds = morph->startBounds;
    morph->endEdgeBounds = morph->endBounds;
    if (morph->version == 2) {
        morph->startEdgeBounds = readRect(r);
        morph->endEdgeBounds = readRect(r);
        std::uint8_t flags = r.u8();
        morph->usesNonScalingStrokes = flags & 0x02;
        morph->usesScalingStrokes = flags & 0x01;
    }
    std::uint32_t offset = r.u32();
    std::size_t endEdgesAt = r.position() + offset;
    if (!r.ok() || endEdgesAt > r.size())
        return nullptr;
    if (!readStyleArray(r, 9, morph->fills, [&](MorphFillStyle& f) { return readMorphFill(r, f); }))
        return nullptr;
    if (!readStyleArray(r, 4, morph->lines,
                        [&](MorphLineStyle& l) { return readMorphLine(r, morph->version, l); }))
        return nullptr;
    if (!readRecords(r, 3, morph->startRecords))
        return nullptr;
    // The offset, not the end of the start records, says where the end edges begin.
    r.seek(endEdgesAt);
    if (offset != 0 && !readRecords(r, 3, morph->endRecords))
        return nullptr;
    return morph;
}

ShapeCharacter MorphShapeCharacter::shapeAt(std::uint16_t ratio) const {
    double t = ratio / 65535.0;
    ShapeCharacter s;
    s.id = id;
    s.version = 4;
    s.bounds = {lerpI(startBounds.xMin, endBounds.xMin, t), lerpI(startBounds.xMax, endBounds.xMax, t),
                lerpI(startBounds.yMin, endBounds.yMin, t), lerpI(startBounds.yMax, endBounds.yMax, t)};
    s.edgeBounds = s.bounds;
    for (const auto& f : fills)
        s.shape.styles.fills.push_back(fillAt(f, t));
    for (const auto& l : lines) {
        LineStyle line;
        line.width = static_cast<std::uint16_t>(lerp(l.startWidth, l.endWidth, t) + 0.5);
        line.color = lerp(l.startColor, l.endColor, t);
        line.startCap = l.startCap;
        line.endCap = l.endCap;
        line.join = l.join;
        line.miterLimit = l.miterLimit;
        line.noHScale = l.noHScale;
        line.noVScale = l.noVScale;
        line.pixelHinting = l.pixelHinting;
        line.noClose = l.noClose;
        if (l.fill)
            line.fill = fillAt(*l.fill, t);
        s.shape.styles.lines.push_back(std::move(line));
    }
    // Walk both record lists; style changes come from the start list, positions from both.
    std::size_t e = 0;
    auto nextEnd = [&](bool wantMove) -> const ShapeRecord* {
        while (e < endRecords.size()) {
            const ShapeRecord& rec = endRecords[e];
            if (auto* sc = std::get_if<StyleChangeRecord>(&rec)) {
                if (wantMove && sc->hasMove()) {
                    ++e;
                    return &rec;
                }
                if (!wantMove) {
                    ++e; // a style change without a counterpart edge: skip it
                    continue;
                }
                return nullptr;
            }
            if (wantMove)
                return nullptr;
            ++e;
            return &rec;
        }
        return nullptr;
    };
    for (const ShapeRecord& rec : startRecords) {
        if (auto* sc = std::get_if<StyleChangeRecord>(&rec)) {
            StyleChangeRecord out = *sc;
            out.newStyles.reset(); // morph shapes have one style table
            if (sc->hasMove()) {
                const ShapeRecord* endRec = nextEnd(true);
                auto* endMove = endRec ? std::get_if<StyleChangeRecord>(endRec) : nullptr;
                if (endMove) {
                    out.moveX = lerpI(*sc->moveX, *endMove->moveX, t);
                    out.moveY = lerpI(sc->moveY, endMove->moveY, t);
                }
            }
            s.shape.records.emplace_back(std::move(out));
            continue;
        }
        const ShapeRecord* endRec = nextEnd(false);
        auto asCurve = [](const ShapeRecord& r) {
            if (auto* c = std::get_if<CurvedEdgeRecord>(&r))
                return *c;
            auto& l = std::get<StraightEdgeRecord>(r);
            CurvedEdgeRecord c;
            c.controlDx = l.dx / 2;
            c.controlDy = l.dy / 2;
            c.anchorDx = l.dx - c.controlDx;
            c.anchorDy = l.dy - c.controlDy;
            return c;
        };
        if (!endRec) {
            s.shape.records.push_back(rec);
            continue;
        }
        auto* a = std::get_if<StraightEdgeRecord>(&rec);
        auto* b = std::get_if<StraightEdgeRecord>(endRec);
        if (a && b) {
            s.shape.records.emplace_back(StraightEdgeRecord{lerpI(a->dx, b->dx, t), lerpI(a->dy, b->dy, t)});
        } else {
            CurvedEdgeRecord ca = asCurve(rec), cb = asCurve(*endRec);
            s.shape.records.emplace_back(
                CurvedEdgeRecord{lerpI(ca.controlDx, cb.controlDx, t), lerpI(ca.controlDy, cb.controlDy, t),
                                 lerpI(ca.anchorDx, cb.anchorDx, t), lerpI(ca.anchorDy, cb.anchorDy, t)});
        }
    }
    return s;
}

} // namespace swf::format
