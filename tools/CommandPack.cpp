// orvane-tool pack: builds a projector from the player stub and a movie.
// Layout: stub bytes, movie bytes, the marker 56 34 12 FA, the movie length (LE 32-bit).

#include "CommandRegistry.h"
#include "InputFile.h"
#include "shell/MovieExtract.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace orvane::tool {
namespace {

constexpr std::uint8_t kMarker[4] = {0x56, 0x34, 0x12, 0xFA};

const char kUsage[] = "usage: orvane-tool pack MOVIE.swf -o OUT [--stub PLAYER]\n"
                      "\n"
                      "Writes a projector: the player stub, the movie, the marker bytes 56 34 12 FA and the\n"
                      "movie length as a little-endian 32-bit number; OUT is made executable.\n"
                      "PLAYER defaults to the stripped player stub installed with orvane-tool\n"
                      "(../lib/orvane/orvane-stub, or ../shell/orvane-stub in a build tree), else the\n"
                      "'orvane' program beside it. MOVIE must start with FWS, CWS or ZWS. OUT must not be\n"
                      "one of the inputs; it is written to a temporary file renamed into place.\n";

int run(const std::vector<std::string>& args);
const Command kPack{"pack", "build a projector from the player and a movie", kUsage, run};
const CommandRegistration kRegistration(kPack);

std::optional<std::string> defaultStub() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    // The stripped stub where it is installed or built, else the player itself.
    const fs::path dir = self.parent_path();
    for (const fs::path& candidate : {dir / ".." / "lib" / "orvane" / "orvane-stub", dir / ".." / "shell" / "orvane-stub",
                                      dir / "orvane", dir / ".." / "shell" / "orvane"})
        if (fs::is_regular_file(candidate, ec))
            return candidate.lexically_normal().string();
    return std::nullopt;
}

// Copies the whole regular file at `path` to `fd`; the byte count, or nothing on failure.
std::optional<std::uint64_t> copyInto(int fd, const std::string& path) {
    std::string why;
    const auto bytes = readInputFile(path, std::numeric_limits<std::int32_t>::max(), why);
    if (!bytes || !detail::writeAll(fd, bytes->data(), bytes->size()))
        return std::nullopt;
    return bytes->size();
}

int run(const std::vector<std::string>& args) {
    std::string moviePath, outPath, stubPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--stub") && i + 1 < args.size()) {
            (a == "-o" ? outPath : stubPath) = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return failUsage(kPack, "unknown or incomplete option '" + a + "'");
        } else if (moviePath.empty()) {
            moviePath = a;
        } else {
            return failUsage(kPack, "more than one movie given");
        }
    }
    if (moviePath.empty() || outPath.empty())
        return failUsage(kPack, "a movie and -o OUT are required");

    // A projector's length field is a signed 32-bit number.
    std::string why;
    const auto movie = readInputFile(moviePath, std::numeric_limits<std::int32_t>::max(), why);
    if (!movie)
        return failInput(moviePath, why);
    const std::string sig(movie->begin(), movie->begin() + std::min<std::size_t>(3, movie->size()));
    if (sig != "FWS" && sig != "CWS" && sig != "ZWS")
        return failInput(moviePath, "not an SWF movie (no FWS, CWS or ZWS signature)");

    if (stubPath.empty()) {
        const auto found = defaultStub();
        if (!found)
            return failInput("orvane", "player stub not found beside orvane-tool; give --stub PLAYER");
        stubPath = *found;
    }
    if (const std::string problem = inputProblem(stubPath); !problem.empty())
        return failInput(stubPath, "cannot use as the player stub: " + problem);
    for (const std::string& input : {moviePath, stubPath})
        if (sameFile(input, outPath))
            return failInput(outPath, "is the same file as the input " + input + "; choose another output");

    std::uint64_t stubBytes = 0;
    const auto fill = [&](int fd) {
        const auto copied = copyInto(fd, stubPath);
        if (!copied)
            return false;
        stubBytes = *copied;
        const auto length = static_cast<std::uint32_t>(movie->size());
        const std::uint8_t trailer[8] = {kMarker[0],
                                         kMarker[1],
                                         kMarker[2],
                                         kMarker[3],
                                         static_cast<std::uint8_t>(length),
                                         static_cast<std::uint8_t>(length >> 8),
                                         static_cast<std::uint8_t>(length >> 16),
                                         static_cast<std::uint8_t>(length >> 24)};
        return detail::writeAll(fd, movie->data(), movie->size()) && detail::writeAll(fd, trailer, 8);
    };
    if (!writeReplacing(outPath, 0755, fill, why))
        return failInput(outPath, "cannot write the projector: " + why);
    std::printf("pack: wrote %s (%llu stub bytes, %llu movie bytes)\n", outPath.c_str(),
                static_cast<unsigned long long>(stubBytes), static_cast<unsigned long long>(movie->size()));
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
