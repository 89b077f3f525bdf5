#include "swf/render/ShapeConverter.h"

#include <type_traits>

namespace swf::render {
namespace {

Cap toCap(format::CapStyle c) {
    switch (c) {
    case format::CapStyle::None:
        return Cap::None;
    case format::CapStyle::Square:
        return Cap::Square;
    default:
        return Cap::Round;
    }
}

Join toJoin(format::JoinStyle j) {
    switch (j) {
    case format::JoinStyle::Bevel:
        return Join::Bevel;
    case format::JoinStyle::Miter:
        return Join::Miter;
    default:
        return Join::Round;
    }
}

// Walks the record list. Pen positions are summed in 64 bits so hostile deltas cannot
// overflow; `glyph` maps every selected fill to style 1.
void walkRecords(const format::ShapeStyles& initial, const std::vector<format::ShapeRecord>& records,
                 bool glyph, ShapeGeometry& g) {
    int group = 0;
    std::uint32_t fillBase = 0, lineBase = 0;
    std::uint32_t fillCount = 0, lineCount = 0;
    auto addStyles = [&](const format::ShapeStyles& s) {
        fillBase = static_cast<std::uint32_t>(g.fills.size());
        lineBase = static_cast<std::uint32_t>(g.lines.size());
        for (const auto& f : s.fills)
            g.fills.push_back(convertFill(f, group));
        for (const auto& l : s.lines)
            g.lines.push_back(convertLine(l, group));
        fillCount = static_cast<std::uint32_t>(s.fills.size());
        lineCount = static_cast<std::uint32_t>(s.lines.size());
    };
    if (glyph) {
        g.fills.push_back(FillStyle{});
        fillCount = 1;
    } else {
        addStyles(initial);
    }
    auto fillIndex = [&](std::uint32_t local) -> std::uint32_t {
        if (glyph)
            return local ? 1 : 0;
        return local >= 1 && local <= fillCount ? fillBase + local : 0;
    };
    auto lineIndex = [&](std::uint32_t local) -> std::uint32_t {
        return !glyph && local >= 1 && local <= lineCount ? lineBase + local : 0;
    };

    std::int64_t x = 0, y = 0;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (const format::ShapeRecord& rec : records) {
        std::visit(
            [&](const auto& r) {
                using T = std::decay_t<decltype(r)>;
                if constexpr (std::is_same_v<T, format::StyleChangeRecord>) {
                    if (r.newStyles && !glyph) {
                        ++group;
                        addStyles(*r.newStyles);
                        fill0 = fill1 = line = 0;
                    }
                    if (r.hasMove()) {
                        x = *r.moveX;
                        y = r.moveY;
                    }
                    if (r.fill0)
                        fill0 = fillIndex(*r.fill0);
                    if (r.fill1)
                        fill1 = fillIndex(*r.fill1);
                    if (r.line)
                        line = lineIndex(*r.line);
                } else if constexpr (std::is_same_v<T, format::StraightEdgeRecord>) {
                    Edge e;
                    e.from = QPointF(double(x), double(y));
                    x += r.dx;
                    y += r.dy;
                    e.to = QPointF(double(x), double(y));
                    e.fill0 = fill0;
                    e.fill1 = fill1;
                    e.line = line;
                    g.edges.push_back(e);
                } else {
                    Edge e;
                    e.curved = true;
                    e.from = QPointF(double(x), double(y));
                    x += r.controlDx;
                    y += r.controlDy;
                    e.control = QPointF(double(x), double(y));
                    x += r.anchorDx;
                    y += r.anchorDy;
                    e.to = QPointF(double(x), double(y));
                    e.fill0 = fill0;
                    e.fill1 = fill1;
                    e.line = line;
                    g.edges.push_back(e);
                }
            },
            rec);
    }
}

} // namespace

QTransform toQTransform(const format::Matrix& m) {
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

Rgba8 toRgba8(const format::Rgba& c) {
    return {c.r, c.g, c.b, c.a};
}

FillStyle convertFill(const format::FillStyle& f, int group) {
    FillStyle out;
    out.group = group;
    out.matrix = toQTransform(f.matrix);
    switch (f.type) {
    case format::FillType::Solid:
        out.kind = FillStyle::Kind::Solid;
        out.color = toRgba8(f.color);
        break;
    case format::FillType::LinearGradient:
    case format::FillType::RadialGradient:
    case format::FillType::FocalRadialGradient:
        out.kind = f.type == format::FillType::LinearGradient   ? FillStyle::Kind::Linear
                   : f.type == format::FillType::RadialGradient ? FillStyle::Kind::Radial
                                                                : FillStyle::Kind::Focal;
        out.spread = f.gradient.spread == format::SpreadMode::Reflect  ? Spread::Reflect
                     : f.gradient.spread == format::SpreadMode::Repeat ? Spread::Repeat
                                                                       : Spread::Pad;
        out.interpolation = f.gradient.interpolation == format::InterpolationMode::Linear
                                ? Interpolation::LinearRgb
                                : Interpolation::Rgb;
        out.focal = f.gradient.focalPoint;
        for (const auto& rec : f.gradient.records)
            out.stops.push_back({double(rec.ratio), toRgba8(rec.color)});
        break;
    default:
        out.kind = FillStyle::Kind::Bitmap;
        out.bitmapId = f.bitmapId;
        out.repeat = !format::isClippedBitmap(f.type);
        out.smoothing = format::isSmoothedBitmap(f.type) ? Smoothing::On : Smoothing::Off;
        break;
    }
    return out;
}

LineStyle convertLine(const format::LineStyle& l, int group) {
    LineStyle out;
    out.group = group;
    out.width = l.width;
    out.color = toRgba8(l.color);
    out.startCap = toCap(l.startCap);
    out.endCap = toCap(l.endCap);
    out.join = toJoin(l.join);
    out.miterLimit = l.miterLimit;
    out.noHScale = l.noHScale;
    out.noVScale = l.noVScale;
    out.noClose = l.noClose;
    if (l.fill) {
        out.hasFill = true;
        out.fill = convertFill(*l.fill, group);
    }
    return out;
}

ShapeGeometry geometryFromShape(const format::ShapeCharacter& shape) {
    ShapeGeometry g;
    g.windingFill = shape.usesFillWindingRule;
    walkRecords(shape.shape.styles, shape.shape.records, false, g);
    return g;
}

ShapeGeometry geometryFromGlyph(const format::Shape& glyph) {
    ShapeGeometry g;
    walkRecords(glyph.styles, glyph.records, true, g);
    return g;
}

} // namespace swf::render
