#pragma once
// Bit-packed output for SWF records (RECT, MATRIX, CXFORM, shape records): fields are
// written most significant bit first; byte-typed data that follows must be aligned first.

#include <cstdint>
#include <span>
#include <vector>

namespace orvane::testing {

class BitWriter {
public:
    // UB[bits]; bits 0 writes nothing. Throws std::invalid_argument when value does not fit.
    void writeUB(std::uint32_t value, int bits);
    // SB[bits], two's complement. Throws std::invalid_argument when value does not fit.
    void writeSB(std::int32_t value, int bits);
    // FB[bits]: 16.16 fixed point given as its raw integer.
    void writeFB(std::int32_t raw, int bits) { writeSB(raw, bits); }

    // Pads the last partly used byte with zero bits.
    void align();
    // Aligns, then appends whole bytes (style arrays embedded in a shape record stream).
    void appendBytes(std::span<const std::uint8_t> bytes);

    // The bytes written so far, with the last byte padded.
    std::vector<std::uint8_t> bytes() const;
    bool aligned() const { return m_bitCount % 8 == 0; }

    // Smallest widths that hold a value: 0 for 0, otherwise enough bits with sign for SB.
    static int unsignedBits(std::uint32_t value);
    static int signedBits(std::int32_t value);

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_bitCount = 0;
};

// 16.16 fixed point as stored in FB fields and FIXED values.
std::int32_t toFixed16(double value);

} // namespace orvane::testing
