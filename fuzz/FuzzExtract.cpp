// Extraction of a projector's movie from arbitrary program bytes: the bytes are written as a
// program file, then the embedded movie is looked for and extracted. Whatever the trailer
// claims, extraction either refuses or writes exactly the bytes before the trailer, and
// never leaves anything else behind. Built for libFuzzer with ORVANE_LIBFUZZER, or as a
// plain program that replays files and directories given on the command line.

#include "ReplayMain.h"
#include "shell/MovieExtract.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path& workDirectory() {
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "orvane-fuzz-extract-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return fs::path(pattern);
    }();
    return dir;
}

// What the trailer says, read independently of the code under test.
bool expectedMovie(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& movie) {
    if (file.size() < 8)
        return false;
    const std::size_t n = file.size();
    const auto length = static_cast<std::int32_t>(std::uint32_t(file[n - 4]) | std::uint32_t(file[n - 3]) << 8 |
                                                  std::uint32_t(file[n - 2]) << 16 |
                                                  std::uint32_t(file[n - 1]) << 24);
    if (length <= 0 || static_cast<std::size_t>(length) > n - 8)
        return false;
    movie.assign(file.end() - 8 - length, file.end() - 8);
    return true;
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz_extract: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path program = workDirectory() / "program";
    const fs::path dest = workDirectory() / "player.swf";
    const std::vector<std::uint8_t> file(data, data + size);
    {
        std::ofstream out(program, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code ec;
    fs::remove(dest, ec);

    std::vector<std::uint8_t> expected;
    const bool plausible = expectedMovie(file, expected);
    const bool embedded = orvane::HasEmbeddedMovie(program.string());
    std::string why;
    const bool written = orvane::ExtractEmbeddedMovie(program.string(), dest.string(), &why);
    if (written != plausible)
        fail("extraction disagrees with the trailer");
    if (embedded && !written)
        fail("a movie was found but not extracted");
    if (!written && why.empty())
        fail("a refusal without a reason");
    if (written) {
        std::ifstream in(dest, std::ios::binary);
        const std::vector<std::uint8_t> got{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (got != expected)
            fail("the extracted movie differs from the bytes before the trailer");
    } else if (fs::exists(dest)) {
        fail("a refused extraction wrote a file");
    }
    if (std::distance(fs::directory_iterator(workDirectory()), fs::directory_iterator()) != (written ? 2 : 1))
        fail("extraction left something behind");
    return 0;
}

#ifndef ORVANE_LIBFUZZER
int main(int argc, char** argv) {
    const int result = orvane::fuzz::replayMain(argc, argv, [](const std::vector<std::uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    });
    std::error_code ec;
    fs::remove_all(workDirectory(), ec);
    return result;
}
#endif
