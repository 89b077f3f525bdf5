#pragma once
// Movies played under an input script the way orvane-tool runs them, for the input tests:
// what the movie traces comes back joined with '|'.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/avm1/PlayerScriptHost.h"
#include "swf/input/ScriptedSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvane::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes code(const std::string& source) {
    Bytes b = assembleActions(source);
    b.pop_back(); // writer records add their own end
    return b;
}

inline Bytes traceText(const std::string& text) {
    return code("push \"" + text + "\"; trace");
}

// Plays a movie under an input script; trace lines joined with '|'.
struct Session {
    swf::Player player;
    swf::avm1::PlayerScriptHost* scripts = nullptr;
    std::string out;

    explicit Session(const SwfWriter& movie) {
        auto host = std::make_unique<swf::avm1::PlayerScriptHost>();
        scripts = host.get();
        scripts->setTraceSink([this](const std::string& line) { out += (out.empty() ? "" : "|") + line; });
        player.setActionRunner(std::move(host));
        EXPECT_TRUE(player.loadFromBytes(movie.bytes())) << player.error();
    }
    std::string run(const std::string& script, long frames = 1) {
        std::string error;
        auto parsed = swf::input::parseInputScript(script, error);
        EXPECT_TRUE(parsed) << error;
        swf::input::SessionHooks hooks;
        hooks.showFrame = [this] {
            player.tick();
            scripts->afterTick();
        };
        hooks.deliver = [this](const swf::input::InputEvent& e) { player.handleInput(e); };
        if (parsed)
            swf::input::runScriptedSession(*parsed, frames, hooks);
        return out;
    }
};

} // namespace orvane::testing
