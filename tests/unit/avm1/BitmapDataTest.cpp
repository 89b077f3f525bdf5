// flash.display.BitmapData driven by assembled scripts: sizes and their limits, the
// premultiplied storage's rounding, and the pixel operations checked through getPixel32.

#include "ScriptRun.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using namespace orvane::testing;

namespace {

// Push operands for `args` (assembler syntax, first argument first), then their count.
std::string pushArgs(std::initializer_list<std::string> args) {
    std::string out;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        out += "push " + *it + "\n";
    return out + "push " + std::to_string(args.size()) + "\n";
}

// var = new flash.display.BitmapData(args)
std::string make(const std::string& var, std::initializer_list<std::string> args) {
    return "push \"" + var + "\"\n" + pushArgs(args) +
           "push \"flash\"; getvariable; push \"display\"; getmember; push \"BitmapData\"; newmethod; setvariable\n";
}

// var.method(args), its result left on the stack.
std::string call(const std::string& var, const std::string& method, std::initializer_list<std::string> args) {
    return pushArgs(args) + "push \"" + var + "\"; getvariable; push \"" + method + "\"; callmethod\n";
}

std::string run(const std::string& var, const std::string& method, std::initializer_list<std::string> args) {
    return call(var, method, args) + "pop\n";
}

std::string traceCall(const std::string& var, const std::string& method, std::initializer_list<std::string> args) {
    return call(var, method, args) + "trace\n";
}

std::string traceMember(const std::string& var, const std::string& member) {
    return "push \"" + var + "\"; getvariable; push \"" + member + "\"; getmember; trace\n";
}

// A flash.geom object pushed on the stack.
std::string geom(const std::string& cls, std::initializer_list<std::string> args) {
    return pushArgs(args) + "push \"flash\"; getvariable; push \"geom\"; getmember; push \"" + cls + "\"; newmethod\n";
}

std::string setVar(const std::string& var, const std::string& pushValue) {
    return "push \"" + var + "\"\n" + pushValue + "setvariable\n";
}

const std::string kVar = "; getvariable"; // appended to a pushed name: its value

} // namespace

TEST(BitmapData, SizesLimitsAndDisposal) {
    ScriptRun s(8);
    // The largest bitmap SWF 8 allows, one pixel too wide, no size, and what dispose leaves.
    EXPECT_EQ(s.run(make("a", {"2880", "2880"}) + traceMember("a", "width") + traceMember("a", "transparent") +
                    make("b", {"2881", "1"}) + traceMember("b", "width") + traceMember("b", "height") +
                    make("c", {"0", "5"}) + traceMember("c", "rectangle") + make("d", {"10", "5", "false"}) +
                    traceMember("d", "transparent") + traceMember("d", "rectangle") + run("d", "dispose", {}) +
                    traceMember("d", "width") + traceMember("d", "transparent") +
                    traceCall("d", "getPixel", {"0", "0"})),
              "2880|true|-1|-1|-1|false|(x=0, y=0, w=10, h=5)|-1|-1|-1");
    // Nothing before SWF 8.
    ScriptRun old(7);
    EXPECT_EQ(old.run("push \"flash\"; getvariable; push \"display\"; getmember; trace"), "undefined");
}

TEST(BitmapData, PixelsKeepFlashsPremultipliedRounding) {
    ScriptRun s(8);
    // 0x80336699 stored premultiplied reads back with red one level up; getPixel32 is signed.
    EXPECT_EQ(s.run(make("t", {"4", "4", "true", "0"}) + run("t", "setPixel32", {"1", "1", "0x80336699"}) +
                    traceCall("t", "getPixel32", {"1", "1"}) + traceCall("t", "getPixel", {"1", "1"}) +
                    traceCall("t", "getPixel32", {"0", "0"}) + traceCall("t", "getPixel32", {"9", "0"}) +
                    run("t", "setPixel", {"1", "1", "0x0000FF"}) + traceCall("t", "getPixel32", {"1", "1"})),
              "-2144049511|3434137|0|0|-2147483393");
    // An opaque bitmap keeps alpha 255 whatever it is given.
    EXPECT_EQ(s.run(make("o", {"2", "2", "false"}) + run("o", "setPixel32", {"0", "0", "0x00FF0000"}) +
                    traceCall("o", "getPixel32", {"0", "0"}) + traceCall("o", "getPixel32", {"1", "1"})),
              "-65536|-1");
}

TEST(BitmapData, RegionOperations) {
    ScriptRun s(8);
    // fillRect clipped at the edge, then the bounds of that colour and of everything else.
    EXPECT_EQ(s.run(make("b", {"10", "10", "false", "0xFFFFFF"}) +
                    setVar("r", geom("Rectangle", {"6", "-2", "10", "5"})) + run("b", "fillRect", {"\"r\"" + kVar, "0xFF0000"}) +
                    traceCall("b", "getColorBoundsRect", {"0xFFFFFF", "0xFF0000", "true"}) +
                    traceCall("b", "getColorBoundsRect", {"0xFFFFFF", "0xFF0000", "false"})),
              "(x=6, y=0, w=4, h=3)|(x=0, y=0, w=10, h=10)");
    // floodFill stops at other colours; threshold counts what it replaced.
    EXPECT_EQ(s.run(run("b", "floodFill", {"0", "9", "0x00FF00"}) + traceCall("b", "getPixel", {"9", "9"}) +
                    traceCall("b", "getPixel", {"7", "1"}) +
                    traceCall("b", "threshold",
                              {"\"b\"" + kVar, "\"b\"; getvariable; push \"rectangle\"; getmember",
                               "0, 0, 2, \"flash\"; getvariable; push \"geom\"; getmember; push \"Point\"; newmethod",
                               "\"==\"", "0xFFFF0000", "0xFF0000FF"}) +
                    traceCall("b", "getPixel", {"7", "1"})),
              "65280|16711680|12|255");
    // scroll moves the picture and leaves the uncovered edge as it was.
    EXPECT_EQ(s.run(make("c", {"3", "1", "false", "0"}) + run("c", "setPixel", {"0", "0", "0x0000AA"}) +
                    run("c", "scroll", {"1", "0"}) + traceCall("c", "getPixel", {"0", "0"}) +
                    traceCall("c", "getPixel", {"1", "0"}) + traceCall("c", "getPixel", {"2", "0"})),
              "170|170|0");
}

TEST(BitmapData, CopyingBetweenBitmaps) {
    ScriptRun s(8);
    const std::string origin = "0, 0, 2, \"flash\"; getvariable; push \"geom\"; getmember; push \"Point\"; newmethod";
    const std::string source = make("src", {"2", "1", "true", "0x80FF0000"}) +
                               make("mask", {"2", "1", "true", "0"}) + run("mask", "setPixel32", {"1", "0", "0xFF000000"}) +
                               setVar("r", geom("Rectangle", {"0", "0", "2", "1"}));
    // Without merging the source's alpha replaces the destination's; the alpha bitmap cuts it.
    EXPECT_EQ(s.run(source + make("d", {"2", "1", "true", "0xFF0000FF"}) +
                    run("d", "copyPixels", {"\"src\"" + kVar, "\"r\"" + kVar, origin, "\"mask\"" + kVar, origin}) +
                    traceCall("d", "getPixel32", {"0", "0"}) + traceCall("d", "getPixel32", {"1", "0"})),
              "0|-2130771968");
    // Merging blends over the destination; an opaque destination always blends.
    EXPECT_EQ(s.run(make("m", {"1", "1", "true", "0xFF0000FF"}) +
                    run("m", "copyPixels", {"\"src\"" + kVar, "\"r\"" + kVar, origin, "null", "null", "true"}) +
                    traceCall("m", "getPixel", {"0", "0"}) + make("o", {"1", "1", "false", "0x0000FF"}) +
                    run("o", "copyPixels", {"\"src\"" + kVar, "\"r\"" + kVar, origin}) +
                    traceCall("o", "getPixel32", {"0", "0"})),
              "8388735|-8388481");
    // clone is a copy, compare tells sameness, and a difference is a new bitmap (blue 1 at
    // alpha 0x80 reads back as 2).
    EXPECT_EQ(s.run(setVar("k", call("src", "clone", {})) + traceCall("k", "compare", {"\"src\"" + kVar}) +
                    run("k", "setPixel32", {"0", "0", "0x80FF0001"}) + traceCall("src", "getPixel32", {"0", "0"}) +
                    setVar("diff", call("k", "compare", {"\"src\"" + kVar})) +
                    traceCall("diff", "getPixel32", {"0", "0"}) + traceCall("diff", "getPixel32", {"1", "0"}) +
                    make("w", {"3", "1"}) + traceCall("k", "compare", {"\"w\"" + kVar})),
              "0|-2130771968|-16777214|0|-3");
}

TEST(BitmapData, NoiseIsRepeatableAndTransformsApplyPerChannel) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(make("a", {"8", "8"}) + make("b", {"8", "8"}) + run("a", "noise", {"42"}) + run("b", "noise", {"42"}) +
                    traceCall("a", "compare", {"\"b\"" + kVar}) + run("b", "noise", {"43"}) +
                    "push \"b\"; getvariable; push 1, \"a\"; getvariable; push \"compare\"; callmethod; typeof; trace\n" +
                    run("a", "noise", {"7", "10", "20", "1"}) + traceCall("a", "getColorBoundsRect", {"0xFF00FFFF", "0xFF000000"})),
              "0|object|(x=0, y=0, w=8, h=8)");
    // colorTransform works on straight colours: half red plus 16 blue inside the rectangle only.
    EXPECT_EQ(s.run(make("c", {"2", "1", "false", "0xC80000"}) + setVar("r", geom("Rectangle", {"0", "0", "1", "1"})) +
                    run("c", "colorTransform",
                        {"\"r\"" + kVar, "0, 16, 0, 0, 1, 1, 1, 0.5, 8, \"flash\"; getvariable; push \"geom\"; getmember; "
                                          "push \"ColorTransform\"; newmethod"}) +
                    traceCall("c", "getPixel", {"0", "0"}) + traceCall("c", "getPixel", {"1", "0"})),
              "6553616|13107200");
}

TEST(BitmapData, ScriptsCannotExhaustMemoryWithBitmaps) {
    ScriptRun s(8);
    // 40 bitmaps of 2880 x 2880 (about 1.3 GB) made in one block: the later ones are refused.
    EXPECT_EQ(s.run("push \"i\", 0; setvariable\n"
                    "loop:\n" +
                    make("b", {"2880", "2880"}) +
                    "push \"i\", \"i\"; getvariable; increment; setvariable\n"
                    "push \"i\"; getvariable; push 40; less2; if loop\n" +
                    traceMember("b", "width")),
              "-1");
}
