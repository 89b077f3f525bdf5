// Event sounds: PCM passes the mixer bit for bit, SOUNDINFO rules, mixing and
// transforms, and hostile sound data.

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

using namespace audio_test;

namespace {

TEST(EventSound, PcmOfEveryLayoutComesOutSampleExact) {
    const Samples tone = sine(6000, 441, 44100);
    {
        Playback p(movieWithSound(tone));
        p.ticks(3);
        EXPECT_EQ(p.slice(0, tone.size()), stereo(tone));
        EXPECT_TRUE(p.silentFrom(tone.size()));
    }
    {
        // Stereo, native byte order (codec 0): left and right stay apart.
        Samples lr;
        for (std::size_t i = 0; i < tone.size(); ++i) {
            lr.push_back(tone[i]);
            lr.push_back(static_cast<std::int16_t>(-tone[i] / 2));
        }
        SwfWriter w;
        w.setFrameRate(10);
        SoundFormat f = pcm16(3, true);
        f.format = 0;
        w.defineSound(1, f, static_cast<std::uint32_t>(tone.size()), le16(lr));
        w.startSound(1).showFrame(3);
        Playback p(w);
        p.ticks(3);
        EXPECT_EQ(p.slice(0, tone.size()), lr);
    }
    {
        // 8-bit samples are unsigned around 128 and become the high byte.
        Bytes eight{128, 255, 0, 192};
        SwfWriter w;
        w.setFrameRate(10);
        SoundFormat f = pcm16();
        f.is16Bit = false;
        w.defineSound(1, f, 4, eight).startSound(1).showFrame(2);
        Playback p(w);
        p.ticks(1);
        EXPECT_EQ(p.slice(0, 4), stereo({0, 127 << 8, -128 << 8, 64 << 8}));
    }
}

TEST(EventSound, LowRatesLastTheirTrueLength) {
    // 5,512 Hz is 44,100 / 8: every source sample lasts eight output samples.
    const Samples tone = sine(1000, 200, 5512);
    SwfWriter w;
    w.setFrameRate(10);
    w.defineSound(1, pcm16(0), 1000, le16(tone)).startSound(1).showFrame(4);
    Playback p(w);
    p.ticks(4);
    std::size_t last = 0;
    for (std::size_t i = 0; i < p.mixed.size() / 2; ++i)
        if (p.mixed[i * 2] != 0)
            last = i;
    EXPECT_NEAR(static_cast<double>(last), 8000.0, 16.0);
    // A resampled tone keeps its shape: the 22 kHz version of a 441 Hz sine stays
    // within 2% of full scale of the 44.1 kHz one (away from the edges).
    const Samples at22 = sine(11025, 441, 22050);
    SwfWriter w22;
    w22.setFrameRate(10);
    w22.defineSound(1, pcm16(2), 11025, le16(at22)).startSound(1).showFrame(6);
    Playback p22(w22);
    p22.ticks(6);
    const Samples want = sine(22050, 441, 44100);
    for (std::size_t i = 200; i < 21800; ++i)
        ASSERT_NEAR(p22.mixed[i * 2], want[i], 12000 * 0.02) << "at " << i;
}

TEST(EventSound, SoundInfoPointsLoopsAndEnvelope) {
    const Samples tone = sine(3000, 441, 44100);
    {
        SoundInfo info;
        info.inPoint = 1000;
        info.outPoint = 2500;
        info.loopCount = 3;
        Playback p(movieWithSound(tone, info));
        p.ticks(3);
        const Samples cut(tone.begin() + 1000, tone.begin() + 2500);
        for (int loop = 0; loop < 3; ++loop)
            EXPECT_EQ(p.slice(static_cast<std::size_t>(loop) * 1500, 1500), stereo(cut)) << "loop " << loop;
        EXPECT_TRUE(p.silentFrom(4500));
    }
    {
        // A ramp from silence to full on the left and the other way on the right,
        // over a constant signal: the level follows the envelope sample by sample.
        const Samples flat(4000, 16384);
        SoundInfo info;
        info.envelope = std::vector<SoundEnvelopePoint>{{0, 0, 32768}, {2000, 32768, 0}};
        Playback p(movieWithSound(flat, info));
        p.ticks(1);
        EXPECT_EQ(p.mixed[0], 0);
        EXPECT_EQ(p.mixed[1], 16384);
        EXPECT_EQ(p.mixed[1000 * 2], 8192);
        EXPECT_EQ(p.mixed[1000 * 2 + 1], 8192);
        EXPECT_EQ(p.mixed[3000 * 2], 16384);
        EXPECT_EQ(p.mixed[3000 * 2 + 1], 0);
    }
}

TEST(EventSound, SyncFlagsAndStartFrames) {
    const Samples tone(8820, 1000);
    SwfWriter w;
    w.setFrameRate(10);
    w.defineSound(1, pcm16(), 8820, le16(tone));
    w.startSound(1).showFrame();
    SoundInfo once;
    once.syncNoMultiple = true;
    w.startSound(1, once).showFrame(); // already playing: not started again
    w.showFrame();
    w.startSound(1).showFrame(); // frame 3: starts at 3 * 4410
    SoundInfo stop;
    stop.syncStop = true;
    w.startSound(1, stop).showFrame(); // frame 4: silences every instance
    w.showFrame(2);
    Playback p(w);
    p.ticks(7);
    EXPECT_EQ(p.mixed[100 * 2], 1000);
    EXPECT_EQ(p.mixed[5000 * 2], 1000);  // one instance only
    EXPECT_EQ(p.mixed[13300 * 2], 1000); // started in frame 3
    EXPECT_TRUE(p.silentFrom(4 * 4410));
}

TEST(Mixer, SumsClipsAndAppliesTransforms) {
    SwfWriter w;
    w.setFrameRate(10);
    w.defineSound(1, pcm16(), 100, le16(Samples(100, 20000)));
    w.defineSound(2, pcm16(), 100, le16(Samples(100, 15000)));
    w.defineSound(3, pcm16(), 100, le16(Samples(100, -3000)));
    w.startSound(1).startSound(2).showFrame();
    w.startSound(3).showFrame();
    w.startSound(1).showFrame();
    Playback p(w);
    p.ticks(2);
    EXPECT_EQ(p.mixed[0], 32767); // 35000 clipped
    EXPECT_EQ(p.mixed[4410 * 2], -3000);
    // Global transform: everything to the left at half volume.
    swf::audio::SoundTransform t;
    t.ll = 100;
    t.lr = 0;
    t.rl = 0;
    t.rr = 0;
    t.volume = 50;
    p.engine.setTransform(0, t);
    p.ticks(1);
    EXPECT_EQ(p.mixed[8820 * 2], 10000);
    EXPECT_EQ(p.mixed[8820 * 2 + 1], 0);
}

// A fed sound (a video file's track) plays what it is given under the global transform,
// waits in silence while dry, ends once complete and drained, and outlives stopAllSounds.
TEST(Mixer, FedSoundsWaitWhenDryAndEndWhenComplete) {
    SwfWriter w;
    w.setFrameRate(10);
    w.showFrame(5);
    Playback p(w);
    auto feed = std::make_shared<swf::audio::SoundFeed>();
    const Samples first(3000 * 2, 1000);
    feed->append(first);
    const swf::audio::ChannelId id = p.engine.playFeed(feed);
    ASSERT_NE(id, swf::audio::kNoChannel);
    swf::audio::SoundTransform half;
    half.volume = 50;
    p.engine.setTransform(0, half);
    p.engine.stopAll();
    p.ticks(1);
    EXPECT_EQ(p.mixed[0], 500);
    EXPECT_EQ(p.mixed[2999 * 2 + 1], 500);
    EXPECT_EQ(p.mixed[3000 * 2], 0); // dry: silence, still playing
    EXPECT_EQ(feed->taken, 3000u);
    EXPECT_TRUE(p.engine.audioLeadsClock());
    feed->append(Samples(100 * 2, -2000));
    feed->complete = true;
    p.ticks(1);
    EXPECT_EQ(p.mixed[4410 * 2], -1000);
    EXPECT_TRUE(p.silentFrom(4410 + 100));
    EXPECT_EQ(p.engine.takeFinished(), std::vector<swf::audio::ChannelId>{id});
    EXPECT_FALSE(p.engine.audioLeadsClock());
}

TEST(EventSound, BrokenDataIsSkippedNeverFatal) {
    SwfWriter w;
    w.setFrameRate(10);
    SoundFormat mp3 = pcm16();
    mp3.format = 2;
    SoundFormat adpcm = pcm16();
    adpcm.format = 1;
    SoundFormat unknown = pcm16();
    unknown.format = 9;
    w.defineSound(1, mp3, 0xFFFFFFFF, Bytes{0x00, 0x00, 0xFF, 0xFB, 0x90, 0x00, 1, 2, 3});
    w.defineSound(2, adpcm, 0xFFFFFFFF, Bytes{0xC0, 0xFF});
    w.defineSound(3, unknown, 10, Bytes(20, 0x55));
    w.defineSound(4, pcm16(), 0xFFFFFFFF, Bytes{1}); // odd byte count, absurd declared length
    w.startSound(1).startSound(2).startSound(3).startSound(4).startSound(99).showFrame(3);
    Playback p(w);
    ASSERT_TRUE(p.loaded);
    p.ticks(3);
    EXPECT_GE(p.engine.stats().failedSounds, 2u);
}

} // namespace
