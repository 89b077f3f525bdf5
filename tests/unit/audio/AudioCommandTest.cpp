// orvane-tool audio as a program: the WAV it writes holds what the mixer makes.

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace audio_test;

namespace {

namespace fs = std::filesystem;

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(AudioCommand, WritesTheMixOfTheFramesAsked) {
    const fs::path dir = fs::temp_directory_path() / ("orvane-audio-cmd-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Samples tone = sine(3000, 441, 44100);
    movieWithSound(tone).save((dir / "m.swf").string());
    const std::string tool = ORVANE_TOOL_PATH;
    const std::string cmd = tool + " audio " + (dir / "m.swf").string() + " -o " + (dir / "m.wav").string() +
                            " --frames 3";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream f(dir / "m.wav", std::ios::binary);
    const Bytes wav((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_EQ(wav.size(), 44u + 3 * 4410 * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 24), 44100u);
    EXPECT_EQ(le32(wav, 40), 3u * 4410 * 4);
    const Samples want = stereo(tone);
    for (std::size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(static_cast<std::int16_t>(wav[44 + i * 2] | wav[45 + i * 2] << 8), want[i]) << "sample " << i;
    // Bad arguments are refused with the usage status.
    EXPECT_NE(std::system((tool + " audio " + (dir / "m.swf").string() + " 2>/dev/null").c_str()), 0);
    fs::remove_all(dir);
}

} // namespace
