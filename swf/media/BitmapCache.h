#pragma once
// Decoded bitmaps of one movie, decoded on first use and kept for the movie's lifetime.
// A bitmap that does not decode is remembered as such, so it is tried (and counted) once.

#include "BitmapDecoder.h"

#include <QImage>

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

namespace swf::media {

class BitmapCache {
public:
    // `key` identifies the definition (its address in the movie's dictionary).
    // Returns nullptr when the bitmap cannot be decoded.
    const QImage* image(const void* key, std::uint16_t tagCode, std::span<const std::uint8_t> body,
                        std::span<const std::uint8_t> jpegTables);

    void clear();
    int decodedCount() const { return m_decoded; }
    int failedCount() const { return m_failed; }
    const std::string& lastError() const { return m_lastError; }
    std::size_t byteSize() const { return m_bytes; }

    void setLimits(const BitmapLimits& limits) { m_limits = limits; }

private:
    std::unordered_map<const void*, QImage> m_images; // null image = failed
    BitmapLimits m_limits;
    int m_decoded = 0;
    int m_failed = 0;
    std::size_t m_bytes = 0;
    std::string m_lastError;
};

} // namespace swf::media
