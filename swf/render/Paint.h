#pragma once
// Fill styles to QBrushes: solid colours, gradients over the 32768-twip gradient square
// and bitmap fills, each with the object's colour transform applied.

#include "swf/render/ColorTransform.h"
#include "swf/render/ShapeGeometry.h"

#include <QBrush>
#include <QGradientStops>
#include <QImage>

#include <functional>

namespace swf::render {

// Half the side of the square every gradient is defined on.
inline constexpr double kGradientHalfSide = 16384.0;

// Colour stops for Qt, positions 0..1, with the transform applied. Linear-RGB
// interpolation is emulated with extra stops computed in linear light.
QGradientStops gradientStops(const FillStyle& fill, const ColorTransform& cx);

// Brush for a solid or gradient fill in shape space (twips); Qt::NoBrush when it draws
// nothing (an empty gradient). Bitmap fills are handled by the caller.
QBrush gradientOrSolidBrush(const FillStyle& fill, const ColorTransform& cx);

} // namespace swf::render
