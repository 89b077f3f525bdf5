#pragma once
// Nine-region scaling (scale9Grid): a sprite whose grid is set keeps its corners at their
// own size, stretches its edges along one axis and its centre along both, so that its
// content still fills the bounds its scale gives it. The renderer draws the sprite's shapes
// through the warp in the sprite's space and then through the sprite's matrix.

#include "swf/render/CompiledShape.h"

#include <QRectF>
#include <QTransform>

#include <optional>

namespace swf::render {

// One axis: content from b0 to b1 with its middle part from g0 to g1, shown at `scale`.
struct GridAxis {
    double b0 = 0, g0 = 0, g1 = 0, b1 = 0;
    double left = 0, middle = 0, right = 0; // widths in the sprite's space after the warp

    GridAxis() = default;
    GridAxis(double b0, double g0, double g1, double b1, double scale);
    double map(double v) const;
};

struct ScaleGrid {
    GridAxis x, y;
    QPointF map(const QPointF& p) const { return {x.map(p.x()), y.map(p.y())}; }
};

// The warp for a sprite with `grid` (its space, twips) whose content spans `bounds`, drawn
// with `matrix`; none when it does not apply: a matrix that rotates or skews (Flash then
// scales the sprite as a whole), a grid with no area, or one not inside the bounds.
std::optional<ScaleGrid> scaleGridFor(const QRectF& grid, const QRectF& bounds, const QTransform& matrix);

// `shape` placed in the sprite by `placement`, its outlines taken through the warp: paths in
// the sprite's space, fill matrices and line widths carried along.
CompiledShape warpShape(const CompiledShape& shape, const QTransform& placement, const ScaleGrid& warp);

} // namespace swf::render
