#pragma once
// Colour transform as the renderer composes it down the display tree: per channel
// c' = c * mult + add, on straight (not premultiplied) 0..255 values, clamped once at the end.

#include "swf/render/ShapeGeometry.h"

#include <QColor>
#include <QImage>

#include <array>

namespace swf::render {

struct ColorTransform {
    std::array<float, 4> mult{1, 1, 1, 1}; // r, g, b, a; 1.0 = unchanged
    std::array<float, 4> add{0, 0, 0, 0};  // in 0..255 units

    // From the file's 8.8 multiply terms and integer add terms.
    static ColorTransform fromTerms(int rMul, int gMul, int bMul, int aMul, int rAdd, int gAdd, int bAdd,
                                    int aAdd);

    bool isIdentity() const;
    // True when everything drawn through it comes out fully transparent.
    bool isInvisible() const { return (mult[3] > 0 ? 255 * mult[3] : 0) + add[3] < 0.5f; }

    // `inner` applied first, then `outer`.
    static ColorTransform compose(const ColorTransform& outer, const ColorTransform& inner);

    Rgba8 apply(const Rgba8& c) const;
    QColor applyToColor(const Rgba8& c) const;
    // A copy of a premultiplied image with the transform applied to every pixel that is not
    // fully transparent.
    QImage applyToImage(const QImage& premultiplied) const;

    friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

} // namespace swf::render
