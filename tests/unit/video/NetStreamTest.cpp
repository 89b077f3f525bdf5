// NetConnection, NetStream and Video as ActionScript 2 uses them: a local FLV next to the
// movie (made by FFmpeg's command-line tool) plays into a video object on the movie's
// clock, with Flash's status messages and the file's metadata; pause, seek and time
// follow the clock; URLs and paths out of the movie's folder are refused.

#include "FlvScriptTagBuilder.h"
#include "VideoTestSupport.h"
#include "avm1asm/ActionAssembler.h"
#include "swf/PlayerSession.h"
#include "swf/audio/AudioEngine.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/VideoObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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

// --- The files' sound

using Samples = std::vector<std::int16_t>;

// A 2-second file of the test pattern with a different tone on each side, its sound in
// `audioArgs`; empty when FFmpeg cannot make it.
bool encodeWithSound(const std::string& audioArgs, const std::string& name, const std::string& videoArgs = "-c:v flv1 -g 5") {
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=10 -f lavfi -i "
                            "\"aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=44100\" -t 2 " +
                            videoArgs + " " + audioArgs + " " + scratchPath(name);
    return std::system(cmd.c_str()) == 0;
}

// FFmpeg's own decode of a file's sound as the mixer plays it: 44,100 Hz stereo 16-bit, a
// mono track at full level on both sides.
Samples ffmpegSound(const std::string& name, bool mono = false) {
    const std::string raw = scratchPath(name + ".s16");
    const std::string cmd = "ffmpeg -v error -y -i " + scratchPath(name) + (mono ? " -af \"pan=stereo|c0=c0|c1=c0\"" : "") +
                            " -f s16le -ac 2 -ar 44100 " + raw;
    Samples out;
    if (std::system(cmd.c_str()) != 0)
        return out;
    std::ifstream f(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    out.resize(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

double rms(const Samples& s, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count && i < s.size(); ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(std::max<std::size_t>(count, 1)));
}

struct Heard : Session {
    Samples mixed;
    void run(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            session.tick();
            mixed.insert(mixed.end(), session.lastMix().begin(), session.lastMix().end());
        }
    }
};

// 4,410 stereo frames a tick at 10 frames a second.
constexpr std::size_t kTickSamples = 4410 * 2;

// PCM comes out sample for sample from the first tick, and the pictures keep to it;
// stopAllSounds leaves a video's sound alone.
TEST_F(NetStreamTest, PlaysTheFilesSoundSampleExactWithThePictures) {
    ASSERT_TRUE(encodeWithSound("-c:a pcm_s16le -ac 2", "play/tone.flv"));
    const Samples want = ffmpegSound("play/tone.flv");
    ASSERT_GE(want.size(), 20 * kTickSamples);
    const std::vector<Picture> pictures = ffmpegPictures(scratchPath("play/tone.flv"), 96, 64);
    ASSERT_EQ(pictures.size(), 20u);
    std::vector<std::string> frames(3);
    frames[0] = std::string(kSetUp) + play("tone.flv");
    frames[2] = "stopsounds\n";
    Heard h;
    ASSERT_TRUE(h.session.load(saveMovie(frames)));
    for (int tick = 0; tick < 15; ++tick) {
        h.run(1);
        EXPECT_LE(compare(*h.shown(), pictures[tick], 96, 64).mean, 0.5) << "tick " << tick;
    }
    ASSERT_EQ(h.mixed.size(), 15 * kTickSamples);
    EXPECT_TRUE(std::equal(h.mixed.begin(), h.mixed.end(), want.begin()));
    EXPECT_TRUE(h.session.audio().audioLeadsClock());
    // Past the end of the sound the movie's clock runs on, and the mix falls silent.
    h.run(10);
    EXPECT_FALSE(h.session.audio().audioLeadsClock());
    EXPECT_NE(h.traces.find("status NetStream.Play.Stop\n"), std::string::npos) << h.traces;
    EXPECT_EQ(rms(h.mixed, 21 * kTickSamples, 4 * kTickSamples), 0.0);
}

// Pausing silences the sound and holds the clock; a seek plays from the sample of its time.
TEST_F(NetStreamTest, PauseAndSeekMoveTheSoundWithThePictures) {
    ASSERT_TRUE(encodeWithSound("-c:a pcm_s16le -ac 2", "play/tone.flv"));
    const Samples want = ffmpegSound("play/tone.flv");
    ASSERT_GE(want.size(), 20 * kTickSamples);
    std::vector<std::string> frames(11);
    frames[0] = std::string(kSetUp) + play("tone.flv");
    frames[3] = "push true, 1, \"ns\"; getvariable; push \"pause\"; callmethod; pop\n";
    frames[5] = "push false, 1, \"ns\"; getvariable; push \"pause\"; callmethod; pop\n";
    frames[7] = "push 1, 1, \"ns\"; getvariable; push \"seek\"; callmethod; pop\n" + traceNs("time");
    frames[8] = traceNs("time");
    Heard h;
    ASSERT_TRUE(h.session.load(saveMovie(frames)));
    h.run(10);
    const auto same = [&](std::size_t tick, std::size_t fromSample) {
        return std::equal(h.mixed.begin() + tick * kTickSamples, h.mixed.begin() + (tick + 1) * kTickSamples,
                          want.begin() + fromSample);
    };
    EXPECT_TRUE(same(2, 2 * kTickSamples));
    EXPECT_EQ(rms(h.mixed, 3 * kTickSamples, 2 * kTickSamples), 0.0); // paused in ticks 3 and 4
    EXPECT_TRUE(same(5, 3 * kTickSamples));                           // resumed where it stopped
    EXPECT_TRUE(same(6, 4 * kTickSamples));
    // Seeked to 1 s: FLV stamps count milliseconds, so the sound starts within one of it.
    bool seeked = false;
    for (std::size_t frame = 44100 - 44; frame <= 44100 + 44 && !seeked; ++frame)
        seeked = same(7, frame * 2) && same(8, frame * 2 + kTickSamples);
    EXPECT_TRUE(seeked);
    EXPECT_NE(h.traces.find("1\nstatus NetStream.Seek.Notify\n1.1\n"), std::string::npos) << h.traces;
    // The pictures follow: 1.2 s into the file is its frame 12.
    const std::vector<Picture> pictures = ffmpegPictures(scratchPath("play/tone.flv"), 96, 64);
    ASSERT_EQ(pictures.size(), 20u);
    EXPECT_LE(compare(*h.shown(), pictures[12], 96, 64).mean, 0.5);
}

// The lossy codecs of FLV files, and AAC in MP4, are heard at the level FFmpeg's own decode
// has (within 15%; encoder delays and resampling shift samples, so they are not compared
// one by one).
TEST_F(NetStreamTest, HearsEveryCodecOfVideoFiles) {
    const struct {
        const char* args;
        const char* name;
        const char* video;
        bool mono = false;
    } cases[] = {
        {"-c:a libmp3lame -ar 44100 -b:a 128k", "play/mp3.flv", "-c:v flv1 -g 5"},
        {"-c:a adpcm_swf -ar 22050", "play/adpcm.flv", "-c:v flv1 -g 5"},
        {"-c:a nellymoser -ar 22050 -ac 1", "play/nelly.flv", "-c:v flv1 -g 5", true},
        {"-c:a aac -ar 44100", "play/aac.mp4", "-c:v mpeg4 -g 5"},
    };
    for (const auto& c : cases) {
        if (!encodeWithSound(c.args, c.name, c.video)) {
            ADD_FAILURE() << "FFmpeg could not make " << c.name;
            continue;
        }
        const Samples want = ffmpegSound(c.name, c.mono);
        ASSERT_GE(want.size(), 15 * kTickSamples) << c.name;
        Heard h;
        ASSERT_TRUE(h.session.load(saveMovie({std::string(kSetUp) + play(std::string(c.name).substr(5))})));
        h.run(15);
        const double expected = rms(want, kTickSamples, 10 * kTickSamples);
        const double heard = rms(h.mixed, kTickSamples, 10 * kTickSamples);
        EXPECT_GT(expected, 1000.0) << c.name;
        EXPECT_NEAR(heard, expected, expected * 0.15) << c.name;
    }
}

// Damaged files with sound: cut short, or with bytes scrambled through the middle. What
// decodes is heard, the rest is skipped, and the stream still reaches its end.
TEST_F(NetStreamTest, DamagedFilesWithSoundNeverCrash) {
    ASSERT_TRUE(encodeWithSound("-c:a libmp3lame -ar 44100", "play/whole.flv"));
    std::ifstream in(scratchPath("play/whole.flv"), std::ios::binary);
    const Bytes whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 3 / 5));
    Bytes scrambled = whole;
    for (std::size_t i = scrambled.size() / 4; i < scrambled.size() * 3 / 4; i += 7)
        scrambled[i] ^= 0x5A;
    flv_test::writeScratch("play/cut.flv", cut);
    flv_test::writeScratch("play/scrambled.flv", scrambled);
    for (const char* name : {"cut.flv", "scrambled.flv"}) {
        Heard h;
        ASSERT_TRUE(h.session.load(saveMovie({std::string(kSetUp) + play(name)})));
        h.run(40);
        EXPECT_NE(h.traces.find("status NetStream.Play.Stop\n"), std::string::npos) << name << h.traces;
        EXPECT_GT(rms(h.mixed, 0, 5 * kTickSamples), 1000.0) << name;
        EXPECT_FALSE(h.session.audio().audioLeadsClock()) << name;
    }
}

// A file with sound and no pictures plays its sound (the video shows nothing) and stops
// at the end of it.
TEST_F(NetStreamTest, PlaysFilesThatHaveOnlySound) {
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i \"aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=44100\" "
                            "-t 1 -c:a pcm_s16le -ac 2 " + scratchPath("play/sound.flv");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const Samples want = ffmpegSound("play/sound.flv");
    ASSERT_EQ(want.size(), 10 * kTickSamples);
    Heard h;
    ASSERT_TRUE(h.session.load(saveMovie({std::string(kSetUp) + play("sound.flv")})));
    h.run(14);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), h.mixed.begin()));
    EXPECT_FALSE(h.shown());
    EXPECT_EQ(h.traces, "true\n"
                        "status NetStream.Play.Start\n"
                        "meta undefinedxundefined codec undefined\n"
                        "status NetStream.Buffer.Full\n"
                        "status NetStream.Buffer.Flush\n"
                        "status NetStream.Play.Stop\n"
                        "status NetStream.Buffer.Empty\n");
}

} // namespace
