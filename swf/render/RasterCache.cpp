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
constexpr std::size_t kMaxLooks = 65536;
constexpr int kSubpixelSteps = 4;
// A look drawn at this many subpixel variants is taken for a moving shape.
constexpr int kMovingVariants = 4;

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

// Bits of a number with the two zeros made one: equal keys must hash alike.
std::uint64_t bitsOf(double d) {
    return std::bit_cast<std::uint64_t>(d + 0.0);
}
std::uint64_t bitsOf(float a, float b) {
    return std::bit_cast<std::uint32_t>(a + 0.0f) | std::uint64_t(std::bit_cast<std::uint32_t>(b + 0.0f)) << 32;
}

// The smallest part of `image` holding every pixel that is not wholly transparent (empty when
// none is): blits then blend no margin pixels.
QRect coveredPart(const QImage& image) {
    const int w = image.width(), h = image.height();
    int top = h, bottom = -1, left = w, right = -1;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < w && !row[x])
            ++x;
        if (x == w)
            continue;
        int last = w - 1;
        while (!row[last])
            --last;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, x);
        right = std::max(right, last);
    }
    return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Asks for the destination rows an image is about to be blended onto. The shapes of a frame
// land all over a stage far larger than the processor's caches, so the first pixel of every
// row is a trip to memory; asked for together, the trips overlap instead of queueing.
void prefetchRows(QPainter& p, const QPoint& at, const QSize& size) {
    QPaintDevice* device = p.device();
    if (!device || device->devType() != QInternal::Image || !p.transform().isIdentity())
        return;
    auto* image = static_cast<QImage*>(device);
    const QRect r = QRect(at, size).intersected(image->rect());
    if (r.isEmpty() || image->depth() != 32)
        return;
    const uchar* bits = image->constBits(); // no detach: the painter holds the image
    const qsizetype stride = image->bytesPerLine();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar* row = bits + y * stride;
        for (int x = r.left() & ~15; x <= r.right(); x += 16)
            __builtin_prefetch(row + x * 4, 1);
    }
}

} // namespace

std::size_t RasterCache::LookHash::operator()(const Look& k) const {
    std::uint64_t h = mix(0, reinterpret_cast<std::uintptr_t>(k.shape));
    for (double d : k.linear)
        h = mix(h, bitsOf(d));
    for (std::size_t i = 0; i < k.cx.size(); i += 2)
        h = mix(h, bitsOf(k.cx[i], k.cx[i + 1]));
    return std::size_t(h);
}

RasterCache::Record& RasterCache::recordFor(const Look& look) {
    auto*& recent = m_recent[(reinterpret_cast<std::uintptr_t>(look.shape) >> 4) % kRecentSlots];
    if (recent && recent->first == look)
        return recent->second;
    auto it = m_looks.find(look);
    if (it == m_looks.end()) {
        // Counted draws decide; the counts are kept until the table is full and start over.
        if (m_looks.size() >= kMaxLooks)
            clear();
        it = m_looks.try_emplace(look).first;
    }
    recent = &*it;
    return it->second;
}

bool RasterCache::draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                       const ColorTransform& cx, const QTransform& deviceToPainter, bool visible) {
    bool counted = visible, hit = false;
    const bool drawn = drawKept(p, shape, toDevice, cx, deviceToPainter,
                                visible ? Visibility::Shown : Visibility::Hidden, QRectF(), counted, hit);
    if (counted)
        ++(hit ? m_hits : m_misses);
    return drawn;
}

bool RasterCache::draw(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                       const ColorTransform& cx, const QTransform& deviceToPainter, const QRectF& area) {
    bool counted = false, hit = false;
    const bool drawn = drawKept(p, shape, toDevice, cx, deviceToPainter, Visibility::FromArea, area, counted, hit);
    if (counted)
        ++(hit ? m_hits : m_misses);
    return drawn;
}

bool RasterCache::reaches(const CompiledShape& shape, const QTransform& toDevice, const QRectF& area) const {
    const double reach = m_painter.deviceReach(shape, toDevice) + 1;
    return area.intersects(toDevice.mapRect(shape.bounds).adjusted(-reach, -reach, reach, reach));
}

bool RasterCache::drawKept(QPainter& p, const CompiledShape& shape, const QTransform& toDevice,
                           const ColorTransform& cx, const QTransform& deviceToPainter, Visibility visibility,
                           const QRectF& area, bool& counted, bool& hit) {
    // Told from the shape's reach unless an image says more cheaply.
    auto shown = [&] {
        if (visibility == Visibility::FromArea)
            visibility = reaches(shape, toDevice, area) ? Visibility::Shown : Visibility::Hidden;
        counted = visibility == Visibility::Shown;
        return counted;
    };
    if (shape.layers.empty() || deviceToPainter.type() > QTransform::TxScale)
        return (shown(), false);
    const double dx = toDevice.dx(), dy = toDevice.dy();
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::abs(dx) > 1e7 || std::abs(dy) > 1e7)
        return (shown(), false);
    Look look;
    look.shape = &shape;
    look.linear = {toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22()};
    // A look that never equals itself (not a number) would be counted anew at every draw.
    for (double d : look.linear)
        if (!std::isfinite(d))
            return (shown(), false);
    std::copy(cx.mult.begin(), cx.mult.end(), look.cx.begin());
    std::copy(cx.add.begin(), cx.add.end(), look.cx.begin() + 4);
    for (float f : look.cx)
        if (!std::isfinite(f))
            return (shown(), false);
    Record& seen = recordFor(look);

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
    const auto variant = static_cast<std::uint8_t>(sy * kSubpixelSteps + sx);
    if (!seen.moving) {
        const auto bit = std::uint16_t(1u << variant);
        if (seen.once & bit)
            seen.twice |= bit;
        seen.once |= bit;
        seen.moving = std::popcount(seen.once) >= kMovingVariants;
        if (seen.moving)
            dropImages(seen, true); // it will be drawn from one image from now on
        if (!(seen.twice & bit))
            return (shown(), false);
    }
    Kept* kept = nullptr;
    for (Kept& k : seen.kept)
        if (k.variant == variant)
            kept = &k;
    if (kept && visibility == Visibility::FromArea)
        visibility = kept->image.isNull() || !area.intersects(QRectF(fx + kept->offset.x(), fy + kept->offset.y(),
                                                                     kept->image.width(), kept->image.height()))
                         ? Visibility::Hidden
                         : Visibility::Shown;
    if (!shown())
        return true;
    hit = kept != nullptr;
    if (!hit) {
        const QTransform linear(look.linear[0], look.linear[1], look.linear[2], look.linear[3], 0, 0);
        Kept made;
        made.variant = variant;
        if (!makeImage(made, shape, linear, double(sx) / kSubpixelSteps, double(sy) / kSubpixelSteps, cx))
            return false;
        const auto bytes = static_cast<std::size_t>(made.image.sizeInBytes());
        if (m_bytes + bytes > m_limit)
            makeRoom(bytes);
        p.setTransform(deviceToPainter);
        if (m_bytes + bytes > m_limit) {
            // Every kept image was in use this frame or the last: this one is drawn and let go,
            // so a movie with more shapes than the budget holds keeps a steady part of them
            // rather than making every image anew each frame.
            if (!made.image.isNull())
                p.drawImage(QPointF(fx + made.offset.x(), fy + made.offset.y()), made.image);
            return true;
        }
        m_bytes += bytes;
        ++m_entries;
        kept = &seen.kept.emplace_back(std::move(made));
        if (seen.moving || seen.twice == seen.once)
            shape.releaseDrawingCaches(); // every variant seen so far is drawn from an image
    }
    kept->lastUse = ++m_clock;
    kept->lastFrame = m_frame;
    p.setTransform(deviceToPainter);
    if (!kept->image.isNull()) { // a look that covers no pixel is kept as no image
        const QPoint at(int(fx) + kept->offset.x(), int(fy) + kept->offset.y());
        prefetchRows(p, at, kept->image.size());
        p.drawImage(at, kept->image);
    }
    return true;
}

// Draws the look into `kept` at subpixel offset (qx, qy), trimmed to the pixels it covers;
// false when it is too big to keep.
bool RasterCache::makeImage(Kept& kept, const CompiledShape& shape, const QTransform& linear, double qx, double qy,
                            const ColorTransform& cx) {
    const double margin = m_painter.deviceReach(shape, linear);
    const QRectF b = linear.mapRect(shape.bounds).adjusted(-margin, -margin, margin + 1, margin + 1);
    if (!b.isValid() || b.width() * b.height() > kMaxCachedPixels || b.width() > 4096 || b.height() > 4096)
        return false;
    const QPoint offset(int(std::floor(b.left())), int(std::floor(b.top())));
    const QSize size(int(std::ceil(b.right())) - offset.x() + 1, int(std::ceil(b.bottom())) - offset.y() + 1);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return false;
    image.fill(Qt::transparent);
    {
        QPainter ip(&image);
        ip.setRenderHint(QPainter::Antialiasing, true);
        m_painter.draw(ip, shape, linear * QTransform::fromTranslate(qx - offset.x(), qy - offset.y()), cx);
    }
    // The margin is generous (miter joins, hairlines): what the shape leaves clear is cut off.
    // The copy also lets go of the paint engine the image was drawn with (several kilobytes).
    const QRect covered = coveredPart(image);
    kept.image = covered.isEmpty() ? QImage() : image.copy(covered);
    kept.offset = offset + covered.topLeft();
    return true;
}

void RasterCache::dropImages(Record& record, bool keepFirstVariant) {
    // The variant at (0, 0) is the one a moving shape goes on with.
    std::erase_if(record.kept, [&](const Kept& k) {
        if (keepFirstVariant && k.variant == 0)
            return false;
        m_bytes -= static_cast<std::size_t>(k.image.sizeInBytes());
        --m_entries;
        return true;
    });
}

void RasterCache::makeRoom(std::size_t bytes) {
    if (m_fullFrame == m_frame)
        return; // nothing stale was left when last looked, this frame
    // Stale entries go, least recently used first, down to a quarter below the budget so that
    // the next few new images need no search.
    std::vector<std::pair<std::uint64_t, std::size_t>> byAge; // last use, bytes
    for (const auto& [look, record] : m_looks)
        for (const Kept& k : record.kept)
            if (k.lastFrame + 1 < m_frame)
                byAge.emplace_back(k.lastUse, static_cast<std::size_t>(k.image.sizeInBytes()));
    std::sort(byAge.begin(), byAge.end());
    // Uses are numbered by one clock, so the oldest to go end at one use.
    std::size_t left = m_bytes;
    std::uint64_t lastToGo = 0;
    for (const auto& [use, size] : byAge) {
        if (left + bytes <= m_limit * 3 / 4)
            break;
        left -= size;
        lastToGo = use;
    }
    if (lastToGo)
        for (auto& [look, record] : m_looks)
            std::erase_if(record.kept, [&](const Kept& k) {
                if (k.lastUse > lastToGo || k.lastFrame + 1 >= m_frame)
                    return false;
                m_bytes -= static_cast<std::size_t>(k.image.sizeInBytes());
                --m_entries;
                return true;
            });
    if (m_bytes + bytes > m_limit)
        m_fullFrame = m_frame;
}

void RasterCache::clear() {
    m_looks.clear();
    std::fill(m_recent.begin(), m_recent.end(), nullptr);
    m_entries = 0;
    m_bytes = 0;
}

} // namespace swf::render
