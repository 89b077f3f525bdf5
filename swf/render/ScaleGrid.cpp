// Each axis is cut at the grid's two lines. The outer parts are drawn at their own size
// (their width divided by the scale the matrix will apply), the middle takes what is left
// of the scaled bounds; when the outer parts alone are wider than that, they share it in
// proportion and the middle vanishes. Path points are moved one by one, so a curve that
// crosses a grid line bends with the warp.

#include "swf/render/ScaleGrid.h"

#include <algorithm>
#include <cmath>

namespace swf::render {

GridAxis::GridAxis(double b0_, double g0_, double g1_, double b1_, double scale)
    : b0(b0_), g0(g0_), g1(g1_), b1(b1_) {
    const double total = b1 - b0;
    const double s = std::abs(scale);
    const double fixed = ((g0 - b0) + (b1 - g1)) / s;
    const double share = fixed > total && fixed > 0 ? total / fixed : 1.0;
    left = (g0 - b0) / s * share;
    right = (b1 - g1) / s * share;
    middle = std::max(0.0, total - left - right);
}

double GridAxis::map(double v) const {
    if (v <= g0)
        return g0 > b0 ? b0 + (v - b0) * left / (g0 - b0) : b0 + (v - g0);
    if (v >= g1)
        return b1 > g1 ? b1 - (b1 - v) * right / (b1 - g1) : b1 + (v - g1);
    return b0 + left + (v - g0) * (g1 > g0 ? middle / (g1 - g0) : 0.0);
}

std::optional<ScaleGrid> scaleGridFor(const QRectF& grid, const QRectF& bounds, const QTransform& matrix) {
    if (matrix.m12() != 0 || matrix.m21() != 0 || matrix.m11() == 0 || matrix.m22() == 0)
        return std::nullopt;
    if (!(grid.width() > 0 && grid.height() > 0) || !bounds.contains(grid))
        return std::nullopt;
    ScaleGrid warp;
    warp.x = GridAxis(bounds.left(), grid.left(), grid.right(), bounds.right(), matrix.m11());
    warp.y = GridAxis(bounds.top(), grid.top(), grid.bottom(), bounds.bottom(), matrix.m22());
    return warp;
}

namespace {

QPainterPath warpPath(const QPainterPath& path, const QTransform& placement, const ScaleGrid& warp) {
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = warp.map(placement.map(QPointF(e.x, e.y)));
        switch (e.type) {
        case QPainterPath::MoveToElement:
            out.moveTo(p);
            break;
        case QPainterPath::LineToElement:
            out.lineTo(p);
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= path.elementCount())
                return out;
            const QPainterPath::Element c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
            out.cubicTo(p, warp.map(placement.map(QPointF(c2.x, c2.y))), warp.map(placement.map(QPointF(to.x, to.y))));
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement: // consumed with its curve
            break;
        }
    }
    return out;
}

} // namespace

CompiledShape warpShape(const CompiledShape& shape, const QTransform& placement, const ScaleGrid& warp) {
    CompiledShape out;
    out.fills = shape.fills;
    for (FillStyle& f : out.fills)
        f.matrix = f.matrix * placement;
    out.lines = shape.lines;
    const double widthScale = std::sqrt(std::abs(placement.determinant()));
    for (LineStyle& l : out.lines) {
        l.width *= widthScale;
        l.fill.matrix = l.fill.matrix * placement;
    }
    out.layers.reserve(shape.layers.size());
    for (const ShapeLayer& layer : shape.layers) {
        ShapeLayer warped;
        warped.kind = layer.kind;
        warped.style = layer.style;
        warped.path = warpPath(layer.path, placement, warp);
        out.bounds = out.bounds.isNull() ? warped.path.boundingRect() : out.bounds.united(warped.path.boundingRect());
        out.layers.push_back(std::move(warped));
    }
    out.edgeCount = shape.edgeCount;
    return out;
}

} // namespace swf::render
