#include "swf/audio/SpeexFrames.h"

namespace swf::audio {

namespace {

// Bits of a frame's narrowband layer by its mode (its 5 header bits included), and of its
// high band by the wideband mode (4 header bits included), as Speex defines them.
constexpr int kNarrowbandBits[9] = {5, 43, 119, 160, 220, 300, 364, 492, 79};
constexpr int kHighBandBits[5] = {4, 36, 112, 192, 352};

// Reads `count` bits from `bit` on, high bit first; -1 past the end.
int bits(std::span<const std::uint8_t> data, std::size_t bit, int count) {
    if (bit + static_cast<std::size_t>(count) > data.size() * 8)
        return -1;
    int v = 0;
    for (int i = 0; i < count; ++i, ++bit)
        v = v << 1 | ((data[bit / 8] >> (7 - bit % 8)) & 1);
    return v;
}

// Bytes of the frame at the start of `data`, or 0 when it cannot be measured.
std::size_t frameBytes(std::span<const std::uint8_t> data) {
    if (bits(data, 0, 1) != 0) // a frame starts with its narrowband layer
        return 0;
    const int mode = bits(data, 1, 4);
    if (mode < 0 || mode > 8)
        return 0;
    std::size_t total = static_cast<std::size_t>(kNarrowbandBits[mode]);
    if (bits(data, total, 1) == 1) {
        const int high = bits(data, total + 1, 3);
        if (high < 0 || high > 4)
            return 0;
        total += static_cast<std::size_t>(kHighBandBits[high]);
    }
    const std::size_t bytes = (total + 7) / 8;
    return bytes <= data.size() ? bytes : 0;
}

} // namespace

std::vector<std::span<const std::uint8_t>> splitSpeexFrames(std::span<const std::uint8_t> data) {
    std::vector<std::span<const std::uint8_t>> frames;
    while (!data.empty()) {
        const std::size_t n = frameBytes(data);
        if (n == 0) {
            frames.push_back(data);
            break;
        }
        frames.push_back(data.first(n));
        data = data.subspan(n);
    }
    return frames;
}

} // namespace swf::audio
