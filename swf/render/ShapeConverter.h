#pragma once
// The engine's shape records to the renderer's geometry: relative edges to absolute
// points, per-group style indices to indices across all groups.

#include "swf/format/Font.h"
#include "swf/format/Shape.h"
#include "swf/render/ShapeGeometry.h"

namespace swf::render {

QTransform toQTransform(const format::Matrix& m);
Rgba8 toRgba8(const format::Rgba& c);
FillStyle convertFill(const format::FillStyle& fill, int group);
LineStyle convertLine(const format::LineStyle& line, int group);

ShapeGeometry geometryFromShape(const format::ShapeCharacter& shape);
// A glyph outline: every fill index it selects becomes the single fill style 1.
ShapeGeometry geometryFromGlyph(const format::Shape& glyph);

} // namespace swf::render
