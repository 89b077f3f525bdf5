#pragma once
// Turns the raw body of a bitmap definition tag into a premultiplied ARGB image.
// Every format is handed to QImage or zlib; nothing here decodes pixels by hand
// except the lossless layouts, which are plain rows of palette indices or RGB words.

#include <QImage>

#include <cstdint>
#include <span>
#include <string>

namespace swf::media {

// Tag codes of the bitmap definitions this decoder understands.
enum class BitmapTag : std::uint16_t {
    Bits = 6,
    JpegTables = 8,
    Lossless = 20,
    Jpeg2 = 21,
    Jpeg3 = 35,
    Lossless2 = 36,
    Jpeg4 = 90,
};

struct BitmapLimits {
    // A bitmap larger than this in either direction, or in total pixels, is refused
    // before anything is allocated for it.
    int maxSide = 16384;
    std::int64_t maxPixels = 64ll * 1024 * 1024;
};

struct DecodedBitmap {
    QImage image; // Format_ARGB32_Premultiplied; null when decoding failed
    std::string error;
    bool ok() const { return !image.isNull(); }
};

// `body` is the tag body after the character id; `jpegTables` is the movie's
// JPEGTables body (only used by DefineBits).
DecodedBitmap decodeBitmap(std::uint16_t tagCode, std::span<const std::uint8_t> body,
                           std::span<const std::uint8_t> jpegTables, const BitmapLimits& limits = {});

} // namespace swf::media
