// orvane-tool dump: the display list after N frames of playback, one line per
// object, nested sprites indented. Used as the text golden of timeline tests.

#include "CommandRegistry.h"
#include "swf/Player.h"
#include "swf/timeline/Describe.h"

#include <charconv>
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
    std::string path;
    long frames = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--frame") {
            if (i + 1 >= args.size())
                return failUsage(kDump, "--frame needs a number");
            const std::string& v = args[++i];
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), frames);
            if (ec != std::errc() || end != v.data() + v.size() || frames < 1 || frames > 10'000'000)
                return failUsage(kDump, "--frame takes a frame number from 1");
        } else if (!a.empty() && a[0] == '-') {
            return failUsage(kDump, "unknown option " + a);
        } else if (path.empty()) {
            path = a;
        } else {
            return failUsage(kDump, "one movie at a time");
        }
    }
    if (path.empty())
        return failUsage(kDump, "no movie given");
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
