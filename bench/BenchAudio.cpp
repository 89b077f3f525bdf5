// Sound benchmarks, one line each:
//  - decoding and mixing eight MP3 stream sounds at once (eight sprites, each with its
//    own 44.1 kHz stereo 128 kbit/s stream), as CPU time over the sound's duration;
//  - the frame clock against the audio clock over ten virtual minutes, with a device
//    that takes samples in bursts and a host whose timer wakes late and sometimes stalls.
// `orvane_bench_audio [--seconds N]`; the MP3 data is made with FFmpeg's command-line tool.

#include "Mp3Blocks.h"
#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/audio/AudioClock.h"
#include "swf/audio/AudioEngine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace orvane::testing;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::vector<std::uint8_t> makeMp3(int seconds, int hz) {
    const auto path = std::filesystem::temp_directory_path() / ("orvane-bench-" + std::to_string(hz) + ".mp3");
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i sine=frequency=" + std::to_string(hz) +
                            ":duration=" + std::to_string(seconds) +
                            " -ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3 " +
                            path.string();
    if (std::system(cmd.c_str()) != 0)
        return {};
    std::ifstream f(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

int benchStreams(int seconds) {
    constexpr int kStreams = 8;
    constexpr int kFps = 10;
    SwfWriter w;
    w.setFrameRate(kFps);
    SoundFormat mp3;
    mp3.format = 2;
    mp3.stereo = true;
    for (int s = 0; s < kStreams; ++s) {
        const auto data = makeMp3(seconds, 220 + 110 * s);
        const auto blocks = mp3StreamBlocks(data, 44100 / kFps);
        if (blocks.empty()) {
            std::fprintf(stderr, "orvane_bench_audio: ffmpeg could not make MP3 data\n");
            return 1;
        }
        Sprite sprite;
        sprite.soundStreamHead(mp3, mp3, 44100 / kFps, std::int16_t{0});
        for (const auto& b : blocks)
            sprite.soundStreamBlock(b).showFrame();
        w.defineSprite(static_cast<std::uint16_t>(10 + s), sprite);
        w.place(static_cast<std::uint16_t>(10 + s), static_cast<std::uint16_t>(1 + s));
    }
    w.showFrame();
    const int ticks = seconds * kFps;

    const double start = cpuSeconds();
    swf::Player player;
    swf::audio::AudioEngine engine(player);
    if (!player.loadFromBytes(w.bytes()))
        return 1;
    std::vector<std::int16_t> block;
    long long checksum = 0;
    for (int i = 0; i < ticks; ++i) {
        player.tick();
        engine.mixTick(block);
        checksum += block[block.size() / 2];
    }
    const double used = cpuSeconds() - start;
    std::printf("8 MP3 streams: %.2f%% of one core (%.3f s CPU for %d s of sound, decode ahead + mix, %zu channels, "
                "checksum %lld)\n",
                100.0 * used / seconds, used, seconds, engine.mixer().channels().size(), checksum);
    return 0;
}

// Ten minutes of a 24 fps movie whose root stream drives the frame clock, as the player
// window runs it. The sound heard advances continuously; the device reports it in
// 1,024-frame bursts. Shown frame against the frame whose sound is heard (0 before the
// first tick), and against the frame the device's last report names.
void benchClock() {
    constexpr double kFps = 24;
    constexpr double kMinutes = 10;
    const double spf = 44100 / kFps;
    swf::audio::AudioClock clock(kFps);
    clock.reset(0);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(0.0, 4.0);
    std::uniform_int_distribution<int> stall(0, 199);
    const auto reported = [](double ms) { return static_cast<std::uint64_t>(std::floor(ms * 44.1 / 1024)) * 1024; };
    double now = 0, maxAhead = 0, maxBehind = 0, maxAheadReport = 0, maxBehindReport = 0;
    std::uint64_t ticks = 0, dropped = 0;
    const double end = kMinutes * 60'000;
    const auto measure = [&](double heard, double report) {
        const double shown = double(ticks) - 1.0;
        maxAhead = std::max(maxAhead, shown - heard / spf);
        maxBehind = std::max(maxBehind, heard / spf - shown);
        maxAheadReport = std::max(maxAheadReport, shown - report / spf);
        maxBehindReport = std::max(maxBehindReport, report / spf - shown);
    };
    while (now < end) {
        const std::uint64_t due = clock.dueTicks(reported(now), now);
        for (std::uint64_t i = 0; i < due; ++i) {
            clock.ticked();
            ++ticks;
        }
        if (due > 1)
            dropped += due - 1;
        measure(now * 44.1, double(reported(now)));
        // The next wake: a 5 ms poll that runs up to 4 ms late, and one in 200 stalled 30 ms
        // (a window being dragged). Just before the next wake the host is furthest behind.
        const double next = now + 5 + jitter(rng) + (stall(rng) == 0 ? 30 : 0);
        measure((next - 0.001) * 44.1, double(reported(next - 0.001)));
        now = next;
    }
    std::printf("frame clock vs audio clock, %.0f virtual minutes at %.0f fps: at most %.2f frames ahead, "
                "%.2f frames behind the sound heard (%.2f ahead, %.2f behind the device's reports); "
                "%llu ticks, %llu dropped\n",
                kMinutes, kFps, maxAhead, maxBehind, maxAheadReport, maxBehindReport,
                static_cast<unsigned long long>(ticks), static_cast<unsigned long long>(dropped));
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    if (argc == 3 && std::string(argv[1]) == "--seconds")
        seconds = std::max(1, std::atoi(argv[2]));
    benchClock();
    return benchStreams(seconds);
}
