// Embedded video decoded by the engine, compared with FFmpeg's own decode of the same
// stream: a SWF FFmpeg wrote (Sorenson H.263) and SWFs our writer built from the packets
// of FLV files FFmpeg wrote (H.263, Screen Video, Screen Video 2). Both sides run the same
// codec, so what may differ is the colour conversion alone (libswscale on both sides, but
// with flags of our own): the stated tolerance is a mean channel difference of 0.5 and no
// channel off by more than 4. Today's FFmpeg gives identical pictures.
//
// Seeking: any frame reached by a jump, in any order and with a cache too small to help,
// is the very picture playing forward gave.

#include "VideoTestSupport.h"
#include "swf/PlayerSession.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/VideoObject.h"
#include "swf/video/EmbeddedVideo.h"
#include "swf/video/VideoCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace video_test;

namespace {

constexpr double kMeanTolerance = 0.5;
constexpr int kMaxTolerance = 4;

// The picture the video object at depth 1 shows now.
std::shared_ptr<const swf::timeline::Pixels> shownPicture(swf::PlayerSession& session) {
    const swf::timeline::Clip* root = session.player().root();
    if (!root)
        return nullptr;
    auto it = root->displayList().find(1);
    if (it == root->displayList().end())
        return nullptr;
    const auto* video = it->second.as<swf::timeline::VideoObject>();
    return video ? video->picture : nullptr;
}

// Plays the movie and checks every frame against FFmpeg's decode of `reference`.
void expectMatchesFfmpeg(const Bytes& movie, const std::string& reference, int width, int height) {
    const std::vector<Picture> want = ffmpegPictures(reference, width, height);
    ASSERT_GE(want.size(), 10u);
    swf::PlayerSession session;
    ASSERT_TRUE(session.loadFromBytes(movie));
    for (std::size_t i = 0; i < want.size(); ++i) {
        session.tick();
        auto picture = shownPicture(session);
        ASSERT_TRUE(picture) << "frame " << i;
        const Difference d = compare(*picture, want[i], width, height);
        ASSERT_TRUE(d.sameSize) << "frame " << i << ": " << picture->width << "x" << picture->height;
        EXPECT_LE(d.mean, kMeanTolerance) << "frame " << i;
        EXPECT_LE(d.max, kMaxTolerance) << "frame " << i;
    }
}

const swf::format::VideoStreamCharacter* firstStream(const swf::movie::Movie& movie) {
    for (int id = 0; id < 10; ++id)
        if (auto* ch = movie.character(static_cast<std::uint16_t>(id)); ch && ch->kind == swf::format::CharacterKind::VideoStream)
            return static_cast<const swf::format::VideoStreamCharacter*>(ch);
    return nullptr;
}

class EmbeddedVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg())
            GTEST_SKIP() << "FFmpeg's command-line tool is not installed";
    }
};

TEST_F(EmbeddedVideoTest, SorensonSwfWrittenByFfmpegShowsFfmpegsPictures) {
    const Bytes swf = encodeTestPattern("-c:v flv1 -g 7", "h263.swf");
    ASSERT_FALSE(swf.empty());
    expectMatchesFfmpeg(swf, scratchPath("h263.swf"), 96, 64);
}

// Each FLV codec: the keyframes we find in the packets are the ones the FLV marks, and
// the SWF built from the packets shows what FFmpeg decodes from the FLV.
TEST_F(EmbeddedVideoTest, FlvCodecsInASwfShowFfmpegsPictures) {
    const struct {
        const char* encoder;
        std::uint8_t codec;
    } cases[] = {{"flv1", 2}, {"flashsv", 3}, {"flashsv2", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoder);
        const std::string name = std::string(c.encoder) + ".flv";
        const Bytes flv = encodeTestPattern(std::string("-c:v ") + c.encoder + " -g 7", name);
        const std::vector<FlvPacket> packets = flvVideoPackets(flv);
        ASSERT_GE(packets.size(), 10u);
        std::vector<Bytes> payloads;
        for (std::size_t i = 0; i < packets.size(); ++i) {
            EXPECT_EQ(packets[i].codec, c.codec);
            EXPECT_EQ(swf::video::isKeyframe(c.codec, packets[i].data), packets[i].keyframe) << "packet " << i;
            payloads.push_back(packets[i].data);
        }
        expectMatchesFfmpeg(videoMovie(c.codec, 96, 64, payloads).bytes(), scratchPath(name), 96, 64);
    }
}

TEST_F(EmbeddedVideoTest, JumpsInAnyOrderGiveThePicturesPlayingGave) {
    const Bytes swf = encodeTestPattern("-c:v flv1 -g 7", "seek.swf", "96x64", 10, 3);
    ASSERT_FALSE(swf.empty());
    swf::PlayerSession session;
    ASSERT_TRUE(session.loadFromBytes(swf));
    std::vector<std::shared_ptr<const swf::timeline::Pixels>> played;
    for (int i = 0; i < session.player().totalFrames(); ++i) {
        session.tick();
        played.push_back(shownPicture(session));
        ASSERT_TRUE(played.back());
    }
    const int frames = static_cast<int>(played.size());

    // Through the player, as the slider and gotos do it.
    std::vector<int> order(frames);
    for (int i = 0; i < frames; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(17));
    for (int n : order) {
        session.player().gotoFrame(n);
        session.syncVideo();
        auto shown = shownPicture(session);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->argb, played[n]->argb) << "goto " << n;
    }

    // The stream alone with room for two pictures: every jump decodes from a keyframe.
    const auto* stream = firstStream(*session.player().movie());
    ASSERT_TRUE(stream);
    swf::video::EmbeddedVideo tiny(*stream, 1);
    for (int n : order) {
        auto picture = tiny.frame(n);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->argb, played[n]->argb) << "frame " << n;
    }
    EXPECT_GT(tiny.stats().seeks, 0u);
    EXPECT_EQ(tiny.keyframeCount(), static_cast<std::size_t>((frames + 6) / 7));
}

// Stepping back one frame at a time through a stream decodes each group of pictures about
// once, not once per step.
TEST_F(EmbeddedVideoTest, SteppingBackIsNotQuadratic) {
    const Bytes swf = encodeTestPattern("-c:v flv1 -g 25", "back.swf", "96x64", 10, 5);
    swf::PlayerSession session;
    ASSERT_TRUE(session.loadFromBytes(swf));
    const auto* stream = firstStream(*session.player().movie());
    ASSERT_TRUE(stream);
    const int frames = static_cast<int>(stream->frames.size());
    ASSERT_EQ(frames, 50);
    swf::video::EmbeddedVideo video(*stream);
    for (int n = frames - 1; n >= 0; --n)
        ASSERT_TRUE(video.frame(n));
    // Two groups of 25: each decoded once on the way back.
    EXPECT_LE(video.stats().packetsDecoded, static_cast<std::uint64_t>(frames));
    EXPECT_EQ(video.stats().cacheHits, static_cast<std::uint64_t>(frames - 2));
}

TEST(VideoCodecTest, NamesAndSupport) {
    EXPECT_EQ(swf::video::codecName(2), "Sorenson H.263");
    EXPECT_EQ(swf::video::codecName(5), "VP6 with alpha");
    EXPECT_EQ(swf::video::codecName(99), "unknown (99)");
    EXPECT_TRUE(swf::video::isSupportedCodec(6));
    EXPECT_FALSE(swf::video::isSupportedCodec(1));
    // VP6: the first header bit says inter; the alpha variant has a 24-bit offset first.
    const Bytes intra = {0x00, 0x10, 0x20}, inter = {0x80, 0x10, 0x20};
    EXPECT_TRUE(swf::video::isKeyframe(4, intra));
    EXPECT_FALSE(swf::video::isKeyframe(4, inter));
    EXPECT_TRUE(swf::video::isKeyframe(5, Bytes{0x00, 0x00, 0x02, 0x00, 0x10}));
    EXPECT_FALSE(swf::video::isKeyframe(5, Bytes{0x00, 0x00, 0x02, 0x80, 0x10}));
    EXPECT_FALSE(swf::video::isKeyframe(5, Bytes{0x00, 0x00}));
    EXPECT_FALSE(swf::video::isKeyframe(2, Bytes{}));
}

} // namespace
