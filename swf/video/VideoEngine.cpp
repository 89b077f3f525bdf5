#include "swf/video/VideoEngine.h"

#include "swf/Player.h"
#include "swf/audio/SoundControl.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/VideoObject.h"
#include "swf/video/FileAudio.h"
#include "swf/video/FlvScriptTags.h"
#include "swf/video/VideoFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace swf::video {

namespace {

// What a video object holding a NetStream's pictures has as its decoded frame: never a
// ratio, so detaching it brings its own frames back at the next sync.
constexpr int kShowsStream = -2;

// How far ahead of what is heard a file's sound is decoded.
constexpr std::size_t kSoundLeadFrames = audio::kOutputRate / 2;

// Stream ids are unique in the process: script objects of one session can never name
// another session's streams.
std::atomic<StreamId> g_nextStream{1};

} // namespace

struct VideoEngine::NetStream {
    StreamId id = kNoStream;
    std::unique_ptr<VideoFile> file;
    bool running = false;  // the clock moves: playing, not paused, not at the end
    bool paused = false;
    bool finished = false; // the end was reached and reported
    double startMs = 0;    // movie time at which the clock stood at `offset`
    double offset = 0;     // seconds
    double bufferTime = 0.1;
    bool bufferFull = false; // Buffer.Full was reported (Buffer.Empty follows the end)
    bool flushed = false;    // the end of the file's data entered the buffer
    std::vector<ScriptCall> calls; // the file's script tags, in time order
    std::size_t nextCall = 0;
    // The file's sound, when it has one FFmpeg decodes. While its channel plays, the
    // clock is the sound heard: `offset` plus the frames taken since `takenAtStart`.
    std::unique_ptr<FileAudio> sound;
    std::shared_ptr<audio::SoundFeed> feed; // null once the track has played out
    audio::ChannelId channel = audio::kNoChannel;
    std::uint64_t takenAtStart = 0;
};

void VideoEngine::restart(NetStream& s) {
    stopSound(s);
    NetStream fresh;
    fresh.id = s.id;
    fresh.bufferTime = s.bufferTime;
    s = std::move(fresh);
}

VideoEngine::VideoEngine(Player& player) : m_player(player) {}

// The sound engine outlives this (the session made it first): fed channels stop with us.
VideoEngine::~VideoEngine() {
    for (auto& s : m_netStreams)
        stopSound(*s);
}

void VideoEngine::fillSound(NetStream& s) {
    if (s.sound && s.feed)
        s.sound->fill(*s.feed, kSoundLeadFrames);
}

void VideoEngine::startSound(NetStream& s) {
    audio::SoundControl* control = m_player.soundControl();
    if (!s.sound || !s.feed || !control || s.channel != audio::kNoChannel)
        return;
    fillSound(s);
    s.channel = control->playFeed(s.feed);
    s.takenAtStart = s.feed->taken;
}

void VideoEngine::stopSound(NetStream& s) {
    if (s.channel == audio::kNoChannel)
        return;
    if (audio::SoundControl* control = m_player.soundControl())
        control->stopChannel(s.channel);
    s.channel = audio::kNoChannel;
}

void VideoEngine::followMovie() {
    if (m_loadCount == m_player.loadCount())
        return;
    m_loadCount = m_player.loadCount();
    m_streams.clear();
    for (auto& s : m_netStreams)
        stopSound(*s);
    m_netStreams.clear();
    m_videos.clear();
    m_events.clear();
    m_nowMs = 0;
}

EmbeddedVideo& VideoEngine::stream(const format::VideoStreamCharacter& character) {
    auto& slot = m_streams[&character];
    if (!slot)
        slot = std::make_unique<EmbeddedVideo>(character);
    return *slot;
}

VideoEngine::NetStream* VideoEngine::find(StreamId stream) {
    return const_cast<NetStream*>(std::as_const(*this).find(stream));
}

const VideoEngine::NetStream* VideoEngine::find(StreamId stream) const {
    for (const auto& s : m_netStreams)
        if (s->id == stream)
            return s.get();
    return nullptr;
}

void VideoEngine::status(StreamId stream, const char* code, const char* level) {
    StreamEvent e;
    e.code = code;
    e.level = level;
    m_events.emplace_back(stream, std::move(e));
}

double VideoEngine::clockOf(const NetStream& s) const {
    if (!s.running)
        return s.offset;
    if (s.feed && s.channel != audio::kNoChannel)
        return s.offset + static_cast<double>(s.feed->taken - s.takenAtStart) / audio::kOutputRate;
    return s.offset + std::max(0.0, m_nowMs - s.startMs) / 1000.0;
}

void VideoEngine::advance(double movieTimeMs) {
    followMovie();
    if (std::isfinite(movieTimeMs))
        m_nowMs = movieTimeMs;
    for (auto& s : m_netStreams) {
        const StreamId id = s->id;
        if (!s->running || !s->file)
            continue;
        if (s->feed && s->feed->drained()) {
            // The sound has played out: the movie's clock carries the pictures on.
            s->offset = clockOf(*s);
            s->startMs = m_nowMs;
            stopSound(*s);
            s->feed.reset();
        }
        const double at = clockOf(*s);
        fillSound(*s);
        s->file->advanceTo(at);
        callsUpTo(*s, at);
        if (!s->flushed && s->file->duration() > 0 && at >= s->file->duration() - s->bufferTime)
            flush(*s);
        if (s->file->ended() && !s->feed) {
            // The last picture stays; the clock stops where the file ends.
            s->running = false;
            s->finished = true;
            s->offset = std::max(at, s->file->duration());
            callsUpTo(*s, INFINITY);
            if (!s->flushed)
                flush(*s);
            status(id, "NetStream.Play.Stop");
            // Only a buffer that was full is reported empty again.
            if (s->bufferFull)
                status(id, "NetStream.Buffer.Empty");
        }
    }
}

void VideoEngine::callsUpTo(NetStream& s, double seconds) {
    for (; s.nextCall < s.calls.size() && s.calls[s.nextCall].seconds <= seconds; ++s.nextCall) {
        StreamEvent e;
        e.kind = StreamEvent::Kind::Call;
        e.call = s.calls[s.nextCall];
        m_events.emplace_back(s.id, std::move(e));
    }
}

// The last of the file's data is in the buffer: from here it only drains.
void VideoEngine::flush(NetStream& s) {
    s.flushed = true;
    status(s.id, "NetStream.Buffer.Flush");
}

void VideoEngine::sync() {
    followMovie();
    timeline::Clip* root = m_player.root();
    if (!root)
        return;
    root->forEachClip([this](timeline::Clip& clip) {
        for (auto& [depth, obj] : clip.displayList()) {
            if (obj.kind != timeline::ObjectKind::Video || !obj.character ||
                obj.character->kind != format::CharacterKind::VideoStream)
                continue;
            auto* video = obj.as<timeline::VideoObject>();
            if (!video)
                continue;
            const auto& character = static_cast<const format::VideoStreamCharacter&>(*obj.character);
            auto scripted = m_videos.find(obj.serial);
            ScriptedVideo* v = scripted == m_videos.end() ? nullptr : &scripted->second;
            if (v && v->smoothing >= 0)
                video->smoothing = v->smoothing == 1;
            else if (video->decodedFrame == -1)
                video->smoothing = character.smoothing;
            std::shared_ptr<const timeline::Pixels> picture;
            if (v && v->stream != kNoStream) {
                NetStream* s = find(v->stream);
                picture = s && s->file ? s->file->picture() : nullptr;
                if (v->cleared && picture.get() == v->clearedPicture)
                    picture = nullptr;
                else
                    v->cleared = false;
                video->decodedFrame = kShowsStream;
            } else if (video->decodedFrame != obj.ratio) {
                // The placement's ratio is the stream frame to show.
                picture = stream(character).frame(obj.ratio);
                video->decodedFrame = obj.ratio;
            } else {
                continue;
            }
            if (picture != video->picture) {
                if (v) {
                    v->width = picture ? picture->width : 0;
                    v->height = picture ? picture->height : 0;
                }
                video->picture = std::move(picture);
                ++clip.world().generation;
            }
        }
    });
}

StreamId VideoEngine::createStream() {
    followMovie();
    const StreamId id = g_nextStream++;
    m_netStreams.push_back(std::make_unique<NetStream>());
    m_netStreams.back()->id = id;
    return id;
}

void VideoEngine::releaseStream(StreamId stream) {
    if (NetStream* s = find(stream))
        stopSound(*s);
    std::erase_if(m_netStreams, [stream](const auto& s) { return s->id == stream; });
    for (auto& [serial, v] : m_videos)
        if (v.stream == stream)
            v.stream = kNoStream;
}

void VideoEngine::play(StreamId stream, const std::string& path) {
    NetStream* s = find(stream);
    if (!s)
        return;
    restart(*s);
    // A file plays when it has pictures or sound FFmpeg decodes.
    auto file = std::make_unique<VideoFile>();
    auto sound = std::make_unique<FileAudio>();
    const bool opened = !path.empty() && file->open(path);
    const bool heard = opened && m_player.soundControl() && sound->open(path);
    if (!opened || (!file->hasPictures() && !heard)) {
        status(stream, "NetStream.Play.StreamNotFound", "error");
        return;
    }
    s->file = std::move(file);
    s->running = true;
    s->startMs = m_nowMs;
    if (heard) {
        s->sound = std::move(sound);
        s->feed = std::make_shared<audio::SoundFeed>();
        startSound(*s);
    }
    s->file->advanceTo(0);
    // FLV files carry their own onMetaData and cue points; other files get metadata
    // from what FFmpeg read.
    s->calls = readFlvScriptTags(path);
    std::stable_sort(s->calls.begin(), s->calls.end(),
                     [](const ScriptCall& a, const ScriptCall& b) { return a.seconds < b.seconds; });
    if (s->calls.empty())
        s->calls.push_back({0.0, "onMetaData", {s->file->metadata()}});
    status(stream, "NetStream.Play.Start");
    callsUpTo(*s, 0.0);
    // A local file is all there at once: the buffer fills at once unless the whole file
    // is shorter than it, and then the end is in it from the start.
    const double duration = s->file->duration();
    if (duration <= 0 || duration >= s->bufferTime) {
        s->bufferFull = true;
        status(stream, "NetStream.Buffer.Full");
    }
    if (duration > 0 && duration <= s->bufferTime)
        flush(*s);
}

void VideoEngine::setBufferTime(StreamId stream, double seconds) {
    if (NetStream* s = find(stream))
        s->bufferTime = seconds;
}

void VideoEngine::pause(StreamId stream, std::optional<bool> paused) {
    NetStream* s = find(stream);
    if (!s || !s->file)
        return;
    const bool want = paused.value_or(!s->paused);
    if (want == s->paused)
        return;
    s->offset = clockOf(*s);
    s->startMs = m_nowMs;
    s->paused = want;
    s->running = !want && !s->finished;
    if (s->running)
        startSound(*s);
    else
        stopSound(*s);
    status(stream, want ? "NetStream.Pause.Notify" : "NetStream.Unpause.Notify");
}

void VideoEngine::seek(StreamId stream, double seconds) {
    NetStream* s = find(stream);
    if (!s || !s->file)
        return;
    double to = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    if (s->file->duration() > 0)
        to = std::min(to, s->file->duration());
    stopSound(*s);
    s->file->seek(to);
    if (s->sound) {
        s->sound->seek(to);
        s->feed = std::make_shared<audio::SoundFeed>();
    }
    // Cue points from the new position on are still to come.
    s->nextCall = 0;
    while (s->nextCall < s->calls.size() && s->calls[s->nextCall].seconds < to)
        ++s->nextCall;
    s->offset = to;
    s->startMs = m_nowMs;
    s->finished = false;
    s->running = !s->paused;
    if (s->running)
        startSound(*s);
    status(stream, "NetStream.Seek.Notify");
}

void VideoEngine::close(StreamId stream) {
    if (NetStream* s = find(stream))
        restart(*s);
}

double VideoEngine::time(StreamId stream) const {
    const NetStream* s = find(stream);
    return s && s->file ? clockOf(*s) : 0.0;
}

double VideoEngine::bytesTotal(StreamId stream) const {
    const NetStream* s = find(stream);
    return s && s->file ? double(s->file->fileSize()) : 0.0;
}

std::vector<std::pair<StreamId, StreamEvent>> VideoEngine::takeEvents() {
    return std::exchange(m_events, {});
}

void VideoEngine::attachVideo(std::uint64_t videoSerial, StreamId stream) {
    ScriptedVideo& v = m_videos[videoSerial];
    v.stream = stream;
    v.cleared = false;
}

void VideoEngine::clearVideo(std::uint64_t videoSerial) {
    ScriptedVideo& v = m_videos[videoSerial];
    NetStream* s = find(v.stream);
    v.cleared = true;
    v.clearedPicture = s && s->file ? s->file->picture().get() : nullptr;
}

bool VideoEngine::pictureSize(std::uint64_t videoSerial, int& width, int& height) {
    auto it = m_videos.find(videoSerial);
    if (it == m_videos.end() || it->second.width <= 0)
        return false;
    width = it->second.width;
    height = it->second.height;
    return true;
}

void VideoEngine::setSmoothing(std::uint64_t videoSerial, bool smoothing) {
    m_videos[videoSerial].smoothing = smoothing ? 1 : 0;
}

bool VideoEngine::smoothing(std::uint64_t videoSerial) {
    auto it = m_videos.find(videoSerial);
    return it != m_videos.end() && it->second.smoothing == 1;
}

void VideoEngine::setDeblocking(std::uint64_t videoSerial, int level) {
    m_videos[videoSerial].deblocking = level;
}

int VideoEngine::deblocking(std::uint64_t videoSerial) {
    auto it = m_videos.find(videoSerial);
    return it != m_videos.end() ? it->second.deblocking : 0;
}

} // namespace swf::video
