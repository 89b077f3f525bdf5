// Video drawn on the stage like any object: the placement's matrix scales and moves the
// picture (filling the stream's declared size), its colour transform tints it. And the
// tools: `render` draws video frames, `info` lists the streams.

#include "VideoTestSupport.h"
#include "swf/PlayerSession.h"
#include "swf/render/StageRenderer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace video_test;

namespace {

TEST(VideoStageTest, MatrixAndColourTransformApply) {
    if (!haveFfmpeg())
        GTEST_SKIP() << "FFmpeg's command-line tool is not installed";
    std::vector<Bytes> packets;
    for (const FlvPacket& p : flvVideoPackets(encodeTestPattern("-c:v flashsv", "stage.flv", "32x16", 10, 0.3)))
        packets.push_back(p.data);
    ASSERT_FALSE(packets.empty());

    // The 32x16 stream declared 64x32, placed at (10, 20) scaled by 2: 128x64 on the stage,
    // with red removed and blue added.
    orvane::testing::SwfWriter movie;
    movie.setStageSize(200, 120).setFrameRate(10);
    movie.setBackgroundColor({255, 255, 255});
    movie.defineVideoStream(1, 1, 64, 32, 3);
    orvane::testing::PlaceObject place;
    place.characterId = 1;
    place.ratio = 0;
    orvane::testing::Matrix m;
    m.scaleX = m.scaleY = 2.0;
    m.translateX = 10 * 20;
    m.translateY = 20 * 20;
    place.matrix = m;
    orvane::testing::ColorTransform cx;
    cx.redMult = 0;
    cx.blueAdd = 40;
    place.colorTransform = cx;
    movie.placeObject2(place).videoFrame(1, 0, packets[0]).showFrame();

    swf::PlayerSession session;
    ASSERT_TRUE(session.loadFromBytes(movie.bytes()));
    session.tick();
    swf::render::StageRenderer renderer;
    const QImage image = renderer.renderImage(session.player());
    ASSERT_EQ(image.size(), QSize(200, 120));

    const std::vector<Picture> want = ffmpegPictures(scratchPath("stage.flv"), 32, 16);
    ASSERT_FALSE(want.empty());
    int checked = 0;
    // Stream pixel (x, y) covers stage pixels 10 + 4x .. 13 + 4x; the centre of each is
    // away from the smoothing at its edges.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb got = image.pixel(10 + 4 * x + 2, 20 + 4 * y + 2);
            const std::uint32_t src = want[0][std::size_t(y) * 32 + x];
            const int green = (src >> 8) & 0xFF, blue = std::min(255, int(src & 0xFF) + 40);
            EXPECT_LE(qRed(got), 2) << x << "," << y;
            EXPECT_NEAR(qGreen(got), green, 6) << x << "," << y;
            EXPECT_NEAR(qBlue(got), blue, 6) << x << "," << y;
            ++checked;
        }
    EXPECT_EQ(checked, 32 * 16);
    // Outside the video: the background.
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(10 + 128 + 4, 20 + 64 + 4), qRgb(255, 255, 255));
}

// Runs orvane-tool; its standard output.
std::string tool(const std::string& args) {
    std::string out;
    if (FILE* p = ::popen((std::string(ORVANE_TOOL_PATH) + " " + args).c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST(VideoStageTest, ToolsRenderAndListVideo) {
    if (!haveFfmpeg())
        GTEST_SKIP() << "FFmpeg's command-line tool is not installed";
    const Bytes swf = encodeTestPattern("-c:v flv1 -g 4", "tool.swf", "64x48", 10, 1);
    ASSERT_FALSE(swf.empty());
    const std::string movie = scratchPath("tool.swf");
    const std::string info = tool("info " + movie);
    EXPECT_NE(info.find("video stream 0: Sorenson H.263 (codec 2), 64 x 48 px, 10 frames declared, 10 packets, "
                        "3 keyframes, deblocking 0, smoothing off"),
              std::string::npos)
        << info;

    const std::string png = scratchPath("tool6.png");
    tool("render " + movie + " -o " + png + " --frame 6");
    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(64, 48));
    const std::vector<Picture> want = ffmpegPictures(movie, 64, 48);
    ASSERT_GE(want.size(), 6u);
    swf::timeline::Pixels drawn;
    drawn.width = 64;
    drawn.height = 48;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            drawn.argb.push_back(image.pixel(x, y));
    // The renderer draws the picture one to one: only rounding in its compositing differs.
    const Difference d = compare(drawn, want[5], 64, 48);
    EXPECT_LE(d.mean, 1.0);
    EXPECT_LE(d.max, 8);
}

} // namespace
