#pragma once
// A shape turned into painter paths once, then drawn as often as it is shown.

#include "swf/render/ColorTransform.h"
#include "swf/render/ShapeGeometry.h"

#include <QBrush>
#include <QPainterPath>
#include <QRectF>

#include <cstdint>
#include <vector>

namespace swf::render {

struct ShapeLayer {
    enum class Kind : std::uint8_t { Fill, Stroke };
    Kind kind = Kind::Fill;
    std::uint32_t style = 0; // 0-based index into fills or lines
    QPainterPath path;       // twips, shape space
    // Stroke outline for the width the layer was last drawn at (strokes only). Filling a
    // kept outline is far cheaper than stroking the centre line every frame.
    mutable QPainterPath outline;
    mutable double outlineWidth = -1;
};

struct CompiledShape {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeLayer> layers; // in drawing order
    QRectF bounds;                  // of all paths, twips (strokes not widened)
    std::size_t edgeCount = 0;
    // The brush of each fill as last made, with the colour transform it was made under:
    // gradient stops are worked out once while an object keeps its colour.
    struct KeptBrush {
        ColorTransform cx;
        QBrush brush;
        bool made = false;
    };
    mutable std::vector<KeptBrush> fillBrushes;
    // Union of the filled areas, for use as a mask (strokes do not mask). Built on first use.
    const QPainterPath& fillArea() const;

private:
    mutable QPainterPath m_fillArea;
    mutable bool m_fillAreaBuilt = false;
};

// Builds closed contours per fill style and one stroke path per line style.
CompiledShape compileShape(const ShapeGeometry& geometry);

} // namespace swf::render
