#pragma once
// Turns SWF sound data into output-rate stereo through FFmpeg: libavcodec decodes
// every SWF codec (PCM of both sizes, ADPCM, MP3, Nellymoser, Speex) and
// libswresample converts to 44,100 Hz stereo 16-bit. Packets fed in order form one
// continuous signal: the resampler keeps its state across them.

#include "swf/audio/Pcm.h"
#include "swf/format/Sound.h"

#include <cstdint>
#include <memory>
#include <span>

struct AVCodecParameters;

namespace swf::audio {

// Rate of the decoded signal before resampling for a SWF format (Nellymoser and
// Speex have their own fixed rates).
int sourceRate(const format::SoundFormat& format);
// Output frames that `sourceFrames` frames at `rate` last. The 5,512 Hz rate is
// really 44,100 / 8, so it maps to exactly eight output frames each.
std::uint64_t outputFrames(std::uint64_t sourceFrames, int rate);

class SoundDecoder {
public:
    explicit SoundDecoder(const format::SoundFormat& format);
    // A sound track libavformat found in a media file; its packets are whole codec frames.
    explicit SoundDecoder(const AVCodecParameters& track);
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // False when the codec is unknown or FFmpeg lacks it; decode() then does nothing.
    bool ok() const;
    // Decodes one packet: a whole ADPCM, PCM, Nellymoser or Speex block, or any run
    // of MP3 frames (split into frames here). Damaged packets are counted and skipped.
    void decode(std::span<const std::uint8_t> packet);
    // Drains the decoder and the resampler; call once after the last packet.
    void finish();
    Pcm& output();
    // Packets (or frames) FFmpeg refused.
    std::size_t errors() const;
    // Frames the codec produced so far, at the source rate (before resampling).
    std::uint64_t sourceFrames() const;
    // True once the output reached kMaxDecodedFrames; further input is ignored.
    bool full() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

// A whole DefineSound: MP3 data starts with its seek-samples field (encoder delay to
// skip); the result is cut to the declared sample count when decoding made more.
// `errors` counts what failed; a sound that fails entirely comes back empty.
Pcm decodeSound(const format::SoundCharacter& sound, std::size_t* errors = nullptr);

// A whole MP3 file (any MPEG audio rate, ID3 tags skipped), as far as it decodes.
Pcm decodeMp3File(std::span<const std::uint8_t> file, std::size_t* errors = nullptr);

} // namespace swf::audio
