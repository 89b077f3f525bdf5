#include "swf/video/VideoDecoder.h"

#include "swf/video/FfmpegCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <deque>

namespace swf::video {

namespace {

constexpr std::size_t kMaxWaiting = 64;

// The cropped size: the declared one when the picture is at most a macroblock larger.
int cropped(int decoded, int declared) {
    return declared > 0 && decoded >= declared && decoded - declared < 16 ? declared : decoded;
}

} // namespace

struct VideoDecoder::State {
    DecoderOptions options;
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;     // scratch for receiving
    AVFrame* newest = nullptr;    // the picture shown: the last that came out, or in queued
                                  // mode the last taken by showUpTo
    bool queued = false;
    std::deque<AVFrame*> waiting; // queued mode: pictures out of the codec, not shown yet
    mutable SwsContext* sws = nullptr;
    bool hasPicture = false;

    ~State() {
        clearWaiting();
        sws_freeContext(sws);
        av_frame_free(&newest);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&ctx);
    }

    void open(AVCodecID id, const AVCodecParameters* params) {
        av_log_set_level(AV_LOG_QUIET);
        const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
        if (!codec)
            return;
        ctx = avcodec_alloc_context3(codec);
        if (!ctx)
            return;
        if (params && avcodec_parameters_to_context(ctx, params) < 0) {
            avcodec_free_context(&ctx);
            return;
        }
        // One core is all a player may assume; threads would also delay pictures.
        ctx->thread_count = 1;
        ctx->max_pixels = kMaxPicturePixels;
        if (options.deblocking == 1)
            ctx->skip_loop_filter = AVDISCARD_ALL;
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        newest = av_frame_alloc();
        if (!packet || !frame || !newest || avcodec_open2(ctx, codec, nullptr) < 0)
            avcodec_free_context(&ctx);
    }

    std::shared_ptr<timeline::Pixels> convert(const AVFrame* frame) const;

    void clearWaiting() {
        for (AVFrame* f : waiting)
            av_frame_free(&f);
        waiting.clear();
    }

    // Takes every picture the codec has ready; true when there was one.
    bool receive() {
        bool got = false;
        while (avcodec_receive_frame(ctx, frame) == 0) {
            if (frame->width <= 0 || frame->height <= 0) {
                av_frame_unref(frame);
                continue;
            }
            got = true;
            if (queued) {
                // A codec that reorders could pile pictures up without end on bad data.
                if (waiting.size() >= kMaxWaiting) {
                    av_frame_unref(frame);
                    continue;
                }
                AVFrame* held = av_frame_alloc();
                if (!held) {
                    av_frame_unref(frame);
                    continue;
                }
                av_frame_move_ref(held, frame);
                waiting.push_back(held);
            } else {
                av_frame_unref(newest);
                av_frame_move_ref(newest, frame);
                hasPicture = true;
            }
        }
        return got;
    }
};

VideoDecoder::VideoDecoder(std::uint8_t codec, DecoderOptions options) : m_state(std::make_unique<State>()) {
    m_state->options = options;
    m_state->open(ffmpegCodec(codec), nullptr);
}

VideoDecoder::VideoDecoder(const AVCodecParameters& params, DecoderOptions options)
    : m_state(std::make_unique<State>()) {
    m_state->options = options;
    m_state->open(params.codec_id, &params);
}

VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::valid() const {
    return m_state->ctx != nullptr;
}

bool VideoDecoder::decode(std::span<const std::uint8_t> bytes, bool keyframe, std::optional<std::int64_t> pts,
                          std::optional<std::int64_t> dts) {
    State& s = *m_state;
    if (!s.ctx || bytes.empty())
        return false;
    // The codec reads up to AV_INPUT_BUFFER_PADDING_SIZE bytes past the end, so it gets a
    // padded copy rather than the movie's bytes.
    if (av_new_packet(s.packet, static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX - 64))) < 0)
        return false;
    std::copy_n(bytes.begin(), s.packet->size, s.packet->data);
    if (keyframe)
        s.packet->flags |= AV_PKT_FLAG_KEY;
    s.packet->pts = pts.value_or(AV_NOPTS_VALUE);
    s.packet->dts = dts.value_or(AV_NOPTS_VALUE);
    const int sent = avcodec_send_packet(s.ctx, s.packet);
    av_packet_unref(s.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN))
        return false;
    return s.receive();
}

bool VideoDecoder::drain() {
    State& s = *m_state;
    if (!s.ctx || avcodec_send_packet(s.ctx, nullptr) < 0)
        return false;
    const bool got = s.receive();
    avcodec_flush_buffers(s.ctx); // accepts packets again
    return got;
}

void VideoDecoder::reset() {
    if (m_state->ctx)
        avcodec_flush_buffers(m_state->ctx);
    av_frame_unref(m_state->newest);
    m_state->clearWaiting();
    m_state->hasPicture = false;
}

void VideoDecoder::setQueued(bool queued) {
    m_state->queued = queued;
}

std::optional<std::int64_t> VideoDecoder::nextTimestamp() const {
    if (m_state->waiting.empty())
        return std::nullopt;
    return m_state->waiting.front()->best_effort_timestamp;
}

bool VideoDecoder::showNext() {
    State& s = *m_state;
    if (s.waiting.empty())
        return false;
    AVFrame* next = s.waiting.front();
    s.waiting.pop_front();
    av_frame_unref(s.newest);
    av_frame_move_ref(s.newest, next);
    av_frame_free(&next);
    s.hasPicture = true;
    return true;
}

std::shared_ptr<timeline::Pixels> VideoDecoder::picture() const {
    return m_state->hasPicture ? m_state->convert(m_state->newest) : nullptr;
}

struct DecodedPicture {
    AVFrame* frame = nullptr;
    ~DecodedPicture() { av_frame_free(&frame); }
};

std::shared_ptr<const DecodedPicture> VideoDecoder::snapshot() const {
    if (!m_state->hasPicture)
        return nullptr;
    auto held = std::make_shared<DecodedPicture>();
    held->frame = av_frame_clone(m_state->newest);
    return held->frame ? held : nullptr;
}

std::shared_ptr<timeline::Pixels> VideoDecoder::convert(const DecodedPicture& picture) const {
    return m_state->convert(picture.frame);
}

std::size_t pictureBytes(const DecodedPicture& picture) {
    std::size_t bytes = 0;
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS && picture.frame->buf[plane]; ++plane)
        bytes += picture.frame->buf[plane]->size;
    return bytes;
}

std::shared_ptr<timeline::Pixels> VideoDecoder::State::convert(const AVFrame* f) const {
    const State& s = *this;
    if (!f || f->width <= 0 || f->height <= 0)
        return nullptr;
    const int w = cropped(f->width, s.options.width), h = cropped(f->height, s.options.height);
    if (std::int64_t(w) * h > kMaxPicturePixels)
        return nullptr;
    s.sws = sws_getCachedContext(s.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                 f->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.sws)
        return nullptr;
    // Converted at full size (chroma planes need whole macroblocks), then cropped.
    std::vector<std::uint32_t> full(std::size_t(f->width) * f->height);
    std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(full.data()), nullptr, nullptr, nullptr};
    int dstStride[4] = {f->width * 4, 0, 0, 0};
    if (sws_scale(s.sws, f->data, f->linesize, 0, f->height, dst, dstStride) != f->height)
        return nullptr;
    auto out = std::make_shared<timeline::Pixels>();
    out->width = w;
    out->height = h;
    out->argb.resize(std::size_t(w) * h);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
    const bool alpha = desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* src = full.data() + std::size_t(y) * f->width;
        std::uint32_t* row = out->argb.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = src[x];
            if (!alpha) {
                row[x] = p | 0xFF000000u;
                continue;
            }
            // The renderer takes premultiplied words; VP6's alpha plane is straight.
            const std::uint32_t a = p >> 24;
            const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            row[x] = a << 24 | mul((p >> 16) & 0xFF) << 16 | mul((p >> 8) & 0xFF) << 8 | mul(p & 0xFF);
        }
    }
    return out;
}

std::shared_ptr<timeline::Pixels> greyPicture(int width, int height) {
    auto grey = std::make_shared<timeline::Pixels>();
    // A damaged stream may declare any size; the grey stand-in stays small and is scaled.
    grey->width = std::clamp(width, 1, 64);
    grey->height = std::clamp(height, 1, 64);
    grey->argb.assign(std::size_t(grey->width) * grey->height, 0xFF808080u);
    return grey;
}

} // namespace swf::video
