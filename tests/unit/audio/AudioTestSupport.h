#pragma once
// Shared pieces of the sound tests: tones and PCM bytes, and a player with a sound
// engine that records what it mixes tick by tick.

#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/audio/AudioEngine.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace audio_test {

using namespace orvane::testing;
using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::int16_t>;

// A sine of `frames` samples at `hz` for a `rate` signal.
inline Samples sine(std::size_t frames, double hz, int rate, double amplitude = 12000) {
    Samples s(frames);
    for (std::size_t i = 0; i < frames; ++i)
        s[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return s;
}

inline Bytes le16(const Samples& s) {
    Bytes b;
    for (std::int16_t v : s) {
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
        b.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(v) >> 8) & 0xFF));
    }
    return b;
}

// Mono samples as the stereo frames the mixer puts out.
inline Samples stereo(const Samples& mono) {
    Samples out;
    for (std::int16_t v : mono) {
        out.push_back(v);
        out.push_back(v);
    }
    return out;
}

inline SoundFormat pcm16(int rate = 3, bool stereo = false) {
    SoundFormat f;
    f.format = 3;
    f.rate = static_cast<std::uint8_t>(rate);
    f.is16Bit = true;
    f.stereo = stereo;
    return f;
}

// Plays a movie and keeps every sample mixed.
struct Playback {
    swf::Player player;
    swf::audio::AudioEngine engine{player};
    Samples mixed;                  // interleaved stereo, all ticks
    std::vector<std::size_t> tickAt; // frame index where each tick's samples start

    explicit Playback(const SwfWriter& movie) { loaded = player.loadFromBytes(movie.bytes()); }
    bool loaded = false;

    void ticks(int n) {
        Samples block;
        for (int i = 0; i < n; ++i) {
            player.tick();
            tickAt.push_back(mixed.size() / 2);
            engine.mixTick(block);
            mixed.insert(mixed.end(), block.begin(), block.end());
        }
    }
    // Frames [from, from + count) of the output, stereo.
    Samples slice(std::size_t from, std::size_t count) const {
        Samples out(count * 2, 0);
        for (std::size_t i = 0; i < count * 2 && (from * 2 + i) < mixed.size(); ++i)
            out[i] = mixed[from * 2 + i];
        return out;
    }
    bool silentFrom(std::size_t from) const {
        for (std::size_t i = from * 2; i < mixed.size(); ++i)
            if (mixed[i] != 0)
                return false;
        return true;
    }
};

// A 44.1 kHz 16-bit mono sound with id 1, started in frame 0 with `info`.
inline SwfWriter movieWithSound(const Samples& tone, const SoundInfo& info = {}, int frames = 10) {
    SwfWriter w;
    w.setFrameRate(10);
    w.defineSound(1, pcm16(), static_cast<std::uint32_t>(tone.size()), le16(tone));
    w.startSound(1, info);
    w.showFrame(frames);
    return w;
}

} // namespace audio_test
