#pragma once
// Plays a movie under a scripted input session, for tools that run without a window.
// Frame 1 is shown first; then the events are delivered in order, each `wait` showing
// one more frame; once the script is used up, frames are shown without input until at
// least `minFrames` have been shown. A script with more waits than that runs whole.

#include "swf/input/InputScript.h"

#include <functional>

namespace swf::input {

struct SessionHooks {
    // Shows the next frame (the player's tick and whatever the tool does around it).
    std::function<void()> showFrame;
    // Hands one event to the player.
    std::function<void(const InputEvent&)> deliver;
    // Called when frame `shown` (from 1) is complete: every event before the next
    // frame has been delivered. Returning false ends the session there.
    std::function<bool(long shown)> frameDone;
};

// Returns the number of frames shown.
long runScriptedSession(const InputScript& script, long minFrames, const SessionHooks& hooks);

} // namespace swf::input
