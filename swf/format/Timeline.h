#pragma once
// What the file says about a timeline: the control tags of each frame, in order,
// and the frame labels. The root movie and every sprite have one. Tags are kept
// as references into the movie body and parsed when a frame is entered.

#include "swf/format/Character.h"
#include "swf/format/Records.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::format {

struct TagRef {
    std::uint16_t code = 0;
    std::uint32_t offset = 0; // of the tag body within the movie body
    std::uint32_t length = 0;
};

struct FrameLabel {
    std::string name;
    int frame = 0;
    bool anchor = false;
};

struct Timeline {
    std::vector<TagRef> tags;              // control tags of every frame, in order
    std::vector<std::uint32_t> frameStart; // frame f owns tags [frameStart[f], frameStart[f+1])
    std::vector<FrameLabel> labels;
    std::uint16_t declaredFrameCount = 0;

    int frameCount() const { return static_cast<int>(frameStart.size()); }
    std::span<const TagRef> frameTags(int frame) const {
        if (frame < 0 || frame >= frameCount())
            return {};
        std::size_t begin = frameStart[frame];
        std::size_t end = frame + 1 < frameCount() ? frameStart[frame + 1] : tags.size();
        return std::span<const TagRef>(tags).subspan(begin, end - begin);
    }
    // Frame of a label, exact match first, then ignoring ASCII case; -1 if none.
    int findLabel(std::string_view name) const;
};

struct SpriteCharacter : Character {
    SpriteCharacter() : Character(0, CharacterKind::Sprite) {}
    Timeline timeline;
    std::optional<Rect> scalingGrid;
};

} // namespace swf::format
