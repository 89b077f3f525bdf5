// Extraction throughput against a plain copy of the same bytes, and the process's peak RSS.
// Builds a projector with a 200 MB movie (or --mb N) in a scratch directory, then times,
// best of three each: a read/write copy of the movie file, and ExtractEmbeddedMovie from
// the projector; and extraction's buffered fallback on the same range. Prints one line:
//   extract: movie_mb=... extract_mb_s=... copy_mb_s=... ratio=... buffered_mb_s=... peak_rss_mb=...

#include "shell/MovieExtract.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBuffer = 1 << 20;

using orvane::detail::writeAll;

// Writes the movie file and the projector (stub + movie + trailer) in chunks.
bool makeFiles(const std::string& moviePath, const std::string& projectorPath, std::uint64_t movieBytes) {
    const int movie = ::open(moviePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int projector = ::open(projectorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
    if (movie < 0 || projector < 0)
        return false;
    std::vector<std::uint8_t> chunk(kBuffer);
    std::uint32_t state = 12345;
    for (auto& b : chunk) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    bool ok = writeAll(projector, chunk.data(), 512 * 1024); // the stub
    std::memcpy(chunk.data(), "FWS\x0a", 4);
    for (std::uint64_t done = 0; ok && done < movieBytes;) {
        const std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBuffer, movieBytes - done));
        ok = writeAll(movie, chunk.data(), step) && writeAll(projector, chunk.data(), step);
        chunk[4] ^= 0x5A; // not every chunk identical
        done += step;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(movieBytes);
    const std::uint8_t trailer[8] = {0x56,
                                     0x34,
                                     0x12,
                                     0xFA,
                                     static_cast<std::uint8_t>(length),
                                     static_cast<std::uint8_t>(length >> 8),
                                     static_cast<std::uint8_t>(length >> 16),
                                     static_cast<std::uint8_t>(length >> 24)};
    ok = ok && writeAll(projector, trailer, 8);
    ok = (::close(movie) == 0) && ok;
    ok = (::close(projector) == 0) && ok;
    return ok;
}

// The baseline: what any program does to copy a file, read and write with a 1 MiB buffer.
bool plainCopy(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = in >= 0 && out >= 0;
    std::vector<std::uint8_t> buffer(kBuffer);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(out, buffer.data(), static_cast<std::size_t>(n));
    }
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ok = (::close(out) == 0) && ok;
    return ok;
}

// Extraction's fallback path (used where the kernel cannot copy between the two files).
bool bufferedExtract(const std::string& projector, const std::string& to, std::uint64_t movieBytes) {
    const int in = ::open(projector.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    bool ok =
        in >= 0 && out >= 0 &&
        orvane::detail::copyRange(in, static_cast<std::int64_t>(fs::file_size(projector) - 8 - movieBytes),
                                  out, movieBytes, orvane::detail::CopyMethod::Buffered);
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ok = (::close(out) == 0) && ok;
    return ok;
}

// Seconds one run of step takes, or -1 when it fails.
template <typename F> double timed(F&& step) {
    const auto start = std::chrono::steady_clock::now();
    if (!step())
        return -1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t megabytes = 200;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--mb")
            megabytes = std::strtoull(argv[i + 1], nullptr, 10);
    const std::uint64_t movieBytes = megabytes * 1000 * 1000;

    std::string dir = (fs::temp_directory_path() / "orvane-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string movie = dir + "/movie.swf", projector = dir + "/projector", copy = dir + "/copy.swf",
                      extracted = dir + "/player.swf";
    int rc = 0;
    if (!makeFiles(movie, projector, movieBytes)) {
        std::fprintf(stderr, "bench: cannot write the test files in %s\n", dir.c_str());
        rc = 1;
    } else {
        // Interleaved rounds, best of each, outputs removed beforehand: the machine is shared
        // and the page cache warm, so single runs swing widely.
        const std::string buffered = dir + "/buffered.swf";
        double copySeconds = 1e30, extractSeconds = 1e30, bufferedSeconds = 1e30;
        for (int round = 0; round < 5; ++round) {
            std::error_code ec;
            for (const std::string& out : {copy, extracted, buffered})
                fs::remove(out, ec);
            const double c = timed([&] { return plainCopy(movie, copy); });
            const double e = timed([&] { return orvane::ExtractEmbeddedMovie(projector, extracted); });
            const double b = timed([&] { return bufferedExtract(projector, buffered, movieBytes); });
            if (c < 0 || e < 0 || b < 0) {
                copySeconds = -1;
                break;
            }
            copySeconds = std::min(copySeconds, c);
            extractSeconds = std::min(extractSeconds, e);
            bufferedSeconds = std::min(bufferedSeconds, b);
        }
        if (copySeconds < 0 || extractSeconds < 0 || bufferedSeconds < 0 ||
            fs::file_size(extracted) != movieBytes) {
            std::fprintf(stderr, "bench: copy or extraction failed\n");
            rc = 1;
        } else {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            const double mb = static_cast<double>(movieBytes) / 1e6;
            std::printf(
                "extract: movie_mb=%.0f extract_mb_s=%.0f copy_mb_s=%.0f ratio=%.2f buffered_mb_s=%.0f "
                "peak_rss_mb=%.1f\n",
                mb, mb / extractSeconds, mb / copySeconds, copySeconds / extractSeconds, mb / bufferedSeconds,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return rc;
}
