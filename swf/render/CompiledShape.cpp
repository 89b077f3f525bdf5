// Shape to path conversion. A fill's boundary is scattered over the edge list: every edge
// has the fill on its right (fill1) in its drawn direction and the fill on its left (fill0)
// when reversed. For each fill style we collect those directed edges and chain them end to
// start by matching points, which yields closed contours with a consistent orientation (so
// both the even-odd and the non-zero rule give the intended area). Strokes keep the drawing
// order of their edges and start a new sub-path wherever the pen jumped.

#include "swf/render/CompiledShape.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace swf::render {
namespace {

struct Directed {
    QPointF from, control, to;
    bool curved;
};

struct GridPoint {
    std::int64_t x, y;
    bool operator==(const GridPoint&) const = default;
};

// Edge ends come from integer twips (or from identical morph arithmetic), so a grid of
// 1/16 twip only merges points that are meant to be the same.
GridPoint grid(const QPointF& p) {
    return {static_cast<std::int64_t>(std::llround(p.x() * 16.0)),
            static_cast<std::int64_t>(std::llround(p.y() * 16.0))};
}

struct GridHash {
    std::size_t operator()(const GridPoint& p) const {
        return static_cast<std::size_t>(static_cast<std::uint64_t>(p.x) * 0x9E3779B97F4A7C15ull ^
                                        static_cast<std::uint64_t>(p.y));
    }
};

bool samePoint(const QPointF& a, const QPointF& b) {
    return grid(a) == grid(b);
}

void appendEdge(QPainterPath& path, const Directed& e) {
    if (e.curved)
        path.quadTo(e.control, e.to);
    else
        path.lineTo(e.to);
}

QPainterPath chainContours(const std::vector<Directed>& edges, Qt::FillRule rule) {
    QPainterPath path;
    path.setFillRule(rule);
    std::unordered_multimap<GridPoint, std::size_t, GridHash> byStart;
    byStart.reserve(edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i)
        byStart.emplace(grid(edges[i].from), i);
    std::vector<bool> used(edges.size(), false);

    auto takeNext = [&](const QPointF& at) -> std::size_t {
        auto [lo, hi] = byStart.equal_range(grid(at));
        std::size_t best = edges.size();
        for (auto it = lo; it != hi; ++it) {
            if (!used[it->second] && it->second < best)
                best = it->second; // prefer the earliest edge: keeps the file's order
        }
        return best;
    };

    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first])
            continue;
        const QPointF start = edges[first].from;
        path.moveTo(start);
        std::size_t cur = first;
        while (cur < edges.size()) {
            used[cur] = true;
            appendEdge(path, edges[cur]);
            if (samePoint(edges[cur].to, start))
                break;
            cur = takeNext(edges[cur].to);
        }
        path.closeSubpath();
    }
    return path;
}

// A stroke that comes back to where it started is closed, so it gets a join there rather
// than two caps, unless the style asks for caps.
QPainterPath strokePath(const std::vector<const Edge*>& edges, bool noClose) {
    QPainterPath path;
    bool open = false;
    QPointF pen, start;
    for (const Edge* e : edges) {
        if (!open || !samePoint(pen, e->from)) {
            if (open && !noClose && samePoint(pen, start))
                path.closeSubpath();
            path.moveTo(e->from);
            start = e->from;
        }
        open = true;
        QPointF to = e->to;
        if (noClose && samePoint(to, start)) {
            // Qt joins a stroke whose last point is its first; a thousandth of a twip short of
            // it, the two ends get their caps as the style asks.
            const QPointF back = (e->curved ? e->control : e->from) - to;
            const double len = std::hypot(back.x(), back.y());
            if (len > 0)
                to += back / len * 1e-3;
        }
        if (e->curved)
            path.quadTo(e->control, to);
        else
            path.lineTo(to);
        pen = e->to;
    }
    if (open && !noClose && samePoint(pen, start) && path.elementCount() > 2)
        path.closeSubpath();
    return path;
}

} // namespace

CompiledShape compileShape(const ShapeGeometry& g) {
    CompiledShape out;
    out.fills = g.fills;
    out.lines = g.lines;
    out.edgeCount = g.edges.size();
    const Qt::FillRule rule = g.windingFill ? Qt::WindingFill : Qt::OddEvenFill;

    std::vector<std::vector<Directed>> perFill(g.fills.size());
    std::vector<std::vector<const Edge*>> perLine(g.lines.size());
    for (const Edge& e : g.edges) {
        // An edge with the same fill on both sides is interior, and one that ends where it
        // starts encloses nothing (and would close a contour before it began): neither
        // bounds a fill.
        const bool sameBothSides = e.fill0 == e.fill1 || samePoint(e.from, e.to);
        if (!sameBothSides && e.fill1 >= 1 && e.fill1 <= g.fills.size())
            perFill[e.fill1 - 1].push_back({e.from, e.control, e.to, e.curved});
        if (!sameBothSides && e.fill0 >= 1 && e.fill0 <= g.fills.size())
            perFill[e.fill0 - 1].push_back({e.to, e.control, e.from, e.curved});
        if (e.line >= 1 && e.line <= g.lines.size())
            perLine[e.line - 1].push_back(&e);
    }

    struct Order {
        int group;
        int kind; // fills before strokes within a group
        std::uint32_t index;
    };
    std::vector<Order> order;
    for (std::uint32_t i = 0; i < perFill.size(); ++i)
        if (!perFill[i].empty())
            order.push_back({g.fills[i].group, 0, i});
    for (std::uint32_t i = 0; i < perLine.size(); ++i)
        if (!perLine[i].empty())
            order.push_back({g.lines[i].group, 1, i});
    std::stable_sort(order.begin(), order.end(), [](const Order& a, const Order& b) {
        if (a.group != b.group)
            return a.group < b.group;
        if (a.kind != b.kind)
            return a.kind < b.kind;
        return a.index < b.index;
    });

    for (const Order& o : order) {
        ShapeLayer layer;
        layer.style = o.index;
        if (o.kind == 0) {
            layer.kind = ShapeLayer::Kind::Fill;
            layer.path = chainContours(perFill[o.index], rule);
        } else {
            layer.kind = ShapeLayer::Kind::Stroke;
            layer.path = strokePath(perLine[o.index], g.lines[o.index].noClose);
        }
        out.bounds =
            out.bounds.isNull() ? layer.path.boundingRect() : out.bounds.united(layer.path.boundingRect());
        out.layers.push_back(std::move(layer));
    }
    return out;
}

const QPainterPath& CompiledShape::fillArea() const {
    if (m_fillAreaBuilt)
        return m_fillArea;
    m_fillAreaBuilt = true;
    m_fillArea = QPainterPath();
    m_fillArea.setFillRule(Qt::WindingFill);
    for (const ShapeLayer& l : layers) {
        // simplified() resolves each fill's own rule into plain, consistently wound outlines
        // that can be merged under the non-zero rule.
        if (l.kind == ShapeLayer::Kind::Fill)
            m_fillArea.addPath(l.path.simplified());
    }
    return m_fillArea;
}

void CompiledShape::releaseDrawingCaches() const {
    fillBrushes.clear();
    fillBrushes.shrink_to_fit();
    for (const ShapeLayer& l : layers) {
        l.outline = QPainterPath();
        l.outlineWidth = -1;
        // A filled path keeps a converted copy of itself (over 3 KB, whatever its size) that
        // only a new path lets go of.
        QPainterPath fresh;
        fresh.setFillRule(l.path.fillRule());
        fresh.addPath(l.path);
        const_cast<QPainterPath&>(l.path) = std::move(fresh); // the same outline: unchanged to readers
    }
}

} // namespace swf::render
