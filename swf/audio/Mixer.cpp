#include "swf/audio/Mixer.h"

#include <algorithm>
#include <utility>

namespace swf::audio {

std::int32_t envelopeLevel(const std::vector<format::SoundEnvelopePoint>& env, std::uint64_t t, bool right) {
    auto level = [right](const format::SoundEnvelopePoint& p) {
        return std::min<std::int32_t>(right ? p.right : p.left, kUnityGain);
    };
    if (env.empty())
        return kUnityGain;
    if (t <= env.front().pos44)
        return level(env.front());
    for (std::size_t i = 1; i < env.size(); ++i) {
        const auto& a = env[i - 1];
        const auto& b = env[i];
        if (t >= b.pos44)
            continue;
        if (b.pos44 <= a.pos44)
            return level(b);
        const std::int64_t span = b.pos44 - a.pos44;
        const std::int64_t into = static_cast<std::int64_t>(t) - a.pos44;
        return static_cast<std::int32_t>(level(a) + (level(b) - level(a)) * into / span);
    }
    return level(env.back());
}

ChannelId Mixer::play(Channel channel) {
    if (m_channels.size() >= kMaxChannels)
        return kNoChannel;
    const std::size_t frames = channel.pcm ? channel.pcm->frames() : 0;
    channel.end = std::min(channel.end, frames);
    channel.begin = std::min(channel.begin, channel.end);
    channel.pos = std::clamp(channel.pos, channel.begin, channel.end);
    channel.loopsLeft = std::max(channel.loopsLeft, 1);
    channel.id = m_nextId++;
    m_channels.push_back(std::move(channel));
    return m_channels.back().id;
}

void Mixer::stop(ChannelId id) {
    stopIf([id](const Channel& c) { return c.id == id; });
}

void Mixer::stopIf(const std::function<bool(const Channel&)>& match) {
    std::erase_if(m_channels, match);
}

void Mixer::clear() {
    m_channels.clear();
    m_finished.clear();
}

Channel* Mixer::find(ChannelId id) {
    for (auto& c : m_channels)
        if (c.id == id)
            return &c;
    return nullptr;
}

const Channel* Mixer::find(ChannelId id) const {
    return const_cast<Mixer*>(this)->find(id);
}

namespace {

// Adds one input frame through the gain into output frame `i`, before any envelope.
inline void addFrame(std::span<std::int32_t> sum, std::size_t i, std::int64_t outL, std::int64_t outR) {
    sum[i * 2] += static_cast<std::int32_t>(std::clamp<std::int64_t>(outL, INT32_MIN / 4, INT32_MAX / 4));
    sum[i * 2 + 1] += static_cast<std::int32_t>(std::clamp<std::int64_t>(outR, INT32_MIN / 4, INT32_MAX / 4));
}

// A fed channel: takes what the feed holds (silence after it while it is dry); false once
// the feed is complete and drained.
bool mixFeed(Channel& c, const Gain& g, std::span<std::int32_t> sum) {
    SoundFeed& feed = *c.feed;
    const std::size_t frames = std::min(sum.size() / 2, feed.pending.frames());
    const std::int16_t* src = feed.pending.samples.data();
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int64_t l = src[i * 2];
        const std::int64_t r = src[i * 2 + 1];
        addFrame(sum, i, (l * g.ll + r * g.lr) >> 15, (l * g.rl + r * g.rr) >> 15);
    }
    feed.pending.samples.erase(feed.pending.samples.begin(),
                               feed.pending.samples.begin() + static_cast<std::ptrdiff_t>(frames * 2));
    feed.taken += frames;
    c.played += frames;
    return !feed.drained();
}

// Adds one channel's next frames into `sum`; false once the channel has ended.
bool mixChannel(Channel& c, const Gain& g, std::span<std::int32_t> sum) {
    const std::size_t frames = sum.size() / 2;
    const std::int16_t* src = c.pcm->samples.data();
    const bool enveloped = !c.envelope.empty();
    for (std::size_t i = 0; i < frames; ++i) {
        while (c.pos >= c.end) {
            if (--c.loopsLeft <= 0 || c.begin >= c.end)
                return false;
            c.pos = c.begin;
        }
        const std::int64_t l = src[c.pos * 2];
        const std::int64_t r = src[c.pos * 2 + 1];
        std::int64_t outL = (l * g.ll + r * g.lr) >> 15;
        std::int64_t outR = (l * g.rl + r * g.rr) >> 15;
        if (enveloped) {
            const std::uint64_t t = c.begin + c.played;
            outL = (outL * envelopeLevel(c.envelope, t, false)) >> 15;
            outR = (outR * envelopeLevel(c.envelope, t, true)) >> 15;
        }
        addFrame(sum, i, outL, outR);
        ++c.pos;
        ++c.played;
    }
    // A channel that just played its last frame ends now rather than a block later.
    return !(c.pos >= c.end && c.loopsLeft <= 1);
}

} // namespace

void Mixer::mix(std::span<std::int16_t> out, const std::function<Gain(const Channel&)>& gainOf) {
    m_sum.assign(out.size() & ~std::size_t(1), 0);
    std::vector<ChannelId> ended;
    for (auto& c : m_channels) {
        const bool playing = c.feed ? mixFeed(c, gainOf(c), m_sum) : c.pcm && mixChannel(c, gainOf(c), m_sum);
        if (!playing)
            ended.push_back(c.id);
    }
    for (ChannelId id : ended) {
        stop(id);
        m_finished.push_back(id);
    }
    // Nobody may be collecting them (a host without scripts): keep only the latest.
    if (m_finished.size() > kMaxChannels * 4)
        m_finished.erase(m_finished.begin(), m_finished.end() - kMaxChannels * 4);
    for (std::size_t i = 0; i < m_sum.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(m_sum[i], -32768, 32767));
    if (out.size() & 1)
        out.back() = 0;
}

std::vector<ChannelId> Mixer::takeFinished() {
    return std::exchange(m_finished, {});
}

} // namespace swf::audio
