#include "MoviePlayback.h"

#include "swf/input/ScriptedSession.h"

#include <cstdio>
#include <utility>

namespace orvane::tool {

std::optional<int> takePlaybackOption(const Command& command, const std::vector<std::string>& args,
                                      std::size_t& i, PlaybackOptions& options) {
    if (args[i] == "--no-scripts") {
        options.scripts = false;
        return kExitOk;
    }
    if (args[i] == "--quality") {
        const auto quality = i + 1 < args.size() ? swf::timeline::qualityFromName(args[i + 1]) : std::nullopt;
        if (!quality)
            return failUsage(command, "--quality wants low, medium, high or best");
        options.quality = *quality;
        ++i;
        return kExitOk;
    }
    if (args[i] == "--input") {
        if (i + 1 >= args.size())
            return failUsage(command, "--input wants a script file");
        if (options.input)
            return failUsage(command, "--input given twice");
        const std::string& path = args[++i];
        std::string error;
        auto script = swf::input::loadInputScript(path, error);
        if (!script) {
            // A malformed script stops the command before anything plays.
            std::fprintf(stderr, "orvane-tool: %s\n", error.c_str());
            return kExitBadInput;
        }
        options.input = std::make_shared<const swf::input::InputScript>(std::move(*script));
        return kExitOk;
    }
    return std::nullopt;
}

long playFrames(swf::PlayerSession& session, const PlaybackOptions& options, long frames,
                const std::function<bool(long shown)>& frameDone) {
    static const swf::input::InputScript kNoInput;
    swf::input::SessionHooks hooks;
    hooks.showFrame = [&session] { session.tick(); };
    hooks.deliver = [&session](const swf::input::InputEvent& e) { session.player().handleInput(e); };
    hooks.frameDone = frameDone;
    return swf::input::runScriptedSession(options.input ? *options.input : kNoInput, frames, hooks);
}

std::unique_ptr<swf::PlayerSession> openMovie(const std::string& path, const PlaybackOptions& options,
                                              std::function<void(const std::string&)> traceSink) {
    swf::SessionOptions setup;
    setup.scripts = options.scripts;
    setup.quality = options.quality;
    setup.traceSink = std::move(traceSink);
    auto session = std::make_unique<swf::PlayerSession>(std::move(setup));
    if (!session->load(path)) {
        failInput(path, session->player().error());
        return nullptr;
    }
    return session;
}

} // namespace orvane::tool
