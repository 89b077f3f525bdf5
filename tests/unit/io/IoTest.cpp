#include "swf/io/BitReader.h"
#include "swf/io/BodyStream.h"
#include "swf/io/ByteReader.h"
#include "swf/io/Decompress.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <numeric>

using namespace swf::io;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes zlibCompress(const Bytes& in) {
    uLongf size = compressBound(in.size());
    Bytes out(size);
    compress2(out.data(), &size, in.data(), in.size(), 9);
    out.resize(size);
    return out;
}

// SWF's LZMA layout: the 5 property bytes, then raw LZMA data (no size field).
Bytes swfLzma(const Bytes& in) {
    lzma_options_lzma opts;
    lzma_lzma_preset(&opts, 6);
    lzma_stream strm = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_alone_encoder(&strm, &opts), LZMA_OK);
    Bytes out(in.size() + 1024);
    strm.next_in = in.data();
    strm.avail_in = in.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    EXPECT_EQ(lzma_code(&strm, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(out.size() - strm.avail_out);
    lzma_end(&strm);
    out.erase(out.begin() + 5, out.begin() + 13); // drop the 8-byte size of the .lzma header
    return out;
}

Bytes sample(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 5));
    return b;
}

} // namespace

TEST(ByteReader, ReadsLittleEndianAndFailsStickyPastTheEnd) {
    Bytes data{0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader r(data);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.u16(), 0x0403);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u32(), 0u); // only one byte left: nothing is read
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(r.u8(), 0);
    EXPECT_FALSE(r.ok());
}

TEST(ByteReader, SignedFixedAndEncodedValues) {
    Bytes data{0xFE, 0xFF, 0x00, 0x80, 0x07, 0x00, 0xE5, 0x8E, 0x26, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    ByteReader r(data);
    EXPECT_EQ(r.s16(), -2);
    EXPECT_DOUBLE_EQ(r.fixed16(), 7.5);
    EXPECT_EQ(r.encodedU32(), 624485u);
    EXPECT_EQ(r.encodedU32(), 0xFFFFFFFFu);
    EXPECT_TRUE(r.ok());
}

TEST(ByteReader, StringsAndSubReadersStayInBounds) {
    Bytes data{'a', 'b', 0, 'c', 'd'};
    ByteReader r(data);
    EXPECT_EQ(r.string(), "ab");
    EXPECT_EQ(r.string(), "cd"); // no terminator: what is there, and a failed reader
    EXPECT_FALSE(r.ok());

    ByteReader outer(data);
    ByteReader inner = outer.sub(100); // longer than the data: clamped
    EXPECT_FALSE(outer.ok());
    EXPECT_EQ(inner.size(), data.size());
    EXPECT_TRUE(inner.bytes(6).empty());
    EXPECT_FALSE(inner.ok());

    ByteReader skipper(data);
    EXPECT_FALSE(skipper.skip(6));
    skipper = ByteReader(data);
    skipper.seek(99);
    EXPECT_FALSE(skipper.ok());
    EXPECT_TRUE(skipper.atEnd());
}

TEST(BitReader, FieldsAcrossBytesSignExtensionAndAlignment) {
    Bytes data{0b10110011, 0b11111111, 0b10000000, 0xAA};
    ByteReader r(data);
    BitReader bits(r);
    EXPECT_EQ(bits.ub(5), 0b10110u);
    EXPECT_EQ(bits.ub(0), 0u);
    EXPECT_EQ(bits.sb(12), 2047); // 011 11111111 1: a set top bit would make it negative
    bits.align();
    EXPECT_EQ(r.u8(), 0xAA);
    EXPECT_TRUE(r.ok());
}

TEST(BitReader, SignedValuesAndOverrun) {
    Bytes data{0b11110000, 0x00};
    ByteReader r(data);
    BitReader bits(r);
    EXPECT_EQ(bits.sb(3), -1);
    EXPECT_EQ(bits.sb(1), -1); // a one-bit signed field is 0 or -1
    EXPECT_EQ(bits.ub(12), 0u);
    EXPECT_TRUE(bits.ok());
    EXPECT_EQ(bits.ub(8), 0u); // past the end
    EXPECT_FALSE(bits.ok());

    ByteReader r2(data);
    BitReader wide(r2);
    EXPECT_EQ(wide.ub(33), 0u); // no field is wider than 32 bits
    EXPECT_FALSE(r2.ok());
}

TEST(Decompress, ZlibRoundTripCapAndDamage) {
    Bytes plain = sample(300000);
    Bytes packed = zlibCompress(plain);

    Inflated all = inflateZlib(packed, plain.size());
    EXPECT_TRUE(all.complete);
    EXPECT_EQ(all.bytes, plain);

    Inflated capped = inflateZlib(packed, 1000);
    EXPECT_TRUE(capped.complete);
    EXPECT_EQ(capped.bytes, Bytes(plain.begin(), plain.begin() + 1000));

    Inflated cut = inflateZlib(std::span(packed).first(packed.size() / 2), plain.size());
    EXPECT_FALSE(cut.complete);
    EXPECT_FALSE(cut.error.empty());
    EXPECT_LT(cut.bytes.size(), plain.size());
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), plain.begin()));

    Bytes garbage{0x12, 0x34, 0x56, 0x78};
    Inflated bad = inflateZlib(garbage, 100);
    EXPECT_FALSE(bad.complete);
    EXPECT_FALSE(bad.error.empty());
}

TEST(Decompress, ZlibBombStopsAtTheWantedSize) {
    Bytes zeros(64 << 20);
    Bytes packed = zlibCompress(zeros);
    ASSERT_LT(packed.size(), 100000u);
    Inflated out = inflateZlib(packed, 4096);
    EXPECT_TRUE(out.complete);
    EXPECT_EQ(out.bytes.size(), 4096u);
    EXPECT_LE(out.bytes.capacity(), 1u << 20); // never sized for the whole bomb
}

TEST(Decompress, LzmaRoundTripTruncationAndBadProperties) {
    Bytes plain = sample(200000);
    Bytes packed = swfLzma(plain);

    Inflated all = decodeSwfLzma(packed, plain.size());
    EXPECT_TRUE(all.complete) << all.error;
    EXPECT_EQ(all.bytes, plain);

    Inflated capped = decodeSwfLzma(packed, 777);
    EXPECT_TRUE(capped.complete);
    EXPECT_EQ(capped.bytes.size(), 777u);

    Inflated cut = decodeSwfLzma(std::span(packed).first(packed.size() / 3), plain.size());
    EXPECT_FALSE(cut.complete);
    EXPECT_LT(cut.bytes.size(), plain.size());

    Bytes hugeDictionary = packed;
    for (int i = 1; i <= 4; ++i)
        hugeDictionary[i] = 0xFF; // 4 GiB asked for: decoding must not reserve it
    Inflated big = decodeSwfLzma(hugeDictionary, plain.size());
    EXPECT_TRUE(big.complete) << big.error;
    EXPECT_EQ(big.bytes, plain);

    Bytes props = packed;
    props[0] = 250; // lc/lp/pb out of range
    EXPECT_FALSE(decodeSwfLzma(props, 10).complete);
    EXPECT_FALSE(decodeSwfLzma(std::span(packed).first(3), 10).complete);
}

namespace {

// Feeds `stored` to a BodyStream in slices of `slice` bytes, as a file read would.
BodyStream::Source sliced(const Bytes& stored, std::size_t slice) {
    auto at = std::make_shared<std::size_t>(0);
    return [&stored, slice, at](std::uint8_t* into, std::size_t max, std::string&) {
        const std::size_t n = std::min({max, slice, stored.size() - *at});
        std::copy_n(stored.begin() + static_cast<std::ptrdiff_t>(*at), n, into);
        *at += n;
        return n;
    };
}

Bytes noise(std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    return out;
}

} // namespace

// Every codec gives back the body whatever the read and skip sizes, and never goes past
// its limit; whether more lay beyond the limit is told at the end.
TEST(BodyStream, ReadsSkipsAndStopsAtItsLimit) {
    const Bytes body = noise(700'000);
    const Bytes zlib = zlibCompress(body), lzma = swfLzma(body);
    const std::pair<BodyStream::Codec, const Bytes*> kinds[] = {
        {BodyStream::Codec::None, &body}, {BodyStream::Codec::Zlib, &zlib}, {BodyStream::Codec::SwfLzma, &lzma}};
    for (const auto& [codec, stored] : kinds) {
        for (std::size_t slice : {std::size_t(1), std::size_t(7), std::size_t(100'000)}) {
            BodyStream in(codec, sliced(*stored, slice), body.size());
            Bytes got(3);
            ASSERT_EQ(in.read(got.data(), 3), 3u);
            EXPECT_EQ(in.skip(300'000), 300'000u);
            got.resize(3 + 100);
            ASSERT_EQ(in.read(got.data() + 3, 100), 100u);
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 3, body.begin()));
            EXPECT_TRUE(std::equal(got.begin() + 3, got.end(), body.begin() + 300'003));
            EXPECT_EQ(in.skip(UINT64_MAX), body.size() - 300'103);
            EXPECT_EQ(in.position(), body.size());
            EXPECT_TRUE(in.error().empty()) << in.error();
            EXPECT_FALSE(in.pastLimit());
        }
        BodyStream capped(codec, sliced(*stored, 4096), 1000);
        EXPECT_EQ(capped.skip(UINT64_MAX), 1000u);
        EXPECT_TRUE(capped.pastLimit());
    }
}

// A stream cut short or damaged ends with a reason, never with invented bytes.
TEST(BodyStream, DamagedStreamsEndWithAReason) {
    const Bytes body = noise(200'000);
    Bytes zlib = zlibCompress(body), lzma = swfLzma(body);
    const Bytes zlibCut(zlib.begin(), zlib.begin() + static_cast<std::ptrdiff_t>(zlib.size() / 2));
    const Bytes lzmaCut(lzma.begin(), lzma.begin() + static_cast<std::ptrdiff_t>(lzma.size() / 2));
    for (const auto& [codec, stored] :
         {std::pair{BodyStream::Codec::Zlib, &zlibCut}, std::pair{BodyStream::Codec::SwfLzma, &lzmaCut}}) {
        BodyStream in(codec, sliced(*stored, 4096), body.size());
        EXPECT_LT(in.skip(UINT64_MAX), body.size());
        EXPECT_NE(in.error().find("ends early"), std::string::npos) << in.error();
    }
    zlib[0] ^= 0xFF;
    BodyStream bad(BodyStream::Codec::Zlib, sliced(zlib, 4096), body.size());
    EXPECT_EQ(bad.skip(UINT64_MAX), 0u);
    EXPECT_NE(bad.error().find("corrupt"), std::string::npos) << bad.error();
    // A read error of the source is passed on.
    BodyStream failing(
        BodyStream::Codec::None, [](std::uint8_t*, std::size_t, std::string& why) { why = "disk on fire"; return std::size_t(0); },
        100);
    EXPECT_EQ(failing.skip(100), 0u);
    EXPECT_EQ(failing.error(), "disk on fire");
}
