#include "MoviePlayback.h"

#include <utility>

namespace orvane::tool {

std::optional<int> takePlaybackOption(const Command&, const std::vector<std::string>& args, std::size_t& i,
                                      PlaybackOptions& options) {
    if (args[i] == "--no-scripts") {
        options.scripts = false;
        return kExitOk;
    }
    return std::nullopt;
}

std::unique_ptr<swf::PlayerSession> openMovie(const std::string& path, const PlaybackOptions& options,
                                              std::function<void(const std::string&)> traceSink) {
    swf::SessionOptions setup;
    setup.scripts = options.scripts;
    setup.traceSink = std::move(traceSink);
    auto session = std::make_unique<swf::PlayerSession>(std::move(setup));
    if (!session->load(path)) {
        failInput(path, session->player().error());
        return nullptr;
    }
    return session;
}

} // namespace orvane::tool
