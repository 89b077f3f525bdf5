#include "swf/audio/Mp3Gapless.h"

#include <cstring>

namespace swf::audio {

namespace {

std::uint32_t big32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

} // namespace

std::uint64_t Mp3Gapless::skipSamples() const {
    if (!infoFrame)
        return 0;
    return frameSamples + (delay > 0 || padding > 0 ? delay + kMp3DecoderDelay : 0);
}

Mp3Gapless readMp3Gapless(std::span<const std::uint8_t> frames) {
    Mp3Gapless g;
    if (frames.size() < 4 || frames[0] != 0xFF || (frames[1] & 0xE0) != 0xE0)
        return g;
    const int version = (frames[1] >> 3) & 3; // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    const int layer = (frames[1] >> 1) & 3;   // 1: layer III
    const bool crc = (frames[1] & 1) == 0;
    const int rateIndex = (frames[2] >> 2) & 3;
    const bool mono = (frames[3] >> 6) == 3;
    static constexpr int kRates[3] = {44100, 48000, 32000};
    if (version == 1 || layer != 1 || rateIndex == 3)
        return g;
    g.sampleRate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    g.frameSamples = version == 3 ? 1152 : 576;
    // The Xing/Info tag follows the header, the CRC and the side information.
    const std::size_t sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    std::size_t at = 4 + (crc ? 2 : 0) + sideInfo;
    if (frames.size() < at + 8 || (std::memcmp(&frames[at], "Xing", 4) != 0 && std::memcmp(&frames[at], "Info", 4) != 0))
        return g;
    g.infoFrame = true;
    const std::uint32_t flags = big32(&frames[at + 4]);
    at += 8;
    at += (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    // The extension: a 9-byte encoder name, then 12 bytes of other facts, then the delay
    // and the padding, 12 bits each.
    constexpr std::size_t kDelayAt = 21;
    if (frames.size() < at + kDelayAt + 3)
        return g;
    const std::uint8_t* d = &frames[at + kDelayAt];
    g.delay = std::uint32_t(d[0]) << 4 | d[1] >> 4;
    g.padding = std::uint32_t(d[1] & 0x0F) << 8 | d[2];
    return g;
}

} // namespace swf::audio
