// orvane-tool dump: the display list after N frames of playback, one line per
// object, nested sprites indented. Used as the text golden of timeline tests.

#include "CommandRegistry.h"
#include "MovieArgs.h"
#include "swf/timeline/Describe.h"

#include <cstdio>
#include <string>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool dump MOVIE.swf [--frame N] [--no-scripts] [--input FILE]\n"
                      "\n"
                      "Plays the movie from its start as the player does (its ActionScript runs, one\n"
                      "tick per frame on a virtual clock) and prints the display list once N frames\n"
                      "have been shown (N from 1, default 1): per object its depth, character id and\n"
                      "kind, matrix, colour transform, ratio, clip depth and name; nested sprites are\n"
                      "indented.\n"
                      "\n" ORVANE_PLAYBACK_USAGE;

int run(const std::vector<std::string>& args);
const Command kDump{"dump", "print the display list after N frames", kUsage, run};
const CommandRegistration kRegistration(kDump);

int run(const std::vector<std::string>& args) {
    MovieAndCount parsed;
    parsed.count = 1;
    if (const int rc = parseMovieAndCount(kDump, args, "--frame", "a frame number", parsed); rc != kExitOk)
        return rc;
    const auto session = openMovie(parsed.movie, parsed.playback);
    if (!session)
        return kExitBadInput;
    const long frame = parsed.count;
    playFrames(*session, parsed.playback, frame, [frame](long shown) { return shown < frame; });
    std::fputs(swf::timeline::describe(*session->player().root()).c_str(), stdout);
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
