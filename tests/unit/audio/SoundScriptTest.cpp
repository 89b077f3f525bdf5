// The Sound class and stopAllSounds as scripts use them, heard through the mixer.

#include "AudioTestSupport.h"
#include "avm1asm/ActionAssembler.h"
#include "swf/PlayerSession.h"

#include <gtest/gtest.h>

#include <string>

using namespace audio_test;

namespace {

// The player as every host sets it up (scripts, sound engine, tick order), with the
// traces and every tick's mix kept.
struct ScriptedPlayback {
    std::string traces;
    swf::PlayerSession session;
    Samples mixed;
    bool loaded = false;

    explicit ScriptedPlayback(const SwfWriter& movie)
        : session(swf::SessionOptions{true, [this](const std::string& line) { traces += line + "\n"; }}) {
        loaded = session.loadFromBytes(movie.bytes());
    }
    void run(int n) {
        for (int i = 0; i < n; ++i) {
            session.tick();
            mixed.insert(mixed.end(), session.lastMix().begin(), session.lastMix().end());
        }
    }
    bool silentFrom(std::size_t from) const {
        for (std::size_t i = from * 2; i < mixed.size(); ++i)
            if (mixed[i] != 0)
                return false;
        return true;
    }
};

// Exported sound "beep": 6,000 frames of 10,000, and a second one, "hum", of 2,000.
SwfWriter scriptMovie(const std::string& frame0, const std::string& frame2 = "") {
    SwfWriter w;
    w.setVersion(6);
    w.setFrameRate(10);
    w.defineSound(1, pcm16(), 6000, le16(Samples(6000, 10000)));
    w.defineSound(2, pcm16(), 6000, le16(Samples(6000, 2000)));
    w.exportAssets({{1, "beep"}, {2, "hum"}});
    w.doAction(orvane::testing::assembleActions(frame0)).showFrame(2);
    if (!frame2.empty())
        w.doAction(orvane::testing::assembleActions(frame2));
    w.showFrame(3);
    return w;
}

// s = new Sound(); s.attachSound(name)
const char kNewBeep[] = R"(
    push "s", 0, "Sound"; newobject; setvariable
    push "beep", 1, "s"; getvariable; push "attachSound"; callmethod; pop
)";

TEST(SoundScript, AttachStartVolumePanAndCompletion) {
    const std::string script = std::string(kNewBeep) + R"(
        push 50, 1, "s"; getvariable; push "setVolume"; callmethod; pop
        push 100, 1, "s"; getvariable; push "setPan"; callmethod; pop
        push "s"; getvariable; push "onSoundComplete"
        function () { push "done"; trace }
        setmember
        push 2, 0, 2, "s"; getvariable; push "start"; callmethod; pop
        push 0, "s"; getvariable; push "getVolume"; callmethod; trace
        push 0, "s"; getvariable; push "getPan"; callmethod; trace
        push 0, "s"; getvariable; push "getDuration"; callmethod; trace
    )";
    ScriptedPlayback p(scriptMovie(script));
    ASSERT_TRUE(p.loaded);
    p.run(5);
    // Half volume, panned right: left silent, right at 5,000; two loops of 6,000 frames.
    EXPECT_EQ(p.mixed[0], 0);
    EXPECT_EQ(p.mixed[1], 5000);
    EXPECT_EQ(p.mixed[11999 * 2 + 1], 5000);
    EXPECT_TRUE(p.silentFrom(12000));
    EXPECT_EQ(p.traces, "50\n100\n136\ndone\n");
}

// duration and position read like getDuration() and getPosition() once a sound is
// attached (a fresh Sound has neither), and scripts cannot write them.
TEST(SoundScript, DurationAndPositionProperties) {
    const std::string script = R"(
        push "s", 0, "Sound"; newobject; setvariable
        push "s"; getvariable; push "duration"; getmember; trace
        push "beep", 1, "s"; getvariable; push "attachSound"; callmethod; pop
        push "s"; getvariable; push "duration"; getmember; trace
        push 3, 0, 2, "s"; getvariable; push "start"; callmethod; pop
    )";
    const std::string later = R"(
        push "s"; getvariable; push "position", 5; setmember
        push "s"; getvariable; push "position"; getmember; trace
        push "s"; getvariable; push "duration"; getmember; trace
    )";
    ScriptedPlayback p(scriptMovie(script, later));
    ASSERT_TRUE(p.loaded);
    p.run(3);
    // Two ticks of 4,410 frames played: 2,820 frames into the second loop, 63.9 ms.
    EXPECT_EQ(p.traces, "undefined\n136\n64\n136\n");
}

// SWF 5 binds a Sound's clip when the Sound is made: one made before its clip exists stays
// without one; one made for a clip keeps it through a rename, and once the clip is gone
// speaks for the global sound.
TEST(SoundScript, Swf5BindsTheClipOnceAndFallsBackToTheGlobalSound) {
    const std::string script = R"(
        push "early", "a", 1, "Sound"; newobject; setvariable
        push 0, "a", 2, "createEmptyMovieClip"; callfunction; pop
        push 0, "early"; getvariable; push "getVolume"; callmethod; typeof; trace
        push "s", "a"; getvariable; push 1, "Sound"; newobject; setvariable
        push "a"; getvariable; push "_name", "b"; setmember
        push 0, "s"; getvariable; push "getVolume"; callmethod; trace
        push 0, "b"; getvariable; push "removeMovieClip"; callmethod; pop
        push 30, 1, "s"; getvariable; push "setVolume"; callmethod; pop
        push 0, 0, "Sound"; newobject; push "getVolume"; callmethod; trace
    )";
    SwfWriter w;
    w.setVersion(5);
    w.setFrameRate(10);
    w.doAction(orvane::testing::assembleActions(script)).showFrame(2);
    ScriptedPlayback p(w);
    ASSERT_TRUE(p.loaded);
    p.run(1);
    EXPECT_EQ(p.traces, "undefined\n100\n30\n");
}

TEST(SoundScript, StopByNameAndStopAllSounds) {
    const std::string start = std::string(kNewBeep) + R"(
        push 2, 0, 2, "s"; getvariable; push "start"; callmethod; pop
        push "hum", 1, "s"; getvariable; push "attachSound"; callmethod; pop
        push 2, 0, 2, "s"; getvariable; push "start"; callmethod; pop
    )";
    {
        // stop("beep") leaves the hum playing.
        ScriptedPlayback p(scriptMovie(start, R"(push "beep", 1, "s"; getvariable; push "stop"; callmethod; pop)"));
        p.run(3);
        EXPECT_EQ(p.mixed[100 * 2], 12000);
        EXPECT_EQ(p.mixed[(2 * 4410 + 10) * 2], 2000);
    }
    {
        ScriptedPlayback p(scriptMovie(start, "stopsounds"));
        p.run(3);
        EXPECT_EQ(p.mixed[100 * 2], 12000);
        EXPECT_TRUE(p.silentFrom(2 * 4410));
    }
}

} // namespace
