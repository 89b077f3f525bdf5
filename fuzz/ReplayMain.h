// The plain-program form shared by the fuzz targets: replays the files given on the
// command line, and every regular file in each directory given, in sorted order.

#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <type_traits>
#include <vector>

namespace orvane::fuzz {

// `replay` gets each input's bytes. When it returns a count (it also ran variants of the
// input), the summary line reports the runs as well as the inputs.
template <class Replay>
int replayMain(int argc, char** argv, Replay&& replay) {
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
    using Result = std::invoke_result_t<Replay&, const std::vector<std::uint8_t>&>;
    std::size_t runs = 0;
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        if constexpr (std::is_void_v<Result>)
            replay(bytes);
        else
            runs += replay(bytes);
    }
    if constexpr (std::is_void_v<Result>)
        std::printf("%zu inputs replayed\n", inputs.size());
    else
        std::printf("%zu inputs, %zu runs replayed\n", inputs.size(), runs);
    return 0;
}

} // namespace orvane::fuzz
