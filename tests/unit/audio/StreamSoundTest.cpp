// Stream sounds: continuous across frames, at the right sample after gotos, loops
// and stops, in the root and in sprites.

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

using namespace audio_test;

namespace {

constexpr std::size_t kBlock = 4410; // 44.1 kHz at 10 frames a second

// Frames whose stream block holds the constant (frame + 1) * 100.
template <typename List>
void levelBlocks(List& list, int frames) {
    list.soundStreamHead(pcm16(), pcm16(), kBlock);
    for (int f = 0; f < frames; ++f) {
        list.soundStreamBlock(le16(Samples(kBlock, static_cast<std::int16_t>((f + 1) * 100))));
        list.showFrame();
    }
}

std::int16_t levelOfTick(const Playback& p, std::size_t tick, std::size_t offset = 10) {
    return p.mixed[(p.tickAt[tick] + offset) * 2];
}

TEST(StreamSound, PlaysAcrossFramesWithoutAGlitch) {
    // One continuous sine cut into blocks comes out whole.
    const Samples tone = sine(kBlock * 4, 441, 44100);
    SwfWriter w;
    w.setFrameRate(10);
    w.soundStreamHead(pcm16(), pcm16(), kBlock);
    for (int f = 0; f < 4; ++f) {
        w.soundStreamBlock(le16(Samples(tone.begin() + f * kBlock, tone.begin() + (f + 1) * kBlock)));
        w.showFrame();
    }
    w.showFrame();
    Playback p(w);
    p.ticks(5);
    EXPECT_EQ(p.slice(0, tone.size()), stereo(tone));
    // The stream ends with its last block: no wrap into the first while frame 4 shows.
    EXPECT_TRUE(p.silentFrom(tone.size()));
}

TEST(StreamSound, FollowsGotosLoopsAndStops) {
    SwfWriter w;
    w.setFrameRate(10);
    levelBlocks(w, 4);
    Playback p(w);
    p.ticks(3);
    EXPECT_EQ(levelOfTick(p, 0), 100);
    EXPECT_EQ(levelOfTick(p, 2), 300);
    // A seek back: the next tick shows frame 2 and plays its block from its start.
    p.player.gotoFrame(1);
    p.ticks(1);
    EXPECT_EQ(p.player.currentFrame(), 2);
    EXPECT_EQ(levelOfTick(p, 3, 0), 300);
    EXPECT_EQ(levelOfTick(p, 3, kBlock - 1), 300);
    // Looping to frame 0 starts the stream there again.
    p.ticks(2);
    EXPECT_EQ(p.player.currentFrame(), 0);
    EXPECT_EQ(levelOfTick(p, 5), 100);
    // A stopped timeline is silent; playing again resumes at the frame it moves to.
    p.player.stop();
    p.ticks(1);
    EXPECT_EQ(levelOfTick(p, 6), 0);
    p.player.play();
    p.ticks(1);
    EXPECT_EQ(levelOfTick(p, 7), 200);
    // stopAllSounds silences the stream until its timeline's next frame.
    p.engine.stopAll();
    p.ticks(1);
    EXPECT_EQ(levelOfTick(p, 8), 300);
}

TEST(StreamSound, SpritesPlayTheirOwnStream) {
    SwfWriter w;
    w.setFrameRate(10);
    Sprite s;
    levelBlocks(s, 3);
    w.defineSprite(5, s);
    w.place(5, 1).showFrame(4);
    w.removeObject2(1).showFrame(2);
    Playback p(w);
    p.ticks(6);
    EXPECT_EQ(levelOfTick(p, 0), 100);
    EXPECT_EQ(levelOfTick(p, 1), 200);
    EXPECT_EQ(levelOfTick(p, 3), 100); // the sprite looped
    EXPECT_EQ(levelOfTick(p, 5), 0);   // removed with its clip
}

} // namespace
