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
