#include "BitWriter.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace orvane::testing {

void BitWriter::writeUB(std::uint32_t value, int bits) {
    if (bits < 0 || bits > 32)
        throw std::invalid_argument("bit width out of range: " + std::to_string(bits));
    if (bits < 32 && (value >> bits) != 0)
        throw std::invalid_argument("value " + std::to_string(value) + " does not fit in UB[" +
                                    std::to_string(bits) + "]");
    for (int i = bits - 1; i >= 0; --i) {
        if (m_bitCount % 8 == 0)
            m_bytes.push_back(0);
        if ((value >> i) & 1u)
            m_bytes.back() |= static_cast<std::uint8_t>(0x80u >> (m_bitCount % 8));
        ++m_bitCount;
    }
}

void BitWriter::writeSB(std::int32_t value, int bits) {
    if (bits < 0 || bits > 32)
        throw std::invalid_argument("bit width out of range: " + std::to_string(bits));
    if (bits == 0) {
        if (value != 0)
            throw std::invalid_argument("non-zero value in SB[0]");
        return;
    }
    if (signedBits(value) > bits)
        throw std::invalid_argument("value " + std::to_string(value) + " does not fit in SB[" +
                                    std::to_string(bits) + "]");
    const std::uint32_t raw = static_cast<std::uint32_t>(value);
    const std::uint32_t mask = bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u);
    writeUB(raw & mask, bits);
}

void BitWriter::align() {
    m_bitCount = (m_bitCount + 7) / 8 * 8;
}

void BitWriter::appendBytes(std::span<const std::uint8_t> bytes) {
    align();
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_bitCount += 8ull * bytes.size();
}

std::vector<std::uint8_t> BitWriter::bytes() const {
    return m_bytes;
}

int BitWriter::unsignedBits(std::uint32_t value) {
    int bits = 0;
    while (value != 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

int BitWriter::signedBits(std::int32_t value) {
    if (value == 0)
        return 0;
    const std::uint32_t magnitude =
        value > 0 ? static_cast<std::uint32_t>(value) : ~static_cast<std::uint32_t>(value);
    return unsignedBits(magnitude) + 1;
}

std::int32_t toFixed16(double value) {
    return static_cast<std::int32_t>(std::lround(value * 65536.0));
}

} // namespace orvane::testing
