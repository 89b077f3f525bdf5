// Built-in classes: Array (sort flags), String, Math, Number, Date, globals,
// intervals.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

// `a` = [elements] (given in order, comma-separated), then `body`.
std::string withArray(const std::string& elements, const std::string& body) {
    std::vector<std::string> items;
    std::size_t i = 0;
    while (i <= elements.size()) {
        std::size_t j = elements.find(',', i);
        if (j == std::string::npos)
            j = elements.size();
        items.push_back(elements.substr(i, j - i));
        i = j + 1;
    }
    std::string push = "push \"a\"; push ";
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        push += *it + ",";
    return push + std::to_string(items.size()) + "; initarray; setvariable\n" + body;
}

} // namespace

TEST(Arrays, SortFlags) {
    ScriptRun s(7);
    const std::string a = "1, \"b\", 10, \"B\", 2";
    EXPECT_EQ(s.run(withArray(a, "push 0, \"a\"; getvariable; push \"sort\"; callmethod; trace")),
              "1,10,2,B,b");
    EXPECT_EQ(
        s.run(withArray("1, 10, 2", "push 16, 1, \"a\"; getvariable; push \"sort\"; callmethod; trace")),
        "1,2,10");
    EXPECT_EQ(
        s.run(withArray("1, 10, 2", "push 18, 1, \"a\"; getvariable; push \"sort\"; callmethod; trace")),
        "10,2,1");
    EXPECT_EQ(s.run(withArray("\"c\", \"B\", \"a\"",
                              "push 1, 1, \"a\"; getvariable; push \"sort\"; callmethod; trace")),
              "a,B,c");
    // RETURNINDEXEDARRAY leaves the array alone.
    EXPECT_EQ(s.run(withArray("\"c\", \"a\", \"b\"", R"(
        push 8, 1, "a"; getvariable; push "sort"; callmethod; trace
        push "a"; getvariable; trace)")),
              "1,2,0|c,a,b");
    // UNIQUESORT refuses arrays with equal elements and answers 0.
    EXPECT_EQ(s.run(withArray("1, 2, 1", R"(
        push 4, 1, "a"; getvariable; push "sort"; callmethod; trace
        push "a"; getvariable; trace)")),
              "0|1,2,1");
}

TEST(Arrays, SortWithComparator) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(withArray("3, 1, 2", R"(
        function byDesc(x, y) { push "y"; getvariable; push "x"; getvariable; subtract; return }
        push "byDesc"; getvariable; push 1, "a"; getvariable; push "sort"; callmethod; trace
        function liar(x, y) { push 1; return }
        push "liar"; getvariable; push 1, "a"; getvariable; push "sort"; callmethod; push "length"; getmember; trace)")),
              "3,2,1|3");
}

TEST(Arrays, SortOnFields) {
    ScriptRun s(7);
    const std::string people = R"(
        push "n", "bob", "age", 30, 2; initobject
        push "n", "amy", "age", 4, 2; initobject
        push "n", "cat", "age", 30, 2; initobject
        push 3; initarray; push "p"; stackswap; setvariable
        function names() {
            push "out", ""; definelocal
            push "i", 0; definelocal
            loop: push "i"; getvariable; push "p"; getvariable; push "length"; getmember; less2; not; if done
            push "out"; push "out"; getvariable; push "p"; getvariable; push "i"; getvariable; getmember; push "n"; getmember; add2; push " "; add2; setvariable
            push "i"; push "i"; getvariable; increment; setvariable
            jump loop
            done: push "out"; getvariable; return
        }
    )";
    EXPECT_EQ(s.run(people + R"(
        push "age", 1, "p"; getvariable; push "sortOn"; callmethod; pop
        push 0, "names"; callfunction; trace
        push 16, "age", 2, "p"; getvariable; push "sortOn"; callmethod; pop
        push 0, "names"; callfunction; trace
        # Fields ["age", "n"], flags [0, DESCENDING]: age as text ("30" < "4"), ties by name downwards.
        push 2, 0, 2; initarray; push "n", "age", 2; initarray; push 2, "p"; getvariable; push "sortOn"; callmethod; pop
        push 0, "names"; callfunction; trace
    )"),
              "cat bob amy |amy cat bob |cat bob amy ");
}

TEST(Arrays, Methods) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(withArray("1, 2, 3, 4", R"(
        push 9, 1, "a"; getvariable; push "push"; callmethod; trace
        push 0, "a"; getvariable; push "pop"; callmethod; trace
        push 0, "a"; getvariable; push "shift"; callmethod; trace
        push 0, 1, "a"; getvariable; push "unshift"; callmethod; trace
        push "-", 1, "a"; getvariable; push "join"; callmethod; trace
        push -1, 1, 2, "a"; getvariable; push "slice"; callmethod; trace
        push "x", 2, 1, 3, "a"; getvariable; push "splice"; callmethod; trace
        push "a"; getvariable; trace
        push 8, 7, 2; initarray; push 6, 2, "a"; getvariable; push "concat"; callmethod; trace
        push 0, "a"; getvariable; push "reverse"; callmethod; trace
        push "a"; getvariable; push "length", 2; setmember; push "a"; getvariable; trace
        push "a"; getvariable; push 5, "z"; setmember; push "a"; getvariable; push "length"; getmember; trace
        push 3, 1, "Array"; newobject; push "length"; getmember; trace
    )")),
              "5|9|1|4|0-2-3-4|2,3|2,3|0,x,4|0,x,4,6,7,8|4,x,0|4,x|6|3");
}

TEST(Arrays, HugeIndicesDoNotAllocate) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(withArray("0", R"(
        push "a"; getvariable; push 4000000000, "far"; setmember
        push "a"; getvariable; push 4000000000; getmember; trace
        push "a"; getvariable; push "length"; getmember; trace
        push "a"; getvariable; push "length", 1e12; setmember
        push "after"; trace)")),
              "far|1");
    EXPECT_EQ(s.outcome, swf::avm1::Outcome::Aborted);
}

TEST(Strings, Methods) {
    ScriptRun s(7);
    auto call = [&](const std::string& args, const std::string& method) {
        return s.run("push " + args + ", \"s\"; getvariable; push \"" + method + "\"; callmethod; trace");
    };
    s.run("push \"s\", \"Hello, World\"; setvariable");
    EXPECT_EQ(call("1, 1", "charAt"), "e");
    EXPECT_EQ(call("99, 1", "charAt"), "");
    EXPECT_EQ(call("0, 1", "charCodeAt"), "72");
    EXPECT_EQ(call("\"o\", 1", "indexOf"), "4");
    EXPECT_EQ(call("5, \"o\", 2", "indexOf"), "8");
    EXPECT_EQ(call("\"o\", 1", "lastIndexOf"), "8");
    EXPECT_EQ(call("-5, 1", "slice"), "World");
    EXPECT_EQ(call("5, 0, 2", "slice"), "Hello");
    EXPECT_EQ(call("0, 5, 2", "substring"), "Hello");
    EXPECT_EQ(call("-3, 1", "substr"), "rld");
    EXPECT_EQ(call("3, 7, 2", "substr"), "Wor");
    EXPECT_EQ(call("0", "toUpperCase"), "HELLO, WORLD");
    EXPECT_EQ(call("0", "toLowerCase"), "hello, world");
    EXPECT_EQ(call("\", \", 1", "split"), "Hello,World");
    EXPECT_EQ(call("2, \"\", 2", "split"), "H,e");
    EXPECT_EQ(call("\"!\", 1", "concat"), "Hello, World!");
    EXPECT_EQ(s.run("push \"s\"; getvariable; push \"length\"; getmember; trace"), "12");
    EXPECT_EQ(s.run("push 66, 65, 2, \"String\"; getvariable; push \"fromCharCode\"; callmethod; trace"),
              "AB");
    EXPECT_EQ(s.run("push \"x\", 1, \"String\"; newobject; typeof; trace"), "object");
}

// split, substr and unescape as Flash ran them, by version.
TEST(Strings, SplitSubstrAndUnescapeEdges) {
    auto run = [](int version, const std::string& script) {
        ScriptRun s(version);
        s.run("push \"s\", \"12345\"; setvariable\npush \"e\", \"\"; setvariable");
        return s.run(script);
    };
    auto split = [](const std::string& target, const std::string& args) {
        return "push " + args + ", \"" + target + "\"; getvariable; push \"split\"; callmethod; " +
               "push \"length\"; getmember; trace\n";
    };
    // A given limit is an int32 and 0 or less gives nothing; an undefined separator
    // keeps the string whole; an empty string gives one empty part.
    EXPECT_EQ(run(7, split("s", "1, \"23\", 2") + split("s", "-1, \"23\", 2") + split("s", "2.5, \"23\", 2") +
                         split("s", "0, undefined, 2") + split("e", "0, \"x\", 2") + split("e", "\"\", 1")),
              "1|0|2|1|1|0");
    // SWF 5 splits only at one-character separators.
    EXPECT_EQ(run(5, split("s", "\"23\", 1") + split("s", "\"3\", 1") + split("s", "\"\", 1") +
                         split("s", "0, \"3\", 2") + split("e", "0, \"x\", 2")),
              "1|2|1|0|0");
    // A negative substr length counts back from the end, giving nothing past it.
    EXPECT_EQ(run(7, R"(
        push -2, 0, 2, "s"; getvariable; push "substr"; callmethod; trace
        push -2, 3, 2, "s"; getvariable; push "substr"; callmethod; push "|"; add2; trace
        push -3, -3, 2, "s"; getvariable; push "substr"; callmethod; trace
    )"),
              "123|||34");
    auto unescape = [](const std::string& text) {
        return "push \"" + text + "\", 1, \"unescape\"; callfunction; trace\n";
    };
    EXPECT_EQ(run(7, unescape("a+b") + unescape("a%6+1") + unescape("x%00y") + unescape("a%") + unescape("%41%4")),
              "a b|a1|x|a|A");
    EXPECT_EQ(run(7, unescape("%c3%a4") + unescape("%c1e!") + unescape("%80") + unescape("a%ffb")),
              "\xC3\xA4|\xEF\xBF\xBD!|\xC2\x80|a");
    EXPECT_EQ(run(5, "push \"\", 1, \"unescape\"; callfunction; typeof; trace\n" + unescape("%e4%80")),
              "undefined|\xC3\xA4\xC2\x80");
    // Text in SWF 6 movies is read as UTF-8 the same lenient way.
    EXPECT_EQ(run(6, "push \"a\xFF\xFF" "b\"; trace\npush \"a\x80" "b\"; trace"), "a|a\xC2\x80" "b");
}

TEST(Strings, CountUtf16Units) {
    ScriptRun s(7);
    s.run("push \"s\", \"a\xE2\x82\xAC\xF0\x9F\x98\x80z\"; setvariable"); // a, euro, emoji (2 units), z
    EXPECT_EQ(s.run("push \"s\"; getvariable; push \"length\"; getmember; trace"), "5");
    EXPECT_EQ(s.run("push 1, 1, \"s\"; getvariable; push \"charAt\"; callmethod; trace"), "\xE2\x82\xAC");
    EXPECT_EQ(s.run("push 4, 1, \"s\"; getvariable; push \"charAt\"; callmethod; trace"), "z");
}

TEST(Globals, ParsingAndEscaping) {
    ScriptRun s(7);
    auto call = [&](const std::string& arg, const std::string& fn) {
        return s.run("push " + arg + ", 1, \"" + fn + "\"; callfunction; trace");
    };
    EXPECT_EQ(call("\"42px\"", "parseInt"), "42");
    EXPECT_EQ(call("\"0x1f\"", "parseInt"), "31");
    EXPECT_EQ(call("\"017\"", "parseInt"), "15");
    EXPECT_EQ(call("\"017.5\"", "parseInt"), "17"); // octal only when it is all octal digits
    EXPECT_EQ(call("\" 017\"", "parseInt"), "17");
    EXPECT_EQ(call("\"0x-1f\"", "parseInt"), "-31");
    EXPECT_EQ(call("\"-0x1f\"", "parseInt"), "NaN");
    EXPECT_EQ(call("\" 0x1f\"", "parseInt"), "0");
    EXPECT_EQ(s.run("push 10, \"0x1f\", 2, \"parseInt\"; callfunction; trace"), "31");
    EXPECT_EQ(call("\"z\"", "parseInt"), "NaN");
    EXPECT_EQ(s.run("push 2, \"ff\", 2, \"parseInt\"; callfunction; trace"), "NaN");
    EXPECT_EQ(s.run("push 16, \"ff\", 2, \"parseInt\"; callfunction; trace"), "255");
    EXPECT_EQ(call("\" 3.5e2xyz\"", "parseFloat"), "350");
    EXPECT_EQ(call("\"abc\"", "isNaN"), "true");
    EXPECT_EQ(call("inf", "isFinite"), "false");
    EXPECT_EQ(call("\"a b&c\"", "escape"), "a%20b%26c");
    EXPECT_EQ(call("\"a%20b%zz\"", "unescape"), "a bz"); // "%z" is dropped, the next "z" kept
}

TEST(Globals, MathAndNumber) {
    ScriptRun s(7);
    EXPECT_EQ(s.run("push -2.5, 1, \"Math\"; getvariable; push \"round\"; callmethod; trace"), "-2");
    EXPECT_EQ(s.run("push 0, \"Math\"; getvariable; push \"max\"; callmethod; trace"), "-Infinity");
    EXPECT_EQ(s.run("push nan, 1, 2, \"Math\"; getvariable; push \"min\"; callmethod; trace"), "NaN");
    EXPECT_EQ(s.run("push 10, 2, 2, \"Math\"; getvariable; push \"pow\"; callmethod; trace"), "1024");
    EXPECT_EQ(s.run("push 16, 1, 255, 1, \"Number\"; newobject; push \"toString\"; callmethod; trace"), "ff");
    EXPECT_EQ(s.run("push \"12\", 1, \"Number\"; callfunction; push 1; add2; trace"), "13");
    EXPECT_EQ(s.run("push \"Number\"; getvariable; push \"MAX_VALUE\"; getmember; trace"),
              "1.79769313486231e+308");
    EXPECT_EQ(s.run("push 0, 1, \"Boolean\"; newobject; trace"), "false");
}

TEST(Globals, DateUsesTheInjectedClock) {
    ScriptRun s(7);
    s.vm.setDateOrigin(1104537600000.0); // 2005-01-01T00:00:00Z
    s.vm.setTime(90061000);              // one day, one hour, one minute, one second later
    EXPECT_EQ(s.run(R"(
        push "d"; push 0, "Date"; newobject; setvariable
        push 0, "d"; getvariable; push "getFullYear"; callmethod; trace
        push 0, "d"; getvariable; push "getDate"; callmethod; trace
        push 0, "d"; getvariable; push "getHours"; callmethod; trace
        push 0, "d"; getvariable; push "getDay"; callmethod; trace
        push "d"; getvariable; trace
        push 15, 1, "d"; getvariable; push "setMonth"; callmethod; pop
        push 0, "d"; getvariable; push "getFullYear"; callmethod; trace
        push 0, "d"; getvariable; push "getMonth"; callmethod; trace
        push 29, 1, 2000, 3, "Date"; getvariable; push "UTC"; callmethod; trace
    )"),
              "2005|2|1|0|Sun Jan 2 01:01:01 GMT+0000 2005|2006|3|951782400000");
}

// String.prototype.valueOf converts anything but a String object as `"" + this` would: a
// Date gives its date text, not its time value.
TEST(Globals, StringValueOfOnADate) {
    ScriptRun s(7);
    s.vm.setDateOrigin(1104537600000.0); // 2005-01-01T00:00:00Z
    EXPECT_EQ(s.run(R"(
        push "d"; push 0, "Date"; newobject; setvariable
        push "d"; getvariable; push "f", "String"; getvariable; push "prototype"; getmember; push "valueOf"; getmember; setmember
        push 0, "d"; getvariable; push "f"; callmethod; trace
        push "s"; push "x", 1, "String"; newobject; setvariable
        push 0, "s"; getvariable; push "valueOf"; callmethod; trace
    )"),
              "Sat Jan 1 00:00:00 GMT+0000 2005|x");
}

TEST(Globals, DateOutOfRangeIsInvalid) {
    ScriptRun s(7);
    // Time values past 8.64e15 ms, infinite or NaN are no date: text, fields and
    // setters must not compute a calendar from them.
    EXPECT_EQ(s.run(R"(
        push "d"; push 1e300, 1, "Date"; newobject; setvariable
        push "d"; getvariable; trace
        push 0, "d"; getvariable; push "getDay"; callmethod; trace
        push 0, "d"; getvariable; push "getMonth"; callmethod; trace
        push 8.64e15, 1, "d"; getvariable; push "setTime"; callmethod; trace
        push 0, "d"; getvariable; push "getFullYear"; callmethod; trace
        push -1e308, 1, "d"; getvariable; push "setTime"; callmethod; trace
        push "d"; getvariable; tostring; trace
    )"),
              "Invalid Date|NaN|NaN|8.64e+15|275760|NaN|Invalid Date");
}

TEST(Globals, FromCharCodeEndsAtAZeroUnit) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push 67, 0, 66, 65, 4, "String"; getvariable; push "fromCharCode"; callmethod; trace
        push 65536, 66, 65, 3, "String"; getvariable; push "fromCharCode"; callmethod; push "|"; add2; trace
        push 65601, 1, "String"; getvariable; push "fromCharCode"; callmethod; trace
    )"),
              "AB|AB||A");
    // SWF 5 writes a code past 255 as two bytes, high first; a zero byte still ends the text.
    EXPECT_EQ(ScriptRun(5).run(R"(
        push 66, 300, 2, "String"; getvariable; push "fromCharCode"; callmethod; trace
        push 66, 256, 65, 3, "String"; getvariable; push "fromCharCode"; callmethod; trace
        push -1, 1, "String"; getvariable; push "fromCharCode"; callmethod; trace
    )"),
              "\x01,B|A\x01|\xC3\xBF\xC3\xBF");
}

TEST(Globals, Swf5DatesKeepTheFractionOfAMillisecond) {
    const char* script = R"(
        push "d"; push 1.5, 1, "Date"; newobject; setvariable
        push 0, "d"; getvariable; push "getTime"; callmethod; trace
    )";
    EXPECT_EQ(ScriptRun(5).run(script), "1.5");
    EXPECT_EQ(ScriptRun(6).run(script), "1");
}

TEST(Globals, DateGettersOnOtherObjectsAreUndefined) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "o"; push 0, "Object"; newobject; setvariable
        push "o"; getvariable; push "getTime", "Date"; getvariable; push "prototype"; getmember; push "getTime"; getmember; setmember
        push "o"; getvariable; push "getYear", "Date"; getvariable; push "prototype"; getmember; push "getYear"; getmember; setmember
        push 0, "o"; getvariable; push "getTime"; callmethod; trace
        push 0, "o"; getvariable; push "getYear"; callmethod; trace
    )"),
              "undefined|undefined");
}

TEST(Globals, IntervalsFollowTheHostClock) {
    ScriptRun s(7);
    s.run(R"(
        push "n", 0; setvariable
        function tick(label) { push "n"; push "n"; getvariable; increment; setvariable; push "label"; getvariable; push "n"; getvariable; add2; trace }
        push "id"; push "t", 100, "tick"; getvariable; push 3, "setInterval"; callfunction; setvariable
    )");
    s.lines.clear();
    s.vm.setTime(50);
    s.vm.runIntervals();
    EXPECT_TRUE(s.lines.empty());
    s.vm.setTime(100);
    s.vm.runIntervals();
    s.vm.setTime(350); // late: one call, not a burst
    s.vm.runIntervals();
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[1], "t2");
    s.run("push \"id\"; getvariable; push 1, \"clearInterval\"; callfunction; pop");
    s.vm.setTime(1000);
    s.vm.runIntervals();
    EXPECT_TRUE(s.lines.empty());
}

TEST(Globals, ObjectsSurviveCollectionWhileReachable) {
    ScriptRun s(7);
    s.run(R"(
        push "keep"; push "v", "kept", 1; initobject; setvariable
        push 0, "Object"; newobject; pop
        push 0, "Object"; newobject; pop
    )");
    const std::size_t before = s.vm.objectCount();
    s.vm.collectGarbage();
    EXPECT_LT(s.vm.objectCount(), before);
    EXPECT_EQ(s.run("push \"keep\"; getvariable; push \"v\"; getmember; trace"), "kept");
}

// A comparator sees the earlier element first; ASnative(102, 0/1) change only ASCII
// letters; SWF 5 strings are one byte a character, each its Latin-1 character.
TEST(Strings, OldMovieRules) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "arr"; push undefined, "a", 2; initarray; setvariable
        push "cmp"
        function (x, y) { push "x"; getvariable; push ","; add2; push "y"; getvariable; add2; trace; push 0; return }
        setvariable
        push "cmp"; getvariable; push 1, "arr"; getvariable; push "sort"; callmethod; pop
        push "o"; push 0; initobject; setvariable
        push "o"; getvariable; push "lower", 1, 102, 2, "ASnative"; callfunction; setmember
        push "o"; getvariable; push "toString"
        function () { push "ÄbC"; return }
        setmember
        push 0, "o"; getvariable; push "lower"; callmethod; trace
    )"),
              "a,undefined|Äbc");
    EXPECT_EQ(ScriptRun(5).run("push \"é€\"; trace; push \"é\"; stringlength; trace"),
              "Ã©â\xC2\x82¬|2");
}

// ASnative hands out a new function object on every call; (2, 0) tells whether the
// calling function runs under `new`; (101, 5) is hasOwnProperty even for SWF 5.
TEST(Globals, NativeTable) {
    ScriptRun s(6);
    EXPECT_EQ(s.run(R"(
        push "a"; push 0, 5, 2, "ASnative"; callfunction; setvariable
        push "b"; push 0, 5, 2, "ASnative"; callfunction; setvariable
        push "a"; getvariable; push "tag", 1; setmember
        push "b"; getvariable; push "tag"; getmember; trace
        push "a"; getvariable; push "b"; getvariable; equals2; trace
        push "a"; getvariable; push "Mouse"; getvariable; push "show"; getmember; equals2; trace
        push "ASnew"; push 0, 2, 2, "ASnative"; callfunction; setvariable
        function Probe() { push 0, "ASnew"; callfunction; trace }
        push 0, "Probe"; callfunction; pop
        push "p"; push 0, "Probe"; newobject; setvariable
    )"),
              "undefined|false|false|false|true");
    ScriptRun five(5);
    EXPECT_EQ(five.run(R"(
        push "o"; push 0, "Object"; newobject; setvariable
        push "o"; getvariable; push "x", 1; setmember
        push "o"; getvariable; push "has"; push 5, 101, 2, "ASnative"; callfunction; setmember
        push "x", 1; push "o"; getvariable; push "has"; callmethod; trace
        push "y", 1; push "o"; getvariable; push "has"; callmethod; trace
    )"),
              "true|false");
}
