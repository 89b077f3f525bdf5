#include "swf/audio/AudioEngine.h"

#include "swf/Player.h"
#include "swf/audio/SoundDecoder.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"

#include <algorithm>
#include <cmath>

namespace swf::audio {

namespace {

// One tick never mixes more than this (movies with absurdly slow frame rates).
constexpr std::uint64_t kMaxTickFrames = std::uint64_t(kOutputRate) * 10;
// Gains above this (setVolume(100000)) are held here; keeps the integer sum in range.
constexpr double kMaxGain = 8.0;
// Sounds loaded from files kept at once.
constexpr std::uint32_t kMaxLoadedSounds = 16;
// A stream that has drifted this many frames from its timeline starts again there.
constexpr int kStreamSlackFrames = 2;

struct Matrix {
    double ll = 1, lr = 0, rl = 0, rr = 1;
};

// `outer` applied after `inner`.
Matrix compose(const Matrix& outer, const Matrix& inner) {
    return {outer.ll * inner.ll + outer.lr * inner.rl, outer.ll * inner.lr + outer.lr * inner.rr,
            outer.rl * inner.ll + outer.rr * inner.rl, outer.rl * inner.lr + outer.rr * inner.rr};
}

Matrix matrixOf(const SoundTransform& t) {
    const double v = t.volume / 100.0 / 100.0;
    return {t.ll * v, t.lr * v, t.rl * v, t.rr * v};
}

std::int32_t toGain(double g) {
    if (!std::isfinite(g))
        return 0;
    return static_cast<std::int32_t>(std::lround(std::clamp(g, -kMaxGain, kMaxGain) * kUnityGain));
}

} // namespace

AudioEngine::AudioEngine(Player& player) : m_player(player) {
    m_player.setSoundControl(this);
}

AudioEngine::~AudioEngine() {
    m_player.setSoundControl(nullptr);
}

// Everything belongs to one loaded movie: a new one starts from silence.
void AudioEngine::followMovie() {
    if (m_loadCount == m_player.loadCount())
        return;
    m_loadCount = m_player.loadCount();
    m_mixer.clear();
    m_sounds.clear();
    m_nextLoaded = kFirstLoadedSound;
    m_tracks.clear();
    m_streams.clear();
    m_transforms.clear();
    m_ticks = 0;
}

std::size_t AudioEngine::nextTickFrames() const {
    const double fps = m_player.frameRate();
    const auto at = [fps](std::uint64_t tick) {
        return static_cast<std::uint64_t>(std::floor(static_cast<double>(tick) * kOutputRate / fps));
    };
    const std::uint64_t ticks = m_loadCount == m_player.loadCount() ? m_ticks : 0;
    return static_cast<std::size_t>(std::min(at(ticks + 1) - at(ticks), kMaxTickFrames));
}

void AudioEngine::mixTick(std::vector<std::int16_t>& out) {
    followMovie();
    out.assign(nextTickFrames() * kOutputChannels, 0);
    syncStreams();
    m_mixer.mix(out, [this](const Channel& c) { return gainFor(c.clipId); });
    ++m_ticks;
}

std::shared_ptr<const Pcm> AudioEngine::sound(std::uint32_t soundId) {
    if (auto it = m_sounds.find(soundId); it != m_sounds.end())
        return it->second;
    std::shared_ptr<const Pcm> pcm;
    const movie::Movie* movie = m_player.movie();
    const format::Character* ch = movie && soundId <= 0xFFFF ? movie->character(static_cast<std::uint16_t>(soundId)) : nullptr;
    if (ch && ch->kind == format::CharacterKind::Sound) {
        std::size_t errors = 0;
        auto decoded = std::make_shared<Pcm>(decodeSound(static_cast<const format::SoundCharacter&>(*ch), &errors));
        m_stats.decodeErrors += errors;
        if (decoded->frames() == 0)
            ++m_stats.failedSounds;
        else
            pcm = std::move(decoded);
    }
    m_sounds.emplace(soundId, pcm);
    return pcm;
}

const StreamTrack* AudioEngine::track(const format::Timeline& timeline) {
    auto it = m_tracks.find(&timeline);
    if (it == m_tracks.end()) {
        auto built = m_player.movie() ? buildStreamTrack(*m_player.movie(), timeline) : nullptr;
        if (built) {
            m_stats.decodeErrors += built->errors;
            if (!built->pcm || built->pcm->frames() == 0) {
                ++m_stats.failedSounds;
                built.reset();
            }
        }
        it = m_tracks.emplace(&timeline, std::move(built)).first;
    }
    return it->second.get();
}

void AudioEngine::syncStreams() {
    timeline::Clip* root = m_player.root();
    if (!root || !root->hasEnteredFrame())
        return;
    std::unordered_map<std::uint64_t, StreamState> live;
    root->forEachClip([&](timeline::Clip& clip) {
        // The sound engine knows the level-0 movie's sounds only: a loaded movie's stream is not heard.
        const StreamTrack* t = &clip.movie() == m_player.movie() ? track(clip.timeline()) : nullptr;
        if (!t)
            return;
        StreamState state;
        if (auto it = m_streams.find(clip.id()); it != m_streams.end())
            state = it->second;
        const int frame = clip.currentFrame();
        Channel* playing = state.channel != kNoChannel ? m_mixer.find(state.channel) : nullptr;
        if (!clip.isPlaying()) {
            if (playing)
                m_mixer.stop(state.channel);
            live[clip.id()] = {kNoChannel, frame};
            return;
        }
        const std::int64_t start = t->startOf(frame);
        if (start >= 0) {
            const bool advanced = frame == state.lastFrame + 1;
            const std::int64_t slack = static_cast<std::int64_t>(nextTickFrames()) * kStreamSlackFrames;
            const bool inStep = playing && advanced && std::llabs(static_cast<std::int64_t>(playing->pos) - start) <= slack;
            if (!inStep) {
                if (playing)
                    m_mixer.stop(state.channel);
                Channel c;
                c.pcm = t->pcm;
                c.begin = 0;
                c.end = static_cast<std::size_t>(t->endOf(frame));
                c.pos = static_cast<std::size_t>(start);
                c.clipId = clip.id();
                c.stream = true;
                state.channel = m_mixer.play(std::move(c));
                if (state.channel == kNoChannel)
                    ++m_stats.refusedChannels;
            }
        }
        state.lastFrame = frame;
        live[clip.id()] = state;
    });
    // Streams of clips that left the stage stop with them.
    for (const auto& [clipId, state] : m_streams)
        if (!live.count(clipId) && state.channel != kNoChannel)
            m_mixer.stop(state.channel);
    m_streams = std::move(live);
}

bool AudioEngine::rootStreamPlaying() const {
    const timeline::Clip* root = m_player.root();
    if (!root || m_loadCount != m_player.loadCount())
        return false;
    auto it = m_streams.find(root->id());
    return it != m_streams.end() && it->second.channel != kNoChannel && m_mixer.find(it->second.channel);
}

bool AudioEngine::audioLeadsClock() const {
    if (rootStreamPlaying())
        return true;
    const auto& channels = m_mixer.channels();
    return m_loadCount == m_player.loadCount() &&
           std::any_of(channels.begin(), channels.end(), [](const Channel& c) { return c.feed != nullptr; });
}

ChannelId AudioEngine::playFeed(std::shared_ptr<SoundFeed> feed) {
    followMovie();
    Channel c;
    c.feed = std::move(feed);
    const ChannelId id = m_mixer.play(std::move(c));
    if (id == kNoChannel)
        ++m_stats.refusedChannels;
    return id;
}

void AudioEngine::stopChannel(ChannelId channel) {
    m_mixer.stop(channel);
}

// A clip's sounds pass through its own transform, each parent's, then the global one.
Gain AudioEngine::gainFor(std::uint64_t clipId) const {
    Matrix m;
    const timeline::Clip* root = m_player.root();
    const timeline::Clip* clip = root && clipId ? root->world().clipById(clipId) : nullptr;
    if (clipId && !clip) {
        if (auto it = m_transforms.find(clipId); it != m_transforms.end())
            m = matrixOf(it->second);
    }
    for (; clip; clip = clip->parent())
        if (auto it = m_transforms.find(clip->id()); it != m_transforms.end())
            m = compose(matrixOf(it->second), m);
    if (auto it = m_transforms.find(0); it != m_transforms.end())
        m = compose(matrixOf(it->second), m);
    return {toGain(m.ll), toGain(m.lr), toGain(m.rl), toGain(m.rr)};
}

ChannelId AudioEngine::startSound(std::uint32_t soundId, const format::SoundInfo& info, std::uint64_t clipId) {
    followMovie();
    const auto isThis = [soundId](const Channel& c) { return !c.stream && c.soundId == soundId; };
    if (info.syncStop) {
        m_mixer.stopIf(isThis);
        return kNoChannel;
    }
    if (info.syncNoMultiple &&
        std::any_of(m_mixer.channels().begin(), m_mixer.channels().end(), isThis))
        return kNoChannel;
    auto pcm = sound(soundId);
    if (!pcm)
        return kNoChannel;
    Channel c;
    c.pcm = pcm;
    // In and out points count 44.1 kHz samples, as envelope positions do.
    c.begin = info.inPoint.value_or(0);
    c.end = info.outPoint && *info.outPoint > 0 ? *info.outPoint : pcm->frames();
    c.pos = c.begin;
    c.loopsLeft = std::max<int>(info.loopCount, 1);
    c.envelope = info.envelope;
    c.soundId = soundId;
    c.clipId = clipId;
    const ChannelId id = m_mixer.play(std::move(c));
    if (id == kNoChannel)
        ++m_stats.refusedChannels;
    return id;
}

ChannelId AudioEngine::startSoundAt(std::uint32_t soundId, double secondOffset, int loops, std::uint64_t clipId) {
    format::SoundInfo info;
    const double offset = std::isfinite(secondOffset) && secondOffset > 0 ? secondOffset * kOutputRate : 0.0;
    info.inPoint = static_cast<std::uint32_t>(std::min(offset, 4.0e9));
    info.loopCount = static_cast<std::uint16_t>(std::clamp(loops, 1, 65535));
    return startSound(soundId, info, clipId);
}

void AudioEngine::stopSounds(std::uint64_t clipId, int soundId) {
    followMovie();
    m_mixer.stopIf([&](const Channel& c) {
        return !c.stream && !c.feed && (clipId == 0 || c.clipId == clipId) && (soundId < 0 || c.soundId == static_cast<std::uint32_t>(soundId));
    });
}

void AudioEngine::stopAll() {
    followMovie();
    m_mixer.stopIf([](const Channel& c) { return !c.feed; });
    for (auto& [clipId, state] : m_streams)
        state.channel = kNoChannel;
}

SoundTransform AudioEngine::transform(std::uint64_t clipId) const {
    auto it = m_transforms.find(clipId);
    return it == m_transforms.end() ? SoundTransform{} : it->second;
}

void AudioEngine::setTransform(std::uint64_t clipId, const SoundTransform& t) {
    followMovie();
    m_transforms[clipId] = t;
}

double AudioEngine::durationMs(std::uint32_t soundId) {
    followMovie();
    auto pcm = sound(soundId);
    return pcm ? static_cast<double>(pcm->frames()) * 1000.0 / kOutputRate : 0.0;
}

double AudioEngine::positionMs(ChannelId channel) const {
    const Channel* c = m_mixer.find(channel);
    return c ? static_cast<double>(c->pos) * 1000.0 / kOutputRate : -1.0;
}

LoadedSound AudioEngine::loadMp3(std::span<const std::uint8_t> file) {
    followMovie();
    LoadedSound loaded;
    loaded.id3 = readId3Tags(file);
    std::size_t errors = 0;
    auto pcm = std::make_shared<Pcm>(decodeMp3File(file, &errors));
    m_stats.decodeErrors += errors;
    if (pcm->frames() == 0) {
        ++m_stats.failedSounds;
        return loaded;
    }
    // Scripts that load again and again keep only the latest few; a playing one stays
    // alive with its channel.
    if (m_nextLoaded - kFirstLoadedSound >= kMaxLoadedSounds)
        m_sounds.erase(m_nextLoaded - kMaxLoadedSounds);
    loaded.soundId = m_nextLoaded++;
    loaded.durationMs = static_cast<double>(pcm->frames()) * 1000.0 / kOutputRate;
    m_sounds[loaded.soundId] = std::move(pcm);
    return loaded;
}

std::vector<ChannelId> AudioEngine::takeFinished() {
    return m_mixer.takeFinished();
}

} // namespace swf::audio
