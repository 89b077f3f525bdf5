#include "swf/audio/SoundDecoder.h"

#include "swf/audio/Id3Tags.h"
#include "swf/audio/Mp3Gapless.h"
#include "swf/audio/SpeexFrames.h"
#include "swf/io/ByteReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace swf::audio {

using format::SoundCodec;

namespace {

// Codec id for a SWF codec number, AV_CODEC_ID_NONE for numbers SWF does not define.
AVCodecID codecFor(const format::SoundFormat& f) {
    switch (static_cast<SoundCodec>(f.codec)) {
    case SoundCodec::PcmNative: // "native" order is the little-endian one of the machines that wrote SWF
    case SoundCodec::PcmLittleEndian:
        return f.sixteenBit ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_PCM_U8;
    case SoundCodec::Adpcm:
        return AV_CODEC_ID_ADPCM_SWF;
    case SoundCodec::Mp3:
        return AV_CODEC_ID_MP3;
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
        return AV_CODEC_ID_NELLYMOSER;
    case SoundCodec::Speex:
        return AV_CODEC_ID_SPEEX;
    }
    return AV_CODEC_ID_NONE;
}

bool isMonoOnly(const format::SoundFormat& f) {
    switch (static_cast<SoundCodec>(f.codec)) {
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
    case SoundCodec::Speex:
        return true;
    default:
        return false;
    }
}

} // namespace

int sourceRate(const format::SoundFormat& f) {
    switch (static_cast<SoundCodec>(f.codec)) {
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Speex: // Speex in SWF is always wideband
        return 16000;
    case SoundCodec::Nellymoser8k:
        return 8000;
    default:
        return f.sampleRate > 0 ? f.sampleRate : 5512;
    }
}

std::uint64_t outputFrames(std::uint64_t sourceFrames, int rate) {
    if (rate == 5512)
        return sourceFrames * 8;
    if (rate <= 0)
        return 0;
    return sourceFrames * kOutputRate / static_cast<std::uint64_t>(rate);
}

struct SoundDecoder::State {
    format::SoundFormat format;
    const AVCodec* codec = nullptr;
    AVCodecContext* ctx = nullptr;
    AVCodecParserContext* parser = nullptr; // MP3 only
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    int swrRate = 0, swrChannels = 0, swrFormat = -1;
    Pcm out;
    std::vector<std::int16_t> scratch;
    std::size_t errors = 0;
    std::uint64_t sourceFrames = 0;

    ~State() {
        swr_free(&swr);
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (parser)
            av_parser_close(parser);
        avcodec_free_context(&ctx);
    }

    bool full() const { return out.frames() >= kMaxDecodedFrames; }

    // The output rate handed to the resampler: 5,512 Hz sources go to 44,096 so that
    // every source frame becomes exactly eight output frames.
    static int resampleRate(int inRate) { return inRate == 5512 ? 44096 : kOutputRate; }

    bool prepareResampler(const AVFrame& f) {
        const int channels = f.ch_layout.nb_channels;
        if (swr && swrRate == f.sample_rate && swrChannels == channels && swrFormat == f.format)
            return true;
        if (swr)
            drainResampler();
        swr_free(&swr);
        AVChannelLayout inLayout, outLayout;
        av_channel_layout_default(&inLayout, channels);
        av_channel_layout_default(&outLayout, channels);
        if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, resampleRate(f.sample_rate), &inLayout,
                                static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr) < 0 ||
            swr_init(swr) < 0) {
            swr_free(&swr);
            return false;
        }
        swrRate = f.sample_rate;
        swrChannels = channels;
        swrFormat = f.format;
        return true;
    }

    // Runs the resampler on `in` (null drains it) and appends what comes out. The
    // resampler keeps the channel count: a mono signal is copied to both sides here,
    // at full level, rather than spread at -3 dB as a down/up-mix would.
    void resample(const std::uint8_t** in, int inFrames) {
        if (!swr)
            return;
        const int room = swr_get_out_samples(swr, inFrames);
        if (room <= 0)
            return;
        scratch.resize(static_cast<std::size_t>(room) * swrChannels);
        std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(scratch.data());
        const int made = swr_convert(swr, &dst, room, in, inFrames);
        const std::size_t have = out.frames();
        const std::size_t allowed = kMaxDecodedFrames - std::min(have, kMaxDecodedFrames);
        const std::size_t kept = made > 0 ? std::min<std::size_t>(made, allowed) : 0;
        out.samples.resize((have + kept) * kOutputChannels);
        std::int16_t* to = out.samples.data() + have * kOutputChannels;
        for (std::size_t i = 0; i < kept; ++i) {
            to[i * 2] = scratch[i * swrChannels];
            to[i * 2 + 1] = scratch[i * swrChannels + (swrChannels - 1)];
        }
    }

    void drainResampler() { resample(nullptr, 0); }

    void receiveFrames() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0 || frame->nb_samples <= 0 ||
                frame->ch_layout.nb_channels > 2 || !prepareResampler(*frame)) {
                ++errors;
            } else if (!full()) {
                sourceFrames += static_cast<std::uint64_t>(frame->nb_samples);
                resample(const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
            }
            av_frame_unref(frame);
        }
    }

    // Makes the codec context; `setUp` fills in what the codec needs before it opens.
    template <typename SetUp>
    bool open(AVCodecID id, SetUp setUp) {
        // Damaged sound data is normal input: it is counted, not logged packet by packet.
        av_log_set_level(AV_LOG_QUIET);
        codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
        if (!codec)
            return false;
        ctx = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!ctx || !packet || !frame || !setUp(*ctx) || avcodec_open2(ctx, codec, nullptr) < 0) {
            avcodec_free_context(&ctx);
            return false;
        }
        return true;
    }

    void send(const std::uint8_t* data, int size) {
        packet->data = const_cast<std::uint8_t*>(data);
        packet->size = size;
        if (avcodec_send_packet(ctx, size > 0 ? packet : nullptr) < 0)
            ++errors;
        receiveFrames();
    }
};

SoundDecoder::SoundDecoder(const format::SoundFormat& format) : m(std::make_unique<State>()) {
    m->format = format;
    const AVCodecID id = codecFor(format);
    const bool opened = m->open(id, [&format](AVCodecContext& ctx) {
        ctx.sample_rate = sourceRate(format);
        av_channel_layout_default(&ctx.ch_layout, format.stereo && !isMonoOnly(format) ? 2 : 1);
        return true;
    });
    if (opened && id == AV_CODEC_ID_MP3)
        m->parser = av_parser_init(AV_CODEC_ID_MP3);
}

SoundDecoder::SoundDecoder(const AVCodecParameters& track) : m(std::make_unique<State>()) {
    m->open(track.codec_id,
              [&track](AVCodecContext& ctx) { return avcodec_parameters_to_context(&ctx, &track) >= 0; });
}

SoundDecoder::~SoundDecoder() = default;

bool SoundDecoder::ok() const {
    return m->ctx != nullptr;
}

void SoundDecoder::decode(std::span<const std::uint8_t> data) {
    if (!m->ctx || data.empty() || m->full())
        return;
    // FFmpeg may read a little past the end of a packet: hand it a padded copy.
    std::vector<std::uint8_t> padded(data.begin(), data.end());
    padded.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    if (m->codec->id == AV_CODEC_ID_SPEEX) {
        // The decoder takes one frame a packet; the rest of a packet would be lost.
        for (const auto frame : splitSpeexFrames(std::span<const std::uint8_t>(padded.data(), data.size())))
            if (!m->full())
                m->send(frame.data(), static_cast<int>(frame.size()));
        return;
    }
    if (!m->parser) {
        m->send(padded.data(), static_cast<int>(data.size()));
        return;
    }
    const std::uint8_t* p = padded.data();
    int left = static_cast<int>(data.size());
    while (left > 0 && !m->full()) {
        std::uint8_t* frame = nullptr;
        int frameSize = 0;
        const int used = av_parser_parse2(m->parser, m->ctx, &frame, &frameSize, p, left, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++m->errors;
            break;
        }
        p += used;
        left -= used;
        if (frameSize > 0)
            m->send(frame, frameSize);
        if (used == 0 && frameSize == 0)
            break;
    }
}

void SoundDecoder::finish() {
    if (!m->ctx)
        return;
    if (m->parser) {
        std::uint8_t* frame = nullptr;
        int frameSize = 0;
        av_parser_parse2(m->parser, m->ctx, &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (frameSize > 0)
            m->send(frame, frameSize);
    }
    m->send(nullptr, 0);
    m->drainResampler();
}

Pcm& SoundDecoder::output() {
    return m->out;
}

std::size_t SoundDecoder::errors() const {
    return m->errors + (m->ctx ? 0 : 1);
}

std::uint64_t SoundDecoder::sourceFrames() const {
    return m->sourceFrames;
}

bool SoundDecoder::full() const {
    return m->full();
}

namespace {

// Drops `skip` frames from the front and keeps at most `keep` frames.
void trim(Pcm& pcm, std::uint64_t skip, std::uint64_t keep) {
    const std::size_t frames = pcm.frames();
    const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(skip, frames));
    const std::size_t to = static_cast<std::size_t>(std::min<std::uint64_t>(frames, from + keep));
    pcm.samples.erase(pcm.samples.begin() + static_cast<std::ptrdiff_t>(to * kOutputChannels), pcm.samples.end());
    pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + static_cast<std::ptrdiff_t>(from * kOutputChannels));
}

} // namespace

Pcm decodeSound(const format::SoundCharacter& sound, std::size_t* errors) {
    SoundDecoder decoder(sound.format);
    std::span<const std::uint8_t> data(sound.data);
    std::uint64_t skip = 0;
    if (sound.format.codec == static_cast<std::uint8_t>(SoundCodec::Mp3)) {
        io::ByteReader r(data);
        const std::int16_t seek = r.s16();
        skip = seek > 0 ? static_cast<std::uint64_t>(seek) : 0;
        data = data.subspan(std::min<std::size_t>(2, data.size()));
    }
    decoder.decode(data);
    decoder.finish();
    if (errors)
        *errors = decoder.errors();
    Pcm pcm = std::move(decoder.output());
    const int rate = sourceRate(sound.format);
    const std::uint64_t declared = outputFrames(sound.sampleCount, rate);
    trim(pcm, outputFrames(skip, rate), declared > 0 ? declared : pcm.frames());
    return pcm;
}

// The decoder takes the rate and channels from the frames themselves. A file that says
// where its music lies (a Xing/Info frame) plays only that.
Pcm decodeMp3File(std::span<const std::uint8_t> file, std::size_t* errors) {
    format::SoundFormat mp3;
    mp3.codec = static_cast<std::uint8_t>(SoundCodec::Mp3);
    mp3.sampleRate = kOutputRate;
    mp3.stereo = true;
    SoundDecoder decoder(mp3);
    const auto frames = mp3Frames(file);
    decoder.decode(frames);
    decoder.finish();
    if (errors)
        *errors = decoder.errors();
    Pcm pcm = std::move(decoder.output());
    const Mp3Gapless gapless = readMp3Gapless(frames);
    if (gapless.infoFrame && gapless.sampleRate > 0) {
        const std::uint64_t decoded = decoder.sourceFrames();
        const std::uint64_t skip = gapless.skipSamples();
        // The decoder's delay moves the end as it moves the start.
        const std::uint64_t trailing =
            gapless.delay || gapless.padding ? std::max<std::uint64_t>(gapless.padding, kMp3DecoderDelay) - kMp3DecoderDelay
                                             : 0;
        const std::uint64_t keep = decoded > skip + trailing ? decoded - skip - trailing : 0;
        trim(pcm, outputFrames(skip, gapless.sampleRate), keep ? outputFrames(keep, gapless.sampleRate) : pcm.frames());
    }
    return pcm;
}

} // namespace swf::audio
