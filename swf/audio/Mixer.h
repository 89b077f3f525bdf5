#pragma once
// Sums the playing channels into interleaved stereo 16-bit output. Integer
// arithmetic throughout (gains in 1/32768 steps), so the same channels mixed over the
// same block sizes give the same samples on every machine; a single channel at full
// gain comes out bit for bit. The sum is clipped to 16 bits once, at the end.

#include "swf/audio/Pcm.h"
#include "swf/audio/SoundFeed.h"
#include "swf/audio/SoundControl.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace swf::audio {

inline constexpr std::int32_t kUnityGain = 32768;

// Output side from input sides: left = ll*L + lr*R, right = rl*L + rr*R.
struct Gain {
    std::int32_t ll = kUnityGain, lr = 0, rl = 0, rr = kUnityGain;
};

struct Channel {
    ChannelId id = kNoChannel;
    std::shared_ptr<const Pcm> pcm;
    std::size_t begin = 0; // first frame of each loop
    std::size_t end = 0;   // one past the last frame
    std::size_t pos = 0;   // next frame to play
    int loopsLeft = 1;     // including the current one
    std::uint64_t played = 0; // frames played since the start, across loops
    std::vector<format::SoundEnvelopePoint> envelope; // positions from the sound's start
    std::uint32_t soundId = 0;
    std::uint64_t clipId = 0;
    bool stream = false;
    // Set for a fed sound (pcm, begin, end, loops and envelope unused).
    std::shared_ptr<SoundFeed> feed;
};

// Channels beyond this many are refused (a script starting sounds in a loop).
inline constexpr std::size_t kMaxChannels = 256;

class Mixer {
public:
    // Adds a channel; positions are clamped into the sound. Returns its id, or
    // kNoChannel when kMaxChannels already play.
    ChannelId play(Channel channel);
    void stop(ChannelId id);
    void stopIf(const std::function<bool(const Channel&)>& match);
    void clear();
    Channel* find(ChannelId id);
    const Channel* find(ChannelId id) const;
    const std::vector<Channel>& channels() const { return m_channels; }

    // Mixes out.size() / 2 frames into `out` (overwritten). `gainOf` is asked once per
    // channel per call.
    void mix(std::span<std::int16_t> out, const std::function<Gain(const Channel&)>& gainOf);
    // Channels that reached their end (not stopped ones), oldest first.
    std::vector<ChannelId> takeFinished();

private:
    std::vector<Channel> m_channels;
    std::vector<std::int32_t> m_sum;
    std::vector<ChannelId> m_finished;
    ChannelId m_nextId = 1;
};

// Envelope level (0..32768) at `t` frames from the sound's start: linear between
// points, held before the first and after the last.
std::int32_t envelopeLevel(const std::vector<format::SoundEnvelopePoint>& env, std::uint64_t t, bool right);

} // namespace swf::audio
