#pragma once
// Draws compiled shapes through a QPainter: fills with their brushes, strokes with their
// widths resolved against the object's transform.

#include "swf/render/ColorTransform.h"
#include "swf/render/CompiledShape.h"

#include <QImage>
#include <QPainter>
#include <QTransform>

#include <cstdint>
#include <map>
#include <utility>

namespace swf::render {

// Where bitmap fills find their images; nullptr for a missing or undecodable bitmap.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    virtual const QImage* bitmap(std::uint16_t id) = 0;
};

class ShapePainter {
public:
    // `stagePixelScale` is device pixels per stage pixel (for strokes that do not scale).
    void setStagePixelScale(double s) { m_stagePixelScale = s; }
    void setBitmapSource(BitmapSource* source) { m_bitmaps = source; }
    // Bitmap fills sit one stage pixel right and down (movies of version 6 and earlier).
    void setLegacyBitmapOffset(bool on) { m_legacyBitmapOffset = on; }
    // Off: no bitmap is smoothed, whatever its fill asks for (qualities below high).
    void setSmoothBitmaps(bool on) { m_smoothBitmaps = on; }
    // On: every bitmap is smoothed, whatever its fill asks for (quality best).
    void setAlwaysSmoothBitmaps(bool on) { m_alwaysSmooth = on; }

    // `toDevice` maps shape twips to device pixels; `deviceToPainter` maps device pixels to
    // the painter's logical coordinates (a 1/devicePixelRatio scale on HiDPI surfaces).
    void draw(QPainter& painter, const CompiledShape& shape, const QTransform& toDevice,
              const ColorTransform& cx, const QTransform& deviceToPainter = QTransform());
    // Fills every filled area of the shape with one colour (glyphs of a text run).
    void fillSolid(QPainter& painter, const CompiledShape& shape, const QTransform& toDevice,
                   const QColor& color, const QTransform& deviceToPainter = QTransform());

    // Stroke width in device pixels that a line style gets under `toDevice`; 0 = hairline.
    double deviceStrokeWidth(const LineStyle& line, const QTransform& toDevice) const;
    // How far, in device pixels, the drawn shape may reach past its paths' bounds: strokes,
    // their caps and joins, and anti-aliasing.
    double deviceReach(const CompiledShape& shape, const QTransform& toDevice) const;

    // Called before each frame: gradient brushes and stroke outlines are kept by the number of
    // frames they are used in.
    void beginFrame() { ++m_frame; }
    // Frames a fill or stroke must be drawn as paths in before its brush or outline is kept.
    // A shape the image cache takes over is drawn as paths in fewer (once a frame while its
    // look is counted), and a movie of thousands of such shapes would otherwise keep them all.
    static constexpr std::uint64_t kKeptAfterFrames = 5;

    int skippedFills() const { return m_skippedFills; }
    // Drops the tinted copies of `image` (its pixels are about to change or go away).
    void forgetTinted(const QImage* image) {
        std::erase_if(m_tinted, [&](const auto& entry) {
            if (entry.first.first != image)
                return false;
            m_tintedBytes -= static_cast<std::size_t>(entry.second.sizeInBytes());
            return true;
        });
    }
    void clearCaches() {
        m_tinted.clear();
        m_tintedBytes = 0;
    }

private:
    void fillPath(QPainter& painter, const QPainterPath& path, const FillStyle& fill,
                  const ColorTransform& cx);
    const QBrush& keptBrush(const CompiledShape& shape, std::uint32_t fill, const ColorTransform& cx);
    QBrush strokeBrush(const LineStyle& line, const ColorTransform& cx);
    const QImage* tinted(const QImage* image, const ColorTransform& cx);

    double m_stagePixelScale = 1;
    BitmapSource* m_bitmaps = nullptr;
    bool m_legacyBitmapOffset = false;
    bool m_smoothBitmaps = true;
    bool m_alwaysSmooth = false;
    int m_skippedFills = 0;
    std::uint64_t m_frame = 1;
    QBrush m_passingBrush; // made for one fill, not kept
    // Bitmaps seen through a colour transform, kept while the same tint is in use.
    std::map<std::pair<const QImage*, std::array<float, 8>>, QImage> m_tinted;
    std::size_t m_tintedBytes = 0;
};

} // namespace swf::render
