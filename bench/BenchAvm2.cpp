// ActionScript 3 machine benchmarks: the dispatch loop on integer arithmetic, and a
// property read through a five-level class chain. Items per second = instructions
// (or lookups) per second.

#include "AbcAssembler.h"
#include "swf/avm2/Machine.h"

#include <benchmark/benchmark.h>

#include <string>

using orvane::testing::AbcAssembler;
using swf::avm2::Machine;

namespace {

// getlocal1 pushint ifnlt getlocal2 getlocal1 add_i setlocal2 inclocal_i jump
constexpr int kInstructionsPerLoop = 9;

void BM_IntegerLoop(benchmark::State& state) {
    const int iterations = static_cast<int>(state.range(0));
    AbcAssembler a;
    a.method("main", "pushbyte 0\nsetlocal1\npushbyte 0\nsetlocal2\nloop:\ngetlocal1\npushint " +
                         std::to_string(iterations) +
                         "\nifnlt done\ngetlocal2\ngetlocal1\nadd_i\nsetlocal2\ninclocal_i 1\njump loop\ndone:\nreturnvoid\n");
    a.script("main");
    const auto abc = a.bytes();
    for (auto _ : state) {
        Machine m;
        m.setInstructionBudget(4'000'000'000ull);
        std::string error;
        benchmark::DoNotOptimize(m.loadAbc(abc, false, error));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(iterations) * kInstructionsPerLoop);
}
BENCHMARK(BM_IntegerLoop)->Arg(5'000'000)->Unit(benchmark::kMillisecond);

// C5 extends C4 ... extends C1, which declares `value`; the loop reads it from a C5.
void BM_ClassChainLookup(benchmark::State& state) {
    const int reads = static_cast<int>(state.range(0));
    AbcAssembler a;
    std::string defs = "getlocal0\npushscope\n";
    std::string base = "Object";
    for (int i = 1; i <= 5; ++i) {
        std::string name = "C" + std::to_string(i);
        a.method(name + "$init", "getlocal0\nconstructsuper 0\nreturnvoid\n");
        AbcAssembler::ClassSpec def;
        def.name = name;
        def.super = base;
        def.constructor = name + "$init";
        if (i == 1)
            def.slots = {{"value", "int"}};
        a.defineClass(def);
        defs += "getscopeobject 0\ngetlex " + base + "\nnewclass " + name + "\ninitproperty " + name + "\n";
        base = name;
    }
    a.method("main", defs + "findpropstrict C5\nconstructprop C5 0\nsetlocal1\npushbyte 0\nsetlocal2\nloop:\n"
                            "getlocal1\ngetproperty value\npop\ninclocal_i 2\ngetlocal2\npushint " +
                         std::to_string(reads) + "\niflt loop\nreturnvoid\n");
    a.script("main", {"C1", "C2", "C3", "C4", "C5"});
    const auto abc = a.bytes();
    for (auto _ : state) {
        Machine m;
        m.setInstructionBudget(4'000'000'000ull);
        std::string error;
        benchmark::DoNotOptimize(m.loadAbc(abc, false, error));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(reads));
}
BENCHMARK(BM_ClassChainLookup)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
