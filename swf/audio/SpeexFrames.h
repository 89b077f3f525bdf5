#pragma once
// Speex data as SWF movies and FLV files carry it: wideband frames one after another, each
// padded to a whole byte. FFmpeg's decoders take one frame a packet, so the data is cut
// at frame ends first; a frame's length follows from the modes its first bits name.

#include <cstdint>
#include <span>
#include <vector>

namespace swf::audio {

// The frames of `data`, in order. Where a frame cannot be measured (a mode Speex does not
// define, in-band signalling, damage) the rest is one last piece.
std::vector<std::span<const std::uint8_t>> splitSpeexFrames(std::span<const std::uint8_t> data);

} // namespace swf::audio
