#include "swf/timeline/ShapeHit.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace swf::timeline {

namespace {

// Curves become this many straight pieces: a hit test wants the outline to within a
// fraction of a pixel, not a smooth drawing.
constexpr int kCurvePieces = 8;
// Hairlines (width 0) are hit within half a pixel, like a one-pixel line.
constexpr double kHairlineHalfWidth = 10.0;
// Shapes with more segments than this are tested against their bounds only.
constexpr std::size_t kMaxSegments = 1u << 20;

double distanceToSegmentSq(double px, double py, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len = dx * dx + dy * dy;
    double t = len > 0 ? ((px - x0) * dx + (py - y0) * dy) / len : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return ex * ex + ey * ey;
}

} // namespace

HitShape::HitShape(const format::ShapeCharacter& shape) : m_winding(shape.usesFillWindingRule), m_bounds(shape.bounds) {
    // Style indices in the records count within the current style group; across
    // groups they are offset so that every style has one number.
    std::uint32_t fillBase = 0, lineBase = 0, fillCount = 0, lineCount = 0;
    auto addStyles = [&](const format::ShapeStyles& s) {
        fillBase = m_fillCount;
        lineBase = static_cast<std::uint32_t>(m_halfWidths.size());
        fillCount = static_cast<std::uint32_t>(s.fills.size());
        lineCount = static_cast<std::uint32_t>(s.lines.size());
        m_fillCount += fillCount;
        for (const format::LineStyle& l : s.lines)
            m_halfWidths.push_back(l.width == 0 ? kHairlineHalfWidth : l.width / 2.0);
    };
    addStyles(shape.shape.styles);
    std::int64_t x = 0, y = 0;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    auto add = [&](double x0, double y0, double x1, double y1) {
        if (m_segments.size() < kMaxSegments)
            m_segments.push_back({x0, y0, x1, y1, fill0, fill1, line});
    };
    for (const format::ShapeRecord& rec : shape.shape.records) {
        if (const auto* s = std::get_if<format::StyleChangeRecord>(&rec)) {
            if (s->newStyles) {
                addStyles(*s->newStyles);
                fill0 = fill1 = line = 0;
            }
            if (s->hasMove()) {
                x = *s->moveX;
                y = s->moveY;
            }
            auto pick = [](std::uint32_t local, std::uint32_t base, std::uint32_t count) {
                return local >= 1 && local <= count ? base + local : 0;
            };
            if (s->fill0)
                fill0 = pick(*s->fill0, fillBase, fillCount);
            if (s->fill1)
                fill1 = pick(*s->fill1, fillBase, fillCount);
            if (s->line)
                line = pick(*s->line, lineBase, lineCount);
        } else if (const auto* e = std::get_if<format::StraightEdgeRecord>(&rec)) {
            const double x0 = double(x), y0 = double(y);
            x += e->dx;
            y += e->dy;
            add(x0, y0, double(x), double(y));
        } else if (const auto* c = std::get_if<format::CurvedEdgeRecord>(&rec)) {
            const double x0 = double(x), y0 = double(y);
            const double cx = double(x + c->controlDx), cy = double(y + c->controlDy);
            x += std::int64_t(c->controlDx) + c->anchorDx;
            y += std::int64_t(c->controlDy) + c->anchorDy;
            double px = x0, py = y0;
            for (int i = 1; i <= kCurvePieces; ++i) {
                const double t = double(i) / kCurvePieces, u = 1 - t;
                const double qx = u * u * x0 + 2 * u * t * cx + t * t * double(x);
                const double qy = u * u * y0 + 2 * u * t * cy + t * t * double(y);
                add(px, py, qx, qy);
                px = qx;
                py = qy;
            }
        }
    }
}

// Each fill style is its own area, drawn with edges that have it on the right (fill1)
// as they run and edges that have it on the left (fill0) reversed; the point is inside
// when a ray to the right crosses that area's outline an odd number of times (even-odd)
// or with a non-zero sum of directions (non-zero).
bool HitShape::onFill(double px, double py) const {
    if (m_fillCount == 0)
        return false;
    std::vector<int> winding(m_fillCount + 1, 0);
    for (const Segment& s : m_segments) {
        if (s.fill0 == s.fill1 || (s.fill0 == 0 && s.fill1 == 0))
            continue;
        // Half-open in y so that a vertex on the ray is counted once.
        const bool up = s.y0 <= py && s.y1 > py;
        const bool down = s.y1 <= py && s.y0 > py;
        if (!up && !down)
            continue;
        const double t = (py - s.y0) / (s.y1 - s.y0);
        if (s.x0 + t * (s.x1 - s.x0) <= px)
            continue;
        const int dir = up ? 1 : -1;
        if (s.fill1)
            winding[s.fill1] += dir;
        if (s.fill0)
            winding[s.fill0] -= dir;
    }
    for (std::uint32_t f = 1; f <= m_fillCount; ++f)
        if (m_winding ? winding[f] != 0 : (winding[f] & 1) != 0)
            return true;
    return false;
}

bool HitShape::onStroke(double px, double py) const {
    for (const Segment& s : m_segments) {
        if (s.line == 0 || s.line > m_halfWidths.size())
            continue;
        const double half = m_halfWidths[s.line - 1];
        if (distanceToSegmentSq(px, py, s.x0, s.y0, s.x1, s.y1) <= half * half)
            return true;
    }
    return false;
}

bool HitShape::contains(double x, double y) const {
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    if (x < m_bounds.xMin || x > m_bounds.xMax || y < m_bounds.yMin || y > m_bounds.yMax)
        return false;
    if (m_segments.size() >= kMaxSegments)
        return true;
    return onFill(x, y) || onStroke(x, y);
}

} // namespace swf::timeline
