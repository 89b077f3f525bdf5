#pragma once
// The pixel work behind BitmapData, on timeline::Pixels (premultiplied ARGB, as Flash kept
// bitmaps). Scripts give and get straight (unpremultiplied) colours; each operation converts
// at the pixel it touches, so a colour set with a low alpha reads back rounded as in Flash.
// Rectangles are clipped to the bitmaps here: callers pass what the script gave.

#include "swf/timeline/objects/Pixels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace swf::avm1::bitmap {

struct IntRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// Straight 0xAARRGGBB to premultiplied and back (c * a / 255 and c * 255 / a, rounded).
std::uint32_t premultiply(std::uint32_t argb);
std::uint32_t unpremultiply(std::uint32_t argb);

// A script's rectangle as whole pixels (fractions truncate toward zero, as Flash read them).
IntRect toIntRect(double x, double y, double width, double height);
// `r` cut down to the bitmap.
IntRect clipTo(const timeline::Pixels& p, IntRect r);

// Straight colour of a pixel, 0 outside the bitmap.
std::uint32_t get(const timeline::Pixels& p, int x, int y);
// Sets a straight colour; an opaque bitmap keeps alpha 255. False outside the bitmap.
bool set(timeline::Pixels& p, bool transparent, int x, int y, std::uint32_t argb);

void fillRect(timeline::Pixels& p, bool transparent, IntRect r, std::uint32_t argb);

// copyPixels: `alpha` (with its own offset) multiplies the source's alpha; `merge` blends
// the source over the destination instead of replacing it. An opaque destination always
// takes the source blended over what it holds.
struct CopySource {
    const timeline::Pixels* alpha = nullptr;
    int alphaX = 0, alphaY = 0; // point of `alpha` under the source rectangle's corner
    bool merge = false;
};
void copyPixels(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, IntRect from, int toX,
                int toY, const CopySource& how);

// Replaces the 4-connected area of (x, y)'s colour by `argb`.
void floodFill(timeline::Pixels& p, bool transparent, int x, int y, std::uint32_t argb);

// Moves the picture by (dx, dy); the uncovered pixels keep what they held.
void scroll(timeline::Pixels& p, int dx, int dy);

// Multiplies then offsets each straight channel (red, green, blue, alpha order).
struct ColorMatrix {
    double mul[4] = {1, 1, 1, 1};
    double add[4] = {0, 0, 0, 0};
};
void colorTransform(timeline::Pixels& p, bool transparent, IntRect r, const ColorMatrix& m);

// threshold: pixels of `src` whose masked value passes `op` against the masked threshold
// become `color` in `dst`; the others are copied from the source when `copySource`.
// Returns how many pixels passed. `op` is one of < <= > >= == !=.
enum class Compare { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
int threshold(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, IntRect from, int toX,
              int toY, Compare op, std::uint32_t value, std::uint32_t color, std::uint32_t mask, bool copySource);

// Channels as BitmapDataChannel numbers: 1 red, 2 green, 4 blue, 8 alpha.
void copyChannel(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, IntRect from, int toX,
                 int toY, int srcChannel, int dstChannel);

// merge: each channel becomes (src * m + dst * (256 - m)) / 256, m from 0 to 256.
void merge(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, IntRect from, int toX,
           int toY, const std::array<int, 4>& multipliers);

// paletteMap: each channel of the source looks up its table (entries are whole colours,
// added together); a missing table passes that channel through.
using Palette = std::optional<std::array<std::uint32_t, 256>>;
void paletteMap(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, IntRect from, int toX,
                int toY, const std::array<Palette, 4>& tables);

// The smallest rectangle holding every pixel whose masked colour is (or, with
// findColor false, is not) `color`.
IntRect colorBounds(const timeline::Pixels& p, std::uint32_t mask, std::uint32_t color, bool findColor);

// Random channels between low and high (red, green, blue and alpha by `channels`; grey
// puts one value in all three colour channels). Flash's own generator is not public:
// this one is a fixed linear congruential generator seeded by `seed`, so the same call
// gives the same picture.
void noise(timeline::Pixels& p, bool transparent, std::uint32_t seed, int low, int high, int channels, bool grey);

struct PerlinOptions {
    double baseX = 1, baseY = 1;
    int octaves = 1;
    std::uint32_t seed = 0;
    bool stitch = false, fractal = false, grey = false;
    int channels = 7;
    std::vector<std::pair<double, double>> offsets; // per octave, missing ones are 0
};
// Gradient noise summed over octaves; like noise(), deterministic but not Flash's exact output.
void perlinNoise(timeline::Pixels& p, bool transparent, const PerlinOptions& o);

// draw() of one bitmap into another: each destination pixel inside `clip` whose centre maps
// into the source through the inverse of `matrix` (a b c d tx ty) takes that source pixel
// (nearest), tinted by `tint` and blended over what it holds.
void drawBitmap(timeline::Pixels& dst, bool dstTransparent, const timeline::Pixels& src, const double (&matrix)[6],
                const ColorMatrix* tint, IntRect clip);

// Whether any pixel of the bitmap placed at (x, y) has alpha >= `alphaThreshold` inside `r`.
bool anyOpaque(const timeline::Pixels& p, int x, int y, IntRect r, int alphaThreshold);

} // namespace swf::avm1::bitmap
