// orvane-tool unpack: extracts a projector's movie with the player's own extraction code.

#include "CommandRegistry.h"
#include "InputFile.h"
#include "shell/MovieExtract.h"

#include <cstdio>
#include <filesystem>

namespace orvane::tool {
namespace {

const char kUsage[] =
    "usage: orvane-tool unpack PROJECTOR -o MOVIE.swf\n"
    "\n"
    "Copies the movie embedded at the end of PROJECTOR to MOVIE.swf, exactly as the player\n"
    "does at start-up.\n";

int run(const std::vector<std::string>& args);
const Command kUnpack{"unpack", "extract the movie from a projector", kUsage, run};
const CommandRegistration kRegistration(kUnpack);

int run(const std::vector<std::string>& args) {
    std::string projector, outPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size())
            outPath = args[++i];
        else if (!a.empty() && a[0] == '-')
            return failUsage(kUnpack, "unknown or incomplete option '" + a + "'");
        else if (projector.empty())
            projector = a;
        else
            return failUsage(kUnpack, "more than one projector given");
    }
    if (projector.empty() || outPath.empty())
        return failUsage(kUnpack, "a projector and -o MOVIE.swf are required");

    if (const std::string problem = inputProblem(projector); !problem.empty())
        return failInput(projector, problem);
    if (sameFile(projector, outPath))
        return failInput(outPath, "is the projector itself; choose another output");
    // The extraction writes beside OUT and renames, so a failure leaves OUT as it was.
    std::string why;
    if (!ExtractEmbeddedMovie(projector, outPath, &why))
        return failInput(projector, why);
    std::error_code ec;
    const auto size = std::filesystem::file_size(outPath, ec);
    std::printf("unpack: wrote %s (%llu bytes)\n", outPath.c_str(), static_cast<unsigned long long>(size));
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
