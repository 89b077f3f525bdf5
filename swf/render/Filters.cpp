// Filters work on premultiplied layers, one after the other in the list's order. Blur,
// colour matrix and convolution are here; the edge effects are in EdgeFilters.cpp.

#include "swf/render/Filters.h"

#include "swf/render/EdgeFilters.h"
#include "swf/render/FilterKernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {
namespace {

// Flash accepts convolution matrices of at most 15 x 15.
constexpr int kMaxMatrixSide = 15;

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

// Each channel of the straight colour becomes the weighted sum of the pixels around it
// (the matrix centred on it, its centre at side/2) over the divisor, plus the bias. Pixels
// past the layer's edge are the nearest edge pixel (clamp) or the filter's default colour.
// False when the matrix cannot be used (empty, larger than Flash allows, or short).
bool convolve(QImage& img, const format::Filter& f) {
    const int mx = f.matrixX, my = f.matrixY;
    if (mx < 1 || my < 1 || mx > kMaxMatrixSide || my > kMaxMatrixSide ||
        f.convolution.size() != std::size_t(mx) * std::size_t(my))
        return false;
    const double divisor = std::isfinite(f.divisor) && f.divisor != 0 ? f.divisor : 1.0; // no division by zero
    const double bias = std::isfinite(f.bias) ? f.bias : 0.0;
    const int w = img.width(), h = img.height();
    std::vector<QRgb> src(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x)
            src[std::size_t(y) * std::size_t(w) + std::size_t(x)] = qUnpremultiply(row[x]);
    }
    const QRgb outside = qRgba(f.defaultColor.r, f.defaultColor.g, f.defaultColor.b, f.defaultColor.a);
    auto pixel = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) {
            if (!f.clamp)
                return outside;
            x = std::clamp(x, 0, w - 1);
            y = std::clamp(y, 0, h - 1);
        }
        return src[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    };
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < my; ++j)
                for (int i = 0; i < mx; ++i) {
                    const double k = f.convolution[std::size_t(j) * std::size_t(mx) + std::size_t(i)];
                    if (k == 0 || !std::isfinite(k))
                        continue;
                    const QRgb p = pixel(x + i - mx / 2, y + j - my / 2);
                    sum[0] += k * qRed(p);
                    sum[1] += k * qGreen(p);
                    sum[2] += k * qBlue(p);
                    sum[3] += k * qAlpha(p);
                }
            auto channel = [&](double s) { return int(std::clamp(std::round(s / divisor + bias), 0.0, 255.0)); };
            const int a = f.preserveAlpha ? qAlpha(pixel(x, y)) : channel(sum[3]);
            row[x] = qPremultiply(qRgba(channel(sum[0]), channel(sum[1]), channel(sum[2]), a));
        }
    }
    return true;
}

} // namespace

bool hasAppliedFilter(const std::vector<format::Filter>& filters) {
    return !filters.empty();
}

int applyFilters(QImage& layer, const std::vector<format::Filter>& filters, double pixelScale) {
    int skipped = 0;
    const double scale = std::isfinite(pixelScale) && pixelScale > 0 ? pixelScale : 1.0;
    for (const format::Filter& f : filters) {
        switch (f.type) {
        case format::FilterType::Blur:
            filters::boxBlur(layer.bits(), layer.width(), layer.height(), layer.bytesPerLine(), 4,
                             filters::blurRadius(f.blurX, scale), filters::blurRadius(f.blurY, scale), f.passes);
            break;
        case format::FilterType::DropShadow:
        case format::FilterType::Glow:
        case format::FilterType::GradientGlow:
            filters::applyGlow(layer, f, scale);
            break;
        case format::FilterType::Bevel:
        case format::FilterType::GradientBevel:
            filters::applyBevel(layer, f, scale);
            break;
        case format::FilterType::ColorMatrix:
            colorMatrix(layer, f.colorMatrix);
            break;
        case format::FilterType::Convolution:
            skipped += convolve(layer, f) ? 0 : 1;
            break;
        }
    }
    return skipped;
}

} // namespace swf::render
