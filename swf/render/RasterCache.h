#pragma once
// Rasterized shapes kept as premultiplied images and blitted, the way a player caches
// objects as bitmaps. A shape is cached once it has been drawn twice with the same
// scale/rotation/skew and colour transform; its position only picks one of 4x4 subpixel
// variants, so objects that merely move are drawn by a single image blit. Shapes whose
// transform keeps changing are never cached and are drawn as paths.

#include "swf/render/ColorTransform.h"
#include "swf/render/CompiledShape.h"
#include "swf/render/ShapePainter.h"

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QTransform>

#include <array>
#include <cstdint>
#include <unordered_map>

namespace swf::render {

class RasterCache {
public:
    explicit RasterCache(ShapePainter& painter) : m_painter(painter) {}

    // Draws `shape` from the cache (building the entry when this is its second use) and
    // returns true, or returns false when the caller should draw the paths itself.
    bool draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
              const QTransform& deviceToPainter);

    void clear();
    std::size_t byteSize() const { return m_bytes; }
    std::size_t entryCount() const { return m_entries.size(); }

    // Total image bytes kept; the least recently used entries go first beyond it.
    void setByteLimit(std::size_t bytes) { m_limit = bytes; }

private:
    struct Key {
        const CompiledShape* shape;
        std::array<double, 4> linear;
        std::array<float, 8> cx;
        std::uint8_t subX, subY;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    struct Entry {
        QImage image;
        QPoint offset; // of the image's top-left from the floored device origin
        std::uint64_t lastUse = 0;
    };

    void evict();

    ShapePainter& m_painter;
    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::unordered_map<Key, int, KeyHash> m_seen; // first uses, before an entry is worth making
    std::uint64_t m_clock = 0;
    std::size_t m_bytes = 0;
    std::size_t m_limit = 96u << 20;
};

} // namespace swf::render
