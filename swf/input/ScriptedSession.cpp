#include "swf/input/ScriptedSession.h"

namespace swf::input {

long runScriptedSession(const InputScript& script, long minFrames, const SessionHooks& hooks) {
    auto done = [&](long shown) { return !hooks.frameDone || hooks.frameDone(shown); };
    long shown = 1;
    hooks.showFrame();
    for (const InputEvent& e : script.events) {
        if (e.kind != InputKind::Wait) {
            if (hooks.deliver)
                hooks.deliver(e);
            continue;
        }
        if (!done(shown))
            return shown;
        hooks.showFrame();
        ++shown;
    }
    if (!done(shown))
        return shown;
    while (shown < minFrames) {
        hooks.showFrame();
        ++shown;
        if (!done(shown))
            return shown;
    }
    return shown;
}

} // namespace swf::input
