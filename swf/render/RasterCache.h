#pragma once
// Rasterized shapes kept as premultiplied images and blitted, the way a player caches
// objects as bitmaps. A shape is drawn from an image once it has been drawn twice with the
// same scale/rotation/skew, colour transform and position to a quarter pixel (one of 4x4
// subpixel variants). A shape seen at several subpixel positions is moving: from then on it is
// placed to the whole pixel from one image, as players place cached bitmaps, so a moving
// object costs one image rather than sixteen. Shapes whose transform keeps changing are never
// cached and are drawn as paths.
//
// Whether a shape is drawn from an image depends only on the draws seen so far, never on
// which images are kept: the stage drawn in bands by several caches (one a band, each seeing
// every draw) comes out the same as drawn by one. An image evicted to stay in the byte budget
// is made again when it is next needed, kept or not.

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
    // returns true, or returns false when the caller should draw the paths itself. A draw
    // that is not `visible` (outside the area being drawn) is only counted, never drawn.
    bool draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
              const QTransform& deviceToPainter, bool visible = true);

    void clear();
    std::size_t byteSize() const { return m_bytes; }
    std::size_t entryCount() const { return m_entries.size(); }
    // Draws served from a kept image, and draws left to the caller or spent making one.
    std::uint64_t hits() const { return m_hits; }
    std::uint64_t misses() const { return m_misses; }

    // Total image bytes kept. Beyond it the least recently used entries go, but only those not
    // drawn in this frame or the one before; when all were, a new image is drawn and let go.
    void setByteLimit(std::size_t bytes) { m_limit = bytes; }
    // Called before each frame: entries age by frames.
    void beginFrame() { ++m_frame; }

private:
    // A shape drawn one way, wherever it stands.
    struct Look {
        const CompiledShape* shape;
        std::array<double, 4> linear;
        std::array<float, 8> cx;
        bool operator==(const Look&) const = default;
    };
    struct Key {
        Look look;
        std::uint8_t subX, subY;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Look& k) const;
        std::size_t operator()(const Key& k) const;
    };
    // The subpixel variants a look has been drawn at (bit 4 * y + x), and those drawn twice.
    struct Seen {
        std::uint16_t once = 0;
        std::uint16_t twice = 0;
        bool moving = false;
    };
    struct Entry {
        QImage image;
        QPoint offset; // of the image's top-left from the floored device origin
        std::uint64_t lastUse = 0;
        std::uint64_t lastFrame = 0;
    };

    bool drawKept(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
                  const QTransform& deviceToPainter, bool visible, bool& hit);
    void makeRoom(std::size_t bytes);
    void dropVariants(const Look& look);

    ShapePainter& m_painter;
    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::unordered_map<Look, Seen, KeyHash> m_seen;
    std::uint64_t m_clock = 0;
    std::uint64_t m_frame = 1;
    std::uint64_t m_fullFrame = 0; // the frame in which no stale entry was left to evict
    std::uint64_t m_hits = 0;
    std::uint64_t m_misses = 0;
    std::size_t m_bytes = 0;
    std::size_t m_limit = kDefaultByteLimit;

public:
    static constexpr std::size_t kDefaultByteLimit = 64u << 20;
};

} // namespace swf::render
