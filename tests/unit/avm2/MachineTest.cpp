// The ActionScript 3 machine on assembled ABC: each test checks what the code traces.
#include "AbcAssembler.h"
#include "MachineRun.h"
#include "swf/avm2/Abc.h"
#include "swf/avm2/Machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using orvane::testing::AbcAssembler;
using swf::avm2::Machine;

using namespace orvane::testing::avm2run;

TEST(Avm2Machine, ArithmeticConversionsAndNumberPrinting) {
    EXPECT_EQ(runScript(traceOf("pushbyte 1\npushbyte 2\nadd")), Lines{"3"});
    EXPECT_EQ(runScript(traceOf("pushstring \"a\"\npushbyte 2\nadd")), Lines{"a2"});
    EXPECT_EQ(runScript(traceOf("pushdouble 0.1\npushdouble 0.2\nadd")), Lines{"0.30000000000000004"});
    EXPECT_EQ(runScript(traceOf("pushdouble 1e21")), Lines{"1e+21"});
    EXPECT_EQ(runScript(traceOf("pushdouble 0.000001")), Lines{"0.000001"});
    EXPECT_EQ(runScript(traceOf("pushdouble 1e-7")), Lines{"1e-7"});
    EXPECT_EQ(runScript(traceOf("pushbyte 1\npushbyte 0\ndivide")), Lines{"Infinity"});
    EXPECT_EQ(runScript(traceOf("pushint 2147483647\npushbyte 1\nadd")), Lines{"2147483648"});
    // int arithmetic wraps; >>> yields a uint.
    EXPECT_EQ(runScript(traceOf("pushint 2147483647\npushbyte 1\nadd_i")), Lines{"-2147483648"});
    EXPECT_EQ(runScript(traceOf("pushbyte -1\npushbyte 0\nurshift")), Lines{"4294967295"});
    EXPECT_EQ(runScript(traceOf("pushstring \" 0x1A \"\nconvert_d")), Lines{"26"});
    EXPECT_EQ(runScript(traceOf("pushstring \"12abc\"\nconvert_i")), Lines{"0"});
    EXPECT_EQ(runScript(traceOf("pushnull\ntypeof")), Lines{"object"});
    EXPECT_EQ(runScript(traceOf("pushundefined\npushnull\nequals")), Lines{"true"});
    EXPECT_EQ(runScript(traceOf("pushundefined\npushnull\nstrictequals")), Lines{"false"});
    EXPECT_EQ(runScript(traceOf("pushnan\npushnan\nequals")), Lines{"false"});
}

TEST(Avm2Machine, BranchesLoopsAndSwitch) {
    // for (i = 0; i < 3; i++) trace(i)
    EXPECT_EQ(runScript(R"(
        pushbyte 0
        setlocal1
      again:
        getlocal1
        pushbyte 3
        ifnlt done
        findpropstrict trace
        getlocal1
        callpropvoid trace 1
        inclocal_i 1
        jump again
      done:
    )"),
              (Lines{"0", "1", "2"}));
    EXPECT_EQ(runScript(R"(
        pushbyte 1
        lookupswitch other zero one
      zero:
        findpropstrict trace
        pushstring "zero"
        callpropvoid trace 1
        jump end
      one:
        findpropstrict trace
        pushstring "one"
        callpropvoid trace 1
        jump end
      other:
        findpropstrict trace
        pushstring "other"
        callpropvoid trace 1
      end:
    )"),
              Lines{"one"});
}

TEST(Avm2Machine, ObjectsArraysAndStrings) {
    EXPECT_EQ(runScript(R"(
        pushstring "a"
        pushbyte 1
        pushstring "b"
        pushbyte 2
        newobject 2
        setlocal1
        findpropstrict trace
        getlocal1
        getproperty b
        callpropvoid trace 1
        # for-in visits names in insertion order
        pushbyte 0
        setlocal2
      next:
        hasnext2 1 2
        iffalse out
        findpropstrict trace
        getlocal1
        getlocal2
        nextname
        callpropvoid trace 1
        jump next
      out:
    )"),
              (Lines{"2", "a", "b"}));
    EXPECT_EQ(runScript(R"(
        pushbyte 3
        pushbyte 1
        pushbyte 2
        newarray 3
        dup
        callproperty sort 0
        pop
        setlocal1
        findpropstrict trace
        getlocal1
        pushstring "-"
        callproperty join 1
        callpropvoid trace 1
        findpropstrict trace
        pushstring "a,b,c"
        pushstring ","
        callproperty split 1
        getproperty length
        callpropvoid trace 1
        findpropstrict trace
        pushstring "hello"
        pushbyte 1
        pushbyte 3
        callproperty substr 2
        callpropvoid trace 1
    )"),
              (Lines{"1-2-3", "3", "ell"}));
}

TEST(Avm2Machine, ExceptionsAreCaughtByTypeAndUncaughtOnesReported) {
    AbcAssembler::MethodOptions options;
    options.catches = {{"from", "to", "handler", "TypeError", "e"}};
    // null.x throws TypeError #1009, caught by the handler.
    EXPECT_EQ(runScript(R"(
      from:
        pushnull
        getproperty x
        pop
      to:
        jump end
      handler:
        getlocal0
        pushscope
        setlocal1
        findpropstrict trace
        getlocal1
        getproperty message
        callpropvoid trace 1
      end:
    )",
                        options),
              Lines{"Error #1009: Cannot access a property or method of a null object reference."});
    // An error nobody catches stops the script and is reported as the player printed it.
    EXPECT_EQ(runScript("findpropstrict undefinedThing\npop\n" + traceOf("pushstring \"not reached\"")),
              Lines{"ReferenceError: Error #1065: Variable undefinedThing is not defined."});
    // throw of a plain value.
    EXPECT_EQ(runScript("pushstring \"boom\"\nthrow\n"), Lines{"boom"});
}

TEST(Avm2Machine, ClassesWithSlotsMethodsAccessorsAndSuper) {
    AbcAssembler a;
    a.method("Base$init", R"(
        getlocal0
        pushscope
        getlocal0
        constructsuper 0
        getlocal0
        pushbyte 5
        initproperty size
        returnvoid
    )");
    a.method("Base$describe", R"(
        getlocal0
        pushscope
        pushstring "base "
        getlocal0
        getproperty size
        add
        returnvalue
    )");
    a.method("Derived$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\nreturnvoid\n");
    a.method("Derived$describe", R"(
        getlocal0
        pushscope
        pushstring "derived+"
        getlocal0
        callsuper describe 0
        add
        returnvalue
    )");
    a.method("Derived$double", "getlocal0\npushscope\ngetlocal0\ngetproperty size\npushbyte 2\nmultiply\nreturnvalue\n");
    a.method("main", R"(
        getlocal0
        pushscope
        getscopeobject 0
        getlex Object
        pushscope
        getlex Object
        newclass Base
        popscope
        initproperty Base
        getscopeobject 0
        getlex Object
        pushscope
        getlex Base
        pushscope
        getlex Base
        newclass Derived
        popscope
        popscope
        initproperty Derived
        findpropstrict Derived
        constructprop Derived 0
        setlocal1
        findpropstrict trace
        getlocal1
        callproperty describe 0
        callpropvoid trace 1
        findpropstrict trace
        getlocal1
        getproperty doubled
        callpropvoid trace 1
        findpropstrict trace
        getlocal1
        getlex Base
        istypelate
        callpropvoid trace 1
        findpropstrict trace
        getlocal1
        getlex Array
        istypelate
        callpropvoid trace 1
        returnvoid
    )");
    AbcAssembler::ClassDef base;
    base.name = "Base";
    base.constructor = "Base$init";
    base.slots = {{"size", "int"}};
    base.methods = {{"describe", "Base$describe"}};
    a.defineClass(base);
    AbcAssembler::ClassDef derived;
    derived.name = "Derived";
    derived.super = "Base";
    derived.constructor = "Derived$init";
    derived.methods = {{"describe", "Derived$describe"}};
    derived.getters = {{"doubled", "Derived$double"}};
    a.defineClass(derived);
    a.script("main", {"Base", "Derived"});
    EXPECT_EQ(runAbc(a), (Lines{"derived+base 5", "10", "true", "false"}));
}

TEST(Avm2Machine, SealedObjectsRefuseNewPropertiesAndConstsStayConstant) {
    AbcAssembler a;
    a.method("K$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\nreturnvoid\n");
    a.method("main", R"(
        getlocal0
        pushscope
        getscopeobject 0
        getlex Object
        newclass K
        initproperty K
        findpropstrict K
        constructprop K 0
        pushbyte 1
        setproperty extra
        returnvoid
    )");
    AbcAssembler::ClassDef k;
    k.name = "K";
    k.constructor = "K$init";
    a.defineClass(k);
    a.script("main", {"K"});
    EXPECT_EQ(runAbc(a), Lines{"ReferenceError: Error #1056: Cannot create property extra on K."});
}

// The host's watch may stop a run (its Stop or Exit while a movie runs away); a movie whose
// scripts time out three times is runaway, and none of its scripts runs again.
TEST(Avm2Machine, WatchStopsRunsAndRepeatedTimeoutsStopScripts) {
    auto block = [](const std::string& body) {
        AbcAssembler a;
        a.method("main", "getlocal0\npushscope\n" + body + "\nreturnvoid\n");
        a.script("main");
        return a.bytes();
    };
    swf::avm2::Machine m;
    Lines lines;
    m.traceSink = [&](const std::string& s) { lines.push_back(s); };
    int calls = 0;
    m.watch = [&](double) { return ++calls < 3; };
    std::string error;
    ASSERT_TRUE(m.loadAbc(block("forever:\njump forever"), false, error)) << error;
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(lines, Lines{"Error: the script was stopped by the player."});
    EXPECT_FALSE(m.scriptsStopped());

    m.watch = nullptr;
    m.setInstructionBudget(100'000);
    for (int round = 0; round < swf::avm2::Machine::kMaxTimeouts; ++round)
        ASSERT_TRUE(m.loadAbc(block("forever:\njump forever"), false, error)) << error;
    EXPECT_TRUE(m.scriptsStopped());
    lines.clear();
    ASSERT_TRUE(m.loadAbc(block(traceOf("pushstring \"never\"")), false, error)) << error;
    EXPECT_TRUE(lines.empty());
}

TEST(Avm2Machine, HostileCodeIsStoppedNotObeyed) {
    // An endless loop runs out of its instruction budget with the timeout error.
    EXPECT_EQ(runScript("forever:\njump forever\n"),
              Lines{"Error #1502: A script has executed for longer than the default timeout period of 15 seconds."});
    // Endless recursion stops at the call depth limit with a catchable error.
    AbcAssembler a;
    a.method("recurse", "getlocal0\npushscope\nfindpropstrict recurse\ncallpropvoid recurse 0\nreturnvoid\n");
    a.method("main", "getlocal0\npushscope\ngetlocal0\nnewfunction recurse\nsetproperty recurse\nfindpropstrict recurse\ncallpropvoid recurse 0\nreturnvoid\n");
    a.script("main", {}, {{"recurse"}});
    EXPECT_EQ(runAbc(a), Lines{"Error: Error #1023: Stack overflow occurred."});
    // Popping an empty stack and a branch into the middle of an instruction are refused.
    EXPECT_EQ(runScript("pop\n"), Lines{"VerifyError: Error #1024: Stack underflow occurred."});
    auto bytes = [] {
        AbcAssembler b;
        b.method("main", "pushint 100000\npop\nreturnvoid\n");
        b.script("main");
        return b.bytes();
    }();
    // Every cut of a valid block either loads or is refused: never read past its end.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        Machine m;
        std::string error;
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_FALSE(m.loadAbc(part, false, error)) << cut;
        EXPECT_FALSE(error.empty());
    }
    // A register past the body's local count is refused when the body is decoded.
    AbcAssembler::MethodOptions few;
    few.locals = 1;
    EXPECT_EQ(runScript("getlocal 5\npop\n", few), Lines{"VerifyError: Error #1025: An invalid register was accessed."});
}

TEST(Avm2Machine, ParserRejectsIndicesPastThePools) {
    AbcAssembler a;
    a.method("main", "returnvoid\n");
    a.script("main");
    auto bytes = a.bytes();
    std::string error;
    ASSERT_TRUE(swf::avm2::parseAbc(bytes, error).has_value()) << error;
    // The last byte written is the body's trait count; the script's init index sits
    // before the body section. Flipping bytes one by one must never crash the parser.
    for (std::size_t i = 4; i < bytes.size(); ++i) {
        auto copy = bytes;
        copy[i] ^= 0xFF;
        std::string e;
        (void)swf::avm2::parseAbc(copy, e);
    }
}
