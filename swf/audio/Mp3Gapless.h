#pragma once
// What an encoder says in an MP3 file's first frame about the file's own sound: a Xing or
// Info frame carries no sound itself, and its LAME-style extension counts the encoder's
// delay at the start and its padding at the end. Decoders add 529 samples of their own
// delay. Playing only the music in between is how the file was meant to be heard.

#include <cstdint>
#include <span>

namespace swf::audio {

struct Mp3Gapless {
    int sampleRate = 0;           // of the first frame, 0 when it is not MPEG layer III
    bool infoFrame = false;       // the first frame is a Xing/Info frame (silent)
    std::uint32_t frameSamples = 0; // samples a frame decodes to (1152 or 576)
    std::uint32_t delay = 0;      // encoder delay, in samples
    std::uint32_t padding = 0;    // encoder padding at the end, in samples
    // Samples of decoder output to drop at the start, and (when known) to keep after that.
    std::uint64_t skipSamples() const;
};

// Samples every layer III decoder delays its output by.
inline constexpr std::uint32_t kMp3DecoderDelay = 529;

// Reads the first frame of `frames` (an MP3 file's frames, tags removed).
Mp3Gapless readMp3Gapless(std::span<const std::uint8_t> frames);

} // namespace swf::audio
