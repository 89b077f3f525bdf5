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
    // kept outline is far cheaper than stroking the centre line every frame. It is kept once
    // the layer has been drawn as paths in several frames (see ShapePainter::draw).
    mutable QPainterPath outline;
    mutable double outlineWidth = -1;
    mutable std::uint64_t lastFrame = 0; // the last frame it was drawn as paths in
    mutable std::uint32_t framesDrawn = 0;
};

struct CompiledShape {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeLayer> layers; // in drawing order
    QRectF bounds;                  // of all paths, twips (strokes not widened)
    std::size_t edgeCount = 0;
    // The brush of each fill as last made, with the colour transform it was made under:
    // gradient stops are worked out once while an object keeps its colour. A brush is kept
    // only for a fill drawn as paths in several frames (see ShapePainter::keptBrush).
    struct KeptBrush {
        ColorTransform cx;
        QBrush brush;
        bool made = false;
        std::uint64_t lastFrame = 0; // the last frame it was drawn in
        std::uint32_t framesDrawn = 0;
    };
    mutable std::vector<KeptBrush> fillBrushes;
    // Union of the filled areas, for use as a mask (strokes do not mask). Built on first use.
    const QPainterPath& fillArea() const;
    // Lets go of what drawing the paths keeps (gradient brushes, stroke outlines, Qt's vector
    // form of each path) once the shape is drawn from a kept image: a gradient's brush alone
    // holds some 12 KB of stops. Drawing the paths again makes them anew.
    void releaseDrawingCaches() const;

private:
    mutable QPainterPath m_fillArea;
    mutable bool m_fillAreaBuilt = false;
};

// Builds closed contours per fill style and one stroke path per line style.
CompiledShape compileShape(const ShapeGeometry& geometry);

} // namespace swf::render
