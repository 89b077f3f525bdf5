// orvane-tool trace: plays a movie with the script interpreter and prints what its
// actions trace, one line each. The clock is virtual (each tick adds one frame
// interval and dates start at a fixed moment), so the output is repeatable.

#include "CommandRegistry.h"
#include "MovieArgs.h"
#include "swf/Player.h"
#include "swf/avm1/PlayerScriptHost.h"

#include <cstdio>
#include <memory>
#include <string>

namespace orvane::tool {
namespace {

// 2000-01-01T00:00:00Z: what Date() answers at the first frame in trace mode.
constexpr double kTraceDateOrigin = 946684800000.0;

const char kUsage[] = "usage: orvane-tool trace MOVIE.swf [--frames N]\n"
                      "\n"
                      "Plays the movie from its start with its scripts running: shows frame 1, then\n"
                      "runs N - 1 further ticks (default 11 frames in all), and prints every trace\n"
                      "to standard output, one line each. Time is virtual: each tick adds one frame\n"
                      "interval, and dates start at 2000-01-01 00:00 UTC.\n";

int run(const std::vector<std::string>& args);
const Command kTrace{"trace", "print what a movie's scripts trace", kUsage, run};
const CommandRegistration kRegistration(kTrace);

int run(const std::vector<std::string>& args) {
    MovieAndCount parsed;
    parsed.count = 11;
    if (const int rc = parseMovieAndCount(kTrace, args, "--frames", "a count", parsed); rc != kExitOk)
        return rc;
    const std::string& path = parsed.movie;
    const long frames = parsed.count;

    auto host = std::make_unique<swf::avm1::PlayerScriptHost>();
    swf::avm1::PlayerScriptHost* scripts = host.get();
    scripts->setTraceSink([](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    });
    scripts->setDateOrigin(kTraceDateOrigin);
    scripts->setUrl("file://" + path);
    swf::Player player;
    player.setActionRunner(std::move(host));
    if (!player.load(path))
        return failInput(path, player.error());
    const double interval = 1000.0 / player.frameRate();
    for (long i = 0; i < frames; ++i) {
        scripts->setTime(static_cast<double>(i) * interval);
        player.tick();
        scripts->afterTick();
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
