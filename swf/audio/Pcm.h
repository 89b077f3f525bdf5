#pragma once
// Decoded sound as the mixer plays it: interleaved stereo 16-bit samples at the
// output rate.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf::audio {

inline constexpr int kOutputRate = 44100;
inline constexpr int kOutputChannels = 2;

// A decoded sound or stream never grows past this many frames (20 minutes); the rest
// is dropped. Bounds memory for movies that declare or contain absurd amounts.
inline constexpr std::size_t kMaxDecodedFrames = std::size_t(kOutputRate) * 60 * 20;

struct Pcm {
    std::vector<std::int16_t> samples; // L, R, L, R, ...
    std::size_t frames() const { return samples.size() / 2; }
};

} // namespace swf::audio
