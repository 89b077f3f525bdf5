#include "swf/video/EmbeddedVideo.h"

#include "swf/video/VideoCodec.h"

#include <algorithm>

namespace swf::video {

EmbeddedVideo::EmbeddedVideo(const format::VideoStreamCharacter& stream, std::size_t cacheBytes)
    : m_stream(stream), m_cacheLimit(cacheBytes) {
    m_packets.reserve(stream.frames.size());
    for (const auto& [number, bytes] : stream.frames)
        m_packets.push_back({number, bytes, isKeyframe(stream.codec, bytes)});
}

EmbeddedVideo::~EmbeddedVideo() = default;

std::size_t EmbeddedVideo::keyframeCount() const {
    return static_cast<std::size_t>(std::count_if(m_packets.begin(), m_packets.end(), [](const Packet& p) { return p.keyframe; }));
}

int EmbeddedVideo::packetAt(int number) const {
    auto after = std::upper_bound(m_packets.begin(), m_packets.end(), number,
                                  [](int n, const Packet& p) { return n < p.number; });
    return static_cast<int>(after - m_packets.begin()) - 1;
}

int EmbeddedVideo::startFor(int index) const {
    int key = index;
    while (key > 0 && !m_packets[key].keyframe)
        --key;
    // Going on from where the decoder stands is as right as restarting, and cheaper.
    if (m_decoded >= key && m_decoded < index)
        return m_decoded + 1;
    return key;
}

std::shared_ptr<const timeline::Pixels> EmbeddedVideo::cached(int index) {
    auto it = std::find_if(m_cache.begin(), m_cache.end(), [index](const Cached& c) { return c.index == index; });
    if (it == m_cache.end())
        return nullptr;
    std::rotate(it, it + 1, m_cache.end()); // now the most recently used
    Cached& entry = m_cache.back();
    if (!entry.pixels) {
        std::shared_ptr<const timeline::Pixels> pixels = m_decoder->convert(*entry.decoded);
        entry.pixels = pixels ? pixels : greyPicture(m_stream.width, m_stream.height);
        entry.decoded.reset();
        m_cacheBytes -= entry.bytes;
        entry.bytes = entry.pixels->argb.size() * 4;
        m_cacheBytes += entry.bytes;
        std::shared_ptr<const timeline::Pixels> shown = entry.pixels;
        evict();
        return shown;
    }
    return entry.pixels;
}

void EmbeddedVideo::remember(Cached entry) {
    auto it = std::find_if(m_cache.begin(), m_cache.end(), [&](const Cached& c) { return c.index == entry.index; });
    if (it != m_cache.end()) {
        m_cacheBytes -= it->bytes;
        m_cache.erase(it);
    }
    m_cacheBytes += entry.bytes;
    m_cache.push_back(std::move(entry));
    evict();
}

void EmbeddedVideo::evict() {
    std::size_t drop = 0;
    while (m_cache.size() - drop > 2 && m_cacheBytes > m_cacheLimit)
        m_cacheBytes -= m_cache[drop++].bytes;
    m_cache.erase(m_cache.begin(), m_cache.begin() + static_cast<long>(drop));
}

void EmbeddedVideo::decodeThrough(int index) {
    if (!m_decoder) {
        m_decoder = std::make_unique<VideoDecoder>(
            m_stream.codec, DecoderOptions{m_stream.width, m_stream.height, m_stream.deblocking});
    }
    const int start = startFor(index);
    if (start != m_decoded + 1 || m_decoded < 0) {
        m_decoder->reset();
        ++m_stats.seeks;
    }
    // Only the pictures the cache can hold are kept; the others are decoded for their
    // references alone. Kept pictures are converted when first shown, so a jump pays for
    // one conversion.
    const std::size_t decodedBytes = std::max<std::size_t>(
        std::size_t(std::max<int>(m_stream.width, 1)) * std::max<int>(m_stream.height, 1) * 3 / 2, 1);
    const int keep = static_cast<int>(std::clamp<std::size_t>(m_cacheLimit / decodedBytes, 2, 256));
    for (int i = start; i <= index; ++i) {
        const Packet& p = m_packets[static_cast<std::size_t>(i)];
        ++m_stats.packetsDecoded;
        if (!m_decoder->decode(p.bytes, p.keyframe))
            ++m_stats.decodeErrors;
        m_decoded = i;
        if (i > index - keep) {
            Cached entry{i, m_decoder->snapshot(), nullptr, 0};
            if (entry.decoded)
                entry.bytes = pictureBytes(*entry.decoded);
            else
                entry.pixels = greyPicture(m_stream.width, m_stream.height);
            entry.bytes = std::max<std::size_t>(entry.bytes, 1);
            remember(std::move(entry));
        }
    }
}

std::shared_ptr<const timeline::Pixels> EmbeddedVideo::frame(int number) {
    const int index = packetAt(number);
    if (index < 0)
        return nullptr;
    if (auto hit = cached(index)) {
        ++m_stats.cacheHits;
        return hit;
    }
    decodeThrough(index);
    return cached(index);
}

} // namespace swf::video
