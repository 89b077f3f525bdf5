#pragma once
// Draws a player's current frame: the background, then the root display list in depth
// order with masks, colour transforms and blend modes, scaled into a viewport with
// "show all" (aspect kept, centred, the rest in the background colour). No widgets:
// any QPainter will do, on screen or on an image.

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <cstdint>
#include <memory>

namespace swf {
class Player;
}

namespace swf::render {

struct RenderStats {
    std::uint64_t objectsDrawn = 0;
    std::uint64_t objectsSkipped = 0; // characters that cannot be drawn (video, unknown, missing)
    int bitmapsDecoded = 0;
    int bitmapsFailed = 0; // undecodable bitmaps, each counted once
    std::size_t cachedShapes = 0;
    std::size_t rasterCacheBytes = 0; // shapes kept as images
    std::uint64_t filtersSkipped = 0; // filters of kinds not applied
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

    // The stage alone at `scale` (1 = one image pixel per stage pixel).
    QImage renderImage(const Player& player, double scale = 1.0);

    // Drops every cached path and bitmap (they are also dropped when the movie changes).
    void clearCaches();
    const RenderStats& stats() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// Size of the image renderImage() makes: the stage in pixels times `scale`, at least 1x1.
QSize stageImageSize(const Player& player, double scale);

} // namespace swf::render
