// Engine benchmarks: loading a large movie, ticking a long busy timeline, and
// seeking in it (with the per-seek p99 beside a replay from frame 0).

#include "SwfWriter.h"
#include "swf/Player.h"
#include "swf/movie/Movie.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/SeekIndex.h"
#include "swf/timeline/World.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <time.h>

using namespace orvane::testing;

namespace {

constexpr int kFrames = 10000;
constexpr int kObjects = 500;
constexpr int kMovesPerFrame = 50;

// About 50 MB: raw bitmap payloads (kept undecoded by the engine) and a few frames.
const std::vector<std::uint8_t>& largeMovie() {
    static const std::vector<std::uint8_t> bytes = [] {
        SwfWriter movie;
        std::mt19937 rng(1);
        ShapeBuilder box;
        box.setFill0(box.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 400, 400);
        movie.defineShape(1, box);
        for (int i = 0; i < 50; ++i) {
            LosslessBitmap bitmap;
            bitmap.width = 512;
            bitmap.height = 512;
            std::vector<std::uint8_t> blob(1 << 20);
            for (auto& b : blob)
                b = static_cast<std::uint8_t>(rng());
            bitmap.rawZlib = std::move(blob);
            movie.defineBitsLossless2(static_cast<std::uint16_t>(10 + i), bitmap);
            movie.place(1, static_cast<std::uint16_t>(1 + i), Matrix::translate(i * 20, 0)).showFrame();
        }
        return movie.bytes();
    }();
    return bytes;
}

// kFrames frames; frame 1 places kObjects shapes, every later frame moves
// kMovesPerFrame of them and replaces one.
const std::vector<std::uint8_t>& busyMovie() {
    static const std::vector<std::uint8_t> bytes = [] {
        SwfWriter movie;
        ShapeBuilder box;
        box.setFill0(box.addFill(FillStyle::solid({0, 0, 255}))).rectangle(0, 0, 200, 200);
        movie.defineShape(1, box).defineShape(2, box);
        for (int d = 1; d <= kObjects; ++d)
            movie.place(1, static_cast<std::uint16_t>(d), Matrix::translate(d * 7, d * 3));
        movie.showFrame();
        for (int f = 1; f < kFrames; ++f) {
            for (int k = 0; k < kMovesPerFrame; ++k) {
                int depth = 1 + (f * kMovesPerFrame + k) % kObjects;
                movie.moveTo(static_cast<std::uint16_t>(depth), Matrix::translate(f % 1000 * 5, depth * 3));
            }
            PlaceObject swap;
            swap.depth = static_cast<std::uint16_t>(1 + f % kObjects);
            swap.move = true;
            swap.characterId = static_cast<std::uint16_t>(1 + f % 2);
            movie.placeObject2(swap);
            movie.showFrame();
        }
        return movie.bytes();
    }();
    return bytes;
}

void BM_Load50MB(benchmark::State& state) {
    const auto& bytes = largeMovie();
    for (auto _ : state) {
        swf::Player player;
        bool ok = player.loadFromBytes(bytes);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["movie_mb"] = bytes.size() / 1e6;
}
BENCHMARK(BM_Load50MB)->Unit(benchmark::kMillisecond);

void BM_Tick10kFrames500Objects(benchmark::State& state) {
    swf::Player player;
    player.loadFromBytes(busyMovie());
    player.tick();
    for (auto _ : state) {
        player.tick();
        benchmark::DoNotOptimize(player.displayGeneration());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ticks_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Tick10kFrames500Objects)->Unit(benchmark::kMicrosecond);

// Random seeks on a warm player, timed one by one for the percentiles, and in the
// same run the cost of replaying the tags from frame 0 to the same targets.
void BM_SeekRandomFrames(benchmark::State& state) {
    swf::Player player;
    player.loadFromBytes(busyMovie());
    player.tick();
    std::mt19937 rng(42);
    for (int i = 0; i < 400; ++i) // warm the snapshot index
        player.gotoFrame(static_cast<int>(rng() % kFrames));
    // Thread CPU time as well as wall time: on a shared machine the wall-clock tail
    // is mostly other processes.
    auto cpuUs = [] {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
    };
    std::vector<double> seekUs, seekCpuUs;
    std::vector<int> targets;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        int target = static_cast<int>(rng() % kFrames);
        double c0 = cpuUs();
        auto t0 = Clock::now();
        player.gotoFrame(target);
        auto t1 = Clock::now();
        seekCpuUs.push_back(cpuUs() - c0);
        seekUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        targets.push_back(target);
    }
    auto pct = [](std::vector<double> v, double p) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))] / 1000.0;
    };
    state.counters["seek_p50_ms"] = pct(seekUs, 0.50);
    state.counters["seek_p99_ms"] = pct(seekUs, 0.99);
    state.counters["seek_p99_cpu_ms"] = pct(seekCpuUs, 0.99);
    state.counters["seek_max_ms"] = pct(seekUs, 1.0);
    // Replay from frame 0 for a sample of the same targets.
    swf::timeline::World world(*player.movie());
    double replayMs = 0;
    std::size_t samples = std::min<std::size_t>(targets.size(), 20);
    for (std::size_t i = 0; i < samples; ++i) {
        auto t0 = Clock::now();
        swf::timeline::PlaceMap state0;
        for (int f = 0; f <= targets[i]; ++f)
            swf::timeline::applyFrameTags(world.movie, player.movie()->root(), f, state0);
        replayMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        benchmark::DoNotOptimize(state0.size());
    }
    state.counters["replay_from_0_ms"] = samples ? replayMs / samples : 0;
}
BENCHMARK(BM_SeekRandomFrames)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

BENCHMARK_MAIN();
