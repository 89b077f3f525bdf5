// Operators' edge cases: NaN, infinities, -0, mixed string/number comparison.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

TEST(Operators, ArithmeticEdgeCases) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push nan, 1; add2; trace"), "NaN");
    EXPECT_EQ(s.run("push inf, inf; subtract; trace"), "NaN");
    // Division by zero takes the sign of the dividend only.
    EXPECT_EQ(s.run("push 1, -0.0; divide; trace; push -2, 0; divide; trace; push 0, -0.0; divide; trace"),
              "Infinity|-Infinity|NaN");
    EXPECT_EQ(s.run("push 0, inf; subtract; push 0; divide; trace; push 1, 1, 0; divide; divide; trace"), "-Infinity|0");
    EXPECT_EQ(s.run("push -0.0; trace"), "0");
    EXPECT_EQ(s.run("push 5.5, 2; modulo; trace; push -5, 3; modulo; trace; push 1, 0; modulo; trace"),
              "1.5|-2|NaN");
    EXPECT_EQ(s.run("push \"3\", 4; multiply; trace; push \"3\", 4; add2; trace; push 3, 4; add2; trace"),
              "12|34|7");
    EXPECT_EQ(s.run("push \"2\"; increment; trace; push \"x\"; decrement; trace"), "3|NaN");
}

TEST(Operators, ComparisonOfStringsAndNumbers) {
    ScriptRun s(7);
    // Two strings compare as text, a string and a number as numbers.
    EXPECT_EQ(s.run("push \"10\", \"9\"; less2; trace; push \"10\", 9; less2; trace"), "true|false");
    EXPECT_EQ(s.run("push \"abc\", 1; less2; trace; push nan, 1; greater; trace"), "undefined|undefined");
    EXPECT_EQ(s.run("push \"b\", \"a\"; greater; trace; push 2, 1; greater; trace"), "true|true");
    EXPECT_EQ(s.run("push \"1\", 1; equals2; trace; push \"1\", 1; strictequals; trace"), "true|false");
    EXPECT_EQ(s.run("push null, undefined; equals2; trace; push null, 0; equals2; trace"), "true|false");
    EXPECT_EQ(s.run("push nan, nan; equals2; trace; push true, 1; equals2; trace"), "false|true");
    EXPECT_EQ(s.run("push \"a\", \"b\"; stringless; trace; push \"b\", \"a\"; stringgreater; trace"),
              "true|true");
}

TEST(Operators, NaNEqualsOnlyTheSameStoredValue) {
    for (int version : {5, 6, 8}) {
        ScriptRun s(version);
        EXPECT_EQ(s.run(R"(
            push "x", 0, 0; divide; setvariable
            push "x"; getvariable; push "x"; getvariable; equals2; trace
            push "x"; getvariable; push "x"; getvariable; strictequals; trace
            push 0, 0; divide; push 0, 0; divide; equals2; trace
            push "x"; getvariable; push 0, 0; divide; strictequals; trace
            push 0, 0; divide; pushduplicate; equals2; trace
            push "y", "x"; getvariable; setvariable; push "y"; getvariable; push "x"; getvariable; equals2; trace
            push "x"; getvariable; push 1; add2; pushduplicate; equals2; trace
        )"),
                  "true|true|false|false|true|true|true")
            << "SWF " << version;
    }
}

TEST(Operators, BitOperationsWrapToInt32) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push 4294967297, 3; bitand; trace"), "1");
    EXPECT_EQ(s.run("push -1, 28; biturshift; trace"), "15");
    // The unsigned shift's result lands in a signed slot.
    EXPECT_EQ(s.run("push -1, 0; biturshift; trace; push -1, -2; biturshift; trace; push -1, 32; biturshift; trace"),
              "-1|3|-1");
    EXPECT_EQ(s.run("push -16, 2; bitrshift; trace"), "-4");
    EXPECT_EQ(s.run("push 1, 33; bitlshift; trace"), "2");
    EXPECT_EQ(s.run("push nan, 5; bitor; trace; push 6, 3; bitxor; trace"), "5|5");
    EXPECT_EQ(s.run("push 2147483648.5; tointeger; trace; push -3.7; tointeger; trace"), "-2147483648|-3");
}

TEST(Operators, StringActions) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push \"hello\", 2, 3; stringextract; trace"), "ell");
    EXPECT_EQ(s.run("push \"hello\", 0, -1; stringextract; trace"), "hello");
    EXPECT_EQ(s.run("push \"hello\", 9, 2; stringextract; trace"), "");
    EXPECT_EQ(s.run("push \"h\xC3\xA9llo\"; stringlength; trace; push \"\xC3\xA9\"; chartoascii; trace"),
              "5|233");
    EXPECT_EQ(s.run("push 65; asciitochar; push \"b\"; stringadd; trace"), "Ab");
    EXPECT_EQ(s.run("push \"ab\", \"ab\"; stringequals; trace"), "true");
    EXPECT_EQ(s.run("push 300; asciitochar; trace; push 300; mbasciitochar; trace"), "\xC4\xAC|\xC4\xAC");

    // SWF 5 strings are bytes: chr keeps the low byte, mbchr writes a code past 255 as two
    // bytes, high first, and a zero byte ends the string.
    ScriptRun five(5);
    EXPECT_EQ(five.run(R"(
        push 300; asciitochar; trace
        push 300; mbasciitochar; trace
        push 200; mbasciitochar; trace
        push 512; mbasciitochar; push "|"; add2; trace
        push 65600; mbasciitochar; push "|"; add2; trace
        push 256; asciitochar; push "|"; add2; trace
    )"),
              ",|\x01,|\xC3\x88|\x02|||||");
}

TEST(Operators, TypeOf) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push 1; typeof; trace
        push "s"; typeof; trace
        push true; typeof; trace
        push null; typeof; trace
        push undefined; typeof; trace
        push 0; push "Object"; newobject; typeof; trace
        push "Object"; getvariable; typeof; trace
        push "_root"; getvariable; typeof; trace
    )"),
              "number|string|boolean|null|undefined|object|function|movieclip");
}

TEST(Operators, StackUnderflowGivesUndefined) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("add2; trace; pop; pop; trace"), "NaN|undefined");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Completed);
}

// InitArray asking for more items than the stack holds pads with undefined; a count no
// array may reach stops the block instead of allocating it.
TEST(Operators, InitArrayPastTheStack) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push 3, 2, 1, 5; initarray; trace"), "1,2,3,undefined,undefined");
    EXPECT_EQ(s.run("push 1, 0; initarray; push \"length\"; getmember; trace"), "0");
    EXPECT_EQ(s.run("push 1, 1e12; initarray; trace"), "");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Aborted);
}

TEST(Operators, PushTypesAndConstants) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        constants "zero", "one"
        push c:1, c:0, c:7; trace; trace; trace
        push f:1.5, -7, 2.25; trace; trace; trace
        push 9; store 2; pop; push r:2; trace
        push r:200; trace
    )"),
              "undefined|zero|one|2.25|-7|1.5|9|undefined");
}
