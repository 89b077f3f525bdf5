// Damaged video data: unknown codecs, truncated packets, streams without a keyframe,
// headers claiming absurd sizes and plain garbage. Every frame still shows something (the
// last good picture, or grey when there never was one) and nothing crashes.

#include "VideoTestSupport.h"
#include "swf/PlayerSession.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/VideoObject.h"
#include "swf/video/EmbeddedVideo.h"

#include <gtest/gtest.h>

#include <random>

using namespace video_test;

namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;

// Plays every frame of a one-video movie; the pictures shown, one a frame.
std::vector<std::shared_ptr<const swf::timeline::Pixels>> playAll(const Bytes& movie) {
    std::vector<std::shared_ptr<const swf::timeline::Pixels>> shown;
    swf::PlayerSession session;
    if (!session.loadFromBytes(movie))
        return shown;
    for (int i = 0; i < session.player().totalFrames(); ++i) {
        session.tick();
        auto it = session.player().root()->displayList().find(1);
        const auto* video = it == session.player().root()->displayList().end()
                                ? nullptr
                                : it->second.as<swf::timeline::VideoObject>();
        shown.push_back(video ? video->picture : nullptr);
    }
    return shown;
}

bool allGrey(const swf::timeline::Pixels& p) {
    return p.valid() && std::all_of(p.argb.begin(), p.argb.end(), [](std::uint32_t w) { return w == kGrey; });
}

std::vector<Bytes> garbage(std::size_t count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Bytes> packets(count);
    for (auto& p : packets) {
        p.resize(1 + rng() % 300);
        for (auto& b : p)
            b = static_cast<std::uint8_t>(rng());
    }
    return packets;
}

TEST(DamagedVideoTest, UnknownCodecShowsGrey) {
    for (std::uint8_t codec : {0, 1, 8, 99, 255}) {
        const auto shown = playAll(videoMovie(codec, 32, 24, garbage(4, codec)).bytes());
        ASSERT_EQ(shown.size(), 4u);
        for (const auto& p : shown) {
            ASSERT_TRUE(p) << int(codec);
            EXPECT_TRUE(allGrey(*p)) << int(codec);
        }
    }
}

TEST(DamagedVideoTest, GarbageInEveryCodecNeverCrashes) {
    for (std::uint8_t codec = 2; codec <= 7; ++codec) {
        auto packets = garbage(12, codec);
        packets.push_back({});     // an empty VideoFrame
        packets.push_back({0x00}); // one byte
        const auto shown = playAll(videoMovie(codec, 48, 32, packets).bytes());
        ASSERT_EQ(shown.size(), packets.size()) << int(codec);
        for (const auto& p : shown)
            EXPECT_TRUE(p && p->valid()) << int(codec);
    }
}

// An H.263 header claiming 65535 x 65535 pixels is refused, not allocated.
TEST(DamagedVideoTest, AbsurdPictureSizeIsRefused) {
    // start code, version 0, temporal reference 0, size 1 (16-bit width and height),
    // 0xFFFF x 0xFFFF, intra, then zeros.
    Bytes packet = {0x00, 0x00, 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
    packet.resize(64, 0);
    const auto shown = playAll(videoMovie(2, 32, 24, {packet, packet}).bytes());
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& p : shown) {
        ASSERT_TRUE(p);
        EXPECT_TRUE(allGrey(*p));
    }
}

class DamagedStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg())
            GTEST_SKIP() << "FFmpeg's command-line tool is not installed";
        for (const FlvPacket& p : flvVideoPackets(encodeTestPattern("-c:v flv1 -g 5", "damaged.flv"))) {
            packets.push_back(p.data);
            keys.push_back(p.keyframe);
        }
        ASSERT_GE(packets.size(), 15u);
    }
    std::vector<Bytes> packets;
    std::vector<bool> keys;
};

// Truncated packets still give a picture (FFmpeg conceals what is missing, or the last good
// picture stays), and the frames after the next keyframe are whole again.
TEST_F(DamagedStreamTest, TruncatedPacketsKeepShowing) {
    const auto whole = playAll(videoMovie(2, 96, 64, packets).bytes());
    std::vector<Bytes> cut = packets;
    for (std::size_t i = 1; i < cut.size(); i += 2)
        cut[i].resize(cut[i].size() / 3);
    const auto shown = playAll(videoMovie(2, 96, 64, cut).bytes());
    ASSERT_EQ(shown.size(), whole.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        ASSERT_TRUE(shown[i] && shown[i]->valid()) << i;
    // Frame 10 is a keyframe and whole: it decodes exactly.
    ASSERT_TRUE(keys[10]);
    EXPECT_EQ(shown[10]->argb, whole[10]->argb);
}

// Without any keyframe the inter pictures decode against nothing: grey or whatever FFmpeg
// makes of them, but always a picture.
TEST_F(DamagedStreamTest, StreamWithoutKeyframeShowsSomething) {
    std::vector<Bytes> inter;
    for (std::size_t i = 0; i < packets.size(); ++i)
        if (!keys[i])
            inter.push_back(packets[i]);
    const auto shown = playAll(videoMovie(2, 96, 64, inter).bytes());
    ASSERT_EQ(shown.size(), inter.size());
    for (const auto& p : shown)
        EXPECT_TRUE(p && p->valid());
}

// A packet that fails keeps the last good picture on screen.
TEST_F(DamagedStreamTest, FailedPacketKeepsLastGoodPicture) {
    std::vector<Bytes> damaged = packets;
    ASSERT_FALSE(keys[3]);
    damaged[3] = {0x12, 0x34}; // not even a picture header
    const auto whole = playAll(videoMovie(2, 96, 64, packets).bytes());
    const auto shown = playAll(videoMovie(2, 96, 64, damaged).bytes());
    ASSERT_EQ(shown.size(), whole.size());
    EXPECT_EQ(shown[3]->argb, whole[2]->argb);
}

} // namespace
