// Filters work on premultiplied layers. Blurs are repeated box blurs (one pass per the
// filter's quality), done with running sums along rows and then columns; shadows and
// glows blur the layer's alpha, colour it and compose it under (or, inner, inside) the
// object.

#include "swf/render/Filters.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {
namespace {

// Blur radii beyond this many device pixels are clamped: the work grows with the layer,
// not the radius, but a huge radius only spreads the object into nothing.
constexpr int kMaxRadius = 255;
constexpr int kMaxPasses = 15;

// One box blur pass over n values spaced `step` apart, window 2r+1, edges transparent.
void boxLine(std::uint8_t* data, int n, int step, int r, std::vector<int>& tmp) {
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

// Blurs the bytes of every channel of a 32-bit image (premultiplied stays premultiplied).
void boxBlur(QImage& img, double rx, double ry, int passes) {
    const int irx = std::clamp(int(std::lround(rx)), 0, kMaxRadius);
    const int iry = std::clamp(int(std::lround(ry)), 0, kMaxRadius);
    passes = std::clamp(passes, 1, kMaxPasses);
    if (irx == 0 && iry == 0)
        return;
    std::vector<int> tmp;
    const int w = img.width(), h = img.height();
    const int stride = static_cast<int>(img.bytesPerLine());
    std::uint8_t* bits = img.bits();
    for (int p = 0; p < passes; ++p) {
        if (irx > 0)
            for (int y = 0; y < h; ++y)
                for (int c = 0; c < 4; ++c)
                    boxLine(bits + std::size_t(y) * stride + c, w, 4, irx, tmp);
        if (iry > 0)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c)
                    boxLine(bits + std::size_t(x) * 4 + c, h, stride, iry, tmp);
    }
}

// Flash gives blur sizes as the width of the box; half of it is our radius.
double radius(double blur, double scale) {
    return std::max(0.0, blur * scale / 2.0);
}

void colorMatrix(QImage& img, const std::array<float, 20>& m) {
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = qUnpremultiply(row[x]);
            const float in[4] = {float(qRed(p)), float(qGreen(p)), float(qBlue(p)), float(qAlpha(p))};
            int out[4];
            for (int k = 0; k < 4; ++k) {
                const float v = m[k * 5] * in[0] + m[k * 5 + 1] * in[1] + m[k * 5 + 2] * in[2] +
                                m[k * 5 + 3] * in[3] + m[k * 5 + 4];
                out[k] = std::clamp(int(std::lround(v)), 0, 255);
            }
            row[x] = qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
        }
    }
}

// Drop shadow and glow (a glow is a shadow without distance).
void shadow(QImage& layer, const format::Filter& f, double scale) {
    const int w = layer.width(), h = layer.height();
    // The shadow's coverage: the object's alpha, or its inverse for an inner shadow.
    QImage cover(w, h, QImage::Format_ARGB32_Premultiplied);
    const double strength = std::clamp(f.strength, 0.0, 255.0);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(cover.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = f.inner ? 255 - qAlpha(src[x]) : qAlpha(src[x]);
            dst[x] = qRgba(a, a, a, a);
        }
    }
    boxBlur(cover, radius(f.blurX, scale), radius(f.blurY, scale), f.passes);
    const double dx = std::cos(f.angle) * f.distance * scale, dy = std::sin(f.angle) * f.distance * scale;
    QImage tinted(w, h, QImage::Format_ARGB32_Premultiplied);
    tinted.fill(Qt::transparent);
    {
        QPainter p(&tinted);
        p.drawImage(QPointF(dx, dy), cover);
    }
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = std::clamp(int(qAlpha(row[x]) * strength * f.color.a / 255.0 + 0.5), 0, 255);
            row[x] = qPremultiply(qRgba(f.color.r, f.color.g, f.color.b, a));
        }
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    if (f.inner) {
        // Inside the object only: the object (unless knocked out) with the shadow on top,
        // then cut to the object's own alpha.
        if (!f.knockout && f.compositeSource)
            p.drawImage(0, 0, layer);
        p.drawImage(0, 0, tinted);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, layer);
    } else {
        p.drawImage(0, 0, tinted);
        if (f.knockout) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            p.drawImage(0, 0, layer);
        } else if (f.compositeSource) {
            p.drawImage(0, 0, layer);
        }
    }
    p.end();
    layer = out;
}

} // namespace

bool hasAppliedFilter(const std::vector<format::Filter>& filters) {
    for (const format::Filter& f : filters) {
        switch (f.type) {
        case format::FilterType::Blur:
        case format::FilterType::DropShadow:
        case format::FilterType::Glow:
        case format::FilterType::ColorMatrix:
            return true;
        default:
            break;
        }
    }
    return false;
}

int applyFilters(QImage& layer, const std::vector<format::Filter>& filters, double pixelScale) {
    int skipped = 0;
    const double scale = std::isfinite(pixelScale) && pixelScale > 0 ? pixelScale : 1.0;
    for (const format::Filter& f : filters) {
        switch (f.type) {
        case format::FilterType::Blur:
            boxBlur(layer, radius(f.blurX, scale), radius(f.blurY, scale), f.passes);
            break;
        case format::FilterType::DropShadow:
        case format::FilterType::Glow:
            shadow(layer, f, scale);
            break;
        case format::FilterType::ColorMatrix:
            colorMatrix(layer, f.colorMatrix);
            break;
        default:
            // FIXME: bevel, gradient glow, gradient bevel and convolution filters are not applied.
            ++skipped;
            break;
        }
    }
    return skipped;
}

} // namespace swf::render
