#pragma once
// One video stream's decoder: compressed packets in, pictures out as the premultiplied ARGB
// words the renderer draws (timeline::Pixels). Wraps FFmpeg's libavcodec and libswscale;
// nothing about FFmpeg shows in this header. Damaged packets are counted and skipped: the
// last good picture stays.

#include "swf/timeline/objects/Pixels.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct AVCodecParameters;

namespace swf::video {

// A decoded picture as the codec gave it (planar YUV, held by reference, not copied):
// a third of the memory of its conversion, which VideoDecoder::convert makes when needed.
struct DecodedPicture;
std::size_t pictureBytes(const DecodedPicture& picture);

// Pictures with more pixels than this are refused (a damaged header may claim 65535 x 65535).
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t(4096) * 4096;

struct DecoderOptions {
    // The size the container declares; pictures up to 15 pixels larger (whole macroblocks)
    // are cropped to it. 0: keep what the decoder gives.
    int width = 0, height = 0;
    // DefineVideoStream's deblocking field: 1 turns the codec's loop filter off, every
    // other value leaves it as the stream's own header says.
    int deblocking = 0;
};

class VideoDecoder {
public:
    // A decoder for a SWF/FLV codec number; valid() is false for codecs FFmpeg lacks.
    VideoDecoder(std::uint8_t codec, DecoderOptions options);
    // A decoder for a stream libavformat found (NetStream files).
    VideoDecoder(const AVCodecParameters& params, DecoderOptions options);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool valid() const;
    // Feeds one packet; true when a picture came out of it (see picture()). `keyframe` tells
    // decoders that cannot see it in the packet itself; the timestamps (in the container's
    // time base) travel with the picture into nextTimestamp().
    bool decode(std::span<const std::uint8_t> packet, bool keyframe = false, std::optional<std::int64_t> pts = {},
                std::optional<std::int64_t> dts = {});
    // Flushes what the decoder holds back (codecs with reordering); true when a picture came.
    bool drain();
    // The newest picture converted; null before the first one. Each call converts anew, so
    // callers keep what they need.
    std::shared_ptr<timeline::Pixels> picture() const;
    // The newest picture held unconverted; null before the first one.
    std::shared_ptr<const DecodedPicture> snapshot() const;
    std::shared_ptr<timeline::Pixels> convert(const DecodedPicture& picture) const;
    // Queued mode (files played by time): pictures wait, in the order the codec gives them
    // (presentation order), until showNext() takes the next one.
    void setQueued(bool queued);
    // The timestamp (in the packets' time base) of the next waiting picture.
    std::optional<std::int64_t> nextTimestamp() const;
    bool showNext();
    // Forgets every reference picture and the newest picture (before decoding from a
    // keyframe after a seek, so the result does not depend on what was decoded before).
    void reset();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A flat mid-grey picture, shown where a frame cannot be decoded and no earlier one was.
std::shared_ptr<timeline::Pixels> greyPicture(int width, int height);

} // namespace swf::video
