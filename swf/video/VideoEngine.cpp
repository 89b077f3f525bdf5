#include "swf/video/VideoEngine.h"

#include "swf/Player.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/World.h"
#include "swf/timeline/objects/VideoObject.h"

namespace swf::video {

VideoEngine::VideoEngine(Player& player) : m_player(player) {}

VideoEngine::~VideoEngine() = default;

EmbeddedVideo& VideoEngine::stream(const format::VideoStreamCharacter& character) {
    auto& slot = m_streams[&character];
    if (!slot)
        slot = std::make_unique<EmbeddedVideo>(character);
    return *slot;
}

void VideoEngine::sync() {
    if (m_loadCount != m_player.loadCount()) {
        m_loadCount = m_player.loadCount();
        m_streams.clear();
    }
    timeline::Clip* root = m_player.root();
    if (!root)
        return;
    root->forEachClip([this](timeline::Clip& clip) {
        for (auto& [depth, obj] : clip.displayList()) {
            if (obj.kind != timeline::ObjectKind::Video || !obj.character ||
                obj.character->kind != format::CharacterKind::VideoStream)
                continue;
            auto* video = obj.as<timeline::VideoObject>();
            if (!video || video->decodedFrame == obj.ratio)
                continue;
            const auto& character = static_cast<const format::VideoStreamCharacter&>(*obj.character);
            if (video->decodedFrame < 0)
                video->smoothing = character.smoothing;
            // The placement's ratio is the stream frame to show.
            auto picture = stream(character).frame(obj.ratio);
            video->decodedFrame = obj.ratio;
            if (picture != video->picture) {
                video->picture = std::move(picture);
                ++clip.world().generation;
            }
        }
    });
}

} // namespace swf::video
