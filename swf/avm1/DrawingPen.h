#pragma once
// Turns drawing-API calls into shape records on a clip's Graphics, so the drawing is
// compiled and drawn like a DefineShape. Styles accumulate in the shape's style arrays
// and records select them, so a fill stays one path across line style changes. A fill
// is closed back to where it began (with the current line) on endFill, on the next
// beginFill and on moveTo, as Flash did.

#include "swf/avm1/ClipHost.h"
#include "swf/timeline/objects/Graphics.h"

#include <cstdint>

namespace swf::avm1 {

class DrawingPen {
public:
    void apply(timeline::Graphics& g, const DrawOp& op);

private:
    void closeFill(format::ShapeCharacter& s);
    void select(format::ShapeCharacter& s, bool move);
    void edgeTo(format::ShapeCharacter& s, std::int32_t x, std::int32_t y);
    void curveTo(format::ShapeCharacter& s, std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y);
    void include(format::ShapeCharacter& s, std::int32_t x, std::int32_t y);

    std::int32_t m_x = 0, m_y = 0;           // pen, twips
    std::int32_t m_startX = 0, m_startY = 0; // where the open fill began
    std::uint32_t m_fill = 0, m_line = 0;    // 1-based style indices, 0 for none
    std::int32_t m_halfLine = 0;             // half the current line width, twips
    bool m_empty = true;                     // no point counted in the bounds yet
};

} // namespace swf::avm1
