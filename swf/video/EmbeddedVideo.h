#pragma once
// The pictures of one embedded video stream (DefineVideoStream and its VideoFrame tags),
// by stream frame number, in any order. Playing forward decodes each packet once; a jump
// decodes forward from the nearest keyframe at or before the wanted frame; a small cache of
// recent pictures makes stepping back cheap. A frame that cannot be decoded shows the last
// good picture, or grey when there is none.

#include "swf/format/Media.h"
#include "swf/timeline/objects/Pixels.h"
#include "swf/video/VideoDecoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace swf::video {

// Bytes of pictures one stream keeps for stepping back (at least two pictures are kept).
inline constexpr std::size_t kDefaultCacheBytes = std::size_t(24) << 20;

struct EmbeddedVideoStats {
    std::uint64_t packetsDecoded = 0;
    std::uint64_t decodeErrors = 0; // packets that gave no picture
    std::uint64_t cacheHits = 0;
    std::uint64_t seeks = 0;        // decodes restarted from a keyframe
};

class EmbeddedVideo {
public:
    // `stream` must outlive this (it belongs to the movie).
    explicit EmbeddedVideo(const format::VideoStreamCharacter& stream, std::size_t cacheBytes = kDefaultCacheBytes);
    ~EmbeddedVideo();

    // The picture for stream frame `number`: that of the last packet numbered at or before
    // it. Null before the stream's first packet or when it has none.
    std::shared_ptr<const timeline::Pixels> frame(int number);

    const EmbeddedVideoStats& stats() const { return m_stats; }
    std::size_t packetCount() const { return m_packets.size(); }
    std::size_t keyframeCount() const;

private:
    struct Packet {
        int number = 0;
        std::span<const std::uint8_t> bytes;
        bool keyframe = false;
    };

    // Index into m_packets of the last packet at or before `number`, -1 for none.
    int packetAt(int number) const;
    // Where decoding must start to reach packet `index` from the decoder's present state.
    int startFor(int index) const;
    void decodeThrough(int index);
    // A cached picture: held as decoded until it is first shown, converted from then on.
    struct Cached {
        int index = 0;
        std::shared_ptr<const DecodedPicture> decoded;
        std::shared_ptr<const timeline::Pixels> pixels;
        std::size_t bytes = 0;
    };

    void remember(Cached entry);
    // The picture of packet `index` if the cache has it (converted now if need be).
    std::shared_ptr<const timeline::Pixels> cached(int index);
    void evict();

    const format::VideoStreamCharacter& m_stream;
    std::vector<Packet> m_packets; // by number
    std::unique_ptr<VideoDecoder> m_decoder;
    int m_decoded = -1; // the packet the decoder last took, -1 for a fresh decoder
    // Recent pictures, least recently used first (a few dozen: a scan is cheap beside
    // decoding).
    std::vector<Cached> m_cache;
    std::size_t m_cacheBytes = 0, m_cacheLimit = 0;
    EmbeddedVideoStats m_stats;
};

} // namespace swf::video
