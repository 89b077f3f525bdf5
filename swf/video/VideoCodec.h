#pragma once
// Facts about the video codecs SWF and FLV name by number: their names and which packets
// start a picture afresh (keyframes), read from each codec's own packet header so a seek
// can find where to start decoding without decoding anything.

#include <cstdint>
#include <span>
#include <string>

namespace swf::video {

// The codec numbers of DefineVideoStream and of FLV video tags (they share one list).
enum class VideoCodec : std::uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
    H264 = 7, // FLV only
};

// A short readable name ("Sorenson H.263", ...), "unknown (N)" for other numbers.
std::string codecName(std::uint8_t codec);
// True when this engine can decode the codec.
bool isSupportedCodec(std::uint8_t codec);

// Whether `packet` (one VideoFrame payload) decodes without any earlier packet. False
// for damaged or truncated headers, so a seek never starts on one.
bool isKeyframe(std::uint8_t codec, std::span<const std::uint8_t> packet);

} // namespace swf::video
