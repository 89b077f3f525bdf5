#pragma once
// Little-endian byte output for tag bodies.

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace orvane::testing {

class ByteWriter {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void s16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void s32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) {
        std::uint32_t raw;
        std::memcpy(&raw, &v, 4);
        u32(raw);
    }
    void f64(double v) {
        std::uint64_t raw;
        std::memcpy(&raw, &v, 8);
        u64(raw);
    }
    // FIXED (16.16) and FIXED8 (8.8).
    void fixed(double v) { s32(static_cast<std::int32_t>(v * 65536.0 + (v < 0 ? -0.5 : 0.5))); }
    void fixed8(double v) { s16(static_cast<std::int16_t>(v * 256.0 + (v < 0 ? -0.5 : 0.5))); }
    // STRING: the bytes and a terminating 0.
    void string(std::string_view s) {
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        u8(0);
    }
    void bytes(std::span<const std::uint8_t> b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); }
    // EncodedU32: 7 bits a byte, low group first.
    void encodedU32(std::uint32_t v) {
        do {
            std::uint8_t b = v & 0x7F;
            v >>= 7;
            if (v != 0)
                b |= 0x80;
            u8(b);
        } while (v != 0);
    }
    void patchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_bytes.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
    }

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace orvane::testing
