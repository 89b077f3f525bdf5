#pragma once
// A picture held by an object rather than by the movie: a bitmap object's pixels after a
// script drew into them, a video's current frame. Premultiplied ARGB, one 32-bit word per
// pixel (0xAARRGGBB), rows top to bottom with no padding; the renderer wraps it without
// copying.

#include <cstdint>
#include <vector>

namespace swf::timeline {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // width * height words
    // Bumped by whoever changes the words, so drawings cached from them can be dropped.
    std::uint64_t revision = 0;

    bool valid() const {
        return width > 0 && height > 0 &&
               argb.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
};

} // namespace swf::timeline
