// Video benchmarks, one line each:
//  - playing a 640x480 30 fps Sorenson H.263 movie through the session and drawing every
//    frame at stage size on one core, as frames per CPU second and as a multiple of real
//    time (decode alone on a second line);
//  - jumping to random frames of a long stream of the same kind: the mean and the worst
//    CPU time per jump (this thread's, so other work on a shared machine does not count),
//    with the stream's keyframe spacing.
// Debian's FFmpeg has no VP6 encoder, so the streams are Sorenson H.263 (flv1), made at
// run time by FFmpeg's command-line tool from its testsrc2 pattern with a keyframe every
// two seconds.
// `orvane_bench_video [--seconds N] [--long-seconds N] [--jumps N]`

#include "swf/PlayerSession.h"
#include "swf/movie/Movie.h"
#include "swf/render/StageRenderer.h"
#include "swf/video/EmbeddedVideo.h"

#include <QImage>
#include <QPainter>

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

constexpr int kFps = 30;
constexpr int kKeyframeSpacing = 2 * kFps;

double cpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::vector<std::uint8_t> makeMovie(int seconds) {
    const auto path = std::filesystem::temp_directory_path() / ("orvane-bench-video-" + std::to_string(seconds) + ".swf");
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=size=640x480:rate=" + std::to_string(kFps) +
                            " -t " + std::to_string(seconds) + " -c:v flv1 -b:v 800k -g " +
                            std::to_string(kKeyframeSpacing) + " " + path.string();
    if (std::system(cmd.c_str()) != 0)
        return {};
    std::ifstream f(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

const swf::format::VideoStreamCharacter* firstStream(const swf::movie::Movie& movie) {
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id)
        if (auto* ch = movie.character(static_cast<std::uint16_t>(id)); ch && ch->kind == swf::format::CharacterKind::VideoStream)
            return static_cast<const swf::format::VideoStreamCharacter*>(ch);
    return nullptr;
}

int benchPlayback(int seconds) {
    const auto bytes = makeMovie(seconds);
    swf::PlayerSession session;
    if (bytes.empty() || !session.loadFromBytes(bytes)) {
        std::fprintf(stderr, "orvane_bench_video: ffmpeg could not make the movie\n");
        return 1;
    }
    const int frames = session.player().totalFrames();
    swf::render::StageRenderer renderer;
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    double start = cpuSeconds();
    for (int i = 0; i < frames; ++i) {
        session.tick();
        QPainter painter(&image);
        renderer.render(painter, session.player(), QRectF(0, 0, 640, 480));
    }
    const double drawn = cpuSeconds() - start;
    std::printf("video playback: %d frames of 640x480 H.263 at %d fps, decoded and drawn in %.2f s CPU: "
                "%.0f fps, %.1fx real time\n",
                frames, kFps, drawn, frames / drawn, (frames / double(kFps)) / drawn);

    const auto* stream = firstStream(*session.player().movie());
    if (!stream)
        return 1;
    swf::video::EmbeddedVideo alone(*stream);
    start = cpuSeconds();
    for (int i = 0; i < frames; ++i)
        alone.frame(i);
    const double decoded = cpuSeconds() - start;
    std::printf("video decode alone: %.0f fps, %.1fx real time\n", frames / decoded,
                (frames / double(kFps)) / decoded);
    return 0;
}

int benchJumps(int seconds, int jumps) {
    const auto bytes = makeMovie(seconds);
    std::string error;
    auto movie = bytes.empty() ? nullptr : swf::movie::Movie::fromBytes(bytes, error);
    const auto* stream = movie ? firstStream(*movie) : nullptr;
    if (!stream || stream->frames.empty()) {
        std::fprintf(stderr, "orvane_bench_video: ffmpeg could not make the long movie\n");
        return 1;
    }
    swf::video::EmbeddedVideo video(*stream);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(stream->frames.size()) - 1);
    double total = 0, worst = 0;
    for (int i = 0; i < jumps; ++i) {
        const int target = pick(rng);
        const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        video.frame(target);
        const double ms = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0) * 1000.0;
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("video jumps: %d random jumps in a %d s 640x480 stream (%zu frames, keyframe every %d): "
                "mean %.1f ms, worst %.1f ms CPU\n",
                jumps, seconds, stream->frames.size(), kKeyframeSpacing, total / jumps, worst);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 20, longSeconds = 600, jumps = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--long-seconds")
            longSeconds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--jumps")
            jumps = std::max(1, std::atoi(argv[i + 1]));
    }
    if (const int rc = benchPlayback(seconds))
        return rc;
    return benchJumps(longSeconds, jumps);
}
