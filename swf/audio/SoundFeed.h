#pragma once
// Sound handed over while it plays: a video file's track, decoded a little ahead of the
// mixer. The producer appends output-rate frames at the back; the mixer takes them from
// the front. A channel playing a feed waits in silence while the feed is dry, and ends
// once the producer has marked it complete and every frame was played. Frames taken
// count how far the sound has been heard: the clock a video with sound follows.

#include "swf/audio/Pcm.h"

#include <cstdint>
#include <span>

namespace swf::audio {

struct SoundFeed {
    Pcm pending;             // frames not yet mixed
    std::uint64_t taken = 0; // frames the mixer has taken since the feed began
    bool complete = false;   // nothing more will be appended

    void append(std::span<const std::int16_t> samples) {
        pending.samples.insert(pending.samples.end(), samples.begin(), samples.end());
    }
    // Silence, where a track has a hole or starts late.
    void appendSilence(std::size_t frames) { pending.samples.resize(pending.samples.size() + frames * kOutputChannels, 0); }
    bool drained() const { return complete && pending.frames() == 0; }
};

} // namespace swf::audio
