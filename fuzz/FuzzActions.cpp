// Runs arbitrary action bytes in the interpreter under tight limits: the first
// byte picks the SWF version, the rest is one action block, run on the root and
// on a nested clip, then as interval and handler callbacks, with collections in
// between so a sanitizer sees objects used after they were freed; then the same
// code runs inside a small movie played by the player (when it is built). Built for
// libFuzzer with ORVANE_LIBFUZZER, or as a plain program replaying files and
// directories given on the command line.

#include "FakeClipHost.h"
#include "ReplayMain.h"
#include "swf/avm1/Interpreter.h"
#ifdef ORVANE_FUZZ_WITH_PLAYER
#include "swf/Player.h"
#include "swf/avm1/PlayerScriptHost.h"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#ifdef ORVANE_FUZZ_WITH_PLAYER
namespace {

void tag(std::vector<std::uint8_t>& out, std::uint16_t code, const std::vector<std::uint8_t>& body) {
    out.push_back(0x3F | static_cast<std::uint8_t>(code << 6));
    out.push_back(static_cast<std::uint8_t>(code >> 2));
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
}

// A movie whose root and a named sprite ("mc", exported as "Symbol") both run
// `code` on their first frame, played for a few ticks through the player.
void playInMovie(int version, std::span<const std::uint8_t> code) {
    std::vector<std::uint8_t> actions(code.begin(), code.end());
    actions.push_back(0);
    std::vector<std::uint8_t> sprite = {1, 0, 2, 0}; // id 1, two frames
    tag(sprite, 12, actions);
    tag(sprite, 1, {});
    tag(sprite, 1, {});
    tag(sprite, 0, {});
    std::vector<std::uint8_t> body = {0x00, 0, 12, 3, 0}; // empty stage rect, 12 fps, 3 frames
    tag(body, 39, sprite);
    tag(body, 56, {1, 0, 1, 0, 'S', 'y', 'm', 'b', 'o', 'l', 0});
    tag(body, 26, {0x22, 1, 0, 1, 0, 'm', 'c', 0}); // PlaceObject2: character 1 named mc at depth 1
    tag(body, 12, actions);
    for (int f = 0; f < 3; ++f)
        tag(body, 1, {});
    tag(body, 0, {});
    std::vector<std::uint8_t> file = {'F', 'W', 'S', static_cast<std::uint8_t>(version)};
    const std::size_t length = body.size() + 8;
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    file.insert(file.end(), body.begin(), body.end());

    auto owned = std::make_unique<swf::avm1::PlayerScriptHost>();
    swf::avm1::PlayerScriptHost* host = owned.get();
    swf::Player player;
    player.setActionRunner(std::move(owned));
    if (!player.loadFromBytes(std::move(file)))
        return;
    if (auto* vm = host->interpreter()) {
        swf::avm1::Limits limits;
        limits.maxActions = 100'000;
        limits.maxStringBytes = 1u << 20;
        limits.maxArrayLength = 1u << 16;
        vm->setLimits(limits);
    }
    // Input between the ticks reaches the code's listeners and handlers.
    for (int tick = 0; tick < 5; ++tick) {
        host->setTime(tick * 83.0);
        player.tick();
        host->afterTick();
        player.mouseMove(tick * 7.0, 3.0);
        player.mouseDown(tick * 7.0, 3.0);
        player.keyDown(65 + tick, 97 + tick);
        player.wheel(tick - 2);
        player.keyUp(65 + tick, 97 + tick);
        player.mouseUp(0, 0);
    }
}

} // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int version = 3 + data[0] % 8;
    const std::span<const std::uint8_t> code(data + 1, size - 1);

    orvane::testing::FakeClipHost host;
    const swf::avm1::ClipId child = host.add(host.root(), "mc", 1);
    host.add(child, "inner", 1);
    swf::avm1::Interpreter vm(version, &host);
    swf::avm1::Limits limits;
    limits.maxActions = 100'000;
    limits.maxStringBytes = 1u << 20;
    limits.maxArrayLength = 1u << 16;
    vm.setLimits(limits);
    std::size_t traced = 0;
    vm.setTraceSink([&](const std::string& line) { traced += line.size(); });

    vm.run(code, host.root());
    vm.collectGarbage();
    vm.run(code, child);
    for (int tick = 1; tick <= 3; ++tick) {
        vm.setTime(tick * 100.0);
        vm.runIntervals();
        vm.callHandler(child, "onEnterFrame");
        vm.collectGarbage();
    }
    host.remove(child);
    vm.clipRemoved(child);
    vm.run(code, host.root());
    vm.collectGarbage();
#ifdef ORVANE_FUZZ_WITH_PLAYER
    playInMovie(version, code);
#endif
    return traced == static_cast<std::size_t>(-1);
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    return orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        // Every prefix too: truncated code is the commonest malformed input.
        for (std::size_t cut = 1; cut < bytes.size(); cut += 1 + bytes.size() / 16)
            LLVMFuzzerTestOneInput(bytes.data(), cut);
    });
}
#endif
