#include "swf/io/Decompress.h"

#include <algorithm>
#include <cstdlib>
#include <lzma.h>
#include <zlib.h>

namespace swf::io {
namespace {

// Output grows in steps instead of trusting `wanted` up front: a header may claim
// a gigabyte for a few bytes of input.
constexpr std::size_t kFirstChunk = 64 * 1024;
// Output is decoded in slices of this size, so progress is told and cancelling is seen
// often even on one huge buffer.
constexpr std::size_t kSlice = 256 * 1024;

std::size_t nextCapacity(std::size_t have, std::size_t wanted) {
    std::size_t grow = std::max<std::size_t>(have, kFirstChunk);
    return std::min(wanted, have + grow);
}

bool cancelled(const DecodeProgress& progress, std::size_t produced, Inflated& out) {
    if (!progress || progress(produced))
        return false;
    out.error = "cancelled";
    return true;
}

// A zlib (windowBits 15) or raw deflate (-15) stream.
Inflated inflateStream(std::span<const std::uint8_t> in, std::size_t wanted, int windowBits,
                       const DecodeProgress& progress) {
    Inflated out;
    if (wanted == 0) {
        out.complete = true;
        return out;
    }
    z_stream zs{};
    if (inflateInit2(&zs, windowBits) != Z_OK) {
        out.error = "zlib initialisation failed";
        return out;
    }
    zs.next_in = const_cast<Bytef*>(in.data());
    std::size_t inLeft = in.size();
    std::size_t produced = 0;
    int rc = Z_OK;
    while (produced < wanted) {
        if (produced == out.bytes.size())
            out.bytes.resize(nextCapacity(produced, wanted));
        // zlib counts in uInt; feed and drain in slices that fit.
        uInt inSlice = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
        uInt outSlice = static_cast<uInt>(std::min<std::size_t>(out.bytes.size() - produced, kSlice));
        zs.avail_in = inSlice;
        zs.next_out = out.bytes.data() + produced;
        zs.avail_out = outSlice;
        rc = inflate(&zs, Z_NO_FLUSH);
        inLeft -= inSlice - zs.avail_in;
        produced += outSlice - zs.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_BUF_ERROR && inLeft == 0 && zs.avail_out != 0) {
            out.error = "compressed data ends early";
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            out.error =
                zs.msg ? std::string("corrupt compressed data: ") + zs.msg : "corrupt compressed data";
            break;
        }
        if (rc == Z_BUF_ERROR && zs.avail_out != 0) {
            out.error = "compressed data ends early";
            break;
        }
        if (cancelled(progress, produced, out))
            break;
    }
    inflateEnd(&zs);
    out.bytes.resize(produced);
    out.complete = out.error.empty();
    return out;
}

} // namespace

Inflated inflateZlib(std::span<const std::uint8_t> in, std::size_t wanted, const DecodeProgress& progress) {
    return inflateStream(in, wanted, MAX_WBITS, progress);
}

Inflated inflateRaw(std::span<const std::uint8_t> in, std::size_t wanted) {
    return inflateStream(in, wanted, -MAX_WBITS, {});
}

Inflated decodeLzmaAlone(std::span<const std::uint8_t> in, std::size_t wanted) {
    if (in.size() < 13) {
        Inflated out;
        out.error = "LZMA header missing";
        return out;
    }
    std::vector<std::uint8_t> propsAndData(in.begin(), in.begin() + 5);
    propsAndData.insert(propsAndData.end(), in.begin() + 13, in.end());
    return decodeSwfLzma(propsAndData, wanted);
}

std::vector<std::uint8_t> deflateBytes(std::span<const std::uint8_t> in, bool raw) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, raw ? -MAX_WBITS : MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::vector<std::uint8_t> out(deflateBound(&zs, static_cast<uLong>(in.size())));
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(rc == Z_STREAM_END ? zs.total_out : 0);
    deflateEnd(&zs);
    return out;
}

std::vector<std::uint8_t> encodeLzmaAlone(std::span<const std::uint8_t> in) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, LZMA_PRESET_DEFAULT))
        return {};
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &options) != LZMA_OK)
        return {};
    std::vector<std::uint8_t> out(in.size() + in.size() / 2 + 1024);
    strm.next_in = in.data();
    strm.avail_in = in.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret rc = lzma_code(&strm, LZMA_FINISH);
    out.resize(rc == LZMA_STREAM_END ? strm.total_out : 0);
    lzma_end(&strm);
    // The header's size field says "unknown"; readers that want the size find it there.
    for (std::size_t k = 0; k < 8 && out.size() >= 13; ++k)
        out[5 + k] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(in.size()) >> (8 * k));
    return out;
}

Inflated decodeSwfLzma(std::span<const std::uint8_t> propsAndData, std::size_t wanted,
                       const DecodeProgress& progress) {
    Inflated out;
    if (propsAndData.size() < 5) {
        out.error = "LZMA properties missing";
        return out;
    }
    lzma_filter filters[2];
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    filters[1].options = nullptr;
    if (lzma_properties_decode(&filters[0], nullptr, propsAndData.data(), 5) != LZMA_OK) {
        out.error = "bad LZMA properties";
        return out;
    }
    // The header may ask for a 4 GiB dictionary; no match can reach further back than
    // the output we will ever produce, so a dictionary of that size decodes the same.
    auto* lzmaOptions = static_cast<lzma_options_lzma*>(filters[0].options);
    std::size_t dictCap = std::max<std::size_t>(wanted, LZMA_DICT_SIZE_MIN);
    if (lzmaOptions->dict_size > dictCap)
        lzmaOptions->dict_size = static_cast<std::uint32_t>(dictCap);
    lzma_stream strm = LZMA_STREAM_INIT;
    lzma_ret rc = lzma_raw_decoder(&strm, filters);
    free(filters[0].options); // lzma_properties_decode allocates with malloc by default
    if (rc != LZMA_OK) {
        out.error = rc == LZMA_MEM_ERROR ? "LZMA dictionary too large" : "LZMA initialisation failed";
        return out;
    }
    if (wanted == 0) {
        lzma_end(&strm);
        out.complete = true;
        return out;
    }
    auto data = propsAndData.subspan(5);
    strm.next_in = data.data();
    strm.avail_in = data.size();
    std::size_t produced = 0;
    while (produced < wanted) {
        if (produced == out.bytes.size())
            out.bytes.resize(nextCapacity(produced, wanted));
        strm.next_out = out.bytes.data() + produced;
        strm.avail_out = std::min(out.bytes.size() - produced, kSlice);
        std::size_t before = strm.avail_out;
        rc = lzma_code(&strm, strm.avail_in ? LZMA_RUN : LZMA_FINISH);
        produced += before - strm.avail_out;
        if (rc == LZMA_STREAM_END)
            break;
        if (rc != LZMA_OK) {
            out.error = rc == LZMA_BUF_ERROR ? "compressed data ends early" : "corrupt LZMA data";
            break;
        }
        if (strm.avail_in == 0 && strm.avail_out != 0 && before == strm.avail_out) {
            out.error = "compressed data ends early";
            break;
        }
        if (cancelled(progress, produced, out))
            break;
    }
    lzma_end(&strm);
    out.bytes.resize(produced);
    out.complete = out.error.empty();
    return out;
}

} // namespace swf::io
