// Sound.loadSound: MP3 files beside the movie, their ID3 tags, and what scripts hear of
// the load; the MP3s are made with FFmpeg's command-line tool when it is installed.

#include "AudioTestSupport.h"
#include "avm1asm/ActionAssembler.h"
#include "swf/PlayerSession.h"
#include "swf/audio/Id3Tags.h"
#include "swf/audio/Mp3Gapless.h"
#include "swf/audio/SoundDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace audio_test;

namespace {

namespace fs = std::filesystem;
using swf::audio::Id3Tags;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void text(Bytes& out, std::string_view s) {
    out.insert(out.end(), s.begin(), s.end());
}

// An ID3v2 frame of version 2.3 (big-endian size) or 2.4 (syncsafe size).
Bytes frame(std::string_view id, const Bytes& body, int version = 3) {
    Bytes f;
    text(f, id);
    const std::size_t n = body.size();
    if (version == 4)
        f.insert(f.end(), {std::uint8_t(n >> 21 & 0x7F), std::uint8_t(n >> 14 & 0x7F), std::uint8_t(n >> 7 & 0x7F),
                           std::uint8_t(n & 0x7F)});
    else
        f.insert(f.end(), {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)});
    f.insert(f.end(), {0, 0});
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes tag(int version, const Bytes& frames) {
    Bytes t{'I', 'D', '3', std::uint8_t(version), 0, 0};
    const std::size_t n = frames.size();
    t.insert(t.end(), {std::uint8_t(n >> 21 & 0x7F), std::uint8_t(n >> 14 & 0x7F), std::uint8_t(n >> 7 & 0x7F),
                       std::uint8_t(n & 0x7F)});
    t.insert(t.end(), frames.begin(), frames.end());
    return t;
}

Bytes latin1Text(std::string_view s) {
    Bytes b{0};
    text(b, s);
    return b;
}

// "Café" in UTF-16 with a little-endian byte order mark.
const Bytes kCafeUtf16{1, 0xFF, 0xFE, 'C', 0, 'a', 0, 'f', 0, 0xE9, 0, 0, 0};

Bytes v1Tag() {
    Bytes t(128, 0);
    const auto put = [&t](std::size_t at, std::string_view s) { std::copy(s.begin(), s.end(), t.begin() + at); };
    put(0, "TAG");
    put(3, "Old title");
    put(63, "An album   ");
    put(93, "1999");
    t[126] = 7; // v1.1 track
    t[127] = 17;
    return t;
}

std::string value(const Id3Tags& tags, std::string_view name) {
    for (const auto& [n, v] : tags)
        if (n == name)
            return v;
    return "<none>";
}

TEST(Id3Tags, V2FramesV1FallbackAndShortNames) {
    Bytes frames = frame("TIT2", latin1Text("Tune")) + frame("TPE1", kCafeUtf16);
    Bytes comm{0};
    text(comm, "engdesc");
    comm.push_back(0);
    text(comm, "Nice");
    frames = frames + frame("COMM", comm) + frame("TXXX", latin1Text("skip")) + frame("APIC", Bytes{0, 1, 2});
    const Bytes mp3{0xFF, 0xFB, 0x90, 0x00};
    const Bytes file = tag(3, frames) + mp3 + v1Tag();
    const Id3Tags tags = swf::audio::readId3Tags(file);
    EXPECT_EQ(value(tags, "TIT2"), "Tune");
    EXPECT_EQ(value(tags, "songname"), "Tune"); // v2 wins over v1
    EXPECT_EQ(value(tags, "TPE1"), "Caf\xC3\xA9");
    EXPECT_EQ(value(tags, "artist"), "Caf\xC3\xA9");
    EXPECT_EQ(value(tags, "COMM"), "Nice");
    EXPECT_EQ(value(tags, "comment"), "Nice");
    EXPECT_EQ(value(tags, "album"), "An album");
    EXPECT_EQ(value(tags, "year"), "1999");
    EXPECT_EQ(value(tags, "track"), "7");
    EXPECT_EQ(value(tags, "genre"), "17");
    EXPECT_EQ(value(tags, "TXXX"), "<none>");
    EXPECT_EQ(value(tags, "APIC"), "<none>");
    const auto frames2 = swf::audio::mp3Frames(file);
    EXPECT_EQ(Bytes(frames2.begin(), frames2.end()), mp3);

    // Version 2.4 sizes are syncsafe (a 200-byte frame would misparse as big-endian 328);
    // version 2.2 has three-letter names.
    const std::string longTitle(199, 'x');
    EXPECT_EQ(value(swf::audio::readId3Tags(tag(4, frame("TIT2", latin1Text(longTitle), 4) +
                                                    frame("TALB", latin1Text("B"), 4))),
                    "album"),
              "B");
    Bytes v22{'T', 'T', '2', 0, 0, 4};
    v22 = v22 + latin1Text("Old");
    EXPECT_EQ(value(swf::audio::readId3Tags(tag(2, v22)), "songname"), "Old");
}

TEST(Id3Tags, DamagedTagsReadWhatTheyCan) {
    const Bytes good = frame("TIT2", latin1Text("Ok"));
    Bytes lying = frame("TPE1", latin1Text("cut"));
    lying[7] = 0xFF; // claims 255 bytes
    const Id3Tags tags = swf::audio::readId3Tags(tag(3, good + lying));
    EXPECT_EQ(value(tags, "TIT2"), "Ok");
    EXPECT_EQ(value(tags, "TPE1"), "<none>");
    // A header whose size runs past the file, an empty frame, odd UTF-16, a bare "ID3".
    Bytes huge = tag(3, good);
    huge[6] = 0x7F;
    EXPECT_EQ(value(swf::audio::readId3Tags(huge), "TIT2"), "Ok");
    EXPECT_EQ(swf::audio::mp3Frames(huge).size(), 0u);
    EXPECT_TRUE(swf::audio::readId3Tags(tag(3, frame("TIT2", Bytes{}))).size() <= 2);
    EXPECT_EQ(value(swf::audio::readId3Tags(tag(3, frame("TIT2", Bytes{1, 0xFF, 0xFE, 'A', 0, 0x00, 0xD8}))), "TIT2"),
              "A");
    EXPECT_TRUE(swf::audio::readId3Tags(Bytes{'I', 'D', '3'}).empty());
}

bool haveFfmpeg() {
    static const bool have = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
    return have;
}

// A folder with the movie (run from a file, as loads are relative to it) and t.mp3: a
// 441 Hz tone of `seconds` at FFmpeg's level of 1/8 full scale, behind an ID3 tag.
struct LoadFolder {
    fs::path dir = fs::temp_directory_path() / ("orvane-loadsound-" + std::to_string(::getpid()));
    explicit LoadFolder(double seconds) {
        fs::create_directories(dir);
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i sine=frequency=441:sample_rate=44100:duration=" +
                                std::to_string(seconds) + " -c:a libmp3lame -b:a 128k -write_xing 0 " +
                                "-id3v2_version 0 -f mp3 " + (dir / "raw.mp3").string();
        ok = std::system(cmd.c_str()) == 0;
        std::ifstream in(dir / "raw.mp3", std::ios::binary);
        const Bytes raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const Bytes file = tag(3, frame("TIT2", latin1Text("Tone")));
        std::ofstream out(dir / "t.mp3", std::ios::binary);
        for (const Bytes& part : {file, raw})
            out.write(reinterpret_cast<const char*>(part.data()), static_cast<std::streamsize>(part.size()));
        size = file.size() + raw.size();
    }
    ~LoadFolder() { fs::remove_all(dir); }
    bool ok = false;
    std::size_t size = 0;
};

struct FilePlayback {
    std::string traces;
    swf::PlayerSession session{options()};
    Samples mixed;
    std::vector<std::size_t> tickAt;

    explicit FilePlayback(const fs::path& movie) { EXPECT_TRUE(session.load(movie.string())); }
    swf::SessionOptions options() {
        swf::SessionOptions o;
        o.traceSink = [this](const std::string& line) { traces += line + "\n"; };
        return o;
    }
    void run(int n) {
        for (int i = 0; i < n; ++i) {
            session.tick();
            tickAt.push_back(mixed.size() / 2);
            mixed.insert(mixed.end(), session.lastMix().begin(), session.lastMix().end());
        }
    }
    // Peak of the left channel over output frames [from, to).
    int peak(std::size_t from, std::size_t to) const {
        int p = 0;
        for (std::size_t i = from; i < to && i * 2 < mixed.size(); ++i)
            p = std::max(p, std::abs(static_cast<int>(mixed[i * 2])));
        return p;
    }
};

SwfWriter loadMovie(const std::string& frame0, const std::string& frame3 = "") {
    SwfWriter w;
    w.setVersion(7);
    w.setFrameRate(10);
    w.doAction(orvane::testing::assembleActions(frame0)).showFrame(3);
    if (!frame3.empty())
        w.doAction(orvane::testing::assembleActions(frame3));
    w.showFrame(20);
    return w;
}

class LoadSound : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
    }
    // Makes the folder with a tone of `seconds` and plays the movie from it for `ticks`.
    std::unique_ptr<FilePlayback> play(double seconds, const SwfWriter& movie, int ticks) {
        folder = std::make_unique<LoadFolder>(seconds);
        EXPECT_TRUE(folder->ok);
        movie.save((folder->dir / "m.swf").string());
        auto p = std::make_unique<FilePlayback>(folder->dir / "m.swf");
        p->run(ticks);
        return p;
    }
    std::unique_ptr<LoadFolder> folder;
};

TEST_F(LoadSound, StreamingFilePlaysOnItsOwnAndReportsItsLoad) {
    const std::string script = R"(
        push "s", 0, "Sound"; newobject; setvariable
        push "s"; getvariable; push "onID3"
        function () { push "id3 "; push "this"; getvariable; push "id3"; getmember; push "songname"; getmember; add2; trace }
        setmember
        push "s"; getvariable; push "onLoad"
        function (ok) {
            push "load "; push "ok"; getvariable; add2; push " "; add2
            push 0, "this"; getvariable; push "getBytesLoaded"; callmethod; add2; push "/"; add2
            push 0, "this"; getvariable; push "getBytesTotal"; callmethod; add2; trace
            push 0, "this"; getvariable; push "getDuration"; callmethod; push 480; greater; trace
        }
        setmember
        push "s"; getvariable; push "onSoundComplete"
        function () { push "complete"; trace }
        setmember
        push true, "t.mp3", 2, "s"; getvariable; push "loadSound"; callmethod; pop
        push "asked "; push 0, "s"; getvariable; push "getBytesLoaded"; callmethod; add2; push " "; add2
        push 0, "s"; getvariable; push "getBytesTotal"; callmethod; add2; trace
        push "bad", 0, "Sound"; newobject; setvariable
        push "bad"; getvariable; push "onLoad"
        function (ok) { push "bad "; push "ok"; getvariable; add2; trace }
        setmember
        push false, "../t.mp3", 2, "bad"; getvariable; push "loadSound"; callmethod; pop
        push "none "; push 0, "bad"; getvariable; push "getBytesTotal"; callmethod; add2; trace
    )";
    const auto p = play(0.5, loadMovie(script), 10);
    const std::string size = std::to_string(folder->size);
    EXPECT_EQ(p->traces, "asked 0 " + size + "\nnone undefined\nid3 Tone\nload true " + size + "/" + size +
                            "\ntrue\nbad false\ncomplete\n");
    // Heard from the tick after the load (the first), for about half a second.
    EXPECT_EQ(p->peak(0, p->tickAt[1]), 0);
    EXPECT_GT(p->peak(p->tickAt[1], p->tickAt[1] + 4410), 3000);
    EXPECT_EQ(p->peak(p->tickAt[1] + 26000, p->mixed.size() / 2), 0);
}

TEST_F(LoadSound, EventFileWaitsForStartAndFollowsItsTarget) {
    // Loaded as an event sound in frame 1, started at 0.1 s with two loops in frame 4,
    // at half volume through its Sound.
    const std::string load = R"(
        push "s", 0, "Sound"; newobject; setvariable
        push false, "t.mp3", 2, "s"; getvariable; push "loadSound"; callmethod; pop
        push 50, 1, "s"; getvariable; push "setVolume"; callmethod; pop
    )";
    const std::string start = R"(
        push 2, 0.1, 2, "s"; getvariable; push "start"; callmethod; pop
        push 0, "s"; getvariable; push "getPosition"; callmethod; trace
    )";
    const auto p = play(0.3, loadMovie(load, start), 12);
    EXPECT_EQ(p->traces, "100\n");
    EXPECT_EQ(p->peak(0, p->tickAt[3]), 0);
    const int heard = p->peak(p->tickAt[3], p->tickAt[4]);
    EXPECT_GT(heard, 1500);
    EXPECT_LT(heard, 2600);
    // Two loops of the rest after 0.1 s: the file holds 0.3 s of tone plus the encoder's
    // delay and padding (at most 16,128 samples in all).
    EXPECT_GT(p->peak(p->tickAt[3] + 16000, p->tickAt[3] + 17000), 1500);
    EXPECT_EQ(p->peak(p->tickAt[3] + 2 * (16128 - 4410), p->mixed.size() / 2), 0);
}

// A file with a Xing/Info frame says where its music lies: the encoder's delay and padding
// (and the decoder's own delay) are dropped, so what plays lines up with FFmpeg's own
// gapless decode of the file, at 44.1 kHz and at the half rate of MPEG 2.
TEST_F(LoadSound, GaplessFilesPlayOnlyTheirMusic) {
    const fs::path dir = fs::temp_directory_path() / ("orvane-gapless-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const char* rate : {"44100", "22050"}) {
        const fs::path mp3 = dir / (std::string(rate) + ".mp3");
        const fs::path raw = dir / (std::string(rate) + ".s16");
        const std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=441:sample_rate=" + std::string(rate) +
                                 ":duration=0.5 -c:a libmp3lame -b:a 64k " + mp3.string();
        // The mono tone on both sides at full level, as the mixer plays mono.
        const std::string decode = "ffmpeg -v error -y -i " + mp3.string() +
                                   " -af \"pan=stereo|c0=c0|c1=c0\" -f s16le -ar 44100 " + raw.string();
        ASSERT_EQ(std::system(make.c_str()), 0);
        ASSERT_EQ(std::system(decode.c_str()), 0);
        std::ifstream in(mp3, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ifstream r(raw, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(r)), std::istreambuf_iterator<char>());
        Samples want(bytes.size() / 2);
        std::memcpy(want.data(), bytes.data(), want.size() * 2);

        const swf::audio::Mp3Gapless g = swf::audio::readMp3Gapless(swf::audio::mp3Frames(file));
        EXPECT_TRUE(g.infoFrame) << rate;
        EXPECT_GT(g.delay, 0u) << rate;
        const swf::audio::Pcm pcm = swf::audio::decodeMp3File(file);
        // Half a second of music, to the sample.
        EXPECT_EQ(pcm.frames(), 22050u) << rate;
        ASSERT_GE(want.size(), 2 * std::size_t(22050)) << rate;
        int worst = 0;
        for (std::size_t i = 0; i < std::min(pcm.samples.size(), want.size()); ++i)
            worst = std::max(worst, std::abs(pcm.samples[i] - want[i]));
        // At 44.1 kHz the decoders agree to rounding. At 22,050 Hz each side resamples in its
        // own place (we before the trim, FFmpeg's tool after it): within what this tone
        // moves in one output sample (about 260).
        EXPECT_LE(worst, std::string(rate) == "44100" ? 2 : 260) << rate;
    }
    fs::remove_all(dir);
}

} // namespace
