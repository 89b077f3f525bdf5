#pragma once
// Shape-exact hit testing: whether a point falls on a shape's painted area, its fills
// (with the even-odd or non-zero rule the shape is drawn with) or its strokes. Points
// are in the shape's own twips. Hit tests of buttons, clips acting as buttons and
// hitTest(x, y, true) all come down to this.

#include "swf/format/Shape.h"

#include <cstdint>
#include <vector>

namespace swf::timeline {

// A shape reduced to flat segments that carry their styles; built once per shape.
class HitShape {
public:
    explicit HitShape(const format::ShapeCharacter& shape);

    bool contains(double x, double y) const;
    const format::Rect& bounds() const { return m_bounds; }

private:
    struct Segment {
        double x0, y0, x1, y1;
        std::uint32_t fill0, fill1, line; // styles across all style groups, 1-based; 0 none
    };
    bool onFill(double x, double y) const;
    bool onStroke(double x, double y) const;

    std::vector<Segment> m_segments;
    std::vector<double> m_halfWidths; // per line style, twips
    std::uint32_t m_fillCount = 0;
    bool m_winding = false;
    format::Rect m_bounds;
};

} // namespace swf::timeline
