#pragma once
// The SWF/FLV codec numbers and FFmpeg's codec ids for them, in one table both ways.
// Internal to swf/video (includes FFmpeg).

#include "swf/video/VideoCodec.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <cstdint>

namespace swf::video {

struct CodecPair {
    VideoCodec swf;
    AVCodecID ffmpeg;
};

inline constexpr CodecPair kCodecPairs[] = {
    {VideoCodec::SorensonH263, AV_CODEC_ID_FLV1}, {VideoCodec::ScreenVideo, AV_CODEC_ID_FLASHSV},
    {VideoCodec::Vp6, AV_CODEC_ID_VP6F},          {VideoCodec::Vp6Alpha, AV_CODEC_ID_VP6A},
    {VideoCodec::ScreenVideo2, AV_CODEC_ID_FLASHSV2}, {VideoCodec::H264, AV_CODEC_ID_H264},
};

inline AVCodecID ffmpegCodec(std::uint8_t codec) {
    for (const CodecPair& p : kCodecPairs)
        if (static_cast<std::uint8_t>(p.swf) == codec)
            return p.ffmpeg;
    return AV_CODEC_ID_NONE;
}

// 0 for codecs SWF and FLV have no number for.
inline std::uint8_t swfCodec(AVCodecID id) {
    for (const CodecPair& p : kCodecPairs)
        if (p.ffmpeg == id)
            return static_cast<std::uint8_t>(p.swf);
    return 0;
}

} // namespace swf::video
