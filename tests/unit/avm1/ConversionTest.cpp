// Values and conversions, per SWF version.

#include "ScriptRun.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane::testing;
using namespace swf::avm1;

TEST(NumberText, FifteenDigitsAndFlashExponents) {
    EXPECT_EQ(numberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToString(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(numberToString(123456789012345.0), "123456789012345");
    EXPECT_EQ(numberToString(1e15), "1e+15");
    EXPECT_EQ(numberToString(1234567890123456.0), "1.23456789012346e+15");
    EXPECT_EQ(numberToString(1e21), "1e+21");
    EXPECT_EQ(numberToString(0.0001), "0.0001");
    EXPECT_EQ(numberToString(0.00001), "0.00001");
    EXPECT_EQ(numberToString(0.00006103515625), "0.00006103515625");
    EXPECT_EQ(numberToString(-0.000001), "-0.000001");
    EXPECT_EQ(numberToString(1.1e-7), "1.1e-7");
    EXPECT_EQ(numberToString(1.0000000050247593e-8), "1.00000000502476e-8");
    EXPECT_EQ(numberToString(123.456), "123.456");
    EXPECT_EQ(numberToString(-98765.4321), "-98765.4321");
    EXPECT_EQ(numberToString(9223372036854775808.0), "9.22337203685478e+18");
    EXPECT_EQ(numberToString(-2.5e-7), "-2.5e-7");
    EXPECT_EQ(numberToString(-0.0), "0");
    EXPECT_EQ(numberToString(std::nan("")), "NaN");
    EXPECT_EQ(numberToString(-HUGE_VAL), "-Infinity");
    EXPECT_EQ(numberToString(255, 16), "ff");
    EXPECT_EQ(numberToString(-5, 2), "-101");
}

TEST(NumberText, StringToNumberRules) {
    EXPECT_EQ(stringToNumber("  12.5", 7), 12.5);
    EXPECT_EQ(stringToNumber("0x1F", 7), 31);
    // Hex only right at the start (a sign may follow "0x"), octal for all-octal digits
    // after a leading 0; SWF 5 has neither.
    EXPECT_EQ(stringToNumber("0x-10", 6), -16);
    EXPECT_TRUE(std::isnan(stringToNumber("-0x10", 6)));
    EXPECT_TRUE(std::isnan(stringToNumber(" 0x10", 7)));
    EXPECT_EQ(stringToNumber("030", 6), 24);
    EXPECT_EQ(stringToNumber(" 030", 6), 30);
    EXPECT_EQ(stringToNumber("030.5", 8), 30.5);
    EXPECT_EQ(stringToNumber("030", 5), 30);
    EXPECT_TRUE(std::isnan(stringToNumber("0x10", 5)));
    EXPECT_EQ(stringToNumber("1e3", 7), 1000);
    EXPECT_EQ(stringToNumber(".5", 7), 0.5);
    EXPECT_TRUE(std::isnan(stringToNumber("", 7)));
    EXPECT_TRUE(std::isnan(stringToNumber("12abc", 6)));
    EXPECT_TRUE(std::isnan(stringToNumber("Infinity", 7)));
    EXPECT_TRUE(std::isnan(stringToNumber("1e", 7)));
    // SWF 4 read anything unreadable as 0.
    EXPECT_EQ(stringToNumber("abc", 4), 0);
    EXPECT_EQ(stringToNumber("", 4), 0);
}

TEST(Conversion, UndefinedToStringDependsOnVersion) {
    const char* script = R"(
        push "x", undefined; add2; trace
        push undefined; tostring; push "|"; stringadd; trace
        push undefined; trace
    )";
    EXPECT_EQ(ScriptRun(6).run(script), "x|||undefined");
    EXPECT_EQ(ScriptRun(7).run(script), "xundefined|undefined||undefined");
}

TEST(Conversion, UndefinedAndNullToNumber) {
    const char* script = "push undefined; tonumber; trace; push null; push 1; add2; trace";
    EXPECT_EQ(ScriptRun(6).run(script), "0|1");
    EXPECT_EQ(ScriptRun(7).run(script), "NaN|NaN");
}

TEST(Conversion, StringToBooleanChangedInSwf7) {
    const char* script = R"(
        push "abc"; not; not; trace
        push "0"; not; not; trace
        push "2"; not; not; trace
        push ""; not; not; trace
    )";
    EXPECT_EQ(ScriptRun(6).run(script), "false|false|true|false");
    EXPECT_EQ(ScriptRun(7).run(script), "true|true|true|false");
}

TEST(Conversion, IdentifiersCaseInsensitiveBeforeSwf7) {
    const char* script = R"(
        push "Foo", 1; setvariable
        push "foo"; getvariable; trace
        push "o"; push 0; push "Object"; newobject; setvariable
        push "o"; getvariable; push "Bar", 2; setmember
        push "o"; getvariable; push "BAR"; getmember; trace
    )";
    EXPECT_EQ(ScriptRun(6).run(script), "1|2");
    EXPECT_EQ(ScriptRun(7).run(script), "undefined|undefined");
}

TEST(Conversion, Swf4ComparisonsGiveNumbers) {
    const char* script = "push 1, 2; less; trace; push 2, 2; equals; trace; push 1; not; trace";
    EXPECT_EQ(ScriptRun(4).run(script), "1|1|0");
    EXPECT_EQ(ScriptRun(5).run(script), "true|true|false");
}

TEST(Conversion, Swf4DivideByZeroIsError) {
    EXPECT_EQ(ScriptRun(4).run("push 1, 0; divide; trace"), "#ERROR#");
    EXPECT_EQ(ScriptRun(5).run("push 1, 0; divide; trace; push -1, 0; divide; trace"), "Infinity|-Infinity");
}

TEST(Conversion, Swf4IfComparesWithZero) {
    // "abc" reads as 0 in SWF 4, so the branch is not taken.
    const char* script = R"(
        push "abc"; if yes
        push "no"; trace; jump done
        yes: push "yes"; trace
        done:
    )";
    EXPECT_EQ(ScriptRun(4).run(script), "no");
    EXPECT_EQ(ScriptRun(7).run(script), "yes");
}

TEST(Conversion, ObjectsThroughValueOfAndToString) {
    const char* script = R"(
        push "o"; push 0; push "Object"; newobject; setvariable
        push "o"; getvariable; push "valueOf"
        function () { push 41; return }
        setmember
        push "o"; getvariable; push 1; add2; trace
        push "o"; getvariable; push "x"; add2; trace
        push 1, 2, 3, 3; initarray; trace
        function f() { }
        push "f"; getvariable; trace
        push 0; push "Object"; newobject; trace
        push "a"; push 0; push "Array"; newobject; setvariable
        push "a"; getvariable; push 0; push "a"; getvariable; setmember
        push "a"; getvariable; push "length"; getmember; trace
    )";
    EXPECT_EQ(ScriptRun(7).run(script), "42|41x|3,2,1|[type Function]|[object Object]|1");
}

namespace {

// o.valueOf and o.toString trace their names and return o itself, an object.
const char* kSelfReturning = R"(
    push "o"; push 0, "Object"; newobject; setvariable
    push "o"; getvariable; push "valueOf"
    function () { push "valueOf"; trace; push "this"; getvariable; return }
    setmember
    push "o"; getvariable; push "toString"
    function () { push "toString"; trace; push "this"; getvariable; return }
    setmember
)";

} // namespace

TEST(Conversion, ObjectOperandsCallOneMethodAndKeepWhatComesBack) {
    ScriptRun s(6);
    s.run(kSelfReturning);
    // "x" + o: valueOf, then the object it returned is printed through toString,
    // whose object result prints as its type.
    EXPECT_EQ(s.run("push \"x\", \"o\"; getvariable; add2; trace"), "valueOf|toString|x[type Object]");
    // 0 + o: valueOf, then the returned object as a number: valueOf again, NaN.
    EXPECT_EQ(s.run("push 0, \"o\"; getvariable; add2; trace"), "valueOf|valueOf|NaN");
    // o == 1 and o == "x" ask valueOf once; an object result equals nothing. o == o asks nothing.
    EXPECT_EQ(s.run("push \"o\"; getvariable; push 1; equals2; trace"), "valueOf|false");
    EXPECT_EQ(s.run("push \"o\"; getvariable; push \"o\"; getvariable; equals2; trace"), "true");
    // trace(o) goes straight to toString.
    EXPECT_EQ(s.run("push \"o\"; getvariable; trace"), "toString|[type Object]");
    // An object without any methods is undefined to operators.
    EXPECT_EQ(s.run(R"(
        push "n"; push 0, "Object"; newobject; setvariable
        push "n"; getvariable; push "__proto__", undefined; setmember
        push "<"; push "n"; getvariable; add2; push ">"; add2; trace
    )"),
              "<>");
}

TEST(Conversion, DatesAndStringObjectsByVersion) {
    const char* script = R"(
        push "d"; push 0, 1, "Date"; newobject; setvariable
        push "d"; getvariable; push "valueOf"
        function () { push "valueOf"; trace; push 7; return }
        setmember
        push "d"; getvariable; push "toString"
        function () { push "toString"; trace; push "D"; return }
        setmember
        push "d"; getvariable; push 1; add2; trace
        push "d"; getvariable; push 7; equals2; trace
        push "s"; push "text", 1, "String"; newobject; setvariable
        push "s"; getvariable; push "toString"
        function () { push "never"; trace; push "T"; return }
        setmember
        push "<", "s"; getvariable; add2; trace
    )";
    // SWF 6 and later ask a Date for toString when no hint is given, SWF 5 for
    // valueOf; equality asks valueOf in both. A String object prints its own text.
    EXPECT_EQ(ScriptRun(6).run(script), "toString|D1|valueOf|true|<text");
    EXPECT_EQ(ScriptRun(5).run(script), "valueOf|8|valueOf|true|<text");
}

TEST(Conversion, Swf5EqualityTurnsEveryObjectOperand) {
    ScriptRun s(5);
    s.run(kSelfReturning);
    // Each object side by valueOf; objects that come back compare by identity, an
    // object against a primitive is its number (valueOf again).
    EXPECT_EQ(s.run("push \"o\"; getvariable; push \"o\"; getvariable; equals2; trace"), "valueOf|valueOf|true");
    EXPECT_EQ(s.run("push \"o\"; getvariable; push \"x\"; equals2; trace"), "valueOf|valueOf|false");
}

TEST(Conversion, RelationalOrderAndEmptyStrings) {
    ScriptRun s(6);
    s.run(kSelfReturning);
    // "" sorts after every other string for < and >; an object whose valueOf gives an
    // object compares false, and the right side is then not converted.
    EXPECT_EQ(s.run("push \"\", \"0\"; less2; trace; push \"0\", \"\"; less2; trace; push \"\", \"0\"; greater; trace"),
              "false|true|true");
    EXPECT_EQ(s.run("push \"o\"; getvariable; push 1; less2; trace"), "valueOf|false");
    EXPECT_EQ(s.run("push \"o\"; getvariable; push \"x\"; getvariable; less2; trace"), "valueOf|false");
}

TEST(Conversion, ArithmeticAsksTheRightOperandFirst) {
    const char* objects = R"(
        push "l"; push 0, "Object"; newobject; setvariable
        push "l"; getvariable; push "valueOf"
        function () { push "left"; trace; push 6; return }
        setmember
        push "r"; push 0, "Object"; newobject; setvariable
        push "r"; getvariable; push "valueOf"
        function () { push "right"; trace; push 3; return }
        setmember
    )";
    for (int version : {5, 6, 8}) {
        ScriptRun s(version);
        s.run(objects);
        for (const char* op : {"add2", "subtract", "multiply", "divide", "modulo", "add", "bitand", "bitor", "bitxor",
                               "bitlshift", "bitrshift", "biturshift"}) {
            const std::string script = std::string("push \"l\"; getvariable; push \"r\"; getvariable; ") + op + "; pop";
            EXPECT_EQ(s.run(script), "right|left") << op << " in SWF " << version;
        }
    }
}
