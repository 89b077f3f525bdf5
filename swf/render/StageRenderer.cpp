// Display-list rendering: a depth-first walk of the timeline instances. Transforms and
// colour transforms are composed on the way down; clip layers become clip paths in device
// space for the depths they cover; objects with a blend mode are drawn into an offscreen
// layer that is then composed onto whatever they sit on.

#include "swf/render/StageRenderer.h"

#include "swf/Player.h"
#include "swf/avm1/ActionRunner.h"
#include "swf/format/Button.h"
#include "swf/format/Font.h"
#include "swf/format/Media.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/Shape.h"
#include "swf/format/Text.h"
#include "swf/format/Timeline.h"
#include "swf/io/ByteReader.h"
#include "swf/media/BitmapCache.h"
#include "swf/movie/Movie.h"
#include "swf/render/ColorTransform.h"
#include "swf/render/CompiledShape.h"
#include "swf/render/Damage.h"
#include "swf/render/DeviceFace.h"
#include "swf/render/FieldPainter.h"
#include "swf/render/Filters.h"
#include "swf/render/RasterCache.h"
#include "swf/render/ScaleGrid.h"
#include "swf/render/ShapeConverter.h"
#include "swf/render/ShapePainter.h"
#include "swf/render/Viewport.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/HitTest.h"
#include "swf/timeline/World.h"
#include "swf/timeline/DisplayObject.h"
#include "swf/timeline/objects/BitmapObject.h"
#include "swf/timeline/objects/ButtonObject.h"
#include "swf/timeline/objects/TextFieldObject.h"
#include "swf/timeline/objects/VideoObject.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace swf::render {
namespace {

// Deeper than the engine ever nests sprites; guards against cycles all the same.
constexpr int kMaxDrawNesting = 64;
// Morph shapes are compiled per ratio; a movie that tweens many morphs keeps at most this many
// (a few kilobytes each): enough for the tweens of a busy scene that loop, so that each ratio
// is compiled once.
constexpr std::size_t kMaxMorphEntries = 4096;
// Offscreen layers (blend modes, filters) nested deeper than this draw straight onto the
// layer they are in: each level holds an image the size of the target.
constexpr int kMaxLayerNesting = 6;
// Objects drawn in one frame at most. Sprites shown by their first frame (inside buttons)
// have no instance budget of the engine's, and one that places itself twice would
// otherwise multiply without end.
constexpr std::uint64_t kMaxObjectsPerFrame = 250000;
// Run-time drawings kept compiled at most.
constexpr std::size_t kMaxDrawings = 1024;
// Bytes of cacheAsBitmap rasters a band keeps; an object whose raster would not fit, or
// would be larger than this many pixels, is drawn directly.
constexpr std::size_t kCachedObjectBudget = 32u << 20;
constexpr qint64 kMaxCachedObjectPixels = 4096 * 4096;

ColorTransform toColorTransform(const format::ColorTransform& c) {
    return ColorTransform::fromTerms(c.rMul, c.gMul, c.bMul, c.aMul, c.rAdd, c.gAdd, c.bAdd, c.aAdd);
}

QPainter::CompositionMode compositionFor(format::BlendMode mode) {
    switch (mode) {
    case format::BlendMode::Multiply:
        return QPainter::CompositionMode_Multiply;
    case format::BlendMode::Screen:
        return QPainter::CompositionMode_Screen;
    case format::BlendMode::Lighten:
        return QPainter::CompositionMode_Lighten;
    case format::BlendMode::Darken:
        return QPainter::CompositionMode_Darken;
    case format::BlendMode::Difference:
        return QPainter::CompositionMode_Difference;
    case format::BlendMode::Add:
        return QPainter::CompositionMode_Plus;
    case format::BlendMode::Overlay:
        return QPainter::CompositionMode_Overlay;
    case format::BlendMode::HardLight:
        return QPainter::CompositionMode_HardLight;
    case format::BlendMode::Alpha:
        return QPainter::CompositionMode_DestinationIn;
    case format::BlendMode::Erase:
        return QPainter::CompositionMode_DestinationOut;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

// Adds `path` to a union kept under the non-zero rule; a mirroring transform reverses
// the outline's direction, which would cancel overlaps instead of merging them.
void addToUnion(QPainterPath& out, const QPainterPath& path, const QTransform& m) {
    if (path.isEmpty())
        return;
    QPainterPath mapped = m.map(path);
    if (m.determinant() < 0)
        mapped = mapped.toReversed();
    out.addPath(mapped);
}

// Subtract and invert have no QPainter composition mode: done by hand on the pixels of
// `rows` (the band being drawn).
void composeByHand(QImage& dst, const QImage& src, format::BlendMode mode, int firstRow, int endRow) {
    const int h = std::min({dst.height(), src.height(), endRow});
    const int w = std::min(dst.width(), src.width());
    for (int y = std::max(0, firstRow); y < h; ++y) {
        auto* d = reinterpret_cast<QRgb*>(dst.scanLine(y));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int sa = qAlpha(s[x]);
            if (sa == 0)
                continue;
            const QRgb dp = d[x];
            const int da = qAlpha(dp);
            int r, g, b;
            if (mode == format::BlendMode::Subtract) {
                r = std::max(0, qRed(dp) - qRed(s[x]));
                g = std::max(0, qGreen(dp) - qGreen(s[x]));
                b = std::max(0, qBlue(dp) - qBlue(s[x]));
            } else { // invert what lies under the object's coverage
                // Rounded to the nearest level on both sides of zero (grey 128 becomes 127).
                auto inv = [&](int c) {
                    const int v = (da - 2 * c) * sa;
                    return c + (v >= 0 ? (v + 127) / 255 : -((127 - v) / 255));
                };
                r = inv(qRed(dp));
                g = inv(qGreen(dp));
                b = inv(qBlue(dp));
            }
            d[x] = qRgba(std::clamp(r, 0, da), std::clamp(g, 0, da), std::clamp(b, 0, da), da);
        }
    }
}

} // namespace

// What the bands of one renderer share: decoded bitmaps, and a lock for them and for the
// lazily laid out text of fields.
struct StageRenderer::SharedState {
    std::recursive_mutex mutex;
    media::BitmapCache bitmaps;
};

class StageRenderer::Impl : public BitmapSource {
public:
    struct Target {
        QPainter* painter = nullptr;
        QImage* image = nullptr; // the pixels the painter draws on, when known
        QTransform deviceToPainter;
        QSize deviceSize;
        bool layered = false;          // a blend layer that alpha and erase can act on
        std::uint64_t appliedClip = 0; // serial of the clip state set on the painter
        // The device pixels this walk may change (its band); shapes wholly outside are
        // counted but not drawn.
        QRectF area;
    };

    // Device-space clip: the stage rectangle plus every mask in force.
    struct ClipState {
        QRectF stage;
        std::vector<QPainterPath> masks;
        std::uint64_t serial = 0;
    };

    explicit Impl(SharedState& shared) : m_shared(shared) {}

    const QImage* bitmap(std::uint16_t id) override {
        const format::Character* c = m_current ? m_current->character(id) : nullptr;
        if (!c || c->kind != format::CharacterKind::Bitmap)
            return nullptr;
        const auto* b = static_cast<const format::BitmapCharacter*>(c);
        // Decoded once for all bands; the images stay where they are until the movie changes.
        const std::lock_guard lock(m_shared.mutex);
        return m_shared.bitmaps.image(b, static_cast<std::uint16_t>(b->tag), b->data, m_current->jpegTables());
    }

    // Follows the player to another movie, dropping the caches; true when it did.
    bool syncMovie(const Player& player) { return syncMovie(player.movie()); }
    bool syncMovie(const movie::Movie* m) {
        // The address alone could be reused by the next movie; the body buffer and the
        // dictionary size make a mix-up of two movies' caches practically impossible.
        const auto body = m ? m->body() : std::span<const std::uint8_t>();
        if (m == m_movie && body.data() == m_bodyData && body.size() == m_bodySize &&
            (m ? m->characterCount() : 0) == m_characterCount)
            return false;
        clear();
        m_movie = m;
        m_bodyData = body.data();
        m_bodySize = body.size();
        m_characterCount = m ? m->characterCount() : 0;
        return true;
    }

    void clear() {
        m_shapes.clear();
        m_morphs.clear();
        m_glyphs.clear();
        m_firstFrames.clear();
        m_outlined.clear();
        m_definitionFields.clear();
        m_drawings.clear();
        m_painter.clearCaches();
        m_raster.clear();
        m_cachedObjects.clear();
        m_cachedObjectBytes = 0;
    }

    // Draws the stage on `painter`, whose logical coordinates `deviceToPainter` maps device
    // pixels to, changing only the pixels of `band` (device pixels).
    void drawStage(QPainter& painter, QImage* image, const Player& player, const QRectF& viewport, double dpr,
                   const QTransform& deviceToPainter, const QRect& band) {
        const format::Rect sr = player.stageRect();
        const format::Rgba bg = player.backgroundColor();
        const QRectF stage(sr.xMin, sr.yMin, double(sr.width()), double(sr.height()));
        const StageViewport v = showAll(stage, viewport, dpr);
        const double k = std::isfinite(dpr) && dpr > 0 ? dpr : 1.0;

        if (band.isEmpty())
            return;
        painter.save();
        m_antialias = timeline::antialiased(player.quality());
        m_smoothBitmaps = timeline::smoothsBitmaps(player.quality());
        m_alwaysSmooth = timeline::alwaysSmoothsBitmaps(player.quality());
        painter.setRenderHint(QPainter::Antialiasing, m_antialias);
        const QSize deviceSize(int(std::ceil((viewport.x() + viewport.width()) * k)),
                               int(std::ceil((viewport.y() + viewport.height()) * k)));
        const QRectF area = QRectF(QPointF(0, 0), QSizeF(deviceSize)).intersected(QRectF(band));
        painter.setTransform(deviceToPainter);
        painter.setClipRect(area);
        painter.fillRect(QRectF(viewport.x() * k, viewport.y() * k, viewport.width() * k, viewport.height() * k),
                         QColor(bg.r, bg.g, bg.b));
        if (v.pixelScale > 0 && player.root() && player.isLoaded()) {
            Target t;
            t.painter = &painter;
            t.image = image;
            t.deviceToPainter = deviceToPainter;
            t.deviceSize = deviceSize;
            t.area = area;
            ClipState clip;
            clip.stage = v.stageArea.intersected(area);
            clip.serial = nextClipSerial();
            m_painter.setStagePixelScale(v.pixelScale);
            m_current = m_movie;
            m_painter.setLegacyBitmapOffset(m_current && m_current->version() <= 6);
            m_painter.setSmoothBitmaps(m_smoothBitmaps);
            m_painter.setAlwaysSmoothBitmaps(m_alwaysSmooth);
            m_pixelScale = v.pixelScale;
            m_budget = kMaxObjectsPerFrame;
            m_painter.setBitmapSource(this);
            m_maskObjects.clear();
            m_masked.clear();
            m_raster.beginFrame();
            m_painter.beginFrame();
            beginCachedObjects(player.displayGeneration());
            if (player.root()->world().hasScriptMasks)
                findScriptMasks(*player.root(), v.stageToDevice, 0);
            for (const timeline::Clip* level : player.levelRoots())
                drawClip(t, *level, v.stageToDevice, ColorTransform{}, clip, 0);
            if (player.actionRunner().focusRectShown()) {
                painter.setTransform(deviceToPainter);
                painter.setClipRect(area);
                drawFocusRect(painter, *player.root(), v.stageToDevice, v.pixelScale);
            }
        }
        painter.restore();
        m_stats.cachedShapes = m_shapes.size() + m_morphs.size() + m_glyphs.size();
        m_stats.rasterCacheBytes = m_raster.byteSize();
        m_stats.raster = {m_raster.hits(), m_raster.misses()};
        m_stats.cachedObjectBytes = m_cachedObjectBytes;
    }

    // A button or clip that Tab focused shows a yellow rectangle round its bounds, over
    // everything, unless `_focusrect` is off. Its line is two stage pixels wide, inside
    // the bounds (the width Flash used is not documented).
    void drawFocusRect(QPainter& painter, const timeline::Clip& root, const QTransform& stageToDevice,
                       double pixelScale) {
        const timeline::World& world = root.world();
        if (!world.input.focusShown)
            return;
        const timeline::Clip* parent = world.clipById(world.input.focus.parent);
        if (!parent || !parent->isOnStage())
            return;
        for (const auto& [depth, obj] : parent->displayList()) {
            if (obj.serial != world.input.focus.serial || obj.as<timeline::TextFieldObject>())
                continue;
            const std::optional<QRectF> local = localBounds(obj.character, &obj, 0);
            if (!local || local->isEmpty())
                return;
            const QRectF box =
                (toQTransform(obj.matrix) * toQTransform(timeline::rootMatrix(*parent)) * stageToDevice)
                    .mapRect(*local);
            const double w = 2 * pixelScale;
            if (!(w > 0) || !box.isValid() || box.width() > 1e7 || box.height() > 1e7)
                return;
            QPainterPath ring;
            ring.setFillRule(Qt::OddEvenFill);
            ring.addRect(box);
            ring.addRect(box.adjusted(w, w, -w, -w));
            painter.fillPath(ring, QColor(255, 255, 0));
            return;
        }
    }

    void setRasterBudget(std::size_t bytes) { m_raster.setByteLimit(bytes); }

    // Lists what the frame draws, for telling what changed since the last (Damage.h).
    void listItems(const Player& player, const QRectF& viewport, double dpr, FrameItems& out) {
        out = {};
        const format::Rect sr = player.stageRect();
        const QRectF stage(sr.xMin, sr.yMin, double(sr.width()), double(sr.height()));
        const StageViewport v = showAll(stage, viewport, dpr);
        if (!(v.pixelScale > 0 && player.root() && player.isLoaded()))
            return;
        m_painter.setStagePixelScale(v.pixelScale); // strokes that do not scale reach by it
        // Levels above 0 are rare: a frame that has any is repainted whole.
        out.whole = player.root()->world().hasScriptMasks || !player.root()->world().levels.empty()
                    || player.root()->world().input.focusShown;
        listClip(*player.root(), v.stageToDevice, ColorTransform{}, out, 0);
    }

    // One clip's content alone (BitmapData.draw) on `painter`, an image's own painter:
    // `toDevice` maps the clip's twips to the image, drawn inside `area`. Script masks act as
    // on the stage: the clip is cut by its mask where that mask stands relative to it, and a
    // clip that masks another draws nothing.
    void drawClipAlone(QPainter& painter, QImage& image, const timeline::Clip& clip, const QTransform& toDevice,
                       const ColorTransform& cx, const QRectF& area) {
        const timeline::Quality quality = clip.world().quality;
        painter.save();
        m_antialias = timeline::antialiased(quality);
        m_smoothBitmaps = timeline::smoothsBitmaps(quality);
        m_alwaysSmooth = timeline::alwaysSmoothsBitmaps(quality);
        painter.setRenderHint(QPainter::Antialiasing, m_antialias);
        Target t;
        t.painter = &painter;
        t.image = &image;
        t.deviceSize = image.size();
        t.area = area;
        ClipState state;
        state.stage = area;
        state.serial = nextClipSerial();
        const double scale = std::sqrt(std::abs(toDevice.determinant())) * 20;
        m_pixelScale = std::isfinite(scale) && scale > 0 ? scale : 1.0;
        m_painter.setStagePixelScale(m_pixelScale);
        m_current = &clip.movie();
        m_painter.setLegacyBitmapOffset(m_current && m_current->version() <= 6);
        m_painter.setSmoothBitmaps(m_smoothBitmaps);
        m_painter.setAlwaysSmoothBitmaps(m_alwaysSmooth);
        m_budget = kMaxObjectsPerFrame;
        m_painter.setBitmapSource(this);
        m_maskObjects.clear();
        m_masked.clear();
        beginCachedObjects(clip.world().generation);
        bool hidden = false;
        if (clip.world().hasScriptMasks) {
            // Where the stage lies relative to the clip, for masks anywhere on it.
            const timeline::Clip* top = &clip;
            QTransform clipToStage;
            for (; top->parent(); top = top->parent())
                if (const timeline::DisplayObject* o = top->displayObject())
                    clipToStage = clipToStage * toQTransform(o->matrix);
            bool invertible = false;
            const QTransform stageToDevice = clipToStage.inverted(&invertible) * toDevice;
            const timeline::DisplayObject* self = clip.displayObject();
            if (invertible && self) {
                findScriptMasks(*top, stageToDevice, 0);
                hidden = m_maskObjects.count(self->serial) != 0;
                if (self->scriptMask && !m_masked.empty())
                    state.masks.push_back(scriptMaskArea(self->scriptMask, 0));
            }
        }
        if (!hidden)
            drawClip(t, clip, toDevice, cx, state, 0);
        painter.restore();
    }

    RenderStats m_stats;

private:
    std::uint64_t nextClipSerial() { return ++m_clipSerial; }

    void applyClip(Target& t, const ClipState& clip) {
        if (t.appliedClip == clip.serial)
            return;
        t.appliedClip = clip.serial;
        QPainter& p = *t.painter;
        p.setTransform(t.deviceToPainter);
        p.setClipRect(clip.stage);
        for (const QPainterPath& m : clip.masks)
            p.setClipPath(m, Qt::IntersectClip);
    }

    void countShape(bool found) { ++(found ? m_stats.shapes.hits : m_stats.shapes.misses); }

    const CompiledShape& shapeFor(const format::ShapeCharacter* s) {
        auto& slot = m_shapes[s];
        countShape(slot != nullptr);
        if (!slot)
            slot = std::make_unique<CompiledShape>(compileShape(geometryFromShape(*s)));
        return *slot;
    }

    const CompiledShape& morphFor(const format::MorphShapeCharacter* m, std::uint16_t ratio) {
        auto key = std::make_pair(m, ratio);
        auto it = m_morphs.find(key);
        countShape(it != m_morphs.end());
        if (it != m_morphs.end())
            return *it->second;
        if (m_morphs.size() >= kMaxMorphEntries) {
            m_raster.clear(); // its entries point at the compiled morphs
            m_morphs.clear();
        }
        const format::ShapeCharacter at = m->shapeAt(ratio);
        return *m_morphs.emplace(key, std::make_unique<CompiledShape>(compileShape(geometryFromShape(at))))
                    .first->second;
    }

    const CompiledShape* glyphFor(const format::FontCharacter* font, std::uint32_t index) {
        if (index >= font->glyphs.size())
            return nullptr;
        auto& slot = m_glyphs[{font, index}];
        countShape(slot != nullptr);
        if (!slot)
            slot = std::make_unique<CompiledShape>(compileShape(geometryFromGlyph(font->glyphs[index])));
        return slot.get();
    }

    const format::FontCharacter* fontFor(std::uint16_t id) const {
        const format::Character* c = m_current ? m_current->character(id) : nullptr;
        return c && c->kind == format::CharacterKind::Font ? static_cast<const format::FontCharacter*>(c)
                                                           : nullptr;
    }

    // Calls `glyph(compiled, glyphToObject, colour)` for every glyph of a static text that
    // has an outline, and `device(character, penToObject, height, font, colour)` for glyphs of
    // fonts that carry only a code table (texts set in device fonts).
    template <typename Fn, typename DeviceFn>
    void forEachGlyph(const format::TextCharacter& text, Fn&& glyph, DeviceFn&& device) {
        const QTransform textMatrix = toQTransform(text.matrix);
        double x = 0, y = 0;
        for (const format::TextRecord& rec : text.records) {
            if (rec.xOffset)
                x = *rec.xOffset;
            if (rec.yOffset)
                y = *rec.yOffset;
            const format::FontCharacter* font = fontFor(rec.fontId);
            const double scale = font ? rec.height / font->emSquare() : 0;
            for (const format::GlyphEntry& g : rec.glyphs) {
                const CompiledShape* shape = font ? glyphFor(font, g.index) : nullptr;
                if (shape && !shape->layers.empty())
                    glyph(*shape, QTransform(scale, 0, 0, scale, x, y) * textMatrix, rec.color);
                else if (font && !hasOutlines(font) && g.index < font->codes.size())
                    device(char32_t(font->codes[g.index]), QTransform::fromTranslate(x, y) * textMatrix,
                           rec.height, font, rec.color);
                x += g.advance;
            }
        }
    }

    // Fonts set as device fonts keep a code table but write empty glyph outlines.
    bool hasOutlines(const format::FontCharacter* font) {
        auto [it, fresh] = m_outlined.try_emplace(font, false);
        if (fresh)
            for (const format::Shape& g : font->glyphs)
                for (const format::ShapeRecord& r : g.records)
                    if (!std::holds_alternative<format::StyleChangeRecord>(r)) {
                        it->second = true;
                        break;
                    }
        return it->second;
    }

    static bool canDrawDeviceText() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()); }

    void drawList(Target& t, const timeline::DisplayList& list, const QTransform& m, const ColorTransform& cx,
                  const ClipState& inherited, int nesting) {
        if (nesting > kMaxDrawNesting)
            return;
        // A clip layer placed inside the range of another is itself clipped by it, also at
        // the depths past the outer range: each mask keeps the outlines it was cut by.
        struct ActiveMask {
            int clipDepth;
            std::vector<std::shared_ptr<const QPainterPath>> chain; // its own outline first
        };
        std::vector<ActiveMask> active;
        ClipState clip = inherited;
        auto rebuild = [&] {
            clip = inherited;
            std::vector<const QPainterPath*> seen;
            for (const ActiveMask& a : active)
                for (const auto& path : a.chain)
                    if (std::find(seen.begin(), seen.end(), path.get()) == seen.end()) {
                        seen.push_back(path.get());
                        clip.masks.push_back(*path);
                    }
            clip.serial = nextClipSerial();
        };
        for (const auto& [depth, obj] : list) {
            // Masks whose range ended below this depth stop applying.
            const auto before = active.size();
            std::erase_if(active, [depth = depth](const ActiveMask& a) { return a.clipDepth < depth; });
            if (active.size() != before)
                rebuild();
            if (obj.clipDepth > 0) {
                // A clip layer draws nothing; its filled geometry masks the depths up to
                // its clip depth. An invisible mask still masks.
                auto area = std::make_shared<QPainterPath>();
                area->setFillRule(Qt::WindingFill);
                addMaskGeometry(*area, obj.character, &obj, toQTransform(obj.matrix) * m, nesting);
                ActiveMask mask{obj.clipDepth, {area}};
                for (const ActiveMask& outer : active)
                    mask.chain.insert(mask.chain.end(), outer.chain.begin(), outer.chain.end());
                active.push_back(std::move(mask));
                clip.masks.push_back(*area);
                clip.serial = nextClipSerial();
                continue;
            }
            if (!m_masked.empty() && m_maskObjects.count(obj.serial))
                continue; // a clip masking another by script is not drawn itself
            if (obj.scriptMask && !m_masked.empty()) {
                ClipState masked = clip;
                masked.masks.push_back(scriptMaskArea(obj.scriptMask, nesting));
                masked.serial = nextClipSerial();
                drawObject(t, obj, m, cx, masked, nesting);
                continue;
            }
            drawObject(t, obj, m, cx, clip, nesting);
        }
    }

    // A frame with more items than this is taken as changed all over when anything changes.
    static constexpr std::size_t kMaxListedItems = 100000;

    void listClip(const timeline::Clip& c, const QTransform& m, const ColorTransform& cx, FrameItems& out,
                  int nesting) {
        if (!c.graphics().empty() || nesting > kMaxDrawNesting)
            out.whole = true;
        for (const auto& [depth, obj] : c.displayList()) {
            if (out.whole || out.items.size() > kMaxListedItems) {
                out.whole = true;
                return;
            }
            if (!obj.visible || !obj.character)
                continue;
            // Groups and masks change pixels the items under them cannot tell of.
            if (obj.clipDepth > 0 || obj.scriptMask || !obj.filters.empty() ||
                obj.blendMode != format::BlendMode::Normal || hasPresentation(obj)) {
                out.whole = true;
                return;
            }
            const QTransform om = toQTransform(obj.matrix) * m;
            if (om.determinant() == 0 || !std::isfinite(om.determinant()))
                continue; // drawn as nothing
            const ColorTransform ocx = ColorTransform::compose(cx, toColorTransform(obj.colorTransform));
            const format::Character* ch = obj.character;
            const timeline::ObjectKind kind = obj.state ? obj.kind : timeline::kindOf(*ch);
            switch (kind) {
            case timeline::ObjectKind::Shape:
            case timeline::ObjectKind::MorphShape: {
                const bool morph = kind == timeline::ObjectKind::MorphShape;
                const CompiledShape& shape =
                    morph ? morphFor(static_cast<const format::MorphShapeCharacter*>(ch), obj.ratio)
                          : shapeFor(static_cast<const format::ShapeCharacter*>(ch));
                const double reach = m_painter.deviceReach(shape, om);
                out.items.push_back({ch, morph ? obj.ratio : 0u, om, ocx,
                                     om.mapRect(shape.bounds).adjusted(-reach, -reach, reach, reach)});
                break;
            }
            case timeline::ObjectKind::StaticText: {
                QRectF bounds;
                bool deviceGlyphs = false;
                forEachGlyph(
                    *static_cast<const format::TextCharacter*>(ch),
                    [&](const CompiledShape& glyph, const QTransform& g, const format::Rgba&) {
                        const QRectF r = (g * om).mapRect(glyph.bounds).adjusted(-2, -2, 2, 2);
                        bounds = bounds.isNull() ? r : bounds.united(r);
                    },
                    [&](char32_t, const QTransform&, std::uint16_t, const format::FontCharacter*,
                        const format::Rgba&) { deviceGlyphs = true; });
                out.whole |= deviceGlyphs;
                out.items.push_back({ch, 0, om, ocx, bounds});
                break;
            }
            case timeline::ObjectKind::Bitmap: {
                const auto* own = obj.as<timeline::BitmapObject>();
                const QImage* img = own && own->pixels ? nullptr : bitmap(ch->id);
                if (!img) { // pixels a script may set, or nothing to draw
                    out.whole |= own && own->pixels;
                    break;
                }
                const QRectF r = (QTransform::fromScale(20, 20) * om).mapRect(QRectF(QPointF(0, 0), img->size()));
                out.items.push_back({ch, 0, om, ocx, r.adjusted(-2, -2, 2, 2)});
                break;
            }
            case timeline::ObjectKind::Sprite:
                if (obj.clip)
                    listClip(*obj.clip, om, ocx, out, nesting + 1);
                else
                    out.whole = true;
                break;
            default: // buttons, text fields, video and the rest
                out.whole = true;
                break;
            }
        }
    }

    // setMask: notes where every object stands on the device and which objects mask others.
    void findScriptMasks(const timeline::Clip& c, const QTransform& m, int nesting) {
        if (nesting > kMaxDrawNesting)
            return;
        for (const auto& [depth, obj] : c.displayList()) {
            const QTransform local = toQTransform(obj.matrix) * m;
            if (obj.scriptMask)
                m_masked.insert(obj.scriptMask);
            m_maskObjects[obj.serial] = {&obj, local};
            if (obj.clip)
                findScriptMasks(*obj.clip, local, nesting + 1);
        }
        if (nesting == 0) {
            // Keep only objects that do mask something.
            std::erase_if(m_maskObjects, [&](const auto& e) { return !m_masked.count(e.first); });
            if (m_masked.empty())
                m_maskObjects.clear();
        }
    }

    // The mask's filled area where it stands, whatever its parent; an empty area (the mask
    // is gone) hides the masked object, as in Flash.
    QPainterPath scriptMaskArea(std::uint64_t serial, int nesting) {
        QPainterPath area;
        area.setFillRule(Qt::WindingFill);
        const auto it = m_maskObjects.find(serial);
        if (it != m_maskObjects.end()) {
            const timeline::DisplayObject& mask = *it->second.object;
            addMaskGeometry(area, mask.character, &mask, it->second.transform, nesting);
        }
        return area;
    }

    void drawObject(Target& t, const timeline::DisplayObject& obj, const QTransform& parent,
                    const ColorTransform& parentCx, const ClipState& clip, int nesting) {
        if (!obj.visible || !obj.character)
            return;
        if (m_budget == 0) {
            ++m_stats.objectsSkipped;
            return;
        }
        --m_budget;
        const QTransform m = toQTransform(obj.matrix) * parent;
        // A transform that flattens the object to a line or a point (a zero scale, say)
        // leaves nothing to see; its strokes must not turn into hairlines either.
        if (m.determinant() == 0 || !std::isfinite(m.determinant()))
            return;
        const ColorTransform cx = ColorTransform::compose(parentCx, toColorTransform(obj.colorTransform));
        const format::BlendMode mode = obj.blendMode;
        const bool filtered = hasAppliedFilter(obj.filters);
        if ((mode == format::BlendMode::Normal || mode == format::BlendMode::Layer) && !filtered) {
            // A layer groups a sprite's children: its colour transform then acts on the group
            // (overlapping children do not show through each other at half alpha), and the
            // blend modes of its children mix with the group only. Without either, drawing
            // the children straight onto the target looks the same.
            if (mode == format::BlendMode::Layer && obj.clip && (hasGroupedChild(obj) || !cx.isIdentity())) {
                drawLayered(t, obj, m, cx, clip, nesting, QPainter::CompositionMode_SourceOver);
                return;
            }
            drawPlaced(t, obj, m, cx, clip, nesting);
            return;
        }
        if ((mode == format::BlendMode::Alpha || mode == format::BlendMode::Erase) && !t.layered) {
            // These act on the enclosing layer; with none there is nothing to act on.
            ++m_stats.objectsSkipped;
            return;
        }
        drawLayered(t, obj, m, cx, clip, nesting, compositionFor(mode));
    }

    double m_pixelScale = 1;
    bool m_antialias = true; // from the player's quality, for this frame
    bool m_smoothBitmaps = true;
    bool m_alwaysSmooth = false; // quality best
    int m_layerDepth = 0;
    std::uint64_t m_budget = 0;

    // Whether a child blends with what lies under it, so a layer sprite must be its own group.
    // Invert does not count: Flash inverts what is under the whole layer.
    static bool hasGroupedChild(const timeline::DisplayObject& obj) {
        for (const auto& [d, child] : obj.clip->displayList())
            if (child.blendMode != format::BlendMode::Normal && child.blendMode != format::BlendMode::Layer &&
                child.blendMode != format::BlendMode::Invert)
                return true;
        return false;
    }

    void drawLayered(Target& t, const timeline::DisplayObject& obj, const QTransform& m,
                     const ColorTransform& cx, const ClipState& clip, int nesting,
                     QPainter::CompositionMode compose) {
        if (t.deviceSize.isEmpty())
            return;
        if (m_layerDepth >= kMaxLayerNesting) {
            ++m_stats.objectsSkipped;
            drawPlaced(t, obj, m, cx, clip, nesting);
            return;
        }
        QImage layer(t.deviceSize, QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull())
            return;
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing, m_antialias);
            Target lt;
            lt.painter = &lp;
            lt.image = &layer;
            lt.deviceSize = t.deviceSize;
            lt.layered = true;
            // A filter reads pixels around each one: the whole layer is drawn then.
            lt.area = obj.filters.empty() ? t.area : QRectF(QPointF(0, 0), QSizeF(t.deviceSize));
            ClipState inner;
            inner.stage = QRectF(QPointF(0, 0), QSizeF(t.deviceSize));
            inner.serial = nextClipSerial();
            applyClip(lt, inner);
            ++m_layerDepth;
            // The group is drawn as it is and coloured as a whole afterwards.
            drawPlaced(lt, obj, m, ColorTransform{}, inner, nesting);
            --m_layerDepth;
        }
        // FIXME: a filtered object is drawn into a layer the size of the whole target.
        if (!obj.filters.empty())
            m_stats.filtersSkipped +=
                static_cast<std::uint64_t>(applyFilters(layer, obj.filters, m_pixelScale));
        if (!cx.isIdentity())
            layer = cx.applyToImage(layer);
        const format::BlendMode mode = obj.blendMode;
        if ((mode == format::BlendMode::Subtract || mode == format::BlendMode::Invert)) {
            if (t.image && t.deviceToPainter.isIdentity() && clip.masks.empty() && clip.stage.contains(t.area)) {
                composeByHand(*t.image, layer, mode, int(std::floor(t.area.top())), int(std::ceil(t.area.bottom())));
                return;
            }
            // FIXME: on a surface whose pixels cannot be read (or under a mask), subtract and
            // invert fall back to difference, which matches them only over dark or light areas.
            compose = QPainter::CompositionMode_Difference;
        }
        applyClip(t, clip);
        QPainter& p = *t.painter;
        p.setTransform(t.deviceToPainter);
        p.setCompositionMode(compose);
        p.drawImage(QPointF(0, 0), layer);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // What a display object adds to drawing its character: a scroll rectangle, an opaque
    // background, a kept raster, a scale-9 grid.
    static bool hasPresentation(const timeline::DisplayObject& obj) {
        return obj.scrollRect || obj.opaqueBackground || obj.cacheAsBitmap ||
               (obj.scale9Grid && (obj.kind == timeline::ObjectKind::Sprite || obj.kind == timeline::ObjectKind::Button));
    }

    // The object with what it adds: a scroll rectangle shows only that part of its space,
    // moved to its origin; the background fills its bounds (or the scroll rectangle) under
    // it; a cached object is drawn through its kept raster.
    void drawPlaced(Target& t, const timeline::DisplayObject& obj, const QTransform& m, const ColorTransform& cx,
                    const ClipState& clip, int nesting) {
        if (!hasPresentation(obj)) {
            applyClip(t, clip);
            drawCharacter(t, obj.character, &obj, m, cx, clip, nesting);
            return;
        }
        QTransform content = m;
        ClipState scrolled;
        const ClipState* in = &clip;
        std::optional<QRectF> box;
        if (obj.scrollRect && obj.scrollRect->width() >= 0 && obj.scrollRect->height() >= 0) {
            const format::Rect& r = *obj.scrollRect;
            box = QRectF(0, 0, double(r.width()), double(r.height()));
            QPainterPath shown;
            shown.addRect(*box);
            scrolled = clip;
            scrolled.masks.push_back(m.map(shown));
            scrolled.serial = nextClipSerial();
            in = &scrolled;
            content = QTransform::fromTranslate(-r.xMin, -r.yMin) * m;
        }
        if (obj.opaqueBackground) {
            if (!box)
                box = localBounds(obj.character, &obj, nesting);
            if (box && !box->isEmpty()) {
                const format::Rgba& c = *obj.opaqueBackground;
                applyClip(t, *in);
                t.painter->setTransform(m * t.deviceToPainter);
                t.painter->fillRect(*box, cx.applyToColor({c.r, c.g, c.b, 255}));
            }
        }
        const auto outerWarp = m_warp;
        if (obj.scale9Grid && (obj.kind == timeline::ObjectKind::Sprite || obj.kind == timeline::ObjectKind::Button)) {
            const format::Rect& g = *obj.scale9Grid;
            const QRectF grid(g.xMin, g.yMin, double(g.width()), double(g.height()));
            const std::optional<QRectF> bounds = localBounds(obj.character, &obj, nesting);
            const std::optional<ScaleGrid> warp =
                bounds ? scaleGridFor(grid, *bounds, toQTransform(obj.matrix)) : std::nullopt;
            m_warp = warp ? std::optional<ActiveWarp>(ActiveWarp{*warp, content, nesting + 1}) : std::nullopt;
        }
        if (!obj.cacheAsBitmap || !drawCached(t, obj, content, cx, *in, nesting, box)) {
            applyClip(t, *in);
            drawCharacter(t, obj.character, &obj, content, cx, *in, nesting);
        }
        m_warp = outerWarp;
    }

    // The extent of what a character draws in its own twips (children through their
    // matrices, strokes by half their width); none when it draws nothing known.
    std::optional<QRectF> localBounds(const format::Character* ch, const timeline::DisplayObject* obj, int nesting) {
        if (!ch || nesting > kMaxDrawNesting)
            return std::nullopt;
        auto rect = [](const format::Rect& r) { return QRectF(r.xMin, r.yMin, double(r.width()), double(r.height())); };
        auto withStrokes = [](const CompiledShape& shape) {
            double half = 0;
            for (const LineStyle& l : shape.lines)
                half = std::max(half, l.width / 2);
            return shape.bounds.adjusted(-half, -half, half, half);
        };
        std::optional<QRectF> out;
        auto add = [&out](const std::optional<QRectF>& r, const QTransform& m) {
            if (r && !r->isNull())
                out = out ? out->united(m.mapRect(*r)) : m.mapRect(*r);
        };
        switch (obj && obj->state ? obj->kind : timeline::kindOf(*ch)) {
        case timeline::ObjectKind::Shape:
            return withStrokes(shapeFor(static_cast<const format::ShapeCharacter*>(ch)));
        case timeline::ObjectKind::MorphShape:
            return withStrokes(morphFor(static_cast<const format::MorphShapeCharacter*>(ch), obj ? obj->ratio : 0));
        case timeline::ObjectKind::StaticText:
            return rect(static_cast<const format::TextCharacter*>(ch)->bounds);
        case timeline::ObjectKind::EditText:
            return rect(static_cast<const format::EditTextCharacter*>(ch)->bounds);
        case timeline::ObjectKind::Video: {
            const auto* v = static_cast<const format::VideoStreamCharacter*>(ch);
            return QRectF(0, 0, v->width * 20.0, v->height * 20.0);
        }
        case timeline::ObjectKind::Bitmap: {
            const auto* own = obj ? obj->as<timeline::BitmapObject>() : nullptr;
            if (own && own->pixels && own->pixels->valid())
                return QRectF(0, 0, own->pixels->width * 20.0, own->pixels->height * 20.0);
            const QImage* img = bitmap(ch->id);
            return img ? std::optional<QRectF>(QRectF(0, 0, img->width() * 20.0, img->height() * 20.0)) : std::nullopt;
        }
        case timeline::ObjectKind::Sprite:
            if (!obj || !obj->clip)
                return std::nullopt;
            if (!obj->clip->graphics().empty())
                add(withStrokes(graphicsFor(obj->clip->graphics())), QTransform());
            for (const auto& [d, child] : obj->clip->displayList())
                if (child.visible && child.clipDepth == 0)
                    add(localBounds(child.character, &child, nesting + 1), toQTransform(child.matrix));
            return out;
        case timeline::ObjectKind::Button:
            for (const auto& r : static_cast<const format::ButtonCharacter*>(ch)->records) {
                const format::Character* c = m_current ? m_current->character(r.characterId) : nullptr;
                if (r.up && c && c != ch && c->kind != format::CharacterKind::Button)
                    add(localBounds(c, nullptr, nesting + 1), toQTransform(r.matrix));
            }
            return out;
        case timeline::ObjectKind::Other:
            break;
        }
        return std::nullopt;
    }

    // A raster of a cacheAsBitmap object (the part in one band), kept while the display,
    // the object's transform and colour and the quality stay as they were.
    struct CachedObject {
        QImage image;
        QRect area; // device pixels it covers
        QTransform transform;
        ColorTransform cx;
        std::uint64_t generation = 0;
        bool antialias = true;
        int smoothing = 0; // smoothingLevel() it was drawn at
        bool used = false;
    };

    // 0 bitmaps unsmoothed, 1 smoothed where asked, 2 always smoothed.
    int smoothingLevel() const { return m_smoothBitmaps ? (m_alwaysSmooth ? 2 : 1) : 0; }

    // Forgets the rasters the last frame did not use; `generation` is the display's now.
    void beginCachedObjects(std::uint64_t generation) {
        m_generation = generation;
        for (auto it = m_cachedObjects.begin(); it != m_cachedObjects.end();) {
            if (!it->second.used) {
                m_cachedObjectBytes -= std::size_t(it->second.image.sizeInBytes());
                it = m_cachedObjects.erase(it);
            } else {
                it->second.used = false;
                ++it;
            }
        }
    }

    // Draws the object through its kept raster (made anew when stale); false when it has
    // none and must be drawn directly (no known extent, or too large to keep).
    bool drawCached(Target& t, const timeline::DisplayObject& obj, const QTransform& m, const ColorTransform& cx,
                    const ClipState& clip, int nesting, const std::optional<QRectF>& box) {
        const std::optional<QRectF> local = box ? box : localBounds(obj.character, &obj, nesting);
        if (!local || local->isEmpty())
            return false;
        const QRect area = m.mapRect(*local).adjusted(-2, -2, 2, 2).toAlignedRect().intersected(t.area.toAlignedRect());
        if (area.isEmpty())
            return true; // nothing of it in this band
        if (qint64(area.width()) * area.height() > kMaxCachedObjectPixels)
            return false;
        auto it = m_cachedObjects.find(obj.serial);
        const bool fresh = it != m_cachedObjects.end() && it->second.area == area && it->second.transform == m &&
                           it->second.cx == cx && it->second.generation == m_generation &&
                           it->second.antialias == m_antialias && it->second.smoothing == smoothingLevel();
        ++(fresh ? m_stats.cachedObjects.hits : m_stats.cachedObjects.misses);
        if (!fresh) {
            if (it != m_cachedObjects.end()) {
                m_cachedObjectBytes -= std::size_t(it->second.image.sizeInBytes());
                m_cachedObjects.erase(it);
            }
            const std::size_t bytes = std::size_t(area.width()) * std::size_t(area.height()) * 4;
            if (m_cachedObjectBytes + bytes > kCachedObjectBudget)
                return false;
            CachedObject kept{QImage(area.size(), QImage::Format_ARGB32_Premultiplied), area, m, cx, m_generation,
                              m_antialias, smoothingLevel(), true};
            if (kept.image.isNull())
                return false;
            kept.image.fill(Qt::transparent);
            {
                QPainter cp(&kept.image);
                cp.setRenderHint(QPainter::Antialiasing, m_antialias);
                Target ct;
                ct.painter = &cp;
                ct.image = nullptr; // its pixels are not the device's
                ct.deviceToPainter = QTransform::fromTranslate(-area.x(), -area.y());
                ct.deviceSize = t.deviceSize;
                ct.area = QRectF(area);
                ClipState inner;
                inner.stage = QRectF(area);
                inner.serial = nextClipSerial();
                applyClip(ct, inner);
                drawCharacter(ct, obj.character, &obj, m, cx, inner, nesting);
            }
            m_cachedObjectBytes += bytes;
            it = m_cachedObjects.emplace(obj.serial, std::move(kept)).first;
        }
        it->second.used = true;
        applyClip(t, clip);
        t.painter->setTransform(t.deviceToPainter);
        t.painter->drawImage(it->second.area.topLeft(), it->second.image);
        return true;
    }

    // Draws one object by its kind, from what the object holds (its state) where it has
    // something of its own, else from the character. `obj` is null for the records of a
    // button, which are drawn from their characters alone.
    void drawCharacter(Target& t, const format::Character* ch, const timeline::DisplayObject* obj,
                       const QTransform& m, const ColorTransform& cx, const ClipState& clip, int nesting) {
        QPainter& p = *t.painter;
        // Lists the renderer builds itself (a sprite's first frame) have no states.
        const timeline::ObjectKind kind = obj && obj->state ? obj->kind : timeline::kindOf(*ch);
        switch (kind) {
        case timeline::ObjectKind::Shape:
        case timeline::ObjectKind::MorphShape: {
            const CompiledShape& shape =
                kind == timeline::ObjectKind::Shape
                    ? shapeFor(static_cast<const format::ShapeCharacter*>(ch))
                    : morphFor(static_cast<const format::MorphShapeCharacter*>(ch), obj ? obj->ratio : 0);
            if (m_warp && m_warp->nesting == nesting) {
                // A shape of a sprite with a scale-9 grid: its outline through the warp.
                bool invertible = false;
                const QTransform placement = m * m_warp->sprite.inverted(&invertible);
                if (invertible)
                    m_painter.draw(p, warpShape(shape, placement, m_warp->grid), m_warp->sprite, cx,
                                   t.deviceToPainter);
                break;
            }
            // Cached images are anti-aliased and placed to a quarter pixel: not for aliased
            // drawing. Every band counts every draw, so all make the same choices.
            const bool kept = m_antialias && m_raster.draw(p, shape, m, cx, t.deviceToPainter, t.area);
            if (!kept && m_raster.reaches(shape, m, t.area))
                m_painter.draw(p, shape, m, cx, t.deviceToPainter);
            break;
        }
        case timeline::ObjectKind::StaticText:
            forEachGlyph(
                *static_cast<const format::TextCharacter*>(ch),
                [&](const CompiledShape& glyph, const QTransform& g, const format::Rgba& color) {
                    m_painter.fillSolid(p, glyph, g * m, cx.applyToColor(toRgba8(color)), t.deviceToPainter);
                },
                [&](char32_t c, const QTransform& pen, std::uint16_t height,
                    const format::FontCharacter* font, const format::Rgba& color) {
                    if (!canDrawDeviceText() || height == 0)
                        return;
                    p.setTransform(pen * m * t.deviceToPainter);
                    p.setFont(deviceFont(deviceFamily(font ? font->name : std::string()), font && font->bold,
                                         font && font->italic, height));
                    p.setPen(cx.applyToColor(toRgba8(color)));
                    p.drawText(QPointF(0, 0), QString::fromUcs4(&c, 1));
                });
            break;
        case timeline::ObjectKind::Bitmap: {
            const auto* own = obj ? obj->as<timeline::BitmapObject>() : nullptr;
            if (own && own->pixels && own->pixels->valid()) {
                drawPixels(t, *own->pixels, m, cx, own->smoothing);
                break;
            }
            const QImage* img = bitmap(ch->id);
            if (!img) {
                ++m_stats.objectsSkipped;
                return;
            }
            drawImage(t, *img, m, cx, true);
            break;
        }
        case timeline::ObjectKind::Video: {
            // A video shows the picture its object holds, when one is decoded.
            const auto* video = obj ? obj->as<timeline::VideoObject>() : nullptr;
            if (!video || !video->picture || !video->picture->valid()) {
                ++m_stats.objectsSkipped;
                return;
            }
            const auto& stream = static_cast<const format::VideoStreamCharacter&>(*ch);
            const timeline::Pixels& pic = *video->picture;
            // The picture fills the stream's declared size whatever its own.
            const QTransform fit =
                QTransform::fromScale(stream.width ? double(stream.width) / pic.width : 1.0,
                                      stream.height ? double(stream.height) / pic.height : 1.0);
            drawPixels(t, pic, fit * m, cx, video->smoothing);
            break;
        }
        case timeline::ObjectKind::Sprite:
            if (obj && obj->clip)
                drawClip(t, *obj->clip, m, cx, clip, nesting + 1);
            else // a sprite without a timeline instance (in a button) shows its first frame
                drawList(t, firstFrame(static_cast<const format::SpriteCharacter*>(ch)), m, cx, clip,
                         nesting + 1);
            break;
        case timeline::ObjectKind::Button: {
            const auto* button = obj ? obj->as<timeline::ButtonObject>() : nullptr;
            // The live parts of the state shown (sprites in them play), once they are made.
            if (const timeline::Clip* parts = button ? button->parts() : nullptr;
                parts && button->partsState == button->state) {
                if (nesting < kMaxDrawNesting)
                    drawClip(t, *parts, m, cx, clip, nesting + 1);
                break;
            }
            drawButton(t, *static_cast<const format::ButtonCharacter*>(ch),
                       button ? button->state : timeline::ButtonState::Up, m, cx, clip, nesting);
            break;
        }
        case timeline::ObjectKind::EditText:
            if (!drawTextField(t, *static_cast<const format::EditTextCharacter*>(ch),
                               obj ? obj->as<timeline::TextFieldObject>() : nullptr, m, cx)) {
                ++m_stats.objectsSkipped;
                return;
            }
            break;
        case timeline::ObjectKind::Other:
            ++m_stats.objectsSkipped;
            return;
        }
        ++m_stats.objectsDrawn;
    }

    // A drawing's bitmap fills name its own pixels (Graphics::bitmaps), not the movie's
    // bitmaps; the pixels may change between frames, so they are wrapped afresh each time.
    class DrawingBitmaps : public BitmapSource {
    public:
        explicit DrawingBitmaps(const timeline::Graphics& g) {
            images.reserve(g.bitmaps.size());
            for (const auto& p : g.bitmaps)
                images.push_back(p && p->valid()
                                     ? QImage(reinterpret_cast<const uchar*>(p->argb.data()), p->width, p->height,
                                              p->width * 4, QImage::Format_ARGB32_Premultiplied)
                                     : QImage());
        }
        const QImage* bitmap(std::uint16_t id) override {
            return id >= 1 && id <= images.size() && !images[id - 1].isNull() ? &images[id - 1] : nullptr;
        }
        std::vector<QImage> images;
    };

    void drawGraphics(Target& t, const timeline::Graphics& g, const QTransform& m, const ColorTransform& cx) {
        if (g.bitmaps.empty()) {
            m_painter.draw(*t.painter, graphicsFor(g), m, cx, t.deviceToPainter);
            return;
        }
        DrawingBitmaps own(g);
        m_painter.setBitmapSource(&own);
        m_painter.draw(*t.painter, graphicsFor(g), m, cx, t.deviceToPainter);
        m_painter.setBitmapSource(this);
        for (const QImage& image : own.images)
            m_painter.forgetTinted(&image); // the next frame's wrapper may get the same address
    }

    // A timeline instance: its run-time drawing, then its children over it.
    void drawClip(Target& t, const timeline::Clip& c, const QTransform& m, const ColorTransform& cx,
                  const ClipState& clip, int nesting) {
        const movie::Movie* outer = std::exchange(m_current, &c.movie());
        m_painter.setLegacyBitmapOffset(m_current->version() <= 6);
        const timeline::Graphics& g = c.graphics();
        if (!g.empty()) {
            applyClip(t, clip);
            drawGraphics(t, g, m, cx);
        }
        drawList(t, c.displayList(), m, cx, clip, nesting);
        m_current = outer;
        m_painter.setLegacyBitmapOffset(m_current && m_current->version() <= 6);
    }

    // Pixels held by an object, drawn like a bitmap character's image (one pixel per 20 twips).
    void drawPixels(Target& t, const timeline::Pixels& pixels, const QTransform& m, const ColorTransform& cx,
                    bool smooth) {
        const QImage img(reinterpret_cast<const uchar*>(pixels.argb.data()), pixels.width, pixels.height,
                         pixels.width * 4, QImage::Format_ARGB32_Premultiplied);
        drawImage(t, img, m, cx, smooth);
    }

    void drawImage(Target& t, const QImage& img, const QTransform& m, const ColorTransform& cx, bool smooth) {
        QPainter& p = *t.painter;
        const QImage tinted = cx.isIdentity() ? img : cx.applyToImage(img);
        p.setTransform(QTransform::fromScale(20, 20) * m * t.deviceToPainter);
        // Never below high; at best always.
        p.setRenderHint(QPainter::SmoothPixmapTransform, (smooth || m_alwaysSmooth) && m_smoothBitmaps);
        p.drawImage(QPointF(0, 0), tinted);
    }

    const CompiledShape& graphicsFor(const timeline::Graphics& g) {
        if (m_drawings.size() >= kMaxDrawings && !m_drawings.count(&g))
            m_drawings.clear(); // entries of drawings long gone pile up otherwise
        auto& slot = m_drawings[&g];
        if (!slot.shape || slot.revision != g.revision()) {
            slot.shape = std::make_unique<CompiledShape>(compileShape(geometryFromShape(g.shape())));
            slot.revision = g.revision();
        }
        return *slot.shape;
    }

    // An edit text field shows what its object holds (lists without live state: the
    // definition's initial state) in the glyphs of its embedded font, or else in system
    // fonts when the process has a GUI application (fonts need one); false when it has text
    // it cannot show.
    bool drawTextField(Target& t, const format::EditTextCharacter& field,
                       const timeline::TextFieldObject* live, const QTransform& m, const ColorTransform& cx) {
        const bool deviceText = canDrawDeviceText();
        const text::FieldState* state = &fieldState(field, live);
        if (!state->usesEmbeddedFont() && !deviceText) {
            if (field.border)
                drawFieldBox(t, field, m, cx);
            return state->length() == 0;
        }
        // A field lays its text out on first use: one band at a time.
        const std::lock_guard lock(m_shared.mutex);
        m_fields.draw(*t.painter, FieldPainter::view(*state, state->layout()), m, t.deviceToPainter, cx,
                      deviceText);
        return true;
    }

    const text::FieldState& fieldState(const format::EditTextCharacter& field, const timeline::TextFieldObject* live) {
        if (live)
            return live->field;
        auto it = m_definitionFields.find(&field);
        if (it == m_definitionFields.end())
            it = m_definitionFields.emplace(&field, text::FieldState(field, fontFor(field.fontId))).first;
        return it->second;
    }

    // A field masks by the embedded letters it shows, cut to its box; device text and the
    // field's background and border mask nothing.
    void addFieldMask(QPainterPath& out, const format::EditTextCharacter& field,
                      const timeline::TextFieldObject* live, const QTransform& m) {
        const text::FieldState& state = fieldState(field, live);
        const std::lock_guard lock(m_shared.mutex);
        const FieldView view = FieldPainter::view(state, state.layout());
        QPainterPath letters;
        letters.setFillRule(Qt::WindingFill);
        m_fields.forEachLetter(view, m, [&](const CompiledShape& glyph, const QTransform& g) {
            addToUnion(letters, glyph.fillArea(), g);
        });
        if (letters.isEmpty())
            return;
        QPainterPath box;
        box.addRect(QRectF(view.x + view.layout->xShift, view.y, view.layout->width, view.layout->height));
        out.addPath(letters.intersected(m.map(box)));
    }

    // A field's box alone (white with a black border), for fields whose text cannot be shown.
    void drawFieldBox(Target& t, const format::EditTextCharacter& field, const QTransform& m,
                      const ColorTransform& cx) {
        const QRectF bounds(field.bounds.xMin, field.bounds.yMin, double(field.bounds.width()),
                            double(field.bounds.height()));
        drawBox(*t.painter, bounds, cx.applyToColor({255, 255, 255, 255}), cx.applyToColor({0, 0, 0, 255}), m,
                t.deviceToPainter);
    }

    // The first frame of a sprite as a fixed display list, built once from its control tags.
    // FIXME: sprites inside buttons do not play; they keep their first frame.
    const timeline::DisplayList& firstFrame(const format::SpriteCharacter* sprite) {
        auto [it, fresh] = m_firstFrames.try_emplace(sprite);
        if (!fresh || !m_current)
            return it->second;
        timeline::DisplayList& list = it->second;
        format::ParseContext ctx;
        ctx.swfVersion = m_current->version();
        for (const format::TagRef& tag : sprite->timeline.frameTags(0)) {
            const auto code = static_cast<format::TagCode>(tag.code);
            io::ByteReader r(m_current->tagBody(tag));
            if (code == format::TagCode::PlaceObject || code == format::TagCode::PlaceObject2 ||
                code == format::TagCode::PlaceObject3 || code == format::TagCode::PlaceObject4) {
                format::PlaceObject place;
                if (!format::parsePlaceObject(code, r, ctx, place))
                    continue;
                auto at = timeline::addressed(list, place.depth);
                if (place.characterId) {
                    const format::Character* c = m_current->character(*place.characterId);
                    if (!c)
                        continue;
                    if (at == list.end() || !place.move) {
                        timeline::DisplayObject obj;
                        obj.depth = place.depth;
                        obj.characterId = *place.characterId;
                        if (at != list.end())
                            list.erase(at);
                        at = list.emplace(place.depth, std::move(obj));
                    }
                    at->second.character = c;
                    at->second.kind = timeline::kindOf(*c);
                }
                if (at != list.end())
                    at->second.apply(place);
            } else if (code == format::TagCode::RemoveObject || code == format::TagCode::RemoveObject2) {
                std::uint16_t depth = 0;
                if (format::parseRemoveObject(code, r, depth))
                    if (auto gone = timeline::addressed(list, depth); gone != list.end())
                        list.erase(gone);
            }
        }
        // A placement that never named a character cannot be drawn.
        std::erase_if(list, [](const auto& entry) { return entry.second.character == nullptr; });
        return list;
    }

    // A button shows the records of its current state, lowest depth first.
    void drawButton(Target& t, const format::ButtonCharacter& button, timeline::ButtonState state,
                    const QTransform& m, const ColorTransform& cx, const ClipState& clip, int nesting) {
        if (nesting > kMaxDrawNesting)
            return;
        std::vector<const format::ButtonRecord*> up;
        for (const auto& r : button.records)
            if (timeline::shownIn(r, state))
                up.push_back(&r);
        std::stable_sort(up.begin(), up.end(), [](auto* a, auto* b) { return a->depth < b->depth; });
        for (const format::ButtonRecord* r : up) {
            const format::Character* c = m_current ? m_current->character(r->characterId) : nullptr;
            if (!c || c->kind == format::CharacterKind::Button || m_budget == 0)
                continue;
            --m_budget;
            drawCharacter(t, c, nullptr, toQTransform(r->matrix) * m,
                          ColorTransform::compose(cx, toColorTransform(r->colorTransform)), clip,
                          nesting + 1);
        }
    }

    void addMaskGeometry(QPainterPath& out, const format::Character* ch, const timeline::DisplayObject* obj,
                         const QTransform& m, int nesting) {
        if (!ch || nesting > kMaxDrawNesting)
            return;
        switch (ch->kind) {
        case format::CharacterKind::Shape:
            addToUnion(out, shapeFor(static_cast<const format::ShapeCharacter*>(ch)).fillArea(), m);
            break;
        case format::CharacterKind::MorphShape:
            addToUnion(out,
                       morphFor(static_cast<const format::MorphShapeCharacter*>(ch), obj ? obj->ratio : 0)
                           .fillArea(),
                       m);
            break;
        case format::CharacterKind::Text:
            forEachGlyph(
                *static_cast<const format::TextCharacter*>(ch),
                [&](const CompiledShape& glyph, const QTransform& g, const format::Rgba&) {
                    addToUnion(out, glyph.fillArea(), g * m);
                },
                [](char32_t, const QTransform&, std::uint16_t, const format::FontCharacter*,
                   const format::Rgba&) {
                    // FIXME: device-font text does not mask.
                });
            break;
        case format::CharacterKind::EditText:
            addFieldMask(out, *static_cast<const format::EditTextCharacter*>(ch),
                         obj ? obj->as<timeline::TextFieldObject>() : nullptr, m);
            break;
        case format::CharacterKind::Bitmap:
            if (const QImage* img = bitmap(ch->id)) {
                QPainterPath r;
                r.addRect(QRectF(0, 0, img->width() * 20.0, img->height() * 20.0));
                addToUnion(out, r, m);
            }
            break;
        case format::CharacterKind::Sprite:
            if (obj && obj->clip && !obj->clip->graphics().empty())
                addToUnion(out, graphicsFor(obj->clip->graphics()).fillArea(), m);
            if (obj && obj->clip)
                for (const auto& [d, child] : obj->clip->displayList())
                    if (child.visible && child.clipDepth == 0)
                        addMaskGeometry(out, child.character, &child, toQTransform(child.matrix) * m,
                                        nesting + 1);
            break;
        case format::CharacterKind::Button:
            for (const auto& r : static_cast<const format::ButtonCharacter*>(ch)->records) {
                const format::Character* c = m_current ? m_current->character(r.characterId) : nullptr;
                if (r.up && c && c != ch && c->kind != format::CharacterKind::Button)
                    addMaskGeometry(out, c, nullptr, toQTransform(r.matrix) * m, nesting + 1);
            }
            break;
        default:
            break;
        }
    }

    const movie::Movie* m_movie = nullptr;
    // The movie of the clip being drawn (a loaded movie's inside it): characters named by id
    // (fonts, bitmap fills, button parts) are looked up in it.
    const movie::Movie* m_current = nullptr;
    const std::uint8_t* m_bodyData = nullptr;
    std::size_t m_bodySize = 0;
    std::size_t m_characterCount = 0;
    std::uint64_t m_clipSerial = 0;
    SharedState& m_shared;
    ShapePainter m_painter;
    RasterCache m_raster{m_painter};
    std::unordered_map<const format::ShapeCharacter*, std::unique_ptr<CompiledShape>> m_shapes;
    std::map<std::pair<const format::MorphShapeCharacter*, std::uint16_t>, std::unique_ptr<CompiledShape>>
        m_morphs;
    std::map<std::pair<const format::FontCharacter*, std::uint32_t>, std::unique_ptr<CompiledShape>> m_glyphs;
    std::unordered_map<const format::SpriteCharacter*, timeline::DisplayList> m_firstFrames;
    std::unordered_map<const format::FontCharacter*, bool> m_outlined;
    FieldPainter m_fields{m_painter,
                          [this](const format::FontCharacter* f, std::uint32_t i) { return glyphFor(f, i); }};
    // The state a field placed from the movie starts with, for lists without live state.
    std::unordered_map<const format::EditTextCharacter*, text::FieldState> m_definitionFields;
    // Run-time drawings compiled, by drawing and the revision they were compiled at
    // (revisions are never reused, so a drawing at a reused address cannot match).
    struct CompiledDrawing {
        std::uint64_t revision = 0;
        std::unique_ptr<CompiledShape> shape;
    };
    std::unordered_map<const timeline::Graphics*, CompiledDrawing> m_drawings;
    struct PlacedObject {
        const timeline::DisplayObject* object;
        QTransform transform; // local to device
    };
    // The scale-9 warp in force for the shapes drawn at `nesting` (a grid sprite's own).
    struct ActiveWarp {
        ScaleGrid grid;
        QTransform sprite; // the sprite's space to device
        int nesting = 0;
    };
    std::optional<ActiveWarp> m_warp;
    std::unordered_map<std::uint64_t, CachedObject> m_cachedObjects; // by object serial
    std::size_t m_cachedObjectBytes = 0;
    std::uint64_t m_generation = 0; // the display's, for the frame being drawn
    std::unordered_map<std::uint64_t, PlacedObject> m_maskObjects; // by serial; objects that mask by script
    std::unordered_set<std::uint64_t> m_masked;                    // serials some object names as its mask
};

StageRenderer::StageRenderer() : m_shared(std::make_unique<SharedState>()) {
    setThreads(1);
}
StageRenderer::~StageRenderer() = default;

void StageRenderer::setThreads(int threads) {
    const int n = std::clamp(threads > 0 ? threads : QThread::idealThreadCount(), 1, kMaxThreads);
    if (n == int(m_lanes.size()))
        return;
    m_lanes.clear();
    for (int i = 0; i < n; ++i) {
        m_lanes.push_back(std::make_unique<Impl>(*m_shared));
        m_lanes.back()->setRasterBudget(kRasterBudget / std::size_t(n));
    }
}

int StageRenderer::threads() const {
    return int(m_lanes.size());
}

// The frame drawn for painters that are not plain images, and what it showed.
struct StageRenderer::KeptFrame {
    QImage image;
    FrameItems items;
    // What else the pixels depend on; any change draws the frame whole.
    QRectF viewport;
    double dpr = 0;
    const movie::Movie* movie = nullptr;
    timeline::Quality quality{};
    format::Rgba background;
    std::uint64_t generation = 0; // the player's display generation it shows
    bool valid = false;
};

void StageRenderer::syncMovie(const Player& player) {
    // A movie change drops the caches of every band here, before any band runs.
    bool changed = false;
    for (auto& lane : m_lanes)
        changed |= lane->syncMovie(player);
    if (changed) {
        m_shared->bitmaps.clear();
        if (m_kept)
            m_kept->valid = false;
    }
}

// Every band is drawn on a thread of the global pool, even with one band: Qt's raster engine
// hands the spans of each fill to that pool unless it runs there itself, which costs more in
// waking threads than it saves on small shapes.
void StageRenderer::drawBands(QImage& frame, const Player& player, const QRectF& viewport, double dpr,
                              const QRect& limit) {
    const int n = int(m_lanes.size());
    syncMovie(player);
    const double k = std::isfinite(dpr) && dpr > 0 ? dpr : 1.0;
    const int height = std::min(frame.height(), int(std::ceil((viewport.y() + viewport.height()) * k)));
    const QRect area = limit.intersected(QRect(0, 0, frame.width(), height));
    auto drawBand = [&](int i) {
        // Each band paints on its own image over the same pixels, clipped to its rows.
        QImage view(frame.bits(), frame.width(), frame.height(), frame.bytesPerLine(), frame.format());
        QPainter p(&view);
        const int top = area.top() + area.height() * i / n, bottom = area.top() + area.height() * (i + 1) / n;
        const QRect band(area.left(), top, area.width(), bottom - top);
        m_lanes[std::size_t(i)]->drawStage(p, &view, player, viewport, k, QTransform(), band);
    };
    QThreadPool* pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        for (int i = 0; i < n; ++i) // already on the pool: waiting on it could starve it
            drawBand(i);
    } else {
        QSemaphore done;
        for (int i = 0; i < n; ++i)
            pool->start([&, i] {
                drawBand(i);
                done.release();
            });
        done.acquire(n);
    }
}

// Device pixels of the kept frame that differ from the player's frame now (all of them when
// the kept frame is of another size, movie or setting). With `keep`, the kept frame's record
// becomes the player's frame.
QRect StageRenderer::changedArea(const Player& player, const QRectF& viewport, double dpr, bool keep) {
    syncMovie(player);
    if (!m_kept)
        m_kept = std::make_unique<KeptFrame>();
    KeptFrame& kept = *m_kept;
    const bool same = kept.valid && kept.viewport == viewport && kept.dpr == dpr && kept.movie == player.movie() &&
                      kept.quality == player.quality() && kept.background == player.backgroundColor();
    if (same && kept.generation == player.displayGeneration())
        return QRect(); // the engine has changed nothing on display
    FrameItems items;
    m_lanes.front()->listItems(player, viewport, dpr, items);
    const QRect all = QRectF(0, 0, (viewport.x() + viewport.width()) * dpr, (viewport.y() + viewport.height()) * dpr)
                          .toAlignedRect();
    const QRect changed = same ? damagedArea(kept.items, items, all) : all;
    if (keep) {
        kept.generation = player.displayGeneration();
        kept.items = std::move(items);
        kept.viewport = viewport;
        kept.dpr = dpr;
        kept.movie = player.movie();
        kept.quality = player.quality();
        kept.background = player.backgroundColor();
        kept.valid = true;
    }
    return changed;
}

QRect StageRenderer::damage(const Player& player, const QRectF& viewport, double devicePixelRatio) {
    const double k = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    if (!m_kept || !m_kept->valid)
        return viewport.toAlignedRect();
    const QRect device = changedArea(player, viewport, k, false);
    if (device.isEmpty())
        return QRect();
    return QRectF(device.x() / k, device.y() / k, device.width() / k, device.height() / k).toAlignedRect();
}

void StageRenderer::render(QPainter& painter, const Player& player, const QRectF& viewport,
                           double devicePixelRatio) {
    const double k = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage* image = nullptr;
    if (painter.device() && painter.device()->devType() == QInternal::Image)
        image = static_cast<QImage*>(painter.device());
    // Straight onto an image whose pixels are the device pixels; anything else gets the frame
    // drawn on an image of ours and copied over.
    if (image && image->format() == QImage::Format_ARGB32_Premultiplied && painter.transform().isIdentity() &&
        image->devicePixelRatio() == k) {
        drawBands(*image, player, viewport, k, image->rect());
        return;
    }
    const QRect device = QRectF(viewport.x() * k, viewport.y() * k, viewport.width() * k, viewport.height() * k)
                             .toAlignedRect()
                             .intersected(QRect(0, 0, 16384, 16384));
    if (device.isEmpty())
        return;
    if (!m_kept)
        m_kept = std::make_unique<KeptFrame>();
    const QSize size(device.right() + 1, device.bottom() + 1);
    if (m_kept->image.size() != size) {
        m_kept->image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_kept->valid = false;
        if (m_kept->image.isNull())
            return;
    }
    const QRect changed = changedArea(player, viewport, k, true);
    if (!changed.isEmpty())
        drawBands(m_kept->image, player, viewport, k, changed);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(device.x() / k, device.y() / k, device.width() / k, device.height() / k),
                      m_kept->image, QRectF(device));
    painter.restore();
}

QSize stageImageSize(const Player& player, double scale) {
    const format::Rect r = player.stageRect();
    const double s = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    // Whole stage pixels, as the window sizes itself; capped so a hostile header cannot
    // ask for a gigantic image (8192 x 8192 is 256 MB already).
    const auto side = [s](std::int64_t twips) {
        const double px = std::floor(double(std::max<std::int64_t>(0, twips / 20)) * s);
        return int(std::clamp(px, 1.0, 8192.0));
    };
    return QSize(side(r.width()), side(r.height()));
}

void StageRenderer::renderClip(QImage& target, const timeline::Clip& clip, const QTransform& toImage,
                               const ColorTransform& tint, const QRectF& area) {
    Impl& lane = *m_lanes.front();
    if (lane.syncMovie(&clip.world().movie)) {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->bitmaps.clear();
    }
    QPainter p(&target);
    lane.drawClipAlone(p, target, clip, toImage, tint, area);
}

QImage StageRenderer::renderImage(const Player& player, double scale) {
    const QSize size = stageImageSize(player, scale);
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return img;
    img.fill(Qt::white);
    drawBands(img, player, QRectF(QPointF(0, 0), QSizeF(size)), 1.0, img.rect());
    return img;
}

void StageRenderer::clearCaches() {
    for (auto& lane : m_lanes)
        lane->clear();
    m_kept.reset();
    const std::lock_guard lock(m_shared->mutex);
    m_shared->bitmaps.clear();
}

// Every band walks the whole stage, so the first band's object counts are the frame's.
const RenderStats& StageRenderer::stats() const {
    m_stats = m_lanes.front()->m_stats;
    m_stats.rasterCacheBytes = 0;
    m_stats.cachedObjectBytes = 0;
    m_stats.cachedObjects = {};
    m_stats.raster = {};
    m_stats.shapes = {};
    m_stats.cachedShapes = 0;
    for (const auto& lane : m_lanes) {
        const RenderStats& s = lane->m_stats;
        m_stats.rasterCacheBytes += s.rasterCacheBytes;
        m_stats.raster.hits += s.raster.hits;
        m_stats.raster.misses += s.raster.misses;
        m_stats.cachedObjects.hits += s.cachedObjects.hits;
        m_stats.cachedObjects.misses += s.cachedObjects.misses;
        m_stats.cachedObjectBytes += s.cachedObjectBytes;
        m_stats.shapes.hits += s.shapes.hits;
        m_stats.shapes.misses += s.shapes.misses;
        m_stats.cachedShapes += s.cachedShapes;
    }
    const std::lock_guard lock(m_shared->mutex);
    m_stats.bitmapsDecoded = m_shared->bitmaps.decodedCount();
    m_stats.bitmapsFailed = m_shared->bitmaps.failedCount();
    return m_stats;
}

} // namespace swf::render
