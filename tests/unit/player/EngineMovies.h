#pragma once
// Shared helpers of the engine's unit tests: small movies built with the SWF writer
// and action byte sequences for the timeline-control actions.

#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/Describe.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine_test {

using namespace orvane::testing;
using Bytes = std::vector<std::uint8_t>;

// A 20x20 pixel red square.
inline ShapeBuilder square(Rgba color = {255, 0, 0}) {
    ShapeBuilder box;
    box.setFill0(box.addFill(FillStyle::solid(color))).rectangle(0, 0, 400, 400);
    return box;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes withString(std::uint8_t code, const std::string& s, bool typed = false) {
    std::size_t len = s.size() + 1 + (typed ? 1 : 0);
    Bytes out{code, static_cast<std::uint8_t>(len & 0xFF), static_cast<std::uint8_t>(len >> 8)};
    if (typed)
        out.push_back(0);
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
    return out;
}

namespace act {
inline Bytes stop() {
    return {0x07};
}
inline Bytes play() {
    return {0x06};
}
inline Bytes nextFrame() {
    return {0x04};
}
inline Bytes prevFrame() {
    return {0x05};
}
inline Bytes gotoFrame(int frame) {
    return {0x81, 2, 0, static_cast<std::uint8_t>(frame & 0xFF), static_cast<std::uint8_t>(frame >> 8)};
}
inline Bytes gotoLabel(const std::string& label) {
    return withString(0x8C, label);
}
inline Bytes setTarget(const std::string& path) {
    return withString(0x8B, path);
}
inline Bytes pushString(const std::string& s) {
    return withString(0x96, s, true);
}
inline Bytes pushInt(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    return {0x96,
            5,
            0,
            7,
            static_cast<std::uint8_t>(u),
            static_cast<std::uint8_t>(u >> 8),
            static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 24)};
}
inline Bytes gotoFrame2(bool play) {
    return {0x9F, 1, 0, static_cast<std::uint8_t>(play ? 1 : 0)};
}
inline Bytes setTarget2() {
    return {0x20};
}
} // namespace act

inline PlaceObject placement(std::uint16_t depth, std::optional<std::uint16_t> id, bool move) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = id;
    p.move = move;
    return p;
}

// Loads the movie, failing the test on error.
inline bool load(swf::Player& player, const SwfWriter& movie) {
    return player.loadFromBytes(movie.bytes());
}

inline void ticks(swf::Player& player, int n) {
    for (int i = 0; i < n; ++i)
        player.tick();
}

inline std::string dump(const swf::Player& player) {
    return swf::timeline::describe(*player.root());
}

} // namespace engine_test
