#pragma once
// What the filters share: box blurs over interleaved byte channels, the object's coverage
// as a plane of bytes, and colour ramps of gradient filters.

#include "swf/format/Records.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

namespace swf::render::filters {

// Flash gives blur sizes as the width of the box in stage pixels; this is our radius in
// device pixels.
double blurRadius(double blur, double scale);

// Box blurs `channels` interleaved bytes a pixel in place: `passes` times a window of
// 2r+1 (radii rounded, clamped), rows then columns, with transparent edges.
void boxBlur(std::uint8_t* bits, int width, int height, std::ptrdiff_t stride, int channels, double rx,
             double ry, int passes);

// One byte a pixel, row-major; reads outside the plane give 0.
struct Plane {
    int width = 0, height = 0;
    std::vector<std::uint8_t> v;
    int at(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : v[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};

// The layer's alpha, or its complement (for effects inside the object).
Plane coverage(const QImage& layer, bool inverted);
// The plane blurred as the filter's size and passes say.
void blurPlane(Plane& plane, const format::Filter& f, double scale);

// 256 straight colours from a gradient filter's records: linear between ratios, padded
// beyond the first and last.
std::array<QRgb, 256> colourRamp(const std::vector<format::Rgba>& colours, const std::vector<std::uint8_t>& ratios);

} // namespace swf::render::filters
