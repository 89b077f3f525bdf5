// Interpreter benchmarks: the dispatch loop on simple actions, and property lookup
// at the end of a deep prototype chain. Items per second = actions (or lookups)
// per second.

#include "ActionAssembler.h"
#include "swf/avm1/Interpreter.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace swf::avm1;

namespace {

constexpr int kActionsPerIteration = 7;

// A counting loop in registers: push, add, store, pop, push, compare, branch.
std::vector<std::uint8_t> countingLoop(int iterations) {
    return orvane::testing::assembleActions("push 0; store 1; pop\n"
                                            "loop: push r:1, 1; add2; store 1; pop\n"
                                            "push r:1, " +
                                            std::to_string(iterations) + "; less2; if loop\n");
}

void BM_DispatchSimpleActions(benchmark::State& state) {
    const int iterations = static_cast<int>(state.range(0)) / kActionsPerIteration;
    const std::vector<std::uint8_t> code = countingLoop(iterations);
    Interpreter vm(8, nullptr);
    Limits limits;
    limits.maxActions = 1'000'000'000;
    vm.setLimits(limits);
    for (auto _ : state) {
        const Outcome o = vm.run(code, kNoClip);
        benchmark::DoNotOptimize(o);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(iterations) *
                            kActionsPerIteration);
}
BENCHMARK(BM_DispatchSimpleActions)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

void BM_DeepPrototypeLookup(benchmark::State& state) {
    Interpreter vm(8, nullptr);
    Object* base = vm.newObject();
    vm.set(base, "target", 1.0);
    Object* leaf = base;
    for (int i = 0; i < state.range(0); ++i) {
        leaf = vm.newObject(leaf);
        vm.set(leaf, "own" + std::to_string(i),
               static_cast<double>(i)); // every level has a property of its own
    }
    for (auto _ : state) {
        Value v = vm.get(leaf, "target");
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DeepPrototypeLookup)->Arg(8)->Arg(64)->Arg(200);

// The same lookup from script, case-insensitive (SWF 6) so keys are folded too.
void BM_ScriptMemberLookupSwf6(benchmark::State& state) {
    Interpreter vm(6, nullptr);
    const int depth = static_cast<int>(state.range(0));
    std::string setup = "push \"o\"; push 0, \"Object\"; newobject; setvariable\n"
                        "push \"o\"; getvariable; push \"Target\", 1; setmember\n";
    for (int i = 0; i < depth; ++i)
        setup += "push \"n\"; push 0, \"Object\"; newobject; setvariable\n"
                 "push \"n\"; getvariable; push \"__proto__\"; push \"o\"; getvariable; setmember\n"
                 "push \"o\"; push \"n\"; getvariable; setvariable\n";
    vm.run(orvane::testing::assembleActions(setup), kNoClip);
    const int lookups = 100'000;
    const std::vector<std::uint8_t> code =
        orvane::testing::assembleActions("push \"o\"; getvariable; store 2; pop; push 0; store 1; pop\n"
                                         "loop: push r:2, \"target\"; getmember; pop\n"
                                         "push r:1, 1; add2; store 1; push " +
                                         std::to_string(lookups) + "; less2; if loop\n");
    Limits limits;
    limits.maxActions = 1'000'000'000;
    vm.setLimits(limits);
    for (auto _ : state)
        vm.run(code, kNoClip);
    state.SetItemsProcessed(state.iterations() * lookups);
}
BENCHMARK(BM_ScriptMemberLookupSwf6)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
