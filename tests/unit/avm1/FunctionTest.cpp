// Functions: closures, arguments, this, DefineFunction2 registers and flags,
// recursion limits.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

TEST(Functions, ClosuresKeepTheirScope) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function makeCounter() {
            push "n", 0; definelocal
            function () {
                push "n"; push "n"; getvariable; increment; setvariable
                push "n"; getvariable; return
            }
            return
        }
        push "c1"; push 0, "makeCounter"; callfunction; setvariable
        push "c2"; push 0, "makeCounter"; callfunction; setvariable
        push 0, "c1"; callfunction; pop
        push 0, "c1"; callfunction; trace
        push 0, "c2"; callfunction; trace
        push "n"; getvariable; trace
    )"),
              "2|1|undefined");
}

// SWF 5 had no closures: past its locals a function sees the chain of its caller, and
// from outside any function the timeline. There is no _global either.
TEST(Functions, Swf5FunctionsSeeTheirCallersScope) {
    const char* script = R"(
        function outer() {
            push "v", "outer local"; definelocal
            push "inner"
            function () { push "v"; getvariable; trace }
            definelocal
            push 0, "inner"; callfunction; pop
            push "inner"; getvariable; return
        }
        push "v", "timeline"; setvariable
        push "f"; push 0, "outer"; callfunction; setvariable
        push 0, "f"; callfunction; pop
        push "_global"; getvariable; typeof; trace
    )";
    EXPECT_EQ(ScriptRun(5).run(script), "outer local|timeline|undefined");
    EXPECT_EQ(ScriptRun(6).run(script), "outer local|outer local|object");
}

TEST(Functions, UndeclaredAssignmentGoesToTimeline) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function f() { push "leak", 5; setvariable; push "local", 6; definelocal }
        push 0, "f"; callfunction; pop
        push "leak"; getvariable; trace
        push "local"; getvariable; trace
    )"),
              "5|undefined");
}

TEST(Functions, ArgumentsAndThis) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function f(a, b) {
            push "arguments"; getvariable; push "length"; getmember; trace
            push "b"; getvariable; trace
            push "arguments"; getvariable; push 2; getmember; trace
            push "arguments"; getvariable; push "callee"; getmember; push "f"; getvariable; strictequals; trace
            push "this"; getvariable; push "tag"; getmember; trace
        }
        push "o"; push "tag", "me", "m", "f"; getvariable; push 2; initobject; setvariable
        push 3, 2, 1, 3, "o"; getvariable; push "m"; callmethod; pop
        push "o2"; push "tag", "applied", 1; initobject; setvariable
        push 7, 1; initarray; push "o2"; getvariable; push 2, "f"; getvariable; push "apply"; callmethod; pop
    )"),
              "3|2|3|true|me|1|undefined|undefined|true|applied");
}

TEST(Functions, DefineFunction2PreloadsRegisters) {
    ScriptRun s(7);
    // Registers in order: this, arguments, super, _root, _parent, _global; then params.
    EXPECT_EQ(s.run(R"(
        function2 f(r5:a, b) regs=7 preload_this preload_args preload_root preload_global suppress_super {
            push r:1; push "tag"; getmember; trace
            push r:2; push "length"; getmember; trace
            push r:3; trace
            push r:4; push "Math"; getmember; push "PI"; getmember; push 3; greater; trace
            push r:5; trace
            push "b"; getvariable; trace
            push "super"; getvariable; trace
            push "a"; getvariable; trace
        }
        push "o"; push "tag", "T", "m", "f"; getvariable; push 2; initobject; setvariable
        push "B", "A", 2, "o"; getvariable; push "m"; callmethod; pop
    )"),
              "T|2|_level0|true|A|B|undefined|undefined");
}

TEST(Functions, DefineFunction2SuppressedThisAndArguments) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function2 f() regs=1 suppress_this suppress_args {
            push "this"; getvariable; trace
            push "arguments"; getvariable; trace
        }
        push 1, 1, "f"; callfunction; pop
    )"),
              "undefined|undefined");
}

TEST(Functions, RecursionIsLimited) {
    ScriptRun s(7);
    // Unbounded recursion: the block is abandoned, nothing crashes, and the
    // interpreter runs the next block normally.
    EXPECT_EQ(s.run(R"(
        function r() { push 0, "r"; callfunction; return }
        push 0, "r"; callfunction; pop
        push "after"; trace
    )"),
              "");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Aborted);
    EXPECT_EQ(s.run("push \"next\"; trace"), "next");

    // Deep but legal recursion is fine (sanitizer builds run out of stack budget
    // sooner than 256 levels, so stay well below).
    EXPECT_EQ(s.run(R"(
        function down(n) {
            push "n"; getvariable; push 0; equals2; not; if more
            push 0; return
            more: push "n"; getvariable; decrement; push 1, "down"; callfunction; increment; return
        }
        push 100, 1, "down"; callfunction; trace
    )"),
              "100");
}

TEST(Functions, ScriptLimitsTagLowersRecursionDepth) {
    ScriptRun s(7);
    s.vm.setScriptLimits(10, 0);
    EXPECT_EQ(s.run(R"(
        function down(n) {
            push "n"; getvariable; push 0; equals2; not; if more
            push 0; return
            more: push "n"; getvariable; decrement; push 1, "down"; callfunction; increment; return
        }
        push 5, 1, "down"; callfunction; trace
        push 50, 1, "down"; callfunction; trace
    )"),
              "5");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Aborted);
}

TEST(Functions, NativeRecursionThroughToStringIsLimited) {
    ScriptRun s(7);
    // An array that contains itself: join recurses through toString.
    EXPECT_EQ(s.run(R"(
        push "a"; push 0; initarray; setvariable
        push "a"; getvariable; push 0; push "a"; getvariable; setmember
        push "a"; getvariable; trace
    )"),
              "");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Aborted);
}

// A DefineFunction2 that declares no registers still stores and reads register 0; one that
// declares two has no third.
TEST(Functions, Function2WithoutRegistersKeepsTheFourRegisters) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function2 f () regs=0 {
            push "kept"; store 0; pop
            push r:0; trace
        }
        push 0, "f"; callfunction; pop
        function2 g () regs=2 {
            push "two"; store 1; store 2; pop
            push r:1, r:2; trace; trace
        }
        push 0, "g"; callfunction; pop
    )"),
              "kept|undefined|two");
}

// `super` exists only in functions called as methods (and not at all in SWF 5);
// super(...) reached by name still runs the base class's constructor.
TEST(Functions, SuperOnlyForMethodCalls) {
    const char* script = R"(
        function Base () { push "base"; trace }
        function Kid () { push 0, "super"; callfunction; pop; push "kid"; trace }
        push "Kid"; getvariable; push "Base"; getvariable; extends
        function probe () { push "super"; getvariable; typeof; trace }
        push 0, "probe"; callfunction; pop
        push 0, "this"; getvariable; push "probe"; callmethod; pop
        push "k"; push 0, "Kid"; newobject; setvariable
    )";
    EXPECT_EQ(ScriptRun(6).run(script), "undefined|object|base|kid");
    EXPECT_EQ(ScriptRun(5).run(script), "undefined|undefined|kid");
}

// `super` joined to a string gives the primitive of its `this` (a clip's path), though
// printed alone it is an object.
TEST(Functions, SuperConvertsThroughItsThis) {
    EXPECT_EQ(ScriptRun(6).run(R"(
        function Base () { push 0; pop }
        function probe () { push "super"; getvariable; trace; push "<"; push "super"; getvariable; add2; trace }
        push "probe"; getvariable; push "Base"; getvariable; extends
        push 0, "this"; getvariable; push "probe"; callmethod; pop
    )"),
              "[object Object]|<_level0");
}

// Functions, their prototypes and object literals link to what _global's Function and
// Object offer when they are made, even after a script replaced those classes.
TEST(Functions, NewValuesFollowReplacedBuiltinClasses) {
    EXPECT_EQ(ScriptRun(6).run(R"(
        push "oldF"; push "Function"; getvariable; setvariable
        push "oldO"; push "Object"; getvariable; setvariable
        push "_global"; getvariable; push "Function"
        function () { push 0; pop }
        setmember
        push "_global"; getvariable; push "Object"
        function () { push 0; pop }
        setmember
        push "x"
        function () { push 0; pop }
        setvariable
        push "x"; getvariable; push "__proto__"; getmember; push "Function"; getvariable; push "prototype"; getmember; equals2; trace
        push "x"; getvariable; push "__proto__"; getmember; push "oldF"; getvariable; push "prototype"; getmember; equals2; trace
        push "x"; getvariable; push "prototype"; getmember; push "__proto__"; getmember; push "Object"; getvariable; push "prototype"; getmember; equals2; trace
        push "z"; push 0; initobject; setvariable
        push "z"; getvariable; push "__proto__"; getmember; push "oldO"; getvariable; push "prototype"; getmember; equals2; trace
    )"),
              "true|false|true|false");
}
