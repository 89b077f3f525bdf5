#pragma once
// Command-line parsing shared by the commands that play one movie for a number of frames.

#include "CommandRegistry.h"
#include "MoviePlayback.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::tool {

struct MovieAndCount {
    std::string movie;
    long count = 1; // preset to the command's default
    PlaybackOptions playback;
};

// Parses "MOVIE.swf [OPTION N]" plus the shared playback options, with N from 1 to
// 10,000,000. `meaning` names N in the error message ("a frame number", "a count").
// Returns kExitOk, or the exit code of the usage failure it has already reported.
int parseMovieAndCount(const Command& command, const std::vector<std::string>& args,
                       const std::string& option, const std::string& meaning, MovieAndCount& out);

// A whole number from 1 to `max`, written alone in `s`; nothing otherwise.
std::optional<int> parsePositive(const std::string& s, long max);

// Help line and reading of --threads N (bands drawn at once) for the commands that draw.
#define ORVANE_THREADS_USAGE \
    "  --threads N    draw each frame in N bands at once, one a thread (1 to 16; default: one\n" \
    "                 a processor core); the images do not depend on it\n"
// When args[i] is --threads, takes it and its value into `threads` and returns kExitOk, or the
// exit code of the usage failure it has reported. Nothing otherwise.
std::optional<int> takeThreadsOption(const Command& command, const std::vector<std::string>& args, std::size_t& i,
                                     int& threads);

} // namespace orvane::tool
