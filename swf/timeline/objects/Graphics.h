#pragma once
// Vector drawing a script made at run time (moveTo, lineTo, beginFill, ...) on a movie
// clip, or an AS3 Shape's graphics. It is kept as a shape in the file's own terms, so the
// renderer compiles and draws it like a DefineShape; a clip shows it under its children.
// The drawing API (issue 15) appends the records; nothing writes them yet.

#include "swf/format/Shape.h"
#include "swf/timeline/objects/Pixels.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace swf::timeline {

class Graphics {
public:
    bool empty() const { return m_shape.shape.records.empty(); }
    // The drawing as a shape character (id 0); bounds are kept by whoever writes it.
    const format::ShapeCharacter& shape() const { return m_shape; }
    // For the writer: change the shape, then call changed().
    format::ShapeCharacter& edit() { return m_shape; }
    // Changes on each change, and no two drawings ever share a value: renderers key
    // their compiled copies on it.
    std::uint64_t revision() const { return m_revision; }
    void changed() {
        static std::atomic<std::uint64_t> s_next{1};
        m_revision = s_next++;
    }
    void clear() {
        m_shape = format::ShapeCharacter{};
        bitmaps.clear();
        changed();
    }

    // Pixels of the drawing's bitmap fills: a fill's bitmapId n names bitmaps[n - 1] (a
    // drawing never refers to the movie's bitmap characters).
    std::vector<std::shared_ptr<const Pixels>> bitmaps;

private:
    format::ShapeCharacter m_shape;
    std::uint64_t m_revision = 0;
};

} // namespace swf::timeline
