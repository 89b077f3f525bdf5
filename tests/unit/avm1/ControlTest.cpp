// Control flow: try/catch/finally, throw across calls, with, jumps, runaway loops,
// malformed code.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using swf::avm1::Outcome;

TEST(Control, TryCatchFinally) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        try e {
            push "in try"; trace
            push "boom"; throw
            push "not reached"; trace
        } catch {
            push "caught "; push "e"; getvariable; add2; trace
        } finally {
            push "finally"; trace
        }
        push "after"; trace
    )"),
              "in try|caught boom|finally|after");
}

TEST(Control, ThrowAcrossFunctionsAndIntoRegister) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function thrower(v) { push "v"; getvariable; throw }
        try r:3 {
            push 42, 1, "thrower"; callfunction; pop
        } catch {
            push r:3; trace
        }
    )"),
              "42");
}

TEST(Control, FinallyRunsOnUncaughtThrowAndRethrows) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        try e {
            try {
                push "x"; throw
            } finally {
                push "inner finally"; trace
            }
            push "skipped"; trace
        } catch {
            push "outer caught "; push "e"; getvariable; add2; trace
        }
    )"),
              "inner finally|outer caught x");
}

TEST(Control, ReturnInsideTryRunsFinally) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function f() {
            try { push "ret"; return } finally { push "cleanup"; trace }
        }
        push 0, "f"; callfunction; trace
    )"),
              "cleanup|ret");
}

// A finally that returns over a throw: the call returns, and the throw, its value
// lost, surfaces at the end of the next try block to finish.
TEST(Control, ReturnInFinallyKeepsTheThrowWithoutItsValue) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        function f() {
            try { push "thrown"; throw } finally { push "kept"; return }
        }
        try e {
            push 0, "f"; callfunction; trace
            push "after"; trace
        } catch {
            push "caught "; push "e"; getvariable; add2; trace
        }
        try e { push "clean"; trace } catch { push "not again"; trace }
    )"),
              "kept|after|caught undefined|clean");
}

TEST(Control, UncaughtThrowEndsTheBlockOnly) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push \"a\"; trace; push 1; throw; push \"b\"; trace"), "a");
    EXPECT_EQ(s.outcome, Outcome::Thrown);
    EXPECT_EQ(s.run("push \"c\"; trace"), "c");
    EXPECT_EQ(s.outcome, Outcome::Completed);
}

TEST(Control, WithScopesNamesToAnObject) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "x", "timeline"; setvariable
        push "o"; push "x", "object", 1; initobject; setvariable
        push "o"; getvariable
        with {
            push "x"; getvariable; trace
            push "x", "changed"; setvariable
            push "y", "new"; setvariable
        }
        push "x"; getvariable; trace
        push "o"; getvariable; push "x"; getmember; trace
        push "y"; getvariable; trace
    )"),
              "object|timeline|changed|new");
}

TEST(Control, DefineLocalOutsideFunctionsAssignsThroughWith) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "x", 0; definelocal
        push "z", 0; definelocal
        push "o"; push "x", "before", 1; initobject; setvariable
        push "o"; getvariable
        with {
            push "x", "object"; definelocal
            push "z", "timeline"; definelocal
            push "w"; definelocal2
        }
        push "x"; getvariable; trace
        push "o"; getvariable; push "x"; getmember; trace
        push "z"; getvariable; trace
        push "o"; getvariable; push "z"; getmember; trace
    )"),
              "0|object|timeline|undefined");
}

// with() on undefined or null skips its block; a primitive is boxed and scoped.
TEST(Control, WithOnNothingSkipsItsBlock) {
    for (int version : {5, 7}) {
        ScriptRun s(version);
        EXPECT_EQ(s.run(R"(
            push "nothing"; getvariable
            with { push "ran"; trace }
            push null
            with { push "ran"; trace }
            push "abc"
            with { push "length"; getvariable; trace }
            push "after"; trace
        )"),
                  "3|after")
            << "SWF " << version;
    }
}

TEST(Control, JumpOutOfWithLeavesItsScope) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "x", "timeline"; setvariable
        push "o"; push "x", "object", 1; initobject; setvariable
        push "o"; getvariable
        with {
            push "x"; getvariable; trace
            jump out
        }
        push "skipped"; trace
        out: push "x"; getvariable; trace
    )"),
              "object|timeline");
}

TEST(Control, RunawayLoopIsStopped) {
    ScriptRun s(7);
    swf::avm1::Limits limits;
    limits.maxActions = 10000;
    s.vm.setLimits(limits);
    EXPECT_EQ(s.run("push \"start\"; trace; loop: jump loop"), "start");
    EXPECT_EQ(s.outcome, Outcome::Aborted);
    EXPECT_EQ(s.run("push \"next block\"; trace"), "next block");
}

TEST(Control, StringGrowthIsBounded) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "s", "xxxxxxxxxxxxxxxx"; setvariable
        loop: push "s"; push "s"; getvariable; push "s"; getvariable; add2; setvariable; jump loop
    )"),
              "");
    EXPECT_EQ(s.outcome, Outcome::Aborted);
}

TEST(Control, MalformedCodeEndsQuietly) {
    ScriptRun s(7);
    // A Push whose length runs past the block, a branch far outside, bad push types.
    const std::vector<std::uint8_t> blocks[] = {
        {0x96, 0xFF, 0x00, 0x00, 'a'},
        {0x99, 0x02, 0x00, 0x00, 0x7F, 0x26},
        {0x96, 0x02, 0x00, 0x0B, 0x01, 0x26, 0x00},
        {0x9B, 0x05, 0x00, 'f', 0, 0, 0, 0xFF, 0xFF, 0x26},
        {0x8F, 0x03, 0x00, 0x07, 0x10, 0x00},
        {0x94},
        {0x88, 0x04, 0x00, 0xFF, 0xFF, 'a', 0x00, 0x96, 0x02, 0x00, 0x09, 0xFF, 0x26, 0x00},
    };
    for (const auto& code : blocks) {
        s.vm.run(code, 1);
        EXPECT_EQ(s.run("push \"ok\"; trace"), "ok");
    }
}

TEST(Control, WaitForFrameSkipsWholeActions) {
    ScriptRun s(7);
    s.host.clip(1).totalFrames = 3; // frames loaded = 3
    EXPECT_EQ(s.run(R"(
        waitforframe 1 1
        push "loaded"; trace
        waitforframe 9 2
        push "skip1"; trace
        push "after"; trace
    )"),
              "loaded|after");
}
