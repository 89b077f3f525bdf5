// orvane-tool bench: how fast a movie loads, plays and draws, and how much memory it takes.

#include "CommandRegistry.h"

#ifdef ORVANE_HAVE_STAGE_RENDERER

#include "MovieArgs.h"
#include "MoviePlayback.h"
#include "OffscreenGui.h"
#include "swf/render/StageRenderer.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace orvane::tool {
namespace {

int runBench(const std::vector<std::string>& args);

const Command kBench{
    "bench", "measure load time, frame rate, seek time and memory of a movie",
    "usage: orvane-tool bench MOVIE.swf [--frames N] [--threads N] [--no-scripts] [--input FILE]\n"
    "Loads the movie, plays N frames (default 600) as the player does (its ActionScript runs),\n"
    "ticking and drawing each at stage size, then seeks to 20 frames spread over\n"
    "the movie. Prints one line:\n"
    "bench: load_ms=... frames=... threads=... render_fps=... realtime=... frame_ms_p50=... frame_ms_p99=...\n"
    "       cpu_s=... seek_ms=... peak_rss_mb=... shape_hit=... raster_hit=... raster_mb=...\n"
    "realtime is render_fps over the movie's frame rate; frame_ms_* are percentiles of one frame's\n"
    "tick and drawing; cpu_s is the processor time of all threads while playing; seek_ms is the\n"
    "mean time of one seek; *_hit are the hit rates of the compiled-shape and shape-image caches,\n"
    "raster_mb what the image cache holds at the end.\n"
    "\n" ORVANE_THREADS_USAGE ORVANE_PLAYBACK_USAGE,
    runBench};

const CommandRegistration kRegistration(kBench);

double peakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0; // kB
    }
    return 0;
}

using Clock = std::chrono::steady_clock;

// Processor time of the whole process (every thread), user and system.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto sec = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sec(u.ru_utime) + sec(u.ru_stime);
}

// The value `q` of the way up the sorted values (0 for none).
double percentile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(q * double(values.size() - 1) + 0.5);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

int runBench(const std::vector<std::string>& args) {
    std::string movie;
    long frames = 600;
    PlaybackOptions playback;
    int threads = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (const auto taken = takeThreadsOption(kBench, args, i, threads)) {
            if (*taken != kExitOk)
                return *taken;
        } else if (const auto taken = takePlaybackOption(kBench, args, i, playback)) {
            if (*taken != kExitOk)
                return *taken;
        } else if (args[i] == "--frames" && i + 1 < args.size()) {
            const auto n = parsePositive(args[++i], 100'000'000);
            if (!n)
                return failUsage(kBench, "--frames wants a count from 1");
            frames = *n;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return failUsage(kBench, "unknown or incomplete option " + args[i]);
        } else if (movie.empty()) {
            movie = args[i];
        } else {
            return failUsage(kBench, "more than one movie given");
        }
    }
    if (movie.empty())
        return failUsage(kBench, "no movie given");

    const auto app = makeGuiApplication();
    const auto loadStart = Clock::now();
    const auto session = openMovie(movie, playback);
    if (!session)
        return kExitBadInput;
    const double loadMs = msSince(loadStart);
    swf::Player& player = session->player();

    swf::render::StageRenderer renderer;
    renderer.setThreads(threads);
    const QSize size = swf::render::stageImageSize(player, 1.0);
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    const QRectF viewport(QPointF(0, 0), QSizeF(size));
    auto drawFrame = [&] {
        QPainter p(&target);
        renderer.render(p, player, viewport, 1.0);
    };

    // Each frame's time runs from the end of the one before (its tick and its drawing).
    std::vector<double> frameMs;
    frameMs.reserve(static_cast<std::size_t>(std::min<long>(frames, 1'000'000)));
    const double cpuStart = cpuSeconds();
    const auto playStart = Clock::now();
    auto frameStart = playStart;
    const long shown = playFrames(*session, playback, frames, [&](long) {
        drawFrame();
        const auto now = Clock::now();
        frameMs.push_back(std::chrono::duration<double, std::milli>(now - frameStart).count());
        frameStart = now;
        return true;
    });
    const double playMs = msSince(playStart);
    const double cpu = cpuSeconds() - cpuStart;
    const double fps = playMs > 0 ? shown * 1000.0 / playMs : 0;

    // Seeks jump around the movie rather than walking forward, so snapshots matter.
    const int total = std::max(1, player.totalFrames());
    constexpr int kSeeks = 20;
    const auto seekStart = Clock::now();
    for (int i = 0; i < kSeeks; ++i) {
        const int to =
            static_cast<int>((static_cast<long long>(i) * 7919 % kSeeks) * (total - 1) / (kSeeks - 1));
        player.gotoFrame(to);
    }
    const double seekMs = msSince(seekStart) / kSeeks;

    const swf::render::RenderStats& stats = renderer.stats();
    std::printf("bench: load_ms=%.1f frames=%ld threads=%d render_fps=%.1f realtime=%.2f frame_ms_p50=%.2f "
                "frame_ms_p99=%.2f cpu_s=%.2f seek_ms=%.3f peak_rss_mb=%.1f shape_hit=%.3f raster_hit=%.3f "
                "raster_mb=%.1f\n",
                loadMs, shown, renderer.threads(), fps, fps / player.frameRate(), percentile(frameMs, 0.50),
                percentile(frameMs, 0.99), cpu, seekMs, peakRssMb(), stats.shapes.hitRate(),
                stats.raster.hitRate(), double(stats.rasterCacheBytes) / (1 << 20));
    return kExitOk;
}

} // namespace
} // namespace orvane::tool

#endif // ORVANE_HAVE_STAGE_RENDERER
