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

namespace orvane::tool {
namespace {

int runBench(const std::vector<std::string>& args);

const Command kBench{
    "bench", "measure load time, frame rate, seek time and memory of a movie",
    "usage: orvane-tool bench MOVIE.swf [--frames N] [--no-scripts] [--input FILE]\n"
    "Loads the movie, plays N frames (default 600) as the player does (its ActionScript runs),\n"
    "ticking and drawing each at stage size on one thread, then seeks to 20 frames spread over\n"
    "the movie. Prints one line:\n"
    "bench: load_ms=... frames=... render_fps=... realtime=... seek_ms=... peak_rss_mb=...\n"
    "realtime is render_fps over the movie's frame rate; seek_ms is the mean time of one seek.\n"
    "\n" ORVANE_PLAYBACK_USAGE,
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

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

int runBench(const std::vector<std::string>& args) {
    std::string movie;
    long frames = 600;
    PlaybackOptions playback;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (const auto taken = takePlaybackOption(kBench, args, i, playback)) {
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
    const QSize size = swf::render::stageImageSize(player, 1.0);
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    const QRectF viewport(QPointF(0, 0), QSizeF(size));
    auto drawFrame = [&] {
        QPainter p(&target);
        renderer.render(p, player, viewport, 1.0);
    };

    const auto playStart = Clock::now();
    const long shown = playFrames(*session, playback, frames, [&](long) {
        drawFrame();
        return true;
    });
    const double playMs = msSince(playStart);
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

    std::printf(
        "bench: load_ms=%.1f frames=%ld render_fps=%.1f realtime=%.2f seek_ms=%.3f peak_rss_mb=%.1f\n",
        loadMs, shown, fps, fps / player.frameRate(), seekMs, peakRssMb());
    return kExitOk;
}

} // namespace
} // namespace orvane::tool

#endif // ORVANE_HAVE_STAGE_RENDERER
