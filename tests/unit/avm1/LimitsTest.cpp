// Runaway scripts: the limits that stop them, and what keeps running afterwards.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using namespace swf::avm1;

namespace {

// Builds a chain one link longer per round (o = {__proto__: o}), assigns o.x and
// traces the round number, for ever: only the prototype depth limit ends it.
const char* kDeepeningChain = R"(
    push "o"; push 0, "Object"; newobject; setvariable
    push "i", 0; setvariable
    loop:
    push "p"; push 0, "Object"; newobject; setvariable
    push "p"; getvariable; push "__proto__"; push "o"; getvariable; setmember
    push "o"; push "p"; getvariable; setvariable
    push "o"; getvariable; push "x", 42; setmember
    push "i"; getvariable; trace
    push "i"; push "i"; getvariable; increment; setvariable
    jump loop
)";

std::string lastLine(const ScriptRun& s) {
    return s.lines.empty() ? std::string() : s.lines.back();
}

} // namespace

TEST(Limits, PrototypeChainDepthStopsTheBlock) {
    // The walk for a setter goes up to the end of the chain: 256 links in SWF 6 and
    // later, 255 in SWF 5 (the chain ends in Object.prototype one link above the first o).
    ScriptRun s6(6);
    s6.run(kDeepeningChain);
    EXPECT_EQ(s6.outcome, Outcome::Aborted);
    EXPECT_EQ(lastLine(s6), "254");
    ScriptRun s5(5);
    s5.run(kDeepeningChain);
    EXPECT_EQ(lastLine(s5), "253");
    // Reading through the deep chain stops the same way; the next block runs.
    EXPECT_EQ(s6.run("push \"o\"; getvariable; push \"missing\"; getmember; trace; push \"after\"; trace"), "");
    EXPECT_EQ(s6.outcome, Outcome::Aborted);
    EXPECT_EQ(s6.run("push \"next\"; trace"), "next");
}

TEST(Limits, FrameTimeBudgetAndRepeatedTimeouts) {
    ScriptRun s(7);
    Limits limits;
    limits.maxSecondsPerFrame = 0; // every block is over the frame's time at its first check
    s.vm.setLimits(limits);
    EXPECT_EQ(s.run("push \"a\"; trace; loop: jump loop"), "a");
    EXPECT_EQ(s.outcome, Outcome::Aborted);
    EXPECT_FALSE(s.vm.scriptsDisabled());
    // Short blocks finish before the first check.
    EXPECT_EQ(s.run("push \"short\"; trace"), "short");
    s.vm.setTime(100);
    s.run("loop: jump loop");
    s.run("loop: jump loop");
    // The third time-out marks the movie runaway: nothing runs any more.
    EXPECT_TRUE(s.vm.scriptsDisabled());
    EXPECT_EQ(s.run("push \"never\"; trace"), "");
    EXPECT_EQ(s.outcome, Outcome::Aborted);
}

// The host's watch hears how long a block has run and may stop it (its Stop or Exit while
// a movie runs away); that is no time-out, so it never marks the movie runaway.
TEST(Limits, TheHostsWatchStopsABlockWithoutATimeout) {
    ScriptRun s(7);
    int calls = 0;
    double last = -1;
    bool growing = true;
    s.vm.setWatch([&](double seconds) {
        growing = growing && seconds >= last;
        last = seconds;
        return ++calls % 3 != 0;
    });
    for (int round = 1; round <= 4; ++round) {
        last = -1; // each block's time starts over
        EXPECT_EQ(s.run("push \"a\"; trace; loop: jump loop"), "a");
        EXPECT_EQ(s.outcome, Outcome::Aborted);
        EXPECT_EQ(s.vm.lastError(), "script stopped by the player");
        EXPECT_EQ(calls, 3 * round);
    }
    EXPECT_TRUE(growing);
    EXPECT_FALSE(s.vm.scriptsDisabled());
    EXPECT_EQ(s.run("push \"still\"; trace"), "still");
}

TEST(Limits, TraceOutputIsBounded) {
    ScriptRun s(7);
    Limits limits;
    limits.maxTraceBytes = 20;
    s.vm.setLimits(limits);
    // "line N" plus its newline is 7 bytes: two lines fit, later ones are dropped
    // while the script itself goes on.
    EXPECT_EQ(s.run(R"(
        push "line 1"; trace; push "line 2"; trace; push "line 3"; trace
        push "x", 5; setvariable
    )"),
              "line 1|line 2");
    EXPECT_EQ(s.run("push \"x\"; getvariable; trace"), "5"); // the script went on; a short line still fits
    EXPECT_EQ(s.run("push \"line 4\"; trace"), "");
    EXPECT_EQ(s.outcome, Outcome::Completed);
}
