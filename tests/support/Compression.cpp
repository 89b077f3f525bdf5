#include "Compression.h"

#include <lzma.h>
#include <stdexcept>
#include <string>
#include <zlib.h>

namespace orvane::testing {

std::vector<std::uint8_t> zlibCompress(std::span<const std::uint8_t> data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    const int rc =
        compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
    if (rc != Z_OK)
        throw std::runtime_error("zlib compression failed: " + std::to_string(rc));
    out.resize(size);
    return out;
}

SwfLzma lzmaCompress(std::span<const std::uint8_t> data) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        throw std::runtime_error("lzma preset unavailable");
    // Test movies are small; a 1 MiB dictionary keeps encoder and decoder memory modest.
    options.dict_size = 1u << 20;
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK)
        throw std::runtime_error("lzma encoder set-up failed");

    // The .lzma container is 5 property bytes, an 8-byte size, then the raw stream.
    std::vector<std::uint8_t> out(data.size() + data.size() / 2 + 4096);
    stream.next_in = data.data();
    stream.avail_in = data.size();
    stream.next_out = out.data();
    stream.avail_out = out.size();
    lzma_ret rc;
    while ((rc = lzma_code(&stream, LZMA_FINISH)) == LZMA_OK) {
        if (stream.avail_out != 0)
            continue;
        const std::size_t used = out.size();
        out.resize(out.size() * 2);
        stream.next_out = out.data() + used;
        stream.avail_out = out.size() - used;
    }
    const std::size_t produced = out.size() - stream.avail_out;
    lzma_end(&stream);
    if (rc != LZMA_STREAM_END || produced < 13)
        throw std::runtime_error("lzma compression failed: " + std::to_string(rc));
    SwfLzma result;
    result.properties.assign(out.begin(), out.begin() + 5);
    result.data.assign(out.begin() + 13, out.begin() + produced);
    return result;
}

} // namespace orvane::testing
