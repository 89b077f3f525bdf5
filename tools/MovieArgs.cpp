#include "MovieArgs.h"

#include <charconv>

namespace orvane::tool {

int parseMovieAndCount(const Command& command, const std::vector<std::string>& args,
                       const std::string& option, const std::string& meaning, MovieAndCount& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (const auto taken = takePlaybackOption(command, args, i, out.playback)) {
            if (*taken != kExitOk)
                return *taken;
        } else if (a == option) {
            if (i + 1 >= args.size())
                return failUsage(command, option + " needs a number");
            const std::string& v = args[++i];
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out.count);
            if (ec != std::errc() || end != v.data() + v.size() || out.count < 1 || out.count > 10'000'000)
                return failUsage(command, option + " takes " + meaning + " from 1");
        } else if (!a.empty() && a[0] == '-') {
            return failUsage(command, "unknown option " + a);
        } else if (out.movie.empty()) {
            out.movie = a;
        } else {
            return failUsage(command, "one movie at a time");
        }
    }
    if (out.movie.empty())
        return failUsage(command, "no movie given");
    return kExitOk;
}

std::optional<int> parsePositive(const std::string& s, long max) {
    try {
        std::size_t used = 0;
        const long v = std::stol(s, &used);
        if (used != s.size() || v < 1 || v > max)
            return std::nullopt;
        return static_cast<int>(v);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<int> takeThreadsOption(const Command& command, const std::vector<std::string>& args, std::size_t& i,
                                     int& threads) {
    if (args[i] != "--threads")
        return std::nullopt;
    const auto n = i + 1 < args.size() ? parsePositive(args[i + 1], 16) : std::nullopt;
    if (!n)
        return failUsage(command, "--threads wants a count from 1 to 16");
    threads = *n;
    ++i;
    return kExitOk;
}

} // namespace orvane::tool
