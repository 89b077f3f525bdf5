#include "swf/video/FileAudio.h"

#include "swf/audio/SoundDecoder.h"
#include "swf/video/LocalMedia.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace swf::video {

namespace {

// Packets one fill may read: a damaged file cannot stall a tick.
constexpr int kMaxPacketsPerFill = 500;
// A track that starts later than where playing starts is preceded by silence, at most this
// much (a damaged timestamp could ask for hours).
constexpr double kMaxLeadingSilence = 10.0;

} // namespace

struct FileAudio::State {
    MediaTrack track;
    std::unique_ptr<audio::SoundDecoder> decoder;
    double startAt = 0;      // seconds of the file the feed starts at
    bool placed = false;     // the first packet since the start or a seek has been placed
    std::uint64_t skip = 0;  // decoded frames still to drop (before `startAt`)

    void newDecoder() { decoder = std::make_unique<audio::SoundDecoder>(track.parameters()); }

    // Moves what the decoder made into the feed, less the frames to skip.
    void deliver(audio::SoundFeed& feed) {
        std::vector<std::int16_t>& made = decoder->output().samples;
        const std::size_t frames = made.size() / audio::kOutputChannels;
        const std::size_t dropped = static_cast<std::size_t>(std::min<std::uint64_t>(skip, frames));
        skip -= dropped;
        feed.append(std::span<const std::int16_t>(made).subspan(dropped * audio::kOutputChannels));
        made.clear();
    }

    // The first packet after a start or seek says where the track stands against `startAt`.
    void place(audio::SoundFeed& feed, std::int64_t pts) {
        placed = true;
        if (pts == AV_NOPTS_VALUE || track.timeBase <= 0)
            return;
        const double at = static_cast<double>(pts) * track.timeBase;
        if (at < startAt)
            skip = static_cast<std::uint64_t>(std::llround((startAt - at) * audio::kOutputRate));
        else
            feed.appendSilence(static_cast<std::size_t>(std::min(at - startAt, kMaxLeadingSilence) * audio::kOutputRate));
    }
};

FileAudio::FileAudio() : m_state(std::make_unique<State>()) {}

FileAudio::~FileAudio() = default;

bool FileAudio::open(const std::string& path) {
    State& s = *m_state;
    if (!s.track.open(path, AVMEDIA_TYPE_AUDIO))
        return false;
    s.newDecoder();
    return s.decoder->ok();
}

void FileAudio::seek(double seconds) {
    State& s = *m_state;
    if (!s.decoder)
        return;
    s.startAt = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    s.placed = false;
    s.skip = 0;
    s.track.seek(s.startAt);
    // A fresh decoder: nothing of what came before the jump leaks into what follows.
    s.newDecoder();
}

void FileAudio::fill(audio::SoundFeed& feed, std::size_t frames) {
    State& s = *m_state;
    if (!s.decoder || feed.complete)
        return;
    for (int n = 0; n < kMaxPacketsPerFill && feed.pending.frames() < frames; ++n) {
        if (!s.track.readPacket()) {
            s.decoder->finish();
            s.deliver(feed);
            feed.complete = true;
            return;
        }
        const AVPacket& p = *s.track.packet;
        if (!s.placed)
            s.place(feed, p.pts);
        s.decoder->decode(std::span<const std::uint8_t>(p.data, static_cast<std::size_t>(p.size)));
        av_packet_unref(s.track.packet);
        s.deliver(feed);
    }
}

} // namespace swf::video
