// MP3, ADPCM, Nellymoser and Speex, with data made at test time by FFmpeg's command-line tool (skipped
// where it is not installed). Lossy output is compared with the tone it encodes
// after finding the best alignment: the signal-to-noise ratio must reach the stated
// floor, and the alignment must be within a few samples of where the movie says.

#include "AudioTestSupport.h"
#include "Mp3Blocks.h"
#include "swf/audio/SpeexFrames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace audio_test;

namespace {

namespace fs = std::filesystem;

bool haveFfmpeg() {
    static const bool have = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
    return have;
}

// Encodes mono 44.1 kHz samples with FFmpeg; `args` picks the codec and container.
Bytes encode(const Samples& pcm, const std::string& args, const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("orvane-audio-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path in = dir / (name + ".raw"), out = dir / name;
    {
        std::ofstream f(in, std::ios::binary);
        const Bytes b = le16(pcm);
        f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    const std::string cmd = "ffmpeg -v error -y -f s16le -ar 44100 -ac 1 -i " + in.string() + " -map 0:a " + args +
                            " " + out.string();
    if (std::system(cmd.c_str()) != 0)
        return {};
    std::ifstream f(out, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    fs::remove_all(dir);
    return bytes;
}

struct Fit {
    long lag = 0;
    double snrDb = 0;
};

// Signal-to-noise ratio of the left channel of `mixed` against want[from, to) shifted by `lag`.
double snrAt(const Samples& mixed, const Samples& want, long lag, std::size_t from, std::size_t to) {
    double signal = 0, noise = 0;
    for (std::size_t i = from; i < to; ++i) {
        const long j = static_cast<long>(i) + lag;
        const double got = j >= 0 && static_cast<std::size_t>(j) * 2 < mixed.size() ? mixed[j * 2] : 0;
        signal += static_cast<double>(want[i]) * want[i];
        noise += (got - want[i]) * (got - want[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// Best alignment of the left channel of `mixed` against `want` within +-maxLag frames,
// found on the first 3,000 frames of want[from, to) (default: all but 2,000 frames at
// each end) and measured over all of it.
Fit bestFit(const Samples& mixed, const Samples& want, long maxLag, std::size_t from = 2000, std::size_t to = 0) {
    if (to == 0)
        to = want.size() - 2000;
    Fit best{0, -1e9};
    for (long lag = -maxLag; lag <= maxLag; ++lag)
        if (const double snr = snrAt(mixed, want, lag, from, std::min(to, from + 3000)); snr > best.snrDb)
            best = {lag, snr};
    best.snrDb = snrAt(mixed, want, best.lag, from, to);
    return best;
}

TEST(LossyCodecs, Mp3EventSoundAndStreamMatchTheTone) {
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    // A rising tone: unlike a steady sine it lines up with itself at one lag only.
    Samples tone(22050);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        const double t = static_cast<double>(i) / 44100;
        tone[i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * (300 * t + 1000 * t * t))));
    }
    const Bytes mp3 = encode(tone, "-c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3", "t.mp3");
    ASSERT_FALSE(mp3.empty());
    SoundFormat f = pcm16();
    f.format = 2;
    Fit eventFit;
    {
        Bytes data{0, 0}; // seek samples
        data.insert(data.end(), mp3.begin(), mp3.end());
        SwfWriter w;
        w.setFrameRate(10);
        w.defineSound(1, f, static_cast<std::uint32_t>(tone.size()), data).startSound(1).showFrame(8);
        Playback p(w);
        p.ticks(8);
        eventFit = bestFit(p.mixed, tone, 2400);
        // The encoder's delay is left in (seek samples 0): the tone comes late by it.
        EXPECT_GT(eventFit.snrDb, 25.0);
        ASSERT_GT(eventFit.lag, 0);
    }
    {
        // Seek samples skip that delay: the tone then starts on time.
        const auto seek = static_cast<std::uint16_t>(eventFit.lag);
        Bytes data{static_cast<std::uint8_t>(seek & 0xFF), static_cast<std::uint8_t>(seek >> 8)};
        data.insert(data.end(), mp3.begin(), mp3.end());
        SwfWriter w;
        w.setFrameRate(10);
        w.defineSound(1, f, static_cast<std::uint32_t>(tone.size()), data).startSound(1).showFrame(8);
        Playback p(w);
        p.ticks(8);
        EXPECT_EQ(bestFit(p.mixed, tone, 100).lag, 0);
    }
    {
        // A stream: each frame's block holds the MP3 frames reaching past its start,
        // with seek samples saying where in them the frame begins.
        SwfWriter w;
        w.setFrameRate(10);
        w.soundStreamHead(f, f, 4410, std::int16_t{0});
        const auto blocks = mp3StreamBlocks(mp3, 4410);
        ASSERT_GE(blocks.size(), 5u);
        for (std::size_t i = 0; i < 5; ++i)
            w.soundStreamBlock(blocks[i]).showFrame();
        w.showFrame(2);
        Playback p(w);
        p.ticks(5);
        const Fit fit = bestFit(p.mixed, tone, 2400);
        EXPECT_GT(fit.snrDb, 25.0);
        // Frame 0 starts at the stream's first sample, as the event sound does; later
        // blocks follow without a jump, so the late frames line up the same way.
        EXPECT_EQ(fit.lag, eventFit.lag);
        EXPECT_EQ(bestFit(p.mixed, tone, 2400, 3 * 4410, 5 * 4410 - 2500).lag, eventFit.lag);
    }
}

TEST(LossyCodecs, AdpcmEventSoundMatchesTheTone) {
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const Samples tone = sine(4096, 441, 44100);
    const Bytes adpcm = encode(tone, "-c:a adpcm_swf -f data", "t.adpcm");
    ASSERT_EQ(adpcm.size(), 2051u); // one 4,096-sample packet of 4-bit codes
    SoundFormat f = pcm16();
    f.format = 1;
    SwfWriter w;
    w.setFrameRate(10);
    w.defineSound(1, f, 4096, adpcm).startSound(1).showFrame(2);
    Playback p(w);
    p.ticks(2);
    Samples want(tone);
    want.resize(6096, 0);
    const Fit fit = bestFit(p.mixed, want, 4);
    EXPECT_EQ(fit.lag, 0);
    EXPECT_GT(fit.snrDb, 20.0);
    EXPECT_TRUE(p.silentFrom(4096));
}

// Nellymoser at any rate (codec 6), at its fixed 8 kHz (codec 5) and 16 kHz (codec 4),
// and Speex (wideband, 16 kHz): DefineSound data is the codec's frames one after another,
// and the whole of it is heard, lined up with the tone.
TEST(LossyCodecs, NellymoserAndSpeexEventSoundsMatchTheTone) {
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const Samples tone = sine(8820, 441, 44100); // 0.2 s
    const struct {
        int codec, rateCode, rate;
        const char* args;
        double floorDb;
    } cases[] = {
        {6, 2, 22050, "-c:a nellymoser -ar 22050", 8.0},
        {5, 0, 8000, "-c:a nellymoser -ar 8000", 8.0},
        {4, 0, 16000, "-c:a nellymoser -ar 16000", 8.0},
        {11, 0, 16000, "-c:a libspeex -ar 16000", 8.0},
    };
    for (const auto& c : cases) {
        const Bytes data = encode(tone, std::string(c.args) + " -f data", "t.lossy");
        ASSERT_FALSE(data.empty()) << c.args;
        SoundFormat f = pcm16(c.rateCode);
        f.format = static_cast<std::uint8_t>(c.codec);
        SwfWriter w;
        w.setFrameRate(10);
        w.defineSound(1, f, static_cast<std::uint32_t>(tone.size() * c.rate / 44100), data).startSound(1).showFrame(4);
        Playback p(w);
        p.ticks(4);
        Samples want(tone);
        want.resize(tone.size() + 4000, 0);
        const Fit fit = bestFit(p.mixed, want, 1200, 2000, tone.size() - 2000);
        EXPECT_GT(fit.snrDb, c.floorDb) << c.args << " lag " << fit.lag;
        // Heard to the end of the tone, not only its first frame.
        double late = 0;
        for (std::size_t i = tone.size() - 1500; i < tone.size() - 500; ++i)
            late = std::max(late, std::abs(double(p.mixed[i * 2])));
        EXPECT_GT(late, 3000.0) << c.args;
    }
}

// Cutting Speex data at frame ends: frames of the encoder's modes come apart whole, and
// data that cannot be measured (an undefined mode, a frame running past the end) ends as
// one last piece; nothing is lost or read past the end.
TEST(LossyCodecs, SpeexDataIsCutAtFrameEnds) {
    // Narrowband mode 3 (160 bits) with high-band mode 1 (36 bits): 25 bytes a frame.
    Bytes frame(25, 0);
    frame[0] = 0x03 << 3;                     // narrowband bit 0, mode 3
    frame[20] = 0x80 | 0x01 << 4;             // at bit 160: wideband bit 1, mode 1
    Bytes data;
    for (int i = 0; i < 3; ++i)
        data.insert(data.end(), frame.begin(), frame.end());
    data.push_back(0xFF); // mode 15 in-band: unmeasurable
    const auto frames = swf::audio::splitSpeexFrames(data);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].size(), 25u);
    EXPECT_EQ(frames[3].size(), 1u);
    Bytes cut(frame.begin(), frame.begin() + 10); // claims 25 bytes, has 10
    EXPECT_EQ(swf::audio::splitSpeexFrames(cut).size(), 1u);
    EXPECT_TRUE(swf::audio::splitSpeexFrames({}).empty());
}

} // namespace
