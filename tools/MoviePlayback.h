#pragma once
// The one place where a command sets up the player: the options every command that plays
// a movie shares, and the session built from them (the same script host, virtual clock and
// tick order as the player window). A new playback option added here reaches every command.

#include "CommandRegistry.h"
#include "swf/PlayerSession.h"
#include "swf/input/InputScript.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::tool {

struct PlaybackOptions {
    bool scripts = true;
    swf::timeline::Quality quality = swf::timeline::Quality::High;
    // --input: the scripted session to play under; null for none.
    std::shared_ptr<const swf::input::InputScript> input;
};

// Help lines for the shared options; commands append them to their usage text.
#define ORVANE_PLAYBACK_USAGE                                                                                \
    "  --no-scripts   run timeline control only (stop, play, goto), not the movie's\n"                       \
    "                 ActionScript; for debugging, the player never draws this\n"                            \
    "  --quality Q    low, medium, high (default) or best, as the player's quality setting:\n"               \
    "                 low draws without anti-aliasing, below high bitmaps are not smoothed;\n"               \
    "                 the movie's scripts may change it\n"                                           \
    "  --input FILE   play under a scripted input session, one event a line: wait,\n"                    \
    "                 mouse_move X Y, mouse_down X Y [left|right|middle], mouse_up X Y [...],\n"        \
    "                 wheel LINES, key_down KEY, key_up KEY, text CHARS, focus_out, focus_in,\n"       \
    "                 clipboard TEXT ('#' comments). Frame 1 shows first; each wait shows one\n"     \
    "                 more frame; a frame counts as shown once the events before the next\n"        \
    "                 wait are delivered. A script with more waits than frames runs whole.\n"

// When args[i] is a playback option, takes it (and any value, moving i on) and returns
// kExitOk, or the exit code of the usage failure it has reported. Nothing otherwise.
std::optional<int> takePlaybackOption(const Command& command, const std::vector<std::string>& args,
                                      std::size_t& i, PlaybackOptions& options);

// Plays the session's movie from its start for at least `frames` frames, under the
// --input script if there is one. `frameDone(shown)` is called as each frame is complete
// (shown counts from 1); returning false stops there. Returns the frames shown.
long playFrames(swf::PlayerSession& session, const PlaybackOptions& options, long frames,
                const std::function<bool(long shown)>& frameDone = {});

// The movie at `path` loaded into a session set up as `options` say; trace() lines go to
// `traceSink`. Null after reporting why it cannot be loaded (exit code kExitBadInput).
std::unique_ptr<swf::PlayerSession> openMovie(const std::string& path, const PlaybackOptions& options,
                                              std::function<void(const std::string&)> traceSink = {});

} // namespace orvane::tool
