// Pixel operations of BitmapData; see BitmapPixels.h.

#include "BitmapPixels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm1::bitmap {

namespace {

using timeline::Pixels;

std::uint32_t channel(std::uint32_t argb, int shift) {
    return (argb >> shift) & 0xFF;
}

std::uint32_t pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

std::uint32_t& at(Pixels& p, int x, int y) {
    return p.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
}

std::uint32_t at(const Pixels& p, int x, int y) {
    return p.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
}

void store(Pixels& p, bool transparent, int x, int y, std::uint32_t straight) {
    at(p, x, y) = premultiply(transparent ? straight : straight | 0xFF000000u);
}

// A source rectangle and a destination corner, both cut so every pixel lies in its bitmap.
struct Transfer {
    int sx = 0, sy = 0, dx = 0, dy = 0, width = 0, height = 0;
};

Transfer transfer(const Pixels& dst, const Pixels& src, IntRect from, int toX, int toY) {
    long long sx = from.x, sy = from.y, dx = toX, dy = toY, w = from.width, h = from.height;
    auto cutLow = [](long long& s, long long& d, long long& size) {
        const long long over = std::max({0LL, -s, -d});
        s += over;
        d += over;
        size -= over;
    };
    cutLow(sx, dx, w);
    cutLow(sy, dy, h);
    w = std::min({w, static_cast<long long>(src.width) - sx, static_cast<long long>(dst.width) - dx});
    h = std::min({h, static_cast<long long>(src.height) - sy, static_cast<long long>(dst.height) - dy});
    if (w <= 0 || h <= 0)
        return {};
    return {static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx), static_cast<int>(dy),
            static_cast<int>(w), static_cast<int>(h)};
}

// Calls fn(destination word, straight source colour, x, y offsets from the corner) for
// every pixel of the transfer. The source is read from a copy when it is the destination.
template <class Fn>
void eachPair(Pixels& dst, const Pixels& src, IntRect from, int toX, int toY, Fn fn) {
    const Transfer t = transfer(dst, src, from, toX, toY);
    if (t.width <= 0)
        return;
    Pixels copy;
    const Pixels* read = &src;
    if (&src == &dst) {
        copy = src;
        read = &copy;
    }
    for (int j = 0; j < t.height; ++j)
        for (int i = 0; i < t.width; ++i)
            fn(at(dst, t.dx + i, t.dy + j), unpremultiply(at(*read, t.sx + i, t.sy + j)), t.sx + i - from.x,
               t.sy + j - from.y);
}

// Premultiplied `top` over premultiplied `under`.
std::uint32_t over(std::uint32_t top, std::uint32_t under) {
    const std::uint32_t keep = 255 - channel(top, 24);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t c = channel(top, shift) + (channel(under, shift) * keep + 127) / 255;
        out |= std::min(c, 255u) << shift;
    }
    return out;
}

int clampChannel(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, 0.0, 255.0));
}

int shiftOf(int bitmapChannel) {
    switch (bitmapChannel) {
    case 1:
        return 16;
    case 2:
        return 8;
    case 4:
        return 0;
    case 8:
        return 24;
    default:
        return -1;
    }
}

// The fixed generator behind noise and perlinNoise (Park and Miller's minimal standard).
struct Random {
    explicit Random(std::uint32_t seed) : state(seed % 2147483647u) {
        if (state == 0)
            state = 1;
    }
    std::uint32_t next() {
        state = static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * 16807u) % 2147483647u);
        return state;
    }
    std::uint32_t state;
};

} // namespace

std::uint32_t premultiply(std::uint32_t argb) {
    const std::uint32_t a = channel(argb, 24);
    if (a == 255)
        return argb;
    if (a == 0)
        return 0;
    auto c = [&](int shift) { return (channel(argb, shift) * a + 127) / 255; };
    return pack(a, c(16), c(8), c(0));
}

std::uint32_t unpremultiply(std::uint32_t argb) {
    const std::uint32_t a = channel(argb, 24);
    if (a == 255 || a == 0)
        return a == 0 ? 0 : argb;
    auto c = [&](int shift) { return std::min(255u, (channel(argb, shift) * 255 + a / 2) / a); };
    return pack(a, c(16), c(8), c(0));
}

IntRect toIntRect(double x, double y, double width, double height) {
    auto whole = [](double v) {
        return std::isfinite(v) ? static_cast<int>(std::clamp(std::trunc(v), -1e9, 1e9)) : 0;
    };
    return {whole(x), whole(y), whole(width), whole(height)};
}

IntRect clipTo(const Pixels& p, IntRect r) {
    const long long x0 = std::max(0, r.x), y0 = std::max(0, r.y);
    const long long x1 = std::min<long long>(p.width, static_cast<long long>(r.x) + r.width);
    const long long y1 = std::min<long long>(p.height, static_cast<long long>(r.y) + r.height);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

std::uint32_t get(const Pixels& p, int x, int y) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return 0;
    return unpremultiply(at(p, x, y));
}

bool set(Pixels& p, bool transparent, int x, int y, std::uint32_t argb) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return false;
    store(p, transparent, x, y, argb);
    return true;
}

void fillRect(Pixels& p, bool transparent, IntRect r, std::uint32_t argb) {
    r = clipTo(p, r);
    const std::uint32_t word = premultiply(transparent ? argb : argb | 0xFF000000u);
    for (int y = r.y; y < r.y + r.height; ++y)
        std::fill_n(&at(p, r.x, y), r.width, word);
}

void copyPixels(Pixels& dst, bool dstTransparent, const Pixels& src, IntRect from, int toX, int toY,
                const CopySource& how) {
    Pixels alphaCopy;
    const Pixels* alpha = how.alpha;
    if (alpha == &dst) {
        alphaCopy = *alpha;
        alpha = &alphaCopy;
    }
    eachPair(dst, src, from, toX, toY, [&](std::uint32_t& d, std::uint32_t s, int i, int j) {
        if (alpha) {
            const std::uint32_t m = channel(get(*alpha, how.alphaX + i, how.alphaY + j), 24);
            s = (s & 0xFFFFFFu) | (((channel(s, 24) * m + 127) / 255) << 24);
        }
        if (dstTransparent && !how.merge) {
            d = premultiply(s);
            return;
        }
        d = over(premultiply(s), d);
        if (!dstTransparent)
            d |= 0xFF000000u;
    });
}

void floodFill(Pixels& p, bool transparent, int x, int y, std::uint32_t argb) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return;
    const std::uint32_t from = at(p, x, y);
    const std::uint32_t to = premultiply(transparent ? argb : argb | 0xFF000000u);
    if (from == to)
        return;
    // Runs of a row at a time, so the pending list stays small on open areas.
    std::vector<std::pair<int, int>> pending{{x, y}};
    while (!pending.empty()) {
        auto [px, py] = pending.back();
        pending.pop_back();
        if (at(p, px, py) != from)
            continue;
        int left = px, right = px;
        while (left > 0 && at(p, left - 1, py) == from)
            --left;
        while (right + 1 < p.width && at(p, right + 1, py) == from)
            ++right;
        for (int i = left; i <= right; ++i) {
            at(p, i, py) = to;
            for (int ny : {py - 1, py + 1})
                if (ny >= 0 && ny < p.height && at(p, i, ny) == from && (i == left || at(p, i - 1, ny) != from))
                    pending.emplace_back(i, ny);
        }
    }
}

void scroll(Pixels& p, int dx, int dy) {
    const Pixels before = p;
    eachPair(p, before, {0, 0, p.width, p.height}, dx, dy,
             [&](std::uint32_t& d, std::uint32_t, int i, int j) { d = at(before, i, j); });
}

void colorTransform(Pixels& p, bool transparent, IntRect r, const ColorMatrix& m) {
    r = clipTo(p, r);
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) {
            const std::uint32_t s = unpremultiply(at(p, x, y));
            const int shifts[4] = {16, 8, 0, 24};
            std::uint32_t out = 0;
            for (int c = 0; c < 4; ++c)
                out |= static_cast<std::uint32_t>(clampChannel(channel(s, shifts[c]) * m.mul[c] + m.add[c]))
                       << shifts[c];
            store(p, transparent, x, y, out);
        }
}

int threshold(Pixels& dst, bool dstTransparent, const Pixels& src, IntRect from, int toX, int toY, Compare op,
              std::uint32_t value, std::uint32_t color, std::uint32_t mask, bool copySource) {
    const std::uint32_t limit = value & mask;
    int count = 0;
    const std::uint32_t fill = premultiply(dstTransparent ? color : color | 0xFF000000u);
    eachPair(dst, src, from, toX, toY, [&](std::uint32_t& d, std::uint32_t s, int, int) {
        const std::uint32_t v = s & mask;
        bool pass = false;
        switch (op) {
        case Compare::Less: pass = v < limit; break;
        case Compare::LessEqual: pass = v <= limit; break;
        case Compare::Greater: pass = v > limit; break;
        case Compare::GreaterEqual: pass = v >= limit; break;
        case Compare::Equal: pass = v == limit; break;
        case Compare::NotEqual: pass = v != limit; break;
        }
        if (pass) {
            d = fill;
            ++count;
        } else if (copySource) {
            d = premultiply(dstTransparent ? s : s | 0xFF000000u);
        }
    });
    return count;
}

void copyChannel(Pixels& dst, bool dstTransparent, const Pixels& src, IntRect from, int toX, int toY,
                 int srcChannel, int dstChannel) {
    const int in = shiftOf(srcChannel), out = shiftOf(dstChannel);
    if (in < 0 || out < 0 || (out == 24 && !dstTransparent))
        return;
    eachPair(dst, src, from, toX, toY, [&](std::uint32_t& d, std::uint32_t s, int, int) {
        const std::uint32_t straight = unpremultiply(d);
        d = premultiply((straight & ~(0xFFu << out)) | (channel(s, in) << out));
    });
}

void merge(Pixels& dst, bool dstTransparent, const Pixels& src, IntRect from, int toX, int toY,
           const std::array<int, 4>& multipliers) {
    const int shifts[4] = {16, 8, 0, 24};
    eachPair(dst, src, from, toX, toY, [&](std::uint32_t& d, std::uint32_t s, int, int) {
        const std::uint32_t under = unpremultiply(d);
        std::uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            const int m = std::clamp(multipliers[c], 0, 256);
            const std::uint32_t v =
                (channel(s, shifts[c]) * m + channel(under, shifts[c]) * (256 - m)) / 256;
            out |= std::min(v, 255u) << shifts[c];
        }
        d = premultiply(dstTransparent ? out : out | 0xFF000000u);
    });
}

void paletteMap(Pixels& dst, bool dstTransparent, const Pixels& src, IntRect from, int toX, int toY,
                const std::array<Palette, 4>& tables) {
    const int shifts[4] = {16, 8, 0, 24};
    eachPair(dst, src, from, toX, toY, [&](std::uint32_t& d, std::uint32_t s, int, int) {
        std::uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t v = channel(s, shifts[c]);
            out += tables[c] ? (*tables[c])[v] : v << shifts[c];
        }
        d = premultiply(dstTransparent ? out : out | 0xFF000000u);
    });
}

IntRect colorBounds(const Pixels& p, std::uint32_t mask, std::uint32_t color, bool findColor) {
    int x0 = std::numeric_limits<int>::max(), y0 = x0, x1 = -1, y1 = -1;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (((unpremultiply(at(p, x, y)) & mask) == (color & mask)) == findColor) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return {};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void noise(Pixels& p, bool transparent, std::uint32_t seed, int low, int high, int channels, bool grey) {
    low = std::clamp(low, 0, 255);
    high = std::clamp(high, low, 255);
    Random random(seed);
    auto value = [&] { return static_cast<std::uint32_t>(low + static_cast<int>(random.next() % (high - low + 1))); };
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            std::uint32_t r = 0, g = 0, b = 0, a = 255;
            if (grey) {
                r = g = b = value();
            } else {
                r = channels & 1 ? value() : 0;
                g = channels & 2 ? value() : 0;
                b = channels & 4 ? value() : 0;
            }
            if (channels & 8)
                a = value();
            store(p, transparent, x, y, pack(a, r, g, b));
        }
}

namespace {

// Classic gradient noise over a permutation table drawn from the seed; -1 .. 1.
class GradientNoise {
public:
    explicit GradientNoise(std::uint32_t seed) {
        Random random(seed);
        for (int i = 0; i < 256; ++i)
            m_perm[i] = static_cast<std::uint8_t>(i);
        for (int i = 255; i > 0; --i)
            std::swap(m_perm[i], m_perm[random.next() % (i + 1)]);
    }

    // `period` (cells) wraps the lattice when stitching, 0 otherwise.
    double at(double x, double y, int periodX, int periodY) const {
        const double fx = std::floor(x), fy = std::floor(y);
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const double u = x - fx, v = y - fy;
        auto corner = [&](int cx, int cy, double dx, double dy) {
            if (periodX > 0)
                cx = ((cx % periodX) + periodX) % periodX;
            if (periodY > 0)
                cy = ((cy % periodY) + periodY) % periodY;
            const int h = m_perm[(m_perm[cx & 255] + cy) & 255] & 7;
            static const double gx[8] = {1, -1, 1, -1, 1, -1, 0, 0};
            static const double gy[8] = {1, 1, -1, -1, 0, 0, 1, -1};
            return gx[h] * dx + gy[h] * dy;
        };
        auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
        const double a = corner(ix, iy, u, v), b = corner(ix + 1, iy, u - 1, v);
        const double c = corner(ix, iy + 1, u, v - 1), d = corner(ix + 1, iy + 1, u - 1, v - 1);
        const double s = fade(u), t = fade(v);
        return (a + (b - a) * s) + ((c + (d - c) * s) - (a + (b - a) * s)) * t;
    }

private:
    std::uint8_t m_perm[256];
};

} // namespace

void perlinNoise(Pixels& p, bool transparent, const PerlinOptions& o) {
    const int octaves = std::clamp(o.octaves, 0, 32);
    const double baseX = std::isfinite(o.baseX) && o.baseX != 0 ? std::abs(o.baseX) : 1;
    const double baseY = std::isfinite(o.baseY) && o.baseY != 0 ? std::abs(o.baseY) : 1;
    // One noise field per channel (red, green, blue, alpha), each from its own seed.
    const GradientNoise fields[4] = {GradientNoise(o.seed), GradientNoise(o.seed + 1), GradientNoise(o.seed + 2),
                                     GradientNoise(o.seed + 3)};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            double amplitude = 1, total = 0, frequency = 1;
            for (int k = 0; k < octaves; ++k) {
                const auto offset = k < static_cast<int>(o.offsets.size()) ? o.offsets[k] : std::pair{0.0, 0.0};
                const double nx = (x + offset.first) * frequency / baseX;
                const double ny = (y + offset.second) * frequency / baseY;
                const int px = o.stitch ? std::max(1, static_cast<int>(std::round(p.width * frequency / baseX))) : 0;
                const int py = o.stitch ? std::max(1, static_cast<int>(std::round(p.height * frequency / baseY))) : 0;
                for (int c = 0; c < 4; ++c) {
                    const double n = fields[c].at(nx, ny, px, py);
                    sum[c] += (o.fractal ? n : std::abs(n)) * amplitude;
                }
                total += amplitude;
                amplitude /= 2;
                frequency *= 2;
            }
            auto level = [&](int c) {
                const double v = total > 0 ? sum[c] / total : 0;
                return static_cast<std::uint32_t>(clampChannel(o.fractal ? (v + 1) * 127.5 : v * 255));
            };
            std::uint32_t r = 0, g = 0, b = 0;
            if (o.grey)
                r = g = b = level(0);
            else {
                r = o.channels & 1 ? level(0) : 0;
                g = o.channels & 2 ? level(1) : 0;
                b = o.channels & 4 ? level(2) : 0;
            }
            const std::uint32_t a = o.channels & 8 ? level(3) : 255;
            store(p, transparent, x, y, pack(a, r, g, b));
        }
}

void drawBitmap(Pixels& dst, bool dstTransparent, const Pixels& src, const double (&m)[6], const ColorMatrix* tint,
                IntRect clip) {
    const double det = m[0] * m[3] - m[1] * m[2];
    if (!std::isfinite(det) || det == 0)
        return;
    // Inverse of x' = a x + c y + tx, y' = b x + d y + ty.
    const double ia = m[3] / det, ib = -m[1] / det, ic = -m[2] / det, id = m[0] / det;
    clip = clipTo(dst, clip);
    const int shifts[4] = {16, 8, 0, 24};
    for (int y = clip.y; y < clip.y + clip.height; ++y)
        for (int x = clip.x; x < clip.x + clip.width; ++x) {
            const double px = x + 0.5 - m[4], py = y + 0.5 - m[5];
            const double sx = std::floor(ia * px + ic * py), sy = std::floor(ib * px + id * py);
            if (!(sx >= 0 && sy >= 0 && sx < src.width && sy < src.height))
                continue;
            std::uint32_t s = unpremultiply(at(src, static_cast<int>(sx), static_cast<int>(sy)));
            if (channel(s, 24) == 0)
                continue; // a colour transform leaves fully transparent pixels alone
            if (tint) {
                std::uint32_t out = 0;
                for (int c = 0; c < 4; ++c)
                    out |= static_cast<std::uint32_t>(
                               clampChannel(channel(s, shifts[c]) * tint->mul[c] + tint->add[c]))
                           << shifts[c];
                s = out;
            }
            std::uint32_t& d = at(dst, x, y);
            d = over(premultiply(s), d);
            if (!dstTransparent)
                d |= 0xFF000000u;
        }
}

bool anyOpaque(const Pixels& p, int x, int y, IntRect r, int alphaThreshold) {
    r.x -= x;
    r.y -= y;
    r = clipTo(p, r);
    for (int j = r.y; j < r.y + r.height; ++j)
        for (int i = r.x; i < r.x + r.width; ++i)
            if (static_cast<int>(channel(at(p, i, j), 24)) >= alphaThreshold)
                return true;
    return false;
}

} // namespace swf::avm1::bitmap
