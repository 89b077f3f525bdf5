#include "swf/render/Paint.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace swf::render {
namespace {

double toLinear(double c) {
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double toSrgb(double l) {
    const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
    return std::clamp(c * 255.0, 0.0, 255.0);
}

QColor mixLinear(const QColor& a, const QColor& b, double t) {
    auto ch = [t](int x, int y) { return toSrgb(toLinear(x) + (toLinear(y) - toLinear(x)) * t); };
    return QColor::fromRgbF(float(ch(a.red(), b.red()) / 255.0), float(ch(a.green(), b.green()) / 255.0),
                            float(ch(a.blue(), b.blue()) / 255.0),
                            float((a.alpha() + (b.alpha() - a.alpha()) * t) / 255.0));
}

QGradient::Spread qtSpread(Spread s) {
    switch (s) {
    case Spread::Reflect:
        return QGradient::ReflectSpread;
    case Spread::Repeat:
        return QGradient::RepeatSpread;
    case Spread::Pad:
        break;
    }
    return QGradient::PadSpread;
}

std::vector<GradientStop> effectiveStops(const std::vector<GradientStop>& records) {
    // Flash samples a gradient through 256 entries: entry i takes the first record whose
    // ratio is at least i, blended from the record before it. A ratio below the previous
    // one is moved to one step after it and records pushed past 255 are dropped; equal
    // ratios stay equal, so only the first and the last of a run of them can show.
    std::vector<GradientStop> kept;
    for (const GradientStop& s : records) {
        double ratio = std::clamp(s.ratio, 0.0, 255.0);
        if (!kept.empty() && ratio < kept.back().ratio)
            ratio = kept.back().ratio + 1;
        if (ratio > 255)
            break;
        kept.push_back({ratio, s.color});
    }
    std::vector<GradientStop> out;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const bool runStart = i == 0 || kept[i - 1].ratio != kept[i].ratio;
        const bool runEnd = i + 1 == kept.size() || kept[i + 1].ratio != kept[i].ratio;
        // Entry r is the run's first record and what follows blends from its last; at 255
        // nothing follows.
        if (runStart || (runEnd && kept[i].ratio < 255))
            out.push_back(kept[i]);
    }
    return out;
}

// The stops' colour at t, mixed straight between the two around it.
QColor colourAt(const QGradientStops& stops, double t) {
    if (t <= stops.front().first)
        return stops.front().second;
    for (qsizetype i = 1; i < stops.size(); ++i) {
        const auto& [p1, c1] = stops[i];
        if (t > p1)
            continue;
        const auto& [p0, c0] = stops[i - 1];
        const double f = p1 > p0 ? (t - p0) / (p1 - p0) : 1.0;
        auto mix = [f](double a, double b) { return a + (b - a) * f; };
        return QColor::fromRgbF(float(mix(c0.redF(), c1.redF())), float(mix(c0.greenF(), c1.greenF())),
                                float(mix(c0.blueF(), c1.blueF())), float(mix(c0.alphaF(), c1.alphaF())));
    }
    return stops.back().second;
}

// Flash looks gradients up in 256 entries, each holding its colour over 1/255 of the way.
QGradientStops steppedStops(const QGradientStops& stops) {
    if (stops.size() < 2)
        return stops;
    QGradientStops out;
    out.reserve(512);
    for (int i = 0; i < 256; ++i) {
        const QColor c = colourAt(stops, i / 255.0);
        out.append({i / 255.0, c});
        if (i < 255)
            out.append({(i + 1) / 255.0 - 1e-6, c});
    }
    return out;
}

} // namespace

QGradientStops gradientStops(const FillStyle& fill, const ColorTransform& cx) {
    QGradientStops stops;
    double last = -1;
    for (const GradientStop& s : effectiveStops(fill.stops)) {
        double pos = s.ratio / 255.0;
        if (pos <= last && !stops.isEmpty()) {
            // The last record of a run of equal ratios r: entry r keeps the first record's
            // colour and pixels take their nearest entry, so the hard edge lies half an
            // entry past r.
            const double edge = std::min(1.0, (s.ratio + 0.5) / 255.0);
            stops.append({edge, stops.back().second});
            pos = std::min(1.0, edge + 1e-6);
        }
        last = pos;
        stops.append({pos, cx.applyToColor(s.color)});
    }
    if (fill.interpolation == Interpolation::LinearRgb && stops.size() > 1) {
        constexpr int kSteps = 8;
        QGradientStops dense;
        for (qsizetype i = 0; i + 1 < stops.size(); ++i) {
            const auto& [p0, c0] = stops[i];
            const auto& [p1, c1] = stops[i + 1];
            for (int k = 0; k < kSteps; ++k) {
                const double t = double(k) / kSteps;
                dense.append({p0 + (p1 - p0) * t, mixLinear(c0, c1, t)});
            }
        }
        dense.append(stops.back());
        stops = dense;
    }
    return steppedStops(stops);
}

QBrush gradientOrSolidBrush(const FillStyle& fill, const ColorTransform& cx) {
    if (fill.kind == FillStyle::Kind::Solid)
        return QBrush(cx.applyToColor(fill.color));
    if (fill.kind == FillStyle::Kind::Bitmap)
        return Qt::NoBrush;
    // A gradient without records fills solid black.
    if (fill.stops.empty())
        return QBrush(cx.applyToColor(Rgba8{0, 0, 0, 255}));
    const QGradientStops stops = gradientStops(fill, cx);
    if (stops.size() == 1)
        return QBrush(stops.front().second);
    // A matrix that collapses the gradient square (a zero scale, say) has no inverse, so
    // no point of the shape maps back into the square: every point lies beyond the last
    // stop, and pad spread paints the last colour.
    if (!fill.matrix.isInvertible() || std::abs(fill.matrix.determinant()) < 1e-12)
        return QBrush(stops.back().second);

    QGradient gradient;
    if (fill.kind == FillStyle::Kind::Linear) {
        gradient = QLinearGradient(-kGradientHalfSide, 0, kGradientHalfSide, 0);
    } else {
        const double focal = fill.kind == FillStyle::Kind::Focal ? std::clamp(fill.focal, -0.98, 0.98) : 0.0;
        gradient = QRadialGradient(QPointF(0, 0), kGradientHalfSide, QPointF(focal * kGradientHalfSide, 0));
    }
    gradient.setStops(stops);
    gradient.setSpread(qtSpread(fill.spread));
    // Stops are mixed as straight (not premultiplied) colours: a fade to a transparent
    // colour passes through that colour.
    gradient.setInterpolationMode(QGradient::ComponentInterpolation);
    QBrush brush(gradient);
    brush.setTransform(fill.matrix);
    return brush;
}

} // namespace swf::render
