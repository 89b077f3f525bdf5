#include "Mp3Blocks.h"

#include <utility>

namespace orvane::testing {

namespace {
constexpr std::size_t kSamplesPerMp3Frame = 1152;
}

std::size_t mp3FrameLength(const std::uint8_t* p, std::size_t available) {
    static constexpr int kBitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    if (available < 4 || p[0] != 0xFF || (p[1] & 0xFE) != 0xFA)
        return 0;
    const int bitrate = kBitrates[p[2] >> 4];
    if (bitrate == 0 || ((p[2] >> 2) & 3) != 0)
        return 0;
    return static_cast<std::size_t>(144 * bitrate * 1000 / 44100 + ((p[2] >> 1) & 1));
}

std::vector<std::vector<std::uint8_t>> mp3StreamBlocks(const std::vector<std::uint8_t>& mp3,
                                                       std::size_t samplesPerFrame) {
    std::vector<std::pair<std::size_t, std::size_t>> frames; // offset, length
    for (std::size_t at = 0; at < mp3.size();) {
        const std::size_t len = mp3FrameLength(&mp3[at], mp3.size() - at);
        if (len == 0)
            return {};
        frames.push_back({at, std::min(len, mp3.size() - at)});
        at += len;
    }
    std::vector<std::vector<std::uint8_t>> blocks;
    std::size_t next = 0;
    for (std::size_t f = 0; next < frames.size(); ++f) {
        const std::size_t start = f * samplesPerFrame, end = start + samplesPerFrame;
        const std::size_t first = next;
        std::vector<std::uint8_t> block(4, 0);
        while (next < frames.size() && next * kSamplesPerMp3Frame < end) {
            block.insert(block.end(), mp3.begin() + static_cast<std::ptrdiff_t>(frames[next].first),
                         mp3.begin() + static_cast<std::ptrdiff_t>(frames[next].first + frames[next].second));
            ++next;
        }
        const auto count = static_cast<std::uint16_t>((next - first) * kSamplesPerMp3Frame);
        const auto seek = static_cast<std::uint16_t>(static_cast<std::int16_t>(start - first * kSamplesPerMp3Frame));
        block[0] = count & 0xFF;
        block[1] = count >> 8;
        block[2] = seek & 0xFF;
        block[3] = seek >> 8;
        blocks.push_back(std::move(block));
    }
    return blocks;
}

} // namespace orvane::testing
