// orvane-tool pack: builds a projector from the player stub and a movie.
// Layout: stub bytes, movie bytes, the marker 56 34 12 FA, the movie length (LE 32-bit).

#include "CommandRegistry.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
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
                      "PLAYER defaults to the 'orvane' program beside orvane-tool (or ../shell/orvane in a\n"
                      "build tree). MOVIE must start with FWS, CWS or ZWS.\n";

int run(const std::vector<std::string>& args);
const Command kPack{"pack", "build a projector from the player and a movie", kUsage, run};
const CommandRegistration kRegistration(kPack);

std::optional<std::string> defaultStub() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    for (const fs::path& candidate :
         {self.parent_path() / "orvane", self.parent_path() / ".." / "shell" / "orvane"})
        if (fs::is_regular_file(candidate, ec))
            return candidate.lexically_normal().string();
    return std::nullopt;
}

// Appends the whole of `from` to `out`; returns the byte count, or nullopt on a read error.
std::optional<std::uint64_t> append(std::ifstream& from, std::ofstream& out) {
    std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    while (from) {
        from.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = from.gcount();
        if (got > 0) {
            out.write(buffer.data(), got);
            total += static_cast<std::uint64_t>(got);
        }
    }
    if (from.bad())
        return std::nullopt;
    return total;
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

    std::ifstream movie(moviePath, std::ios::binary);
    if (!movie)
        return failInput(moviePath, std::string("cannot open: ") + std::strerror(errno));
    char signature[3] = {};
    movie.read(signature, 3);
    const std::string sig(signature, static_cast<std::size_t>(movie.gcount()));
    if (sig != "FWS" && sig != "CWS" && sig != "ZWS")
        return failInput(moviePath, "not an SWF movie (no FWS, CWS or ZWS signature)");
    std::error_code ec;
    const std::uintmax_t movieSize = fs::file_size(moviePath, ec);
    if (ec || movieSize > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()))
        return failInput(moviePath, "too large for a projector's 32-bit length");
    movie.seekg(0);

    if (stubPath.empty()) {
        const auto found = defaultStub();
        if (!found)
            return failInput("orvane", "player stub not found beside orvane-tool; give --stub PLAYER");
        stubPath = *found;
    }
    std::ifstream stub(stubPath, std::ios::binary);
    if (!stub)
        return failInput(stubPath, std::string("cannot open player stub: ") + std::strerror(errno));

    // Written beside OUT and renamed, so OUT may even be one of the inputs.
    const std::string tempPath = outPath + ".part";
    std::ofstream out(tempPath, std::ios::binary | std::ios::trunc);
    if (!out)
        return failInput(outPath, std::string("cannot write: ") + std::strerror(errno));
    const auto stubBytes = append(stub, out);
    const auto movieBytes = append(movie, out);
    bool ok = stubBytes && movieBytes && *movieBytes == movieSize;
    if (ok) {
        out.write(reinterpret_cast<const char*>(kMarker), 4);
        const auto length = static_cast<std::uint32_t>(*movieBytes);
        const char trailer[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                                 static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
        out.write(trailer, 4);
    }
    out.close();
    ok = ok && out.good();
    if (ok) {
        fs::permissions(tempPath,
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec |
                            fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
        ok = !ec;
    }
    if (ok) {
        fs::rename(tempPath, outPath, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(tempPath, ec);
        return failInput(outPath, "cannot write the projector");
    }
    std::printf("pack: wrote %s (%llu stub bytes, %llu movie bytes)\n", outPath.c_str(),
                static_cast<unsigned long long>(*stubBytes), static_cast<unsigned long long>(*movieBytes));
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
