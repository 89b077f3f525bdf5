#pragma once
// The stream sound of one timeline (SoundStreamHead + a SoundStreamBlock per frame),
// decoded ahead as one continuous signal, with the output frame at which each
// timeline frame's block begins. Playing a frame means playing from there.

#include "swf/audio/Pcm.h"
#include "swf/format/Timeline.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace swf::movie {
class Movie;
}

namespace swf::audio {

struct StreamTrack {
    std::shared_ptr<const Pcm> pcm;
    // Per timeline frame: output frame where that frame's block starts, -1 without a block.
    std::vector<std::int64_t> frameStart;
    std::size_t errors = 0;

    std::int64_t startOf(int frame) const {
        return frame >= 0 && frame < static_cast<int>(frameStart.size()) ? frameStart[frame] : -1;
    }
    // Where the run of consecutive blocks holding `frame` ends: the sound stops there
    // until the timeline reaches its next block.
    std::int64_t endOf(int frame) const;
};

// Null when the timeline has no stream head or no block.
std::unique_ptr<StreamTrack> buildStreamTrack(const movie::Movie& movie, const format::Timeline& timeline);

} // namespace swf::audio
