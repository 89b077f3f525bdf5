#pragma once
// Draws a player's current frame: the background, then the root display list in depth
// order with masks, colour transforms and blend modes, scaled into a viewport with
// "show all" (aspect kept, centred, the rest in the background colour). No widgets:
// any QPainter will do, on screen or on an image.
//
// The frame is drawn on worker threads, in one horizontal band a thread, each band with
// caches of its own; the pixels do not depend on the number of threads. The calling thread
// waits for the frame.
//
// On a painter that is not a plain image (a widget) the frame is drawn on an image the
// renderer keeps, and only what changed since the frame drawn last is drawn anew; damage()
// tells a widget which part to repaint.

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {
class Player;
}
namespace swf::timeline {
class Clip;
}

namespace swf::render {

struct ColorTransform;

// Lookups of one cache since the renderer was made: found, or made (or done without) anew.
struct CacheCount {
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
    double hitRate() const { return hits + misses ? double(hits) / double(hits + misses) : 0.0; }
};

struct RenderStats {
    std::uint64_t objectsDrawn = 0;
    std::uint64_t objectsSkipped = 0; // characters that cannot be drawn (video, unknown, missing)
    int bitmapsDecoded = 0;
    int bitmapsFailed = 0; // undecodable bitmaps, each counted once
    std::size_t cachedShapes = 0;
    std::size_t rasterCacheBytes = 0; // shapes kept as images, all bands
    std::uint64_t filtersSkipped = 0; // filters of kinds not applied
    CacheCount shapes;                // compiled paths of shapes, morph ratios, glyphs
    CacheCount raster;                // shapes blitted from a kept image, against drawn as paths
    CacheCount cachedObjects;         // cacheAsBitmap objects blitted from their kept raster, or drawn anew
    std::size_t cachedObjectBytes = 0; // their rasters, all bands
};

class StageRenderer {
public:
    StageRenderer();
    ~StageRenderer();
    StageRenderer(const StageRenderer&) = delete;
    StageRenderer& operator=(const StageRenderer&) = delete;

    // `viewport` is in the painter's logical coordinates; `devicePixelRatio` says how
    // many device pixels make one logical pixel, so hairlines, minimum widths and
    // offscreen layers are resolved against real pixels.
    void render(QPainter& painter, const Player& player, const QRectF& viewport,
                double devicePixelRatio = 1.0);

    // The part of `viewport` (in its logical coordinates) that the next render() with the
    // same arguments changes on a painter that is not a plain image; empty when nothing
    // changed, all of it when the last frame cannot tell.
    QRect damage(const Player& player, const QRectF& viewport, double devicePixelRatio = 1.0);

    // The stage alone at `scale` (1 = one image pixel per stage pixel).
    QImage renderImage(const Player& player, double scale = 1.0);

    // One clip's content (its drawing and children, not its own placement) drawn over
    // `target` on the calling thread: `toImage` maps the clip's twips to image pixels;
    // nothing is drawn outside `area` (image pixels).
    void renderClip(QImage& target, const timeline::Clip& clip, const QTransform& toImage,
                    const ColorTransform& tint, const QRectF& area);

    // Drops every cached path and bitmap (they are also dropped when the movie changes).
    void clearCaches();
    const RenderStats& stats() const;

    // Bands drawn at once, one a thread: 1 to kMaxThreads; 0 picks one a processor core.
    void setThreads(int threads);
    int threads() const;
    static constexpr int kMaxThreads = 16;

    // Bytes of shape images kept over all bands (the least recently used go first beyond it).
    static constexpr std::size_t kRasterBudget = 64u << 20;

private:
    class Impl;
    struct SharedState;
    struct KeptFrame;
    void syncMovie(const Player& player);
    void drawBands(QImage& frame, const Player& player, const QRectF& viewport, double dpr, const QRect& limit);
    QRect changedArea(const Player& player, const QRectF& viewport, double dpr, bool keep);

    std::unique_ptr<SharedState> m_shared;
    std::vector<std::unique_ptr<Impl>> m_lanes;
    std::unique_ptr<KeptFrame> m_kept; // drawn into when the painter's own surface cannot be
    mutable RenderStats m_stats;
};

// Size of the image renderImage() makes: the stage in pixels times `scale`, at least 1x1.
QSize stageImageSize(const Player& player, double scale);

} // namespace swf::render
