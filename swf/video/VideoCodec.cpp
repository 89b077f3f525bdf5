#include "swf/video/VideoCodec.h"

#include <cstddef>

namespace swf::video {

namespace {

// Most significant bit first, as every video header is written. Reads past the end give
// zeros and clear ok.
class HeaderBits {
public:
    explicit HeaderBits(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint32_t take(int count) {
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            const std::size_t byte = m_pos >> 3;
            if (byte >= m_bytes.size()) {
                m_ok = false;
                return 0;
            }
            v = v << 1 | ((m_bytes[byte] >> (7 - (m_pos & 7))) & 1u);
            ++m_pos;
        }
        return v;
    }
    bool ok() const { return m_ok; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Sorenson H.263 picture header: start code (17 bits), version (5), temporal reference (8),
// picture size (3; 0 and 1 are followed by an explicit width and height of 8 or 16 bits),
// then the picture type (2): 0 intra, 1 inter, 2 disposable inter.
bool h263Keyframe(std::span<const std::uint8_t> packet) {
    HeaderBits bits(packet);
    if (bits.take(17) != 1)
        return false;
    bits.take(5 + 8);
    const std::uint32_t size = bits.take(3);
    if (size == 0)
        bits.take(16);
    else if (size == 1)
        bits.take(32);
    return bits.take(2) == 0 && bits.ok();
}

// Screen video: block width (4 bits, in 16s minus one), image width (12), block height (4),
// image height (12), then per block a 16-bit size and that many bytes; a block of size 0 is
// unchanged from the previous picture, so a keyframe has every block.
bool screenVideoKeyframe(std::span<const std::uint8_t> packet, bool version2) {
    HeaderBits bits(packet);
    const std::uint32_t blockW = (bits.take(4) + 1) * 16, imageW = bits.take(12);
    const std::uint32_t blockH = (bits.take(4) + 1) * 16, imageH = bits.take(12);
    if (!bits.ok() || imageW == 0 || imageH == 0)
        return false;
    std::size_t at = 4;
    if (version2) {
        if (at >= packet.size())
            return false;
        const bool palette = packet[at] & 1;
        ++at;
        if (palette)
            return false; // palette pictures are not decoded; never start a seek there
    }
    const std::size_t blocks = std::size_t((imageW + blockW - 1) / blockW) * ((imageH + blockH - 1) / blockH);
    for (std::size_t i = 0; i < blocks; ++i) {
        if (at + 2 > packet.size())
            return false;
        const std::size_t size = std::size_t(packet[at]) << 8 | packet[at + 1];
        if (size == 0)
            return false;
        if (version2 && (packet[at + 2] & 0x05) != 0)
            return false; // diff blocks, or zlib primed with the previous picture
        at += 2 + size;
    }
    return at <= packet.size();
}

// VP6: the first header bit is the frame mode, 0 for an intra frame. The alpha variant
// puts a 24-bit offset to its alpha plane first.
bool vp6Keyframe(std::span<const std::uint8_t> packet, bool alpha) {
    const std::size_t at = alpha ? 3 : 0;
    return packet.size() > at + 1 && (packet[at] & 0x80) == 0;
}

} // namespace

bool isKeyframe(std::uint8_t codec, std::span<const std::uint8_t> packet) {
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263:
        return h263Keyframe(packet);
    case VideoCodec::ScreenVideo:
        return screenVideoKeyframe(packet, false);
    case VideoCodec::ScreenVideo2:
        return screenVideoKeyframe(packet, true);
    case VideoCodec::Vp6:
        return vp6Keyframe(packet, false);
    case VideoCodec::Vp6Alpha:
        return vp6Keyframe(packet, true);
    case VideoCodec::H264:
        break; // FLV marks its H.264 keyframes in the tag header; packets alone do not say
    }
    return false;
}

} // namespace swf::video
