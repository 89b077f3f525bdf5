#pragma once
// Whole-buffer decompression for movie bodies and zlib-packed tag payloads. Output is
// capped by the caller's `wanted`, so a lying header or a bomb cannot make us
// allocate more than the caller decided the data may hold.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace swf::io {

struct Inflated {
    std::vector<std::uint8_t> bytes;
    // True when the stream ended cleanly or `wanted` bytes were produced.
    bool complete = false;
    // Why decoding stopped early (empty when complete).
    std::string error;
};

// Told how many bytes are out so far, every few hundred kilobytes; returning false stops
// decoding with the error "cancelled".
using DecodeProgress = std::function<bool(std::size_t produced)>;

// zlib stream -> at most `wanted` bytes (stops early without error once `wanted` bytes are out).
Inflated inflateZlib(std::span<const std::uint8_t> in, std::size_t wanted, const DecodeProgress& progress = {});

// SWF's LZMA layout as found from file offset 12: 5 property bytes, then raw LZMA1 data.
Inflated decodeSwfLzma(std::span<const std::uint8_t> propsAndData, std::size_t wanted,
                       const DecodeProgress& progress = {});

} // namespace swf::io
