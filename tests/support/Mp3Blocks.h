#pragma once
// Cuts an MPEG-1 layer III file (44.1 kHz, no ID3 or Xing header) into the stream
// blocks of a timeline: each frame's block holds the MP3 frames reaching past its start,
// headed by their sample count and the seek samples to where the frame begins.

#include <cstdint>
#include <vector>

namespace orvane::testing {

// Frame length from an MPEG-1 layer III header at 44.1 kHz; 0 when `p` is not one.
std::size_t mp3FrameLength(const std::uint8_t* p, std::size_t available);

// SoundStreamBlock bodies, one per timeline frame of `samplesPerFrame` samples, until
// the MP3 frames run out. Empty when the data does not parse.
std::vector<std::vector<std::uint8_t>> mp3StreamBlocks(const std::vector<std::uint8_t>& mp3,
                                                       std::size_t samplesPerFrame);

} // namespace orvane::testing
