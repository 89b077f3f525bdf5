// Shadows and glows blur the object's coverage (its complement for inner ones), move it by
// the filter's distance along its angle, colour it and put it under the object (outer),
// over it inside its outline (inner) or over it everywhere (on top). Bevels light the
// object from the filter's angle: the blurred coverage moved one way minus the same moved
// the other way is positive on the edges turned away from the light (shadow) and negative
// on those facing it (highlight). Gradient filters look the colour up in a 256-step ramp:
// by strength for a glow (0 far out, 255 at the object), and for a bevel with the
// highlight at 0, nothing at 128 and the shadow at 255.

#include "swf/render/EdgeFilters.h"

#include "swf/render/FilterKernels.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace swf::render::filters {
namespace {

enum class Where { Outer, Inner, OnTop };

// The effect with the object: `showObject` false knocks the object out; `cutUnderObject`
// clears an outer effect where the object covers it.
void compose(QImage& layer, const QImage& effect, Where where, bool showObject, bool cutUnderObject) {
    QImage out(layer.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    switch (where) {
    case Where::Inner:
        if (showObject)
            p.drawImage(0, 0, layer);
        p.drawImage(0, 0, effect);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, layer);
        break;
    case Where::Outer:
        p.drawImage(0, 0, effect);
        if (cutUnderObject) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            p.drawImage(0, 0, layer);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        if (showObject)
            p.drawImage(0, 0, layer);
        break;
    case Where::OnTop:
        if (showObject)
            p.drawImage(0, 0, layer);
        p.drawImage(0, 0, effect);
        break;
    }
    p.end();
    layer = out;
}

// The effect image: `colour(x, y)` gives each pixel, premultiplied.
template <typename ColourAt> QImage paint(QSize size, ColourAt&& colour) {
    QImage effect(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(effect.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = colour(x, y);
    }
    return effect;
}

QRgb tint(const format::Rgba& c, int level) {
    const int a = std::clamp((level * c.a + 127) / 255, 0, 255);
    return qPremultiply(qRgba(c.r, c.g, c.b, a));
}

// The filter's distance along its angle, in whole device pixels.
QPoint offset(const format::Filter& f, double scale) {
    const double d = f.distance * scale;
    const double dx = std::cos(f.angle) * d, dy = std::sin(f.angle) * d;
    auto whole = [](double v) { return std::isfinite(v) ? int(std::lround(std::clamp(v, -16384.0, 16384.0))) : 0; };
    return {whole(dx), whole(dy)};
}

bool showsObject(const format::Filter& f) {
    return !f.knockout && f.compositeSource;
}

int scaled(int value, double strength) {
    return int(std::min(255.0, value * std::clamp(strength, 0.0, 255.0) + 0.5));
}

} // namespace

void applyGlow(QImage& layer, const format::Filter& f, double scale) {
    Plane plane = coverage(layer, f.inner);
    blurPlane(plane, f, scale);
    const QPoint d = offset(f, scale);
    const bool gradient = f.type == format::FilterType::GradientGlow;
    const auto ramp = gradient ? colourRamp(f.gradientColors, f.gradientRatios) : std::array<QRgb, 256>{};
    const QImage effect = paint(layer.size(), [&](int x, int y) {
        const int level = scaled(plane.at(x - d.x(), y - d.y()), f.strength);
        if (!gradient)
            return tint(f.color, level);
        // Where the glow has not reached, the ramp's far end does not paint the whole layer.
        return level == 0 ? QRgb(0) : qPremultiply(ramp[std::size_t(level)]);
    });
    const Where where = f.onTop && gradient ? Where::OnTop : f.inner ? Where::Inner : Where::Outer;
    compose(layer, effect, where, showsObject(f), f.knockout);
}

void applyBevel(QImage& layer, const format::Filter& f, double scale) {
    Plane plane = coverage(layer, false);
    blurPlane(plane, f, scale);
    const QPoint d = offset(f, scale);
    const bool gradient = f.type == format::FilterType::GradientBevel;
    const auto ramp = gradient ? colourRamp(f.gradientColors, f.gradientRatios) : std::array<QRgb, 256>{};
    const double strength = std::clamp(f.strength, 0.0, 255.0);
    const QImage effect = paint(layer.size(), [&](int x, int y) {
        const int away = plane.at(x - d.x(), y - d.y()) - plane.at(x + d.x(), y + d.y());
        const int level = std::clamp(int(std::lround(away * strength)), -255, 255);
        if (gradient) // flat areas stay clear whatever the ramp's middle is
            return level == 0 ? QRgb(0) : qPremultiply(ramp[std::size_t(std::clamp(128 + level * 128 / 255, 0, 255))]);
        return level >= 0 ? tint(f.color, level) : tint(f.highlightColor, -level);
    });
    const Where where = f.onTop ? Where::OnTop : f.inner ? Where::Inner : Where::Outer;
    compose(layer, effect, where, showsObject(f), true);
}

} // namespace swf::render::filters
