#include "MoviePlayback.h"

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
    return std::nullopt;
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
