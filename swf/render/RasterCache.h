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
#include <vector>

namespace swf::render {

class RasterCache {
public:
    explicit RasterCache(ShapePainter& painter) : m_painter(painter) {}

    // Draws `shape` from the cache (building the entry when this is its second use) and
    // returns true, or returns false when the caller should draw the paths itself. A draw
    // that is not `visible` (outside the area being drawn) is only counted, never drawn.
    bool draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
              const QTransform& deviceToPainter, bool visible = true);
    // The same, drawing only where the shape meets `area` (device pixels); whether it does is
    // told from the kept image when there is one, else from the shape's reach.
    bool draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
              const QTransform& deviceToPainter, const QRectF& area);
    // Whether `shape` drawn through `toDevice` can touch `area` (device pixels).
    bool reaches(const CompiledShape& shape, const QTransform& toDevice, const QRectF& area) const;

    void clear();
    std::size_t byteSize() const { return m_bytes; }
    std::size_t entryCount() const { return m_entries; }
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
    struct LookHash {
        std::size_t operator()(const Look& k) const;
    };
    // An image of a look at one subpixel variant (bit 4 * y + x of the variant masks).
    struct Kept {
        QImage image;
        QPoint offset; // of the image's top-left from the floored device origin
        std::uint64_t lastUse = 0;
        std::uint64_t lastFrame = 0;
        std::uint8_t variant = 0;
    };
    // What is known of a look: the variants it has been drawn at, those drawn twice, and the
    // images kept of it (one for a moving shape, seldom more than a few).
    struct Record {
        std::uint16_t once = 0;
        std::uint16_t twice = 0;
        bool moving = false;
        std::vector<Kept> kept;
    };
    using Looks = std::unordered_map<Look, Record, LookHash>;

    Record& recordFor(const Look& look);
    // Whether the draw is visible: known, or to be told from the image or the shape's reach.
    enum class Visibility : std::uint8_t { Hidden, Shown, FromArea };
    bool drawKept(QPainter& p, const CompiledShape& shape, const QTransform& toDevice, const ColorTransform& cx,
                  const QTransform& deviceToPainter, Visibility visibility, const QRectF& area, bool& counted,
                  bool& hit);
    bool makeImage(Kept& kept, const CompiledShape& shape, const QTransform& linear, double qx, double qy,
                   const ColorTransform& cx);
    void makeRoom(std::size_t bytes);
    void dropImages(Record& record, bool keepFirstVariant);

    ShapePainter& m_painter;
    // One lookup a draw: the counts and the images of a look sit together. A shape mostly
    // keeps its look from frame to frame, so the record it was last drawn through is tried
    // first (by the shape's address, direct-mapped; reset with the table).
    Looks m_looks;
    static constexpr std::size_t kRecentSlots = 4096;
    std::vector<Looks::value_type*> m_recent = std::vector<Looks::value_type*>(kRecentSlots);
    std::size_t m_entries = 0;
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
