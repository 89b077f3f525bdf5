// Loads a movie from arbitrary bytes and plays it: 50 ticks with gotos, steps and
// loop changes chosen from the input itself, touching every object on stage so
// a sanitizer sees stale state. Built for libFuzzer with ORVANE_LIBFUZZER, or as a
// plain program that replays files and directories given on the command line.

#include "swf/Player.h"
#include "swf/format/Shape.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "ReplayMain.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

std::uint64_t touch(const swf::timeline::Clip& clip) {
    std::uint64_t sum = clip.currentFrame();
    for (const auto& [depth, obj] : clip.displayList()) {
        sum += static_cast<std::uint64_t>(depth) + obj.character->id + obj.ratio + obj.name.size();
        // Bit pattern, not a conversion: scripts can move a clip to NaN or far out of range.
        sum += std::bit_cast<std::uint64_t>(obj.matrix.tx) + obj.filters.size() + obj.clipActions.size();
        if (obj.character->kind == swf::format::CharacterKind::MorphShape)
            sum += static_cast<const swf::format::MorphShapeCharacter&>(*obj.character)
                       .shapeAt(obj.ratio)
                       .shape.records.size();
        if (obj.clip)
            sum += touch(*obj.clip);
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    swf::Player player;
    if (!player.loadFromBytes(std::vector<std::uint8_t>(data, data + size)))
        return 0;
    std::uint32_t seed = 2166136261u;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 64); ++i)
        seed = (seed ^ data[i]) * 16777619u;
    volatile std::uint64_t sink = 0;
    for (int i = 0; i < 50; ++i) {
        seed = seed * 1664525u + 1013904223u;
        switch ((seed >> 24) % 10) {
        case 0:
            player.gotoFrame(static_cast<int>(seed % 70000) - 5);
            break;
        case 1:
            player.back();
            break;
        case 2:
            player.forward();
            break;
        case 3:
            player.setLoop(!player.loop());
            break;
        case 4:
            player.play();
            break;
        default:
            break;
        }
        player.tick();
        sink = sink + touch(*player.root()) + player.displayGeneration();
    }
    (void)sink;
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    });
}
#endif
