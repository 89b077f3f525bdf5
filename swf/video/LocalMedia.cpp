#include "swf/video/LocalMedia.h"

#include <algorithm>
#include <cstdint>

namespace swf::video {

MediaTrack::~MediaTrack() {
    av_packet_free(&packet);
    avformat_close_input(&format);
}

bool MediaTrack::open(const std::string& path, AVMediaType type) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", "flv,mov,mp4,m4a,3gp,3g2,mj2", 0);
    const int opened = avformat_open_input(&format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return false;
    // A file whose streams cannot be read is no container at all.
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return false;
    }
    stream = av_find_best_stream(format, type, -1, -1, nullptr, 0);
    if (stream < 0)
        return false;
    timeBase = av_q2d(format->streams[stream]->time_base);
    packet = av_packet_alloc();
    return packet != nullptr;
}

bool MediaTrack::readPacket() {
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream)
            return true;
        av_packet_unref(packet);
    }
    return false;
}

void MediaTrack::seek(double seconds) {
    const auto target = static_cast<std::int64_t>(std::max(0.0, seconds) / (timeBase > 0 ? timeBase : 1.0));
    if (av_seek_frame(format, stream, target, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(format, stream, 0, AVSEEK_FLAG_BACKWARD);
}

} // namespace swf::video
