#pragma once
// Sound definitions and the sound control records. Sample data stays encoded;
// decoding is left to the media layer.

#include "swf/format/Character.h"
#include "swf/format/Records.h"
#include "swf/format/TagCode.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::format {

enum class SoundCodec : std::uint8_t {
    PcmNative = 0,
    Adpcm = 1,
    Mp3 = 2,
    PcmLittleEndian = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

struct SoundFormat {
    std::uint8_t codec = 0; // SoundCodec value; unknown ones are kept as read
    int sampleRate = 5512;
    bool sixteenBit = false;
    bool stereo = false;
};
SoundFormat soundFormatFromByte(std::uint8_t byte);

struct SoundEnvelopePoint {
    std::uint32_t pos44 = 0;
    std::uint16_t left = 0;
    std::uint16_t right = 0;
};

struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    std::optional<std::uint32_t> inPoint;
    std::optional<std::uint32_t> outPoint;
    std::uint16_t loopCount = 1;
    std::vector<SoundEnvelopePoint> envelope;
};
SoundInfo readSoundInfo(io::ByteReader& r);

struct SoundCharacter : Character {
    SoundCharacter() : Character(0, CharacterKind::Sound) {}
    SoundFormat format;
    std::uint32_t sampleCount = 0;
    std::vector<std::uint8_t> data; // encoded samples (MP3 data starts with SeekSamples)
};

struct StartSound {
    std::uint16_t soundId = 0;
    std::string className; // StartSound2
    SoundInfo info;
};

struct SoundStreamHead {
    SoundFormat playback;
    SoundFormat stream;
    std::uint16_t samplesPerBlock = 0;
    std::int16_t latencySeek = 0;
};

std::unique_ptr<SoundCharacter> parseSound(io::ByteReader& r);
bool parseStartSound(TagCode code, io::ByteReader& r, const ParseContext& ctx, StartSound& out);
bool parseSoundStreamHead(io::ByteReader& r, SoundStreamHead& out);

} // namespace swf::format
