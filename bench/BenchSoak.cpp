// Soak: a looping, script-heavy movie played for an hour of frames at 60 fps (216,000 ticks
// on the virtual clock). Resident memory is sampled every 6 minutes of movie time; after the
// first sample (warm-up: caches, pools and the interpreter's tables filled), its peak must
// stay within 5% of that first figure, or the benchmark reports an error.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "swf/PlayerSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <unistd.h>

using namespace orvane::testing;

namespace {

constexpr long kTicks = 216'000;
constexpr long kSampleEvery = kTicks / 10;

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Frame 1 builds 200 objects and a 200-character string, and places a clip; frame 2 drops
// the clip. Every loop makes the same garbage again, so a leak shows as growth.
std::vector<std::uint8_t> soakMovie() {
    SwfWriter movie;
    movie.setStageSize(320, 240).setFrameRate(60);
    ShapeBuilder box;
    box.setFill0(box.addFill(FillStyle::solid({200, 40, 40}))).rectangle(0, 0, 400, 400);
    auto code = assembleActions("push \"s\", \"\"; setvariable\n"
                                "push 0; store 1; pop\n"
                                "loop: push \"s\", \"s\"; getvariable; push \"x\"; add2; setvariable\n"
                                "push \"o\", 0, \"Object\"; newobject; setvariable\n"
                                "push \"o\"; getvariable; push \"v\", r:1; setmember\n"
                                "push r:1, 1; add2; store 1; pop\n"
                                "push r:1, 200; less2; if loop\n");
    code.pop_back(); // the writer closes the block itself
    movie.defineShape(1, box).place(1, 1).doAction(code).showFrame();
    movie.removeObject2(1).showFrame();
    return movie.bytes();
}

void BM_SoakHourAt60Fps(benchmark::State& state) {
    for (auto _ : state) {
        swf::PlayerSession session;
        if (!session.loadFromBytes(soakMovie())) {
            state.SkipWithError("the soak movie does not load");
            return;
        }
        long warm = 0, peak = 0;
        for (long tick = 1; tick <= kTicks; ++tick) {
            session.tick();
            if (tick % kSampleEvery == 0) {
                const long now = residentKiB();
                if (warm == 0)
                    warm = now;
                peak = std::max(peak, now);
            }
        }
        const double growth = warm > 0 ? 100.0 * double(peak - warm) / double(warm) : 0.0;
        state.counters["rss_warm_KiB"] = double(warm);
        state.counters["rss_peak_KiB"] = double(peak);
        state.counters["growth_pct"] = growth;
        state.counters["frame"] = session.player().currentFrame();
        if (growth > 5.0)
            state.SkipWithError("resident memory grew more than 5% over the hour");
    }
    state.SetItemsProcessed(state.iterations() * kTicks);
}
BENCHMARK(BM_SoakHourAt60Fps)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
