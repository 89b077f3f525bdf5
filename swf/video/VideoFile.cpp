#include "swf/video/VideoFile.h"

#include "swf/video/FfmpegCodecs.h"
#include "swf/video/VideoDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace swf::video {

namespace {

// Packets one advance may decode: a seek far into a file continues over later ticks
// rather than stalling one.
constexpr int kMaxPacketsPerAdvance = 2000;

} // namespace

struct VideoFile::State {
    AVFormatContext* format = nullptr;
    AVPacket* packet = nullptr;
    int stream = -1;
    double timeBase = 0; // seconds per timestamp unit
    std::unique_ptr<VideoDecoder> decoder;
    bool eof = false;
    bool shown = false; // a picture has been shown since the start or the last seek
    bool dirty = false; // the decoder shows a picture newer than `converted`
    std::shared_ptr<const timeline::Pixels> converted;

    ~State() {
        av_packet_free(&packet);
        avformat_close_input(&format);
    }

    // Reads up to the next packet of the video stream; false at the end.
    bool readVideoPacket() {
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == stream)
                return true;
            av_packet_unref(packet);
        }
        return false;
    }

    std::optional<std::int64_t> stamp(std::int64_t ts) const {
        return ts == AV_NOPTS_VALUE ? std::nullopt : std::optional<std::int64_t>(ts);
    }
};

VideoFile::VideoFile() : m_state(std::make_unique<State>()) {}

VideoFile::~VideoFile() = default;

bool VideoFile::open(const std::string& path) {
    State& s = *m_state;
    std::error_code ec;
    m_fileSize = std::filesystem::file_size(path, ec);
    if (ec)
        return false;
    AVDictionary* options = nullptr;
    // Files only, and only the containers Flash played.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", "flv,mov,mp4,m4a,3gp,3g2,mj2", 0);
    const int opened = avformat_open_input(&s.format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0 || avformat_find_stream_info(s.format, nullptr) < 0)
        return false;
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.stream < 0)
        return false;
    const AVStream* st = s.format->streams[s.stream];
    s.timeBase = av_q2d(st->time_base);
    s.decoder = std::make_unique<VideoDecoder>(*st->codecpar, DecoderOptions{});
    s.decoder->setQueued(true);
    s.packet = av_packet_alloc();
    return s.decoder->valid() && s.packet;
}

// Pictures come out of the codec in presentation order and wait there until their time;
// packets are read only while no picture is waiting.
bool VideoFile::advanceTo(double seconds) {
    State& s = *m_state;
    if (!s.decoder || !s.packet)
        return false;
    const double units = s.timeBase > 0 ? seconds / s.timeBase : 0.0;
    const std::int64_t due = units >= 9.0e18 ? INT64_MAX : static_cast<std::int64_t>(std::floor(units + 1e-6));
    bool changed = false;
    for (int n = 0; n < kMaxPacketsPerAdvance; ++n) {
        // The first picture after a start or seek shows at once, whatever its timestamp.
        while (auto next = s.decoder->nextTimestamp()) {
            if (s.shown && *next != AV_NOPTS_VALUE && *next > due)
                break;
            changed |= s.decoder->showNext();
            s.shown = true;
        }
        if (s.decoder->nextTimestamp() || s.eof)
            break;
        if (!s.readVideoPacket()) {
            s.eof = true;
            s.decoder->drain();
            continue;
        }
        s.decoder->decode(std::span<const std::uint8_t>(s.packet->data, s.packet->size),
                          s.packet->flags & AV_PKT_FLAG_KEY, s.stamp(s.packet->pts), s.stamp(s.packet->dts));
        av_packet_unref(s.packet);
    }
    s.dirty |= changed;
    return changed;
}

void VideoFile::seek(double seconds) {
    State& s = *m_state;
    if (!s.format || !s.decoder)
        return;
    s.eof = s.shown = false;
    const auto target = static_cast<std::int64_t>(std::max(0.0, seconds) / (s.timeBase > 0 ? s.timeBase : 1.0));
    if (av_seek_frame(s.format, s.stream, target, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(s.format, s.stream, 0, AVSEEK_FLAG_BACKWARD);
    s.decoder->reset();
    s.converted.reset();
    advanceTo(seconds);
}

bool VideoFile::ended() const {
    return m_state->eof && !(m_state->decoder && m_state->decoder->nextTimestamp());
}

std::shared_ptr<const timeline::Pixels> VideoFile::picture() {
    State& s = *m_state;
    if (s.dirty && s.decoder) {
        if (auto p = s.decoder->picture())
            s.converted = std::move(p);
        s.dirty = false;
    }
    return s.converted;
}

double VideoFile::duration() const {
    const AVFormatContext* f = m_state->format;
    return f && f->duration > 0 ? double(f->duration) / AV_TIME_BASE : 0.0;
}

ScriptValue VideoFile::metadata() const {
    ScriptValue out;
    out.kind = ScriptValue::Kind::Object;
    const State& s = *m_state;
    if (!s.format || s.stream < 0)
        return out;
    const AVStream* st = s.format->streams[s.stream];
    const auto add = [&out](const char* key, double value) { out.members.emplace_back(key, ScriptValue::of(value)); };
    add("duration", duration());
    add("width", st->codecpar->width);
    add("height", st->codecpar->height);
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        add("framerate", av_q2d(st->avg_frame_rate));
    if (const std::uint8_t codec = swfCodec(st->codecpar->codec_id))
        add("videocodecid", codec);
    return out;
}

} // namespace swf::video
