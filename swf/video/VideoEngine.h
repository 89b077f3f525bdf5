#pragma once
// Shows video on a player's stage: after every tick (and every jump a host makes itself)
// each video object gets the picture of the stream frame its placement's ratio names.
// Streams are decoded on first sight and forgotten with their movie.

#include "swf/video/EmbeddedVideo.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace swf {
class Player;
}

namespace swf::video {

class VideoEngine {
public:
    explicit VideoEngine(Player& player);
    ~VideoEngine();
    VideoEngine(const VideoEngine&) = delete;
    VideoEngine& operator=(const VideoEngine&) = delete;

    // Brings every video object's picture in line with its placement; marks the display
    // changed when a picture changed.
    void sync();
    // The decoding state of a stream of the loaded movie (made on first use).
    EmbeddedVideo& stream(const format::VideoStreamCharacter& character);

private:
    Player& m_player;
    std::uint64_t m_loadCount = 0;
    std::unordered_map<const format::VideoStreamCharacter*, std::unique_ptr<EmbeddedVideo>> m_streams;
};

} // namespace swf::video
