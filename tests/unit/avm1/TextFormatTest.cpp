#include "ScriptRun.h"

#include <gtest/gtest.h>

using orvane::testing::ScriptRun;

namespace {

// `tf` set to new TextFormat(font, size, color, bold), then `body`.
std::string withFormat(ScriptRun& s, const std::string& body) {
    return s.run(R"(push "tf", 1, -1, 12.7, "Arial", 4, "TextFormat"; newobject; setvariable
)" + body);
}

std::string traceProps(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names)
        out += std::string("push \"tf\"; getvariable; push \"") + n + "\"; getmember; trace\n";
    return out;
}

} // namespace

TEST(TextFormatClass, ConstructorConvertsLikeTheSetters) {
    ScriptRun s;
    EXPECT_EQ(withFormat(
                  s, traceProps({"font", "size", "color", "bold", "italic", "align", "display", "tabStops"})),
              "Arial|12|4294967295|true|null|null|block|null");
}

TEST(TextFormatClass, SettersConvertAndUnset) {
    ScriptRun s;
    const std::string set = R"(
        push "tf"; getvariable; push "leftMargin", -5; setmember
        push "tf"; getvariable; push "rightMargin", 7.9; setmember
        push "tf"; getvariable; push "size", "big"; setmember
        push "tf"; getvariable; push "indent", -3.5; setmember
        push "tf"; getvariable; push "align", "CENTER"; setmember
        push "tf"; getvariable; push "display", "inline"; setmember
        push "tf"; getvariable; push "letterSpacing", "1.5"; setmember
    )";
    EXPECT_EQ(withFormat(s, set + traceProps({"leftMargin", "rightMargin", "size", "indent", "align",
                                              "display", "letterSpacing"})),
              "0|7|-2147483648|-3|center|inline|1.5");
    // Names that are not alignments leave align alone; undefined unsets other properties,
    // while display falls back to block.
    const std::string reset = R"(
        push "tf"; getvariable; push "align", "middle"; setmember
        push "tf"; getvariable; push "font", undefined; setmember
        push "tf"; getvariable; push "display", "flex"; setmember
        push "tf"; getvariable; push "tabStops", "ab"; setmember
    )";
    EXPECT_EQ(withFormat(s, set + reset + traceProps({"align", "font", "display", "tabStops"})),
              "center|null|block|-2147483648,-2147483648");
}

// Before SWF 8 integers wrap to 32 bits (anything not finite is 0) and indents and leading
// are never negative; kerning and letterSpacing are ordinary properties there.
TEST(TextFormatClass, OlderMoviesWrapIntegersAndKnowNoSpacing) {
    const std::string set = R"(
        push "tf"; getvariable; push "size", -2147483650; setmember
        push "tf"; getvariable; push "indent", -3; setmember
        push "tf"; getvariable; push "leading", "x"; setmember
        push "tf"; getvariable; push "blockIndent", 2147483650; setmember
        push "tf"; getvariable; push "leftMargin", -2147483650; setmember
        push "tf"; getvariable; push "letterSpacing", "1.5"; setmember
        push "tf"; getvariable; push "tabStops", "ab"; setmember
    )";
    const auto props = traceProps({"size", "indent", "leading", "blockIndent", "leftMargin", "letterSpacing",
                                   "kerning", "tabStops"});
    ScriptRun seven(7);
    EXPECT_EQ(withFormat(seven, set + props), "2147483646|0|0|0|2147483646|1.5|undefined|0,0");
    ScriptRun eight(8);
    EXPECT_EQ(withFormat(eight, set + props),
              "-2147483648|-3|-2147483648|-2147483648|0|1.5|null|-2147483648,-2147483648");
}

// An object assigned to any format property is asked for valueOf twice and toString once
// (display asks toString again): numbers come from valueOf, text only from a string
// toString. Setting tab stops to nothing leaves unset ones unset and empties set ones.
TEST(TextFormatClass, ObjectsAreAskedAsThePlayerAsked) {
    ScriptRun s;
    const std::string body = R"(
        push "o", 0, "Object"; newobject; setvariable
        push "o"; getvariable; push "valueOf"; function () { push "v"; trace; push 7; return }; setmember
        push "o"; getvariable; push "toString"; function () { push "s"; trace; push true; return }; setmember
        push "tf"; getvariable; push "size"; push "o"; getvariable; setmember
        push "tf"; getvariable; push "font"; push "o"; getvariable; setmember
        push "tf"; getvariable; push "display"; push "o"; getvariable; setmember
        push "tf"; getvariable; push "tabStops", 5; setmember
        push "tf"; getvariable; push "tabStops"; getmember; trace
        push "tf"; getvariable; push "tabStops", "a"; setmember
        push "tf"; getvariable; push "tabStops", true; setmember
        push "tf"; getvariable; push "tabStops"; getmember; push "length"; getmember; trace
    )";
    EXPECT_EQ(withFormat(s, body + traceProps({"size", "font", "display"})),
              "v|v|s|v|v|s|v|v|s|s|null|0|7|[type Object]|block");
}
