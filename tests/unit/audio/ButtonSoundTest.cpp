// Button sounds: DefineButtonSound's four sounds start on their transitions through the
// mixer, with their SOUNDINFO, driven by input scripts as the tools run them.

#include "AudioTestSupport.h"
#include "swf/input/ScriptedSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace audio_test;

namespace {

constexpr std::size_t kTick = 4410; // output frames of one tick at 10 fps
constexpr std::size_t kBurst = 100;

// A 20x20 pixel button at (40,40), one state look for all states; sound k (ids 10-13) is a
// burst of the constant level 1000 * (k + 1), given to DefineButtonSound's slot k.
SwfWriter buttonMovie(const std::array<TagList::ButtonSound, 4>& sounds, int frames = 12) {
    ShapeBuilder box;
    box.setFill1(box.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 400, 400);
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(
        ButtonRecord::Up | ButtonRecord::Over | ButtonRecord::Down | ButtonRecord::HitTest, 1, 1));
    SwfWriter w;
    w.setFrameRate(10);
    w.defineShape(1, box).defineButton(2, b, 2);
    for (std::uint16_t k = 0; k < 4; ++k)
        w.defineSound(10 + k, pcm16(), kBurst, le16(Samples(kBurst, static_cast<std::int16_t>(1000 * (k + 1)))));
    w.defineButtonSound(2, sounds);
    w.place(2, 1, Matrix::translate(800, 800)).showFrame(frames);
    return w;
}

std::array<TagList::ButtonSound, 4> allFour() {
    return {{{10, {}}, {11, {}}, {12, {}}, {13, {}}}};
}

// Plays `script`, one tick per frame shown, delivering its events between ticks.
std::unique_ptr<Playback> play(const SwfWriter& movie, const std::string& script) {
    auto p = std::make_unique<Playback>(movie);
    EXPECT_TRUE(p->loaded);
    std::string error;
    auto parsed = swf::input::parseInputScript(script, error);
    EXPECT_TRUE(parsed) << error;
    swf::input::SessionHooks hooks;
    hooks.showFrame = [&p] { p->ticks(1); };
    hooks.deliver = [&p](const swf::input::InputEvent& e) { p->player.handleInput(e); };
    if (parsed)
        swf::input::runScriptedSession(*parsed, 1, hooks);
    return p;
}

// The left sample at `offset` frames into each tick.
std::vector<int> levels(const Playback& p, std::size_t offset = 0) {
    std::vector<int> out;
    for (std::size_t at : p.tickAt)
        out.push_back(p.mixed[(at + offset) * 2]);
    return out;
}

TEST(ButtonSound, EachTransitionPlaysItsSoundFromTheNextTick) {
    // Over, press, release, out; then a press dragged off and released outside, which
    // have no sounds of their own.
    const auto p = play(buttonMovie(allFour()), "mouse_move 50 50\nwait\n"
                                                "mouse_down 50 50\nwait\n"
                                                "mouse_up 50 50\nwait\n"
                                                "mouse_move 5 5\nwait\n"
                                                "mouse_move 50 50\nwait\n"
                                                "mouse_down 50 50\nwait\n"
                                                "mouse_move 5 5\nwait\n"
                                                "mouse_up 5 5\nwait\n");
    //              frame 1, over, down, up→over, out, over, down, drag out, release outside
    const std::vector<int> want{0, 2000, 3000, 4000, 1000, 2000, 3000, 0, 0};
    EXPECT_EQ(levels(*p), want);
    // Each burst is heard whole and once.
    EXPECT_EQ(levels(*p, kBurst - 1), want);
    EXPECT_EQ(levels(*p, kBurst), std::vector<int>(want.size(), 0));
}

TEST(ButtonSound, SoundInfoAppliesAndEmptySlotsAreSilent) {
    std::array<TagList::ButtonSound, 4> sounds{};
    // Leaving has no sound. Rolling over loops a long sound that may not play twice at
    // once; pressing plays a short one three times; releasing stops the roll-over sound.
    sounds[1] = {11, {}};
    sounds[1].info.loopCount = 200;
    sounds[1].info.syncNoMultiple = true;
    sounds[2] = {12, {}};
    sounds[2].info.loopCount = 3;
    sounds[3] = {11, {}};
    sounds[3].info.syncStop = true;
    const auto p = play(buttonMovie(sounds), "mouse_move 50 50\nwait\n"
                                             "mouse_move 5 5\nmouse_move 50 50\nwait\n"
                                             "mouse_down 50 50\nwait\n"
                                             "mouse_up 50 50\nwait\n");
    ASSERT_EQ(p->tickAt.size(), 5u);
    // Out and over again within a tick: still one roll-over sound, never two.
    for (std::size_t i = p->tickAt[1]; i < p->tickAt[3]; ++i)
        ASSERT_EQ(p->mixed[i * 2], 2000) << "frame " << i;
    // The press sound plays over it three times.
    EXPECT_EQ(p->mixed[(p->tickAt[3] + 3 * kBurst - 1) * 2], 2000 + 3000);
    EXPECT_EQ(p->mixed[(p->tickAt[3] + 3 * kBurst) * 2], 2000);
    EXPECT_TRUE(p->silentFrom(p->tickAt[4]));
}

TEST(ButtonSound, AudioCommandPlaysTheInputScript) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orvane-button-sound-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    buttonMovie(allFour(), 2).save((dir / "b.swf").string());
    std::ofstream((dir / "in.txt").string()) << "# over, then press\nmouse_move 50 50\nwait\nmouse_down 50 50\nwait\n";
    const std::string cmd = std::string(ORVANE_TOOL_PATH) + " audio " + (dir / "b.swf").string() + " -o " +
                            (dir / "b.wav").string() + " --input " + (dir / "in.txt").string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream f(dir / "b.wav", std::ios::binary);
    const Bytes wav((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    fs::remove_all(dir);
    // The script shows three frames, more than the movie's two.
    ASSERT_EQ(wav.size(), 44u + 3 * kTick * 4);
    const auto left = [&wav](std::size_t frame) {
        return static_cast<std::int16_t>(wav[44 + frame * 4] | wav[45 + frame * 4] << 8);
    };
    EXPECT_EQ(left(0), 0);
    EXPECT_EQ(left(kTick), 2000);
    EXPECT_EQ(left(2 * kTick), 3000);
    EXPECT_EQ(left(2 * kTick + kBurst), 0);
}

} // namespace
