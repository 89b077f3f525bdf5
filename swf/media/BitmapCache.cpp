#include "BitmapCache.h"

namespace swf::media {

const QImage* BitmapCache::image(const void* key, std::uint16_t tagCode, std::span<const std::uint8_t> body,
                                 std::span<const std::uint8_t> jpegTables) {
    auto it = m_images.find(key);
    if (it == m_images.end()) {
        DecodedBitmap decoded = decodeBitmap(tagCode, body, jpegTables, m_limits);
        if (decoded.ok()) {
            ++m_decoded;
            m_bytes += static_cast<std::size_t>(decoded.image.sizeInBytes());
        } else {
            ++m_failed;
            m_lastError = decoded.error;
        }
        it = m_images.emplace(key, std::move(decoded.image)).first;
    }
    return it->second.isNull() ? nullptr : &it->second;
}

void BitmapCache::clear() {
    m_images.clear();
    m_decoded = m_failed = 0;
    m_bytes = 0;
    m_lastError.clear();
}

} // namespace swf::media
