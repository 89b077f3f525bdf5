// Codec names for tools and reports, apart from the keyframe rules so the player does not
// carry them.

#include "swf/video/VideoCodec.h"

namespace swf::video {

std::string codecName(std::uint8_t codec) {
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263:
        return "Sorenson H.263";
    case VideoCodec::ScreenVideo:
        return "Screen Video";
    case VideoCodec::Vp6:
        return "VP6";
    case VideoCodec::Vp6Alpha:
        return "VP6 with alpha";
    case VideoCodec::ScreenVideo2:
        return "Screen Video 2";
    case VideoCodec::H264:
        return "H.264";
    }
    return "unknown (" + std::to_string(codec) + ")";
}

bool isSupportedCodec(std::uint8_t codec) {
    return codec >= 2 && codec <= 7;
}

} // namespace swf::video
