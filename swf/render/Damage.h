#pragma once
// What changed between two drawn frames: each frame is listed as the simple things it draws,
// in drawing order, with where they land; the pixels that can differ are the bounds of the
// entries that are not the same in both lists (an entry that moves, changes or comes and goes
// damages where it was and where it is).

#include "swf/render/ColorTransform.h"

#include <QRect>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <vector>

namespace swf::render {

struct DrawnItem {
    const void* what = nullptr; // the character drawn
    std::uint32_t detail = 0;   // what else picks its look (a morph's ratio)
    QTransform toDevice;
    ColorTransform cx;
    QRectF bounds; // device pixels, all it can touch (strokes, anti-aliasing)
    bool operator==(const DrawnItem&) const = default;
};

struct FrameItems {
    std::vector<DrawnItem> items;
    // Something was drawn whose changes the list cannot follow (layers, masks, filters, text
    // fields, video, pixels set by scripts): any change of such a frame damages all of it.
    bool whole = false;
};

// The device rectangle that covers every difference of `after` from `before`, widened to
// whole pixels; empty when they are the same. `stage` is what a whole-frame change damages:
// either frame having something the lists cannot follow damages all of it (ask only when
// the display has changed).
QRect damagedArea(const FrameItems& before, const FrameItems& after, const QRect& stage);

} // namespace swf::render
