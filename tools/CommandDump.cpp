// orvane-tool dump: the display list after N frames of playback, one line per
// object, nested sprites indented. Used as the text golden of timeline tests.

#include "CommandRegistry.h"
#include "MovieArgs.h"
#include "swf/Player.h"
#include "swf/timeline/Describe.h"

#include <cstdio>
#include <string>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool dump MOVIE.swf [--frame N]\n"
                      "\n"
                      "Plays the movie from its start as the player does (one tick per frame, actions\n"
                      "run) and prints the display list once N frames have been shown (N from 1,\n"
                      "default 1): per object its depth, character id and kind, matrix, colour\n"
                      "transform, ratio, clip depth and name; nested sprites are indented.\n";

int run(const std::vector<std::string>& args);
const Command kDump{"dump", "print the display list after N frames", kUsage, run};
const CommandRegistration kRegistration(kDump);

int run(const std::vector<std::string>& args) {
    MovieAndCount parsed;
    parsed.count = 1;
    if (const int rc = parseMovieAndCount(kDump, args, "--frame", "a frame number", parsed); rc != kExitOk)
        return rc;
    const std::string& path = parsed.movie;
    const long frames = parsed.count;
    swf::Player player;
    if (!player.load(path))
        return failInput(path, player.error());
    for (long i = 0; i < frames; ++i)
        player.tick();
    std::fputs(swf::timeline::describe(*player.root()).c_str(), stdout);
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
