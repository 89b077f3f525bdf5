#include "swf/video/VideoFile.h"

#include "swf/video/FfmpegCodecs.h"
#include "swf/video/LocalMedia.h"
#include "swf/video/VideoDecoder.h"

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
    MediaTrack track;
    std::unique_ptr<VideoDecoder> decoder;
    bool eof = false;
    bool shown = false; // a picture has been shown since the start or the last seek
    bool dirty = false; // the decoder shows a picture newer than `converted`
    std::shared_ptr<const timeline::Pixels> converted;

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
    if (!s.track.open(path, AVMEDIA_TYPE_VIDEO))
        return s.track.format != nullptr;
    s.decoder = std::make_unique<VideoDecoder>(s.track.parameters(), DecoderOptions{});
    s.decoder->setQueued(true);
    if (!s.decoder->valid())
        s.decoder.reset();
    return true;
}

bool VideoFile::hasPictures() const {
    return m_state->decoder != nullptr;
}

// Pictures come out of the codec in presentation order and wait there until their time;
// packets are read only while no picture is waiting.
bool VideoFile::advanceTo(double seconds) {
    State& s = *m_state;
    if (!s.decoder)
        return false;
    const double units = s.track.timeBase > 0 ? seconds / s.track.timeBase : 0.0;
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
        if (!s.track.readPacket()) {
            s.eof = true;
            s.decoder->drain();
            continue;
        }
        const AVPacket& p = *s.track.packet;
        s.decoder->decode(std::span<const std::uint8_t>(p.data, p.size), p.flags & AV_PKT_FLAG_KEY, s.stamp(p.pts),
                          s.stamp(p.dts));
        av_packet_unref(s.track.packet);
    }
    s.dirty |= changed;
    return changed;
}

void VideoFile::seek(double seconds) {
    State& s = *m_state;
    if (!s.decoder)
        return;
    s.eof = s.shown = false;
    s.track.seek(seconds);
    s.decoder->reset();
    s.converted.reset();
    advanceTo(seconds);
}

bool VideoFile::ended() const {
    return !m_state->decoder || (m_state->eof && !m_state->decoder->nextTimestamp());
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
    const AVFormatContext* f = m_state->track.format;
    return f && f->duration > 0 ? double(f->duration) / AV_TIME_BASE : 0.0;
}

ScriptValue VideoFile::metadata() const {
    ScriptValue out;
    out.kind = ScriptValue::Kind::Object;
    const State& s = *m_state;
    const auto add = [&out](const char* key, double value) { out.members.emplace_back(key, ScriptValue::of(value)); };
    add("duration", duration());
    if (!s.decoder)
        return out;
    const AVStream* st = s.track.format->streams[s.track.stream];
    add("width", st->codecpar->width);
    add("height", st->codecpar->height);
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        add("framerate", av_q2d(st->avg_frame_rate));
    if (const std::uint8_t codec = swfCodec(st->codecpar->codec_id))
        add("videocodecid", codec);
    return out;
}

} // namespace swf::video
