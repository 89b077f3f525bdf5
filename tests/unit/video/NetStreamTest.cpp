// NetConnection, NetStream and Video as ActionScript 2 uses them: a local FLV next to the
// movie (made by FFmpeg's command-line tool) plays into a video object on the movie's
// clock, with Flash's status messages and the file's metadata; pause, seek and time
// follow the clock; URLs and paths out of the movie's folder are refused.

#include "FlvScriptTagBuilder.h"
#include "VideoTestSupport.h"
#include "avm1asm/ActionAssembler.h"
#include "swf/PlayerSession.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/VideoObject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace video_test;

namespace {

// nc = new NetConnection(); trace(nc.connect(null)); ns = new NetStream(nc), tracing its
// status messages and metadata; vid.attachVideo(ns).
const char kSetUp[] = R"(
    push "nc", 0, "NetConnection"; newobject; setvariable
    push null, 1, "nc"; getvariable; push "connect"; callmethod; trace
    push "ns", "nc"; getvariable; push 1, "NetStream"; newobject; setvariable
    push "ns"; getvariable; push "onStatus"
    function (info) {
        push "info"; getvariable; push "level"; getmember; push " "; add2
        push "info"; getvariable; push "code"; getmember; add2; trace
    }
    setmember
    push "ns"; getvariable; push "onMetaData"
    function (info) {
        push "meta "; push "info"; getvariable; push "width"; getmember; add2; push "x"; add2
        push "info"; getvariable; push "height"; getmember; add2; push " codec "; add2
        push "info"; getvariable; push "videocodecid"; getmember; add2; trace
    }
    setmember
    push "ns"; getvariable; push 1, "vid"; getvariable; push "attachVideo"; callmethod; pop
)";

std::string play(const std::string& path) {
    return "push \"" + path + "\", 1, \"ns\"; getvariable; push \"play\"; callmethod; pop\n";
}

std::string traceNs(const std::string& property) {
    return "push \"ns\"; getvariable; push \"" + property + "\"; getmember; trace\n";
}

// A movie with a 96x64 video object named "vid" and one script a frame (frame i runs
// scripts[i]; the last frame stops).
std::string saveMovie(const std::vector<std::string>& scripts) {
    orvane::testing::SwfWriter w;
    w.setVersion(8);
    w.setStageSize(96, 64);
    w.setFrameRate(10);
    w.defineVideoStream(1, 0, 96, 64, 2);
    orvane::testing::PlaceObject place;
    place.characterId = 1;
    place.name = "vid";
    place.matrix = orvane::testing::Matrix{};
    w.placeObject2(place);
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        const std::string code = scripts[i] + (i + 1 == scripts.size() ? "stop\n" : "");
        w.doAction(orvane::testing::assembleActions(code)).showFrame();
    }
    const std::string path = scratchPath("play/movie.swf");
    w.save(path);
    return path;
}

swf::SessionOptions tracingTo(std::string& traces) {
    swf::SessionOptions options;
    options.traceSink = [&traces](const std::string& line) { traces += line + "\n"; };
    return options;
}

struct Session {
    std::string traces;
    swf::PlayerSession session{tracingTo(traces)};

    std::shared_ptr<const swf::timeline::Pixels> shown() {
        auto it = session.player().root()->displayList().find(1);
        const auto* v = it == session.player().root()->displayList().end()
                            ? nullptr
                            : it->second.as<swf::timeline::VideoObject>();
        return v ? v->picture : nullptr;
    }
};

class NetStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg())
            GTEST_SKIP() << "FFmpeg's command-line tool is not installed";
        // The movie and its files live in play/, so the scratch folder is outside it.
        std::filesystem::create_directories(scratchPath("play"));
        ASSERT_FALSE(encodeTestPattern("-c:v flv1 -g 5", "play/clip.flv").empty());
        reference = ffmpegPictures(scratchPath("play/clip.flv"), 96, 64);
        ASSERT_EQ(reference.size(), 20u);
    }
    std::vector<Picture> reference;
};

TEST_F(NetStreamTest, PlaysAnFlvOnTheMovieClockWithStatusAndMetadata) {
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({std::string(kSetUp) + play("clip.flv")})));
    for (int tick = 0; tick < 20; ++tick) {
        s.session.tick();
        auto picture = s.shown();
        ASSERT_TRUE(picture) << "tick " << tick;
        // Tick n is at n tenths of a second: the FLV's frame n.
        const Difference d = compare(*picture, reference[tick], 96, 64);
        ASSERT_TRUE(d.sameSize);
        EXPECT_LE(d.mean, 0.5) << "tick " << tick;
    }
    for (int tick = 0; tick < 12; ++tick)
        s.session.tick();
    EXPECT_EQ(s.traces, "true\n"
                        "status NetStream.Play.Start\n"
                        "meta 96x64 codec 2\n"
                        "status NetStream.Buffer.Full\n"
                        "status NetStream.Buffer.Flush\n"
                        "status NetStream.Play.Stop\n"
                        "status NetStream.Buffer.Empty\n");
    // The last picture stays after the end.
    EXPECT_EQ(compare(*s.shown(), reference.back(), 96, 64).max, 0);
}

// H.264 in MP4 with B-frames: pictures leave the codec out of order and late, yet each
// tick shows the picture of its time.
TEST_F(NetStreamTest, PlaysH264WithReorderedPictures) {
    if (encodeTestPattern("-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p", "play/clip.mp4").empty())
        GTEST_SKIP() << "FFmpeg has no H.264 encoder";
    const std::vector<Picture> want = ffmpegPictures(scratchPath("play/clip.mp4"), 96, 64);
    ASSERT_EQ(want.size(), 20u);
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({std::string(kSetUp) + play("clip.mp4")})));
    for (int tick = 0; tick < 20; ++tick) {
        s.session.tick();
        auto picture = s.shown();
        ASSERT_TRUE(picture) << "tick " << tick;
        EXPECT_LE(compare(*picture, want[tick], 96, 64).mean, 0.5) << "tick " << tick;
    }
    EXPECT_NE(s.traces.find("meta 96x64 codec 7\n"), std::string::npos) << s.traces;
}

TEST_F(NetStreamTest, PauseSeekTimeAndBytes) {
    std::vector<std::string> frames(11);
    frames[0] = std::string(kSetUp) + play("clip.flv");
    frames[5] = "push true, 1, \"ns\"; getvariable; push \"pause\"; callmethod; pop\n" + traceNs("time");
    frames[8] = traceNs("time") + "push 1.5, 1, \"ns\"; getvariable; push \"seek\"; callmethod; pop\n" +
                "push false, 1, \"ns\"; getvariable; push \"pause\"; callmethod; pop\n" + traceNs("time");
    frames[10] = traceNs("time") + traceNs("bufferTime") +
                 "push \"ns\"; getvariable; push \"bytesLoaded\"; getmember; "
                 "push \"ns\"; getvariable; push \"bytesTotal\"; getmember; equals2; trace\n" +
                 "push \"vid\"; getvariable; push \"width\"; getmember; trace\n" +
                 "push \"vid\"; getvariable; push \"height\"; getmember; trace\n";
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie(frames)));
    for (int tick = 0; tick <= 8; ++tick)
        s.session.tick();
    // Seeked to 1.5 s: the FLV's frame 15, shown at once.
    EXPECT_EQ(compare(*s.shown(), reference[15], 96, 64).max, 0);
    s.session.tick();
    s.session.tick();
    EXPECT_EQ(compare(*s.shown(), reference[17], 96, 64).max, 0);
    EXPECT_EQ(s.traces, "true\n"
                        "status NetStream.Play.Start\n"
                        "meta 96x64 codec 2\n"
                        "status NetStream.Buffer.Full\n"
                        "0.5\n"
                        "status NetStream.Pause.Notify\n"
                        "0.5\n"
                        "1.5\n"
                        "status NetStream.Seek.Notify\n"
                        "status NetStream.Unpause.Notify\n"
                        "1.7\n"
                        "0.1\n"
                        "true\n"
                        "96\n"
                        "64\n");
}

// URLs, paths out of the movie's folder and missing files are all StreamNotFound, and
// nothing is shown; a server connection is refused.
TEST_F(NetStreamTest, RefusesUrlsAndPathsOutOfTheFolder) {
    {
        std::ofstream outside(scratchPath("outside.flv"));
        outside << "FLV";
    }
    const std::string script = std::string(kSetUp) + play("http://example.com/clip.flv") + play("../outside.flv") +
                               play("/etc/passwd") + play("missing.flv") + play("file:///etc/passwd") +
                               "push \"rtmp://example.com/app\", 1, \"nc\"; getvariable; push \"connect\"; "
                               "callmethod; trace\n";
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({script})));
    s.session.tick();
    s.session.tick();
    EXPECT_EQ(s.traces, "true\nfalse\n"
                        "error NetStream.Play.StreamNotFound\n"
                        "error NetStream.Play.StreamNotFound\n"
                        "error NetStream.Play.StreamNotFound\n"
                        "error NetStream.Play.StreamNotFound\n"
                        "error NetStream.Play.StreamNotFound\n");
    EXPECT_FALSE(s.shown());
}

// A file that is not a video, or a damaged one, is refused or plays what it can.
TEST_F(NetStreamTest, DamagedFilesNeverCrash) {
    const Bytes flv = encodeTestPattern("-c:v flv1 -g 5", "play/cut.flv");
    {
        std::ofstream cut(scratchPath("play/cut.flv"), std::ios::binary | std::ios::trunc);
        cut.write(reinterpret_cast<const char*>(flv.data()), static_cast<std::streamsize>(flv.size() / 2));
        std::ofstream text(scratchPath("play/text.flv"));
        text << "not a video at all";
    }
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({std::string(kSetUp) + play("text.flv") + play("cut.flv")})));
    for (int tick = 0; tick < 30; ++tick)
        s.session.tick();
    EXPECT_NE(s.traces.find("error NetStream.Play.StreamNotFound\nstatus NetStream.Play.Start\n"), std::string::npos)
        << s.traces;
    EXPECT_NE(s.traces.find("status NetStream.Play.Stop\n"), std::string::npos) << s.traces;
    EXPECT_TRUE(s.shown());
}

// The file's own script tags reach the scripts: its whole onMetaData object, and cue
// points when playing passes their time.
TEST_F(NetStreamTest, CallsTheFilesScriptTagsAtTheirTimes) {
    Bytes flv = encodeTestPattern("-c:v flv1 -g 5", "play/cues.flv");
    flv_test::Amf cue;
    cue.string("onCuePoint").objectStart();
    cue.key("name").string("half").key("time").number(0.5);
    cue.key("parameters").objectStart().key("lang").string("en").objectEnd();
    cue.objectEnd();
    flv_test::appendTag(flv, 18, 500, cue.bytes);
    flv_test::writeScratch("play/cues.flv", flv);
    const std::string handlers = R"(
        push "ns"; getvariable; push "onCuePoint"
        function (info) {
            push "cue "; push "info"; getvariable; push "name"; getmember; add2; push " "; add2
            push "info"; getvariable; push "time"; getmember; add2; push " "; add2
            push "info"; getvariable; push "parameters"; getmember; push "lang"; getmember; add2; trace
        }
        setmember
        push "ns"; getvariable; push "onMetaData"
        function (info) {
            push "meta encoder "; push "info"; getvariable; push "encoder"; getmember; typeof; add2; trace
        }
        setmember
    )";
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({std::string(kSetUp) + handlers + play("cues.flv")})));
    for (int tick = 0; tick < 5; ++tick)
        s.session.tick();
    EXPECT_EQ(s.traces.find("cue "), std::string::npos) << s.traces;
    EXPECT_NE(s.traces.find("meta encoder string\n"), std::string::npos) << s.traces;
    s.session.tick();
    EXPECT_NE(s.traces.find("cue half 0.5 en\n"), std::string::npos) << s.traces;
}

// A buffer longer than the whole file never fills: its end is in it from the start, and
// no Buffer.Empty follows the end. Errors nobody handles go to System.onStatus.
TEST_F(NetStreamTest, BufferMessagesAndUnhandledErrors) {
    const std::string longBuffer =
        std::string(kSetUp) + "push 5, 1, \"ns\"; getvariable; push \"setBufferTime\"; callmethod; pop\n" +
        play("clip.flv");
    Session s;
    ASSERT_TRUE(s.session.load(saveMovie({longBuffer})));
    for (int tick = 0; tick < 30; ++tick)
        s.session.tick();
    EXPECT_EQ(s.traces, "true\n"
                        "status NetStream.Play.Start\n"
                        "meta 96x64 codec 2\n"
                        "status NetStream.Buffer.Flush\n"
                        "status NetStream.Play.Stop\n");

    const std::string unhandled = R"(
        push "System"; getvariable; push "onStatus"
        function (info) { push "system "; push "info"; getvariable; push "code"; getmember; add2; trace }
        setmember
        push "nc", 0, "NetConnection"; newobject; setvariable
        push null, 1, "nc"; getvariable; push "connect"; callmethod; pop
        push "ns", "nc"; getvariable; push 1, "NetStream"; newobject; setvariable
    )";
    Session quiet;
    ASSERT_TRUE(quiet.session.load(saveMovie({unhandled + play("clip.flv") + play("missing.flv")})));
    quiet.session.tick();
    quiet.session.tick();
    EXPECT_EQ(quiet.traces, "system NetStream.Play.StreamNotFound\n");
}

} // namespace
