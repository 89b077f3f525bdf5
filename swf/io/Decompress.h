#pragma once
// Whole-buffer decompression for movie bodies, zlib-packed tag payloads and scripts' byte
// arrays (which also compress). Output is
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

// Raw deflate data (no zlib header) -> at most `wanted` bytes.
Inflated inflateRaw(std::span<const std::uint8_t> in, std::size_t wanted);

// The .lzma layout: 5 property bytes, 8 bytes of uncompressed size (not trusted), LZMA1 data.
Inflated decodeLzmaAlone(std::span<const std::uint8_t> in, std::size_t wanted);

// Compression for scripts (ByteArray.compress): a zlib stream, or raw deflate when `raw`;
// empty on failure.
std::vector<std::uint8_t> deflateBytes(std::span<const std::uint8_t> in, bool raw);
// The .lzma layout with the real uncompressed size; empty on failure.
std::vector<std::uint8_t> encodeLzmaAlone(std::span<const std::uint8_t> in);

} // namespace swf::io
