// ActionScript 3 machine benchmarks: the dispatch loop on integer arithmetic, a
// property read through a five-level class chain, and events dispatched through a
// display list. Items per second = instructions (or lookups, or events) per second.

#include "AbcAssembler.h"
#include "swf/PlayerSession.h"
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
        AbcAssembler::ClassDef def;
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

// The document builds a chain of ten sprites, listens on the document in the capture and
// bubbling phases and on the leaf, then dispatches `events` bubbling events at the leaf:
// each one walks eleven objects down and up again and calls three listeners.
void BM_DisplayListEvents(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    AbcAssembler a;
    AbcAssembler::MethodOptions oneParam;
    oneParam.params = 1;
    a.method("Main$count", "getlocal0\npushscope\ngetlocal0\ngetlocal0\ngetproperty hits\nincrement\n"
                           "setproperty hits\nreturnvoid\n", oneParam);
    a.method("Main$init", R"(
        getlocal0
        pushscope
        getlocal0
        constructsuper 0
        getlocal0
        pushbyte 0
        setproperty hits
        getlocal0
        setlocal1
        pushbyte 0
        setlocal2
      chain:
        findpropstrict flash.display::Sprite
        constructprop flash.display::Sprite 0
        setlocal3
        getlocal1
        getlocal3
        callpropvoid addChild 1
        getlocal3
        setlocal1
        inclocal_i 2
        getlocal2
        pushbyte 10
        iflt chain
        getlocal0
        pushstring "tick"
        getlocal0
        getproperty count
        pushtrue
        callpropvoid addEventListener 3
        getlocal0
        pushstring "tick"
        getlocal0
        getproperty count
        callpropvoid addEventListener 2
        getlocal1
        pushstring "tick"
        getlocal0
        getproperty count
        callpropvoid addEventListener 2
        pushbyte 0
        setlocal2
      send:
        getlocal1
        findpropstrict flash.events::Event
        pushstring "tick"
        pushtrue
        constructprop flash.events::Event 2
        callpropvoid dispatchEvent 1
        inclocal_i 2
        getlocal2
        pushint )" + std::to_string(events) + R"(
        iflt send
        findpropstrict trace
        getlocal0
        getproperty hits
        callpropvoid trace 1
        returnvoid
    )");
    AbcAssembler::ClassDef main;
    main.name = "Main";
    main.super = "flash.display::MovieClip";
    main.sealed = false;
    main.constructor = "Main$init";
    main.methods = {{"count", "Main$count"}};
    a.defineClass(main);
    a.method("main", "getlocal0\npushscope\ngetscopeobject 0\ngetlex flash.display::MovieClip\nnewclass Main\n"
                     "initproperty Main\nreturnvoid\n");
    a.script("main", {"Main"});
    const auto movie = AbcAssembler::movie({a.bytes()}, "Main", 1);
    std::string hits;
    for (auto _ : state) {
        swf::SessionOptions options;
        options.traceSink = [&hits](const std::string& line) { hits = line; };
        swf::PlayerSession session(options);
        session.loadFromBytes(movie);
        session.tick();
    }
    if (hits != std::to_string(events * 3))
        state.SkipWithError(("listeners ran " + hits + " times").c_str());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events));
}
BENCHMARK(BM_DisplayListEvents)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
