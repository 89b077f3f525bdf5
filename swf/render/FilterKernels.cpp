// Blurs are repeated box blurs (one pass per the filter's quality, as Flash documents its
// quality setting), done with running sums along rows and then columns.

#include "swf/render/FilterKernels.h"

#include <algorithm>
#include <cmath>

namespace swf::render::filters {
namespace {

// Blur radii beyond this many device pixels are clamped: the work grows with the layer,
// not the radius, but a huge radius only spreads the object into nothing.
constexpr int kMaxRadius = 255;
constexpr int kMaxPasses = 15;

// One box blur pass over n values spaced `step` apart, window 2r+1, edges transparent.
void boxLine(std::uint8_t* data, int n, std::ptrdiff_t step, int r, std::vector<int>& tmp) {
    tmp.resize(std::size_t(n));
    const int window = 2 * r + 1;
    int sum = 0;
    for (int i = 0; i < std::min(r, n); ++i)
        sum += data[i * step];
    for (int i = 0; i < n; ++i) {
        if (i + r < n)
            sum += data[(i + r) * step];
        tmp[std::size_t(i)] = sum;
        if (i - r >= 0)
            sum -= data[(i - r) * step];
    }
    for (int i = 0; i < n; ++i)
        data[i * step] = static_cast<std::uint8_t>((tmp[std::size_t(i)] + window / 2) / window);
}

} // namespace

double blurRadius(double blur, double scale) {
    const double r = blur * scale / 2.0;
    return std::isfinite(r) ? std::max(0.0, r) : 0.0;
}

void boxBlur(std::uint8_t* bits, int width, int height, std::ptrdiff_t stride, int channels, double rx,
             double ry, int passes) {
    const int irx = std::clamp(int(std::lround(std::min(rx, double(kMaxRadius)))), 0, kMaxRadius);
    const int iry = std::clamp(int(std::lround(std::min(ry, double(kMaxRadius)))), 0, kMaxRadius);
    passes = std::clamp(passes, 1, kMaxPasses);
    if (irx == 0 && iry == 0)
        return;
    std::vector<int> tmp;
    for (int p = 0; p < passes; ++p) {
        if (irx > 0)
            for (int y = 0; y < height; ++y)
                for (int c = 0; c < channels; ++c)
                    boxLine(bits + std::ptrdiff_t(y) * stride + c, width, channels, irx, tmp);
        if (iry > 0)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c)
                    boxLine(bits + std::ptrdiff_t(x) * channels + c, height, stride, iry, tmp);
    }
}

Plane coverage(const QImage& layer, bool inverted) {
    Plane out;
    out.width = layer.width();
    out.height = layer.height();
    out.v.resize(std::size_t(out.width) * std::size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        std::uint8_t* dst = out.v.data() + std::size_t(y) * std::size_t(out.width);
        for (int x = 0; x < out.width; ++x)
            dst[x] = static_cast<std::uint8_t>(inverted ? 255 - qAlpha(row[x]) : qAlpha(row[x]));
    }
    return out;
}

void blurPlane(Plane& plane, const format::Filter& f, double scale) {
    boxBlur(plane.v.data(), plane.width, plane.height, plane.width, 1, blurRadius(f.blurX, scale),
            blurRadius(f.blurY, scale), f.passes);
}

std::array<QRgb, 256> colourRamp(const std::vector<format::Rgba>& colours, const std::vector<std::uint8_t>& ratios) {
    std::array<QRgb, 256> ramp{};
    const std::size_t n = std::min(colours.size(), ratios.size());
    if (n == 0)
        return ramp; // transparent: a filter without records shows nothing
    auto rgba = [](const format::Rgba& c) { return qRgba(c.r, c.g, c.b, c.a); };
    std::size_t next = 0; // the first record whose ratio is at or past i
    for (int i = 0; i < 256; ++i) {
        while (next < n && ratios[next] < i)
            ++next;
        if (next == 0) {
            ramp[std::size_t(i)] = rgba(colours[0]);
        } else if (next == n) {
            ramp[std::size_t(i)] = rgba(colours[n - 1]);
        } else {
            const format::Rgba& a = colours[next - 1];
            const format::Rgba& b = colours[next];
            const int span = ratios[next] - ratios[next - 1];
            const double t = span > 0 ? double(i - ratios[next - 1]) / span : 1.0;
            auto mix = [t](int u, int v) { return int(std::lround(u + (v - u) * t)); };
            ramp[std::size_t(i)] = qRgba(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a));
        }
    }
    return ramp;
}

} // namespace swf::render::filters
