#pragma once
// Bitmap filters of PlaceObject3 applied to an object drawn alone into a premultiplied
// layer: blur, drop shadow, glow, bevel, gradient glow, gradient bevel, colour matrix and
// convolution.

#include "swf/format/Records.h"

#include <QImage>

#include <vector>

namespace swf::render {

// `pixelScale` is device pixels per stage pixel: filter sizes are in stage pixels.
// Returns how many filters of the list were not applied (convolutions whose matrix is
// empty, short or larger than 15 x 15).
int applyFilters(QImage& layer, const std::vector<format::Filter>& filters, double pixelScale);

// True when the list holds a filter applyFilters() may change the layer with.
bool hasAppliedFilter(const std::vector<format::Filter>& filters);

} // namespace swf::render
