#include "swf/render/RasterCache.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace swf::render {
namespace {

// Larger shapes are drawn as paths: an image that big costs more memory than it saves.
constexpr double kMaxCachedPixels = 1024.0 * 1024.0;
constexpr std::size_t kMaxSeen = 65536;
constexpr int kSubpixelSteps = 4;

std::size_t mix(std::size_t h, std::size_t v) {
    return h ^ (v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
}

} // namespace

std::size_t RasterCache::KeyHash::operator()(const Key& k) const {
    std::size_t h = std::hash<const void*>()(k.shape);
    for (double d : k.linear)
        h = mix(h, std::hash<double>()(d));
    for (float f : k.cx)
        h = mix(h, std::hash<float>()(f));
    return mix(h, std::size_t(k.subX) << 8 | k.subY);
}

bool RasterCache::draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                       const ColorTransform& cx, const QTransform& deviceToPainter) {
    if (shape.layers.empty() || deviceToPainter.type() > QTransform::TxScale)
        return false;
    const double dx = toDevice.dx(), dy = toDevice.dy();
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::abs(dx) > 1e7 || std::abs(dy) > 1e7)
        return false;
    // The position picks one of kSubpixelSteps x kSubpixelSteps variants; the rest is a
    // whole-pixel offset of the blit.
    double fx = std::floor(dx), fy = std::floor(dy);
    int sx = int((dx - fx) * kSubpixelSteps + 0.5), sy = int((dy - fy) * kSubpixelSteps + 0.5);
    if (sx == kSubpixelSteps) {
        sx = 0;
        fx += 1;
    }
    if (sy == kSubpixelSteps) {
        sy = 0;
        fy += 1;
    }
    Key key;
    key.shape = &shape;
    key.linear = {toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22()};
    std::copy(cx.mult.begin(), cx.mult.end(), key.cx.begin());
    std::copy(cx.add.begin(), cx.add.end(), key.cx.begin() + 4);
    key.subX = static_cast<std::uint8_t>(sx);
    key.subY = static_cast<std::uint8_t>(sy);
    const double qx = double(sx) / kSubpixelSteps, qy = double(sy) / kSubpixelSteps;

    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        if (m_seen.size() >= kMaxSeen)
            m_seen.clear();
        if (++m_seen[key] < 2)
            return false;
        m_seen.erase(key);

        const QTransform linear(toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22(), 0, 0);
        double margin = 2;
        for (const LineStyle& l : shape.lines)
            // Half the width reaches past the centre line; square caps and miter joins
            // (up to the limit, in widths) reach further.
            margin = std::max(margin, m_painter.deviceStrokeWidth(l, toDevice) *
                                              (l.join == Join::Miter ? std::max(1.0, l.miterLimit) : 1.0) +
                                          2);
        const QRectF b = linear.mapRect(shape.bounds).adjusted(-margin, -margin, margin + 1, margin + 1);
        if (!b.isValid() || b.width() * b.height() > kMaxCachedPixels || b.width() > 4096 ||
            b.height() > 4096)
            return false;
        const QPoint offset(int(std::floor(b.left())), int(std::floor(b.top())));
        const QSize size(int(std::ceil(b.right())) - offset.x() + 1,
                         int(std::ceil(b.bottom())) - offset.y() + 1);
        Entry e;
        e.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (e.image.isNull())
            return false;
        e.image.fill(Qt::transparent);
        {
            QPainter ip(&e.image);
            ip.setRenderHint(QPainter::Antialiasing, true);
            m_painter.draw(ip, shape, linear * QTransform::fromTranslate(qx - offset.x(), qy - offset.y()),
                           cx);
        }
        e.offset = offset;
        m_bytes += static_cast<std::size_t>(e.image.sizeInBytes());
        it = m_entries.emplace(key, std::move(e)).first;
        if (m_bytes > m_limit) {
            evict();
            it = m_entries.find(key);
            if (it == m_entries.end())
                return false;
        }
    }
    it->second.lastUse = ++m_clock;
    p.setTransform(deviceToPainter);
    p.drawImage(QPointF(fx + it->second.offset.x(), fy + it->second.offset.y()), it->second.image);
    return true;
}

void RasterCache::evict() {
    std::vector<std::pair<std::uint64_t, Key>> byAge;
    byAge.reserve(m_entries.size());
    for (const auto& [k, e] : m_entries)
        byAge.emplace_back(e.lastUse, k);
    std::sort(byAge.begin(), byAge.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [age, k] : byAge) {
        if (m_bytes <= m_limit * 3 / 4)
            break;
        auto it = m_entries.find(k);
        m_bytes -= static_cast<std::size_t>(it->second.image.sizeInBytes());
        m_entries.erase(it);
    }
}

void RasterCache::clear() {
    m_entries.clear();
    m_seen.clear();
    m_bytes = 0;
}

} // namespace swf::render
