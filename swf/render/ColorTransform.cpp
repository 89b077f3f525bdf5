#include "swf/render/ColorTransform.h"

#include <algorithm>
#include <cmath>

namespace swf::render {
namespace {

int clampChannel(float v) {
    return static_cast<int>(std::clamp(std::floor(v + 0.5f), 0.0f, 255.0f));
}

} // namespace

ColorTransform ColorTransform::fromTerms(int rMul, int gMul, int bMul, int aMul, int rAdd, int gAdd, int bAdd,
                                         int aAdd) {
    ColorTransform t;
    t.mult = {rMul / 256.0f, gMul / 256.0f, bMul / 256.0f, aMul / 256.0f};
    t.add = {float(rAdd), float(gAdd), float(bAdd), float(aAdd)};
    return t;
}

bool ColorTransform::isIdentity() const {
    return mult == std::array<float, 4>{1, 1, 1, 1} && add == std::array<float, 4>{0, 0, 0, 0};
}

ColorTransform ColorTransform::compose(const ColorTransform& outer, const ColorTransform& inner) {
    ColorTransform t;
    for (int i = 0; i < 4; ++i) {
        t.mult[i] = inner.mult[i] * outer.mult[i];
        t.add[i] = inner.add[i] * outer.mult[i] + outer.add[i];
    }
    return t;
}

Rgba8 ColorTransform::apply(const Rgba8& c) const {
    return {static_cast<std::uint8_t>(clampChannel(c.r * mult[0] + add[0])),
            static_cast<std::uint8_t>(clampChannel(c.g * mult[1] + add[1])),
            static_cast<std::uint8_t>(clampChannel(c.b * mult[2] + add[2])),
            static_cast<std::uint8_t>(clampChannel(c.a * mult[3] + add[3]))};
}

QColor ColorTransform::applyToColor(const Rgba8& c) const {
    const Rgba8 t = apply(c);
    return QColor(t.r, t.g, t.b, t.a);
}

QImage ColorTransform::applyToImage(const QImage& src) const {
    QImage out = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (isIdentity())
        return out;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            // Fully transparent pixels are where nothing was drawn: an added alpha term must
            // not turn the empty part of a bitmap or a layer into a coloured rectangle.
            if (row[x] == 0)
                continue;
            const QRgb p = qUnpremultiply(row[x]);
            const Rgba8 c =
                apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                       static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            row[x] = qPremultiply(qRgba(c.r, c.g, c.b, c.a));
        }
    }
    return out;
}

} // namespace swf::render
