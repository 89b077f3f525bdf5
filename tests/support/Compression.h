#pragma once
// Compressors for test movies and bitmap data.

#include <cstdint>
#include <span>
#include <vector>

namespace orvane::testing {

// One zlib stream (RFC 1950), as in CWS bodies and bitmap data.
std::vector<std::uint8_t> zlibCompress(std::span<const std::uint8_t> data);

// LZMA as a ZWS file stores it: 5 property bytes (lc/lp/pb, dictionary size), then the raw
// LZMA1 data, ending with an end marker.
struct SwfLzma {
    std::vector<std::uint8_t> properties; // 5 bytes
    std::vector<std::uint8_t> data;
};
SwfLzma lzmaCompress(std::span<const std::uint8_t> data);

} // namespace orvane::testing
