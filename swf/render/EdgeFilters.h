#pragma once
// Filters that draw an effect along the object's edges from its blurred coverage: drop
// shadow, glow, gradient glow, bevel and gradient bevel. Each works on the object drawn
// alone into a premultiplied layer and replaces the layer with the result.

#include "swf/format/Records.h"

#include <QImage>

namespace swf::render::filters {

// Drop shadow, glow (a shadow without distance) and gradient glow.
void applyGlow(QImage& layer, const format::Filter& f, double scale);
// Bevel and gradient bevel.
void applyBevel(QImage& layer, const format::Filter& f, double scale);

} // namespace swf::render::filters
