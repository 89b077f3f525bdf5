#include "swf/render/RasterCache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace swf::render {
namespace {

// Larger shapes are drawn as paths: an image that big costs more memory than it saves.
constexpr double kMaxCachedPixels = 1024.0 * 1024.0;
constexpr std::size_t kMaxSeen = 65536;
constexpr int kSubpixelSteps = 4;
// A look drawn at this many subpixel variants is taken for a moving shape.
constexpr int kMovingVariants = 4;

std::size_t mix(std::size_t h, std::size_t v) {
    return h ^ (v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
}

} // namespace

std::size_t RasterCache::KeyHash::operator()(const Look& k) const {
    std::size_t h = std::hash<const void*>()(k.shape);
    for (double d : k.linear)
        h = mix(h, std::hash<double>()(d));
    for (float f : k.cx)
        h = mix(h, std::hash<float>()(f));
    return h;
}

std::size_t RasterCache::KeyHash::operator()(const Key& k) const {
    return mix((*this)(k.look), std::size_t(k.subX) << 8 | k.subY);
}

bool RasterCache::draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                       const ColorTransform& cx, const QTransform& deviceToPainter, bool visible) {
    bool hit = false;
    const bool drawn = drawKept(p, shape, toDevice, cx, deviceToPainter, visible, hit);
    if (visible)
        ++(hit ? m_hits : m_misses);
    return drawn;
}

bool RasterCache::drawKept(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                           const ColorTransform& cx, const QTransform& deviceToPainter, bool visible,
                           bool& hit) {
    if (shape.layers.empty() || deviceToPainter.type() > QTransform::TxScale)
        return false;
    const double dx = toDevice.dx(), dy = toDevice.dy();
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::abs(dx) > 1e7 || std::abs(dy) > 1e7)
        return false;
    Key key;
    key.look.shape = &shape;
    key.look.linear = {toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22()};
    std::copy(cx.mult.begin(), cx.mult.end(), key.look.cx.begin());
    std::copy(cx.add.begin(), cx.add.end(), key.look.cx.begin() + 4);
    // Counted draws decide; the counts are kept until the table is full and start over.
    if (m_seen.size() >= kMaxSeen && !m_seen.count(key.look))
        m_seen.clear();
    Seen& seen = m_seen[key.look];

    // The position picks one of kSubpixelSteps x kSubpixelSteps variants; the rest is a
    // whole-pixel offset of the blit. A moving shape has the one variant at the nearest pixel.
    const int steps = seen.moving ? 1 : kSubpixelSteps;
    double fx = std::floor(dx), fy = std::floor(dy);
    int sx = int((dx - fx) * steps + 0.5), sy = int((dy - fy) * steps + 0.5);
    if (sx == steps) {
        sx = 0;
        fx += 1;
    }
    if (sy == steps) {
        sy = 0;
        fy += 1;
    }
    key.subX = static_cast<std::uint8_t>(sx);
    key.subY = static_cast<std::uint8_t>(sy);
    const double qx = double(sx) / kSubpixelSteps, qy = double(sy) / kSubpixelSteps;
    if (!seen.moving) {
        const auto bit = std::uint16_t(1u << (sy * kSubpixelSteps + sx));
        if (seen.once & bit)
            seen.twice |= bit;
        seen.once |= bit;
        seen.moving = std::popcount(seen.once) >= kMovingVariants;
        if (seen.moving)
            dropVariants(key.look); // it will be drawn from one image from now on
        if (!(seen.twice & bit))
            return false;
    }
    if (!visible)
        return true;
    auto it = m_entries.find(key);
    hit = it != m_entries.end();
    if (!hit) {
        const QTransform linear(toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22(), 0, 0);
        const double margin = m_painter.deviceReach(shape, toDevice);
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
        const auto bytes = static_cast<std::size_t>(e.image.sizeInBytes());
        if (m_bytes + bytes > m_limit)
            makeRoom(bytes);
        p.setTransform(deviceToPainter);
        if (m_bytes + bytes > m_limit) {
            // Every kept image was in use this frame or the last: this one is drawn and let go,
            // so a movie with more shapes than the budget holds keeps a steady part of them
            // rather than making every image anew each frame.
            p.drawImage(QPointF(fx + offset.x(), fy + offset.y()), e.image);
            return true;
        }
        // An image keeps the paint engine it was drawn with (several kilobytes); a copy has none.
        e.image = e.image.copy();
        m_bytes += bytes;
        it = m_entries.emplace(key, std::move(e)).first;
    }
    it->second.lastUse = ++m_clock;
    it->second.lastFrame = m_frame;
    p.setTransform(deviceToPainter);
    p.drawImage(QPointF(fx + it->second.offset.x(), fy + it->second.offset.y()), it->second.image);
    return true;
}

void RasterCache::dropVariants(const Look& look) {
    for (int y = 0; y < kSubpixelSteps; ++y)
        for (int x = 0; x < kSubpixelSteps; ++x) {
            // The variant at (0, 0) is the one a moving shape goes on with.
            const auto it = m_entries.find(Key{look, std::uint8_t(x), std::uint8_t(y)});
            if ((x || y) && it != m_entries.end()) {
                m_bytes -= static_cast<std::size_t>(it->second.image.sizeInBytes());
                m_entries.erase(it);
            }
        }
}

void RasterCache::makeRoom(std::size_t bytes) {
    if (m_fullFrame == m_frame)
        return; // nothing stale was left when last looked, this frame
    // Stale entries go, least recently used first, down to a quarter below the budget so that
    // the next few new images need no search.
    std::vector<std::pair<std::uint64_t, Key>> byAge;
    for (const auto& [k, e] : m_entries)
        if (e.lastFrame + 1 < m_frame)
            byAge.emplace_back(e.lastUse, k);
    std::sort(byAge.begin(), byAge.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [age, k] : byAge) {
        if (m_bytes + bytes <= m_limit * 3 / 4)
            break;
        auto it = m_entries.find(k);
        m_bytes -= static_cast<std::size_t>(it->second.image.sizeInBytes());
        m_entries.erase(it);
    }
    if (m_bytes + bytes > m_limit)
        m_fullFrame = m_frame;
}

void RasterCache::clear() {
    m_entries.clear();
    m_seen.clear();
    m_bytes = 0;
}

} // namespace swf::render
