// Drawing-API calls as shape records.

#include "swf/avm1/DrawingPen.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

constexpr double kTwips = 20.0;
// A script drawing in a loop stops growing here instead of exhausting memory.
constexpr std::size_t kMaxRecords = 1u << 18;
constexpr std::size_t kMaxStyles = 1u << 16;
constexpr std::size_t kMaxBitmaps = 0xFFFF; // bitmap fill ids are 16 bits

std::int32_t twips(double px) {
    return static_cast<std::int32_t>(std::isfinite(px) ? std::clamp(std::round(px * kTwips), -1e9, 1e9) : 0.0);
}

format::Rgba rgba(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8), static_cast<std::uint8_t>(argb),
            static_cast<std::uint8_t>(argb >> 24)};
}

// A bitmap fill names the drawing's own list of pixels (1-based).
format::FillStyle bitmapFillOf(const DrawBitmap& b, timeline::Graphics& g) {
    format::FillStyle f;
    auto it = std::find(g.bitmaps.begin(), g.bitmaps.end(), b.pixels);
    if (it == g.bitmaps.end()) {
        g.bitmaps.push_back(b.pixels);
        it = std::prev(g.bitmaps.end());
    }
    f.bitmapId = static_cast<std::uint16_t>(it - g.bitmaps.begin() + 1);
    f.type = b.repeat ? (b.smoothing ? format::FillType::RepeatingBitmap : format::FillType::RepeatingBitmapHard)
                      : (b.smoothing ? format::FillType::ClippedBitmap : format::FillType::ClippedBitmapHard);
    const double* m = b.matrix;
    // Bitmap pixels to the drawing's twips.
    f.matrix = {m[0] * kTwips, m[1] * kTwips, m[2] * kTwips, m[3] * kTwips, m[4] * kTwips, m[5] * kTwips};
    return f;
}

format::FillStyle fillOf(const DrawOp& op, timeline::Graphics& drawing) {
    if (op.bitmap)
        return bitmapFillOf(*op.bitmap, drawing);
    format::FillStyle f;
    if (!op.gradient) {
        f.color = rgba(op.color);
        return f;
    }
    const DrawGradient& g = *op.gradient;
    f.type = !g.radial ? format::FillType::LinearGradient
                       : (g.focalPoint != 0 ? format::FillType::FocalRadialGradient : format::FillType::RadialGradient);
    const double* m = g.matrix;
    // The file's gradient square is 20 times the script's (twips against pixels).
    f.matrix = {m[0], m[1], m[2], m[3], m[4] * kTwips, m[5] * kTwips};
    f.gradient.spread = static_cast<format::SpreadMode>(std::clamp(g.spread, 0, 2));
    f.gradient.interpolation = g.linearRgb ? format::InterpolationMode::Linear : format::InterpolationMode::Normal;
    f.gradient.focalPoint = std::clamp(g.focalPoint, -1.0, 1.0);
    for (const auto& [ratio, color] : g.stops)
        f.gradient.records.push_back({ratio, rgba(color)});
    return f;
}

format::LineStyle lineOf(const DrawOp& op) {
    format::LineStyle l;
    l.width = static_cast<std::uint16_t>(std::clamp(std::round(op.width * kTwips), 0.0, 255.0 * kTwips));
    l.color = rgba(op.color);
    const format::CapStyle caps[] = {format::CapStyle::Round, format::CapStyle::None, format::CapStyle::Square};
    const format::JoinStyle joins[] = {format::JoinStyle::Round, format::JoinStyle::Bevel, format::JoinStyle::Miter};
    l.startCap = l.endCap = caps[std::clamp(op.caps, 0, 2)];
    l.join = joins[std::clamp(op.joints, 0, 2)];
    l.miterLimit = std::clamp(op.miterLimit, 1.0, 255.0);
    l.pixelHinting = op.pixelHinting;
    l.noHScale = op.noHScale;
    l.noVScale = op.noVScale;
    return l;
}

} // namespace

void DrawingPen::include(format::ShapeCharacter& s, std::int32_t x, std::int32_t y) {
    format::Rect& b = s.edgeBounds;
    if (m_empty) {
        b = {x, x, y, y};
        s.bounds = {x - m_halfLine, x + m_halfLine, y - m_halfLine, y + m_halfLine};
        m_empty = false;
        return;
    }
    b.xMin = std::min(b.xMin, x);
    b.xMax = std::max(b.xMax, x);
    b.yMin = std::min(b.yMin, y);
    b.yMax = std::max(b.yMax, y);
    s.bounds.xMin = std::min(s.bounds.xMin, x - m_halfLine);
    s.bounds.xMax = std::max(s.bounds.xMax, x + m_halfLine);
    s.bounds.yMin = std::min(s.bounds.yMin, y - m_halfLine);
    s.bounds.yMax = std::max(s.bounds.yMax, y + m_halfLine);
}

// A style change selecting the current fill and line, optionally moving to the pen.
void DrawingPen::select(format::ShapeCharacter& s, bool move) {
    format::StyleChangeRecord r;
    r.fill0 = 0;
    r.fill1 = m_fill;
    r.line = m_line;
    if (move) {
        r.moveX = m_x;
        r.moveY = m_y;
    }
    s.shape.records.push_back(std::move(r));
}

void DrawingPen::edgeTo(format::ShapeCharacter& s, std::int32_t x, std::int32_t y) {
    if (m_empty)
        include(s, m_x, m_y);
    s.shape.records.push_back(format::StraightEdgeRecord{x - m_x, y - m_y});
    m_x = x;
    m_y = y;
    include(s, x, y);
}

void DrawingPen::curveTo(format::ShapeCharacter& s, std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y) {
    if (m_empty)
        include(s, m_x, m_y);
    s.shape.records.push_back(format::CurvedEdgeRecord{cx - m_x, cy - m_y, x - cx, y - cy});
    include(s, cx, cy);
    m_x = x;
    m_y = y;
    include(s, x, y);
}

void DrawingPen::closeFill(format::ShapeCharacter& s) {
    if (m_fill && (m_x != m_startX || m_y != m_startY))
        edgeTo(s, m_startX, m_startY);
}

void DrawingPen::apply(timeline::Graphics& g, const DrawOp& op) {
    if (op.kind == DrawOp::Kind::Clear) {
        g.clear();
        *this = DrawingPen{};
        return;
    }
    format::ShapeCharacter& s = g.edit();
    if (s.shape.records.size() >= kMaxRecords || s.shape.styles.fills.size() >= kMaxStyles ||
        s.shape.styles.lines.size() >= kMaxStyles || g.bitmaps.size() >= kMaxBitmaps)
        return;
    s.version = 4;
    switch (op.kind) {
    case DrawOp::Kind::LineStyle:
        s.shape.styles.lines.push_back(lineOf(op));
        m_line = static_cast<std::uint32_t>(s.shape.styles.lines.size());
        m_halfLine = s.shape.styles.lines.back().width / 2;
        select(s, false);
        break;
    case DrawOp::Kind::LineGradient: {
        if (!m_line)
            return; // no line to paint
        format::LineStyle line = s.shape.styles.lines[m_line - 1];
        line.fill = fillOf(op, g);
        s.shape.styles.lines.push_back(std::move(line));
        m_line = static_cast<std::uint32_t>(s.shape.styles.lines.size());
        select(s, false);
        break;
    }
    case DrawOp::Kind::NoLine:
        m_line = 0;
        m_halfLine = 0;
        select(s, false);
        break;
    case DrawOp::Kind::Fill:
        closeFill(s);
        s.shape.styles.fills.push_back(fillOf(op, g));
        m_fill = static_cast<std::uint32_t>(s.shape.styles.fills.size());
        m_startX = m_x;
        m_startY = m_y;
        select(s, true);
        break;
    case DrawOp::Kind::EndFill:
        closeFill(s);
        m_fill = 0;
        select(s, false);
        break;
    case DrawOp::Kind::MoveTo:
        closeFill(s);
        m_x = m_startX = twips(op.x);
        m_y = m_startY = twips(op.y);
        select(s, true);
        break;
    case DrawOp::Kind::LineTo:
        edgeTo(s, twips(op.x), twips(op.y));
        break;
    case DrawOp::Kind::CurveTo:
        curveTo(s, twips(op.cx), twips(op.cy), twips(op.x), twips(op.y));
        break;
    case DrawOp::Kind::Clear:
        break;
    }
    g.changed();
}

} // namespace swf::avm1
