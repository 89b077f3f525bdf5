// orvane-tool trace: plays a movie as the player does and prints what its actions trace,
// one line each. The clock is virtual (each tick adds one frame interval and dates start
// at a fixed moment), so the output is repeatable.

#include "CommandRegistry.h"
#include "MovieArgs.h"

#include <cstdio>
#include <string>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool trace MOVIE.swf [--frames N] [--no-scripts] [--input FILE]\n"
                      "\n"
                      "Plays the movie from its start with its scripts running: shows frame 1, then\n"
                      "runs N - 1 further ticks (default 11 frames in all), and prints every trace\n"
                      "to standard output, one line each. Time is virtual: each tick adds one frame\n"
                      "interval, and dates start at 2000-01-01 00:00 UTC. Playing ends early when\n"
                      "the movie calls fscommand(\"quit\").\n"
                      "\n" ORVANE_PLAYBACK_USAGE;

int run(const std::vector<std::string>& args);
const Command kTrace{"trace", "print what a movie's scripts trace", kUsage, run};
const CommandRegistration kRegistration(kTrace);

int run(const std::vector<std::string>& args) {
    MovieAndCount parsed;
    parsed.count = 11;
    if (const int rc = parseMovieAndCount(kTrace, args, "--frames", "a count", parsed); rc != kExitOk)
        return rc;
    const auto session = openMovie(parsed.movie, parsed.playback, [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    });
    if (!session)
        return kExitBadInput;
    // The player ends where the movie asks it to quit, and so does its output.
    playFrames(*session, parsed.playback, parsed.count, [&session](long) { return !session->quitRequested(); });
    std::fflush(stdout);
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
