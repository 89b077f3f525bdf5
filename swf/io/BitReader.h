#pragma once
// MSB-first bit fields (UB, SB, FB) pulled from a ByteReader one byte at a time, so
// the byte reader's bounds and failure flag cover bit-packed records too. Bytes are
// taken only when a field needs them; after align() (or when the BitReader goes
// away) the byte reader stands on the byte after the last partly used one.

#include "swf/io/ByteReader.h"

#include <cstdint>

namespace swf::io {

class BitReader {
public:
    explicit BitReader(ByteReader& bytes) : m_bytes(bytes) {}

    // Unsigned field of n bits (n <= 32; UB[0] is 0 and reads nothing).
    std::uint32_t ub(unsigned n) {
        if (n > 32) {
            m_bytes.fail();
            return 0;
        }
        std::uint64_t value = 0;
        while (n > 0) {
            if (m_bitsLeft == 0) {
                m_current = m_bytes.u8();
                m_bitsLeft = 8;
            }
            unsigned take = n < m_bitsLeft ? n : m_bitsLeft;
            unsigned shift = m_bitsLeft - take;
            std::uint32_t chunk = (m_current >> shift) & ((1u << take) - 1u);
            value = (value << take) | chunk;
            m_bitsLeft -= take;
            n -= take;
        }
        return static_cast<std::uint32_t>(value);
    }

    // Signed field of n bits, sign-extended from bit n-1.
    std::int32_t sb(unsigned n) {
        if (n == 0)
            return 0;
        std::uint32_t raw = ub(n);
        if (n < 32 && (raw & (1u << (n - 1))))
            raw |= ~((1u << n) - 1u);
        return static_cast<std::int32_t>(raw);
    }

    // 16.16 fixed point in n bits.
    double fb(unsigned n) { return sb(n) / 65536.0; }

    bool flag() { return ub(1) != 0; }

    // Drops the rest of the current byte.
    void align() { m_bitsLeft = 0; }

    bool ok() const { return m_bytes.ok(); }

private:
    ByteReader& m_bytes;
    std::uint8_t m_current = 0;
    unsigned m_bitsLeft = 0;
};

} // namespace swf::io
