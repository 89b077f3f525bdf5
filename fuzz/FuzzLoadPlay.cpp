// Loads a movie from arbitrary bytes and plays it: 50 ticks with gotos, steps, loop
// changes and mouse and key input chosen from the input itself, touching every object on stage so
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
#include <string>
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

// Mouse and keys chosen by the seed: moves, presses and releases anywhere (off the stage
// too), keys down and up, wheel turns, text and focus changes, so every input path runs
// against whatever the movie has placed.
void sendInput(swf::Player& player, std::uint32_t seed) {
    const double x = static_cast<double>(static_cast<int>(seed % 1400) - 200) + (seed >> 28) / 16.0;
    const double y = static_cast<double>(static_cast<int>((seed >> 11) % 1000) - 150);
    const int key = static_cast<int>((seed >> 5) % 300) - 20;
    switch ((seed >> 16) % 9) {
    case 0:
    case 1:
        player.mouseMove(x, y);
        break;
    case 2:
        player.mouseDown(x, y);
        break;
    case 3:
        player.mouseUp(x, y);
        break;
    case 4:
        player.keyDown(key, key & 0x7F);
        break;
    case 5:
        player.keyUp(key, key & 0x7F);
        break;
    case 6:
        player.wheel(static_cast<int>(seed % 7) - 3);
        break;
    case 7:
        player.typeText(std::string(1, static_cast<char>(seed & 0xFF)));
        break;
    default:
        if (seed & 1)
            player.focusOut();
        else
            player.focusIn();
        break;
    }
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
            sendInput(player, seed);
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
