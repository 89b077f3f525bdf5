// Parsers for bitmaps (kept raw), sounds, video streams and binary data.

#include "swf/format/Media.h"
#include "swf/format/Sound.h"

namespace swf::format {

// DefineBits, DefineBitsJPEG2/3/4, DefineBitsLossless/2
std::unique_ptr<BitmapCharacter> parseBitmap(TagCode code, io::ByteReader& r) {
    auto bitmap = std::make_unique<BitmapCharacter>();
    bitmap->tag = code;
    bitmap->id = r.u16();
    if (!r.ok())
        return nullptr;
    auto rest = r.rest();
    bitmap->data.assign(rest.begin(), rest.end());
    return bitmap;
}

// DefineVideoStream
std::unique_ptr<VideoStreamCharacter> parseVideoStream(io::ByteReader& r) {
    auto video = std::make_unique<VideoStreamCharacter>();
    video->id = r.u16();
    video->frameCount = r.u16();
    video->width = r.u16();
    video->height = r.u16();
    std::uint8_t flags = r.u8();
    video->deblocking = (flags >> 1) & 7;
    video->smoothing = flags & 1;
    video->codec = r.u8();
    if (!r.ok())
        return nullptr;
    return video;
}

// DefineBinaryData
std::unique_ptr<BinaryDataCharacter> parseBinaryData(io::ByteReader& r) {
    auto bin = std::make_unique<BinaryDataCharacter>();
    bin->id = r.u16();
    r.u32();
    if (!r.ok())
        return nullptr;
    auto rest = r.rest();
    bin->data.assign(rest.begin(), rest.end());
    return bin;
}

SoundFormat soundFormatFromByte(std::uint8_t byte) {
    static constexpr int kRates[4] = {5512, 11025, 22050, 44100};
    SoundFormat f;
    f.codec = byte >> 4;
    f.sampleRate = kRates[(byte >> 2) & 3];
    f.sixteenBit = byte & 0x02;
    f.stereo = byte & 0x01;
    return f;
}

// SOUNDINFO
SoundInfo readSoundInfo(io::ByteReader& r) {
    SoundInfo info;
    std::uint8_t flags = r.u8();
    info.syncStop = flags & 0x20;
    info.syncNoMultiple = flags & 0x10;
    if (flags & 0x01)
        info.inPoint = r.u32();
    if (flags & 0x02)
        info.outPoint = r.u32();
    if (flags & 0x04)
        info.loopCount = r.u16();
    if (flags & 0x08) {
        std::size_t n = r.u8();
        if (n * 8 > r.remaining()) {
            r.fail();
            return info;
        }
        info.envelope.resize(n);
        for (auto& p : info.envelope) {
            p.pos44 = r.u32();
            p.left = r.u16();
            p.right = r.u16();
        }
    }
    return info;
}

// DefineSound
std::unique_ptr<SoundCharacter> parseSound(io::ByteReader& r) {
    auto sound = std::make_unique<SoundCharacter>();
    sound->id = r.u16();
    sound->format = soundFormatFromByte(r.u8());
    sound->sampleCount = r.u32();
    if (!r.ok())
        return nullptr;
    auto rest = r.rest();
    sound->data.assign(rest.begin(), rest.end());
    return sound;
}

// StartSound, StartSound2
bool parseStartSound(TagCode code, io::ByteReader& r, const ParseContext& ctx, StartSound& out) {
    if (code == TagCode::StartSound2)
        out.className = readString(r, ctx);
    else
        out.soundId = r.u16();
    out.info = readSoundInfo(r);
    return r.ok();
}

// SoundStreamHead, SoundStreamHead2
bool parseSoundStreamHead(io::ByteReader& r, SoundStreamHead& out) {
    out.playback = soundFormatFromByte(r.u8() & 0x0F);
    out.stream = soundFormatFromByte(r.u8());
    out.samplesPerBlock = r.u16();
    if (!r.ok())
        return false;
    // Some files leave out the latency field of MP3 streams.
    if (out.stream.codec == static_cast<std::uint8_t>(SoundCodec::Mp3) && r.remaining() >= 2)
        out.latencySeek = r.s16();
    return true;
}

} // namespace swf::format
