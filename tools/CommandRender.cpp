// orvane-tool render: plays a movie from its start as the player does and writes frames
// as PNG images of the stage.

#include "CommandRegistry.h"

#ifdef ORVANE_HAVE_STAGE_RENDERER

#include "MovieArgs.h"
#include "MoviePlayback.h"
#include "OffscreenGui.h"
#include "swf/render/StageRenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace orvane::tool {
namespace {

int runRender(const std::vector<std::string>& args);

const Command kRender{
    "render", "write frames of a movie as PNG images",
    "usage: orvane-tool render MOVIE.swf -o OUT.png [--frame N] [--scale S] [--threads N] [OPTIONS]\n"
    "       orvane-tool render MOVIE.swf -o DIR --frames A-B [--scale S] [--threads N] [OPTIONS]\n"
    "Plays the movie from its start as the player does (its ActionScript runs, one tick per\n"
    "frame on a virtual clock) and writes the stage after N frames have been shown (N counts\n"
    "from 1, default 1), or every frame from A to B as DIR/frame-NNNN.png. The image is the\n"
    "stage size times S (default 1).\n"
    "\n" ORVANE_THREADS_USAGE ORVANE_PLAYBACK_USAGE,
    runRender};

const CommandRegistration kRegistration(kRender);

int runRender(const std::vector<std::string>& args) {
    std::string movie, out;
    int frame = 1, first = 0, last = 0;
    bool range = false, single = false;
    double scale = 1.0;
    int threads = 0; // one a core
    PlaybackOptions playback;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (const auto taken = takePlaybackOption(kRender, args, i, playback)) {
            if (*taken != kExitOk)
                return *taken;
        } else if (a == "-o" && hasValue) {
            out = args[++i];
        } else if (a == "--frame" && hasValue) {
            auto n = parsePositive(args[++i], 10'000'000);
            if (!n)
                return failUsage(kRender, "--frame wants a frame number from 1");
            frame = *n;
            single = true;
        } else if (a == "--frames" && hasValue) {
            const std::string span = args[++i];
            const auto dash = span.find('-');
            auto a1 =
                dash == std::string::npos ? std::nullopt : parsePositive(span.substr(0, dash), 10'000'000);
            auto b1 =
                dash == std::string::npos ? std::nullopt : parsePositive(span.substr(dash + 1), 10'000'000);
            if (!a1 || !b1 || *b1 < *a1)
                return failUsage(kRender, "--frames wants a range A-B with 1 <= A <= B");
            first = *a1;
            last = *b1;
            range = true;
        } else if (const auto taken = takeThreadsOption(kRender, args, i, threads)) {
            if (*taken != kExitOk)
                return *taken;
        } else if (a == "--scale" && hasValue) {
            try {
                std::size_t used = 0;
                scale = std::stod(args[++i], &used);
                if (used != args[i].size() || !std::isfinite(scale) || scale <= 0 || scale > 64)
                    throw 0;
            } catch (...) {
                return failUsage(kRender, "--scale wants a number above 0 (at most 64)");
            }
        } else if (!a.empty() && a[0] == '-') {
            return failUsage(kRender, "unknown or incomplete option " + a);
        } else if (movie.empty()) {
            movie = a;
        } else {
            return failUsage(kRender, "more than one movie given");
        }
    }
    if (movie.empty() || out.empty())
        return failUsage(kRender, "a movie and -o are required");
    if (range && single)
        return failUsage(kRender, "--frame and --frames exclude each other");

    const auto app = makeGuiApplication();
    const auto session = openMovie(movie, playback);
    if (!session)
        return kExitBadInput;
    const swf::Player& player = session->player();
    swf::render::StageRenderer renderer;
    renderer.setThreads(threads);

    if (!range) {
        playFrames(*session, playback, frame, [frame](long shown) { return shown < frame; });
        const QImage img = renderer.renderImage(player, scale);
        if (!img.save(QString::fromStdString(out), "PNG"))
            return failInput(out, "cannot write the image");
        return kExitOk;
    }
    const QString dir = QString::fromStdString(out);
    if (!QDir().mkpath(dir))
        return failInput(out, "cannot create the directory");
    std::string failed;
    playFrames(*session, playback, last, [&](long shown) {
        if (shown < first)
            return true;
        const QString file = QDir(dir).filePath(QString("frame-%1.png").arg(shown, 4, 10, QChar('0')));
        if (!renderer.renderImage(player, scale).save(file, "PNG")) {
            failed = file.toStdString();
            return false;
        }
        return shown < last;
    });
    if (!failed.empty())
        return failInput(failed, "cannot write the image");
    return kExitOk;
}

} // namespace
} // namespace orvane::tool

#endif // ORVANE_HAVE_STAGE_RENDERER
