// Runs arbitrary action bytes in the interpreter under tight limits: the first
// byte picks the SWF version, the rest is one action block, run on the root and
// on a nested clip, then as interval and handler callbacks, with collections in
// between so a sanitizer sees objects used after they were freed. Built for
// libFuzzer with ORVANE_LIBFUZZER, or as a plain program replaying files and
// directories given on the command line.

#include "FakeClipHost.h"
#include "swf/avm1/Interpreter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

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
    return traced == static_cast<std::size_t>(-1);
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(arg);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE|DIR...\n", argv[0]);
        return 2;
    }
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        // Every prefix too: truncated code is the commonest malformed input.
        for (std::size_t cut = 1; cut < bytes.size(); cut += 1 + bytes.size() / 16)
            LLVMFuzzerTestOneInput(bytes.data(), cut);
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
#endif
