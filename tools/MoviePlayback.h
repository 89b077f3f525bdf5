#pragma once
// The one place where a command sets up the player: the options every command that plays
// a movie shares, and the session built from them (the same script host, virtual clock and
// tick order as the player window). A new playback option added here reaches every command.

#include "CommandRegistry.h"
#include "swf/PlayerSession.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::tool {

struct PlaybackOptions {
    bool scripts = true;
    swf::timeline::Quality quality = swf::timeline::Quality::High;
};

// Help lines for the shared options; commands append them to their usage text.
#define ORVANE_PLAYBACK_USAGE                                                                                \
    "  --no-scripts   run timeline control only (stop, play, goto), not the movie's\n"                       \
    "                 ActionScript; for debugging, the player never draws this\n"                            \
    "  --quality Q    low, medium, high (default) or best, as the player's quality setting:\n"               \
    "                 low draws without anti-aliasing, below high bitmaps are not smoothed;\n"               \
    "                 the movie's scripts may change it\n"

// When args[i] is a playback option, takes it (and any value, moving i on) and returns
// kExitOk, or the exit code of the usage failure it has reported. Nothing otherwise.
std::optional<int> takePlaybackOption(const Command& command, const std::vector<std::string>& args,
                                      std::size_t& i, PlaybackOptions& options);

// The movie at `path` loaded into a session set up as `options` say; trace() lines go to
// `traceSink`. Null after reporting why it cannot be loaded (exit code kExitBadInput).
std::unique_ptr<swf::PlayerSession> openMovie(const std::string& path, const PlaybackOptions& options,
                                              std::function<void(const std::string&)> traceSink = {});

} // namespace orvane::tool
