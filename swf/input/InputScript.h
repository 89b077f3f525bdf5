#pragma once
// Scripted input sessions: a text of one event a line, for running movies with input
// and no window. Blank lines and lines starting with '#' are skipped.
//
//   wait                          the movie runs its next frame
//   mouse_move X Y                stage pixels, may be fractional
//   mouse_down X Y [left|right|middle]    (left when omitted)
//   mouse_up X Y [left|right|middle]
//   wheel LINES                   whole lines, positive turns away from the user
//   key_down KEY / key_up KEY     see keyByName()
//   text CHARS                    the rest of the line; \n \t \\ escapes
//   focus_out / focus_in          the window loses / regains the keyboard focus
//   clipboard TEXT                the desktop clipboard now holds TEXT (same escapes)

#include "swf/input/InputEvent.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::input {

struct InputScript {
    std::vector<InputEvent> events;
    std::size_t waits() const;
};

// The whole script, or nothing with `error` set to "line N: reason" for the first
// malformed line.
std::optional<InputScript> parseInputScript(std::string_view text, std::string& error);

// Reads and parses a file; the error names the file when it cannot be read.
std::optional<InputScript> loadInputScript(const std::string& path, std::string& error);

} // namespace swf::input
