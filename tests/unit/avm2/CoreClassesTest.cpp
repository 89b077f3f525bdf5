// Top-level and flash.utils classes of the ActionScript 3 machine beyond Object, Array
// and String: each test checks what assembled code traces.
#include "MachineRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing::avm2run;

namespace {

// Leaves `new Vector.<type>(args...)` on the stack; `args` pushes `count` values.
std::string newVector(const std::string& type, const std::string& args, int count) {
    return "getlex __AS3__.vec::Vector\ngetlex " + type + "\napplytype 1\n" + args + "\nconstruct " +
           std::to_string(count) + "\n";
}

} // namespace

TEST(Avm2Core, VectorsStartAtTheirTypesDefaultAndBehaveAsArrays) {
    EXPECT_EQ(runScript(newVector("int", "pushbyte 3", 1) + "setlocal1\n" +
                        traceOf("getlocal1\npushstring \",\"\ncallproperty join 1") +
                        "getlocal1\npushbyte 7\ncallpropvoid push 1\n"
                        "getlocal1\npushbyte 0\npushbyte 5\nsetproperty late\n" +
                        traceOf("getlocal1\npushstring \",\"\ncallproperty join 1") +
                        traceOf("getlocal1\ngetproperty length") +
                        traceOf("getlocal1\npushbyte 7\ncallproperty indexOf 1")),
              (Lines{"0,0,0", "5,0,0,7", "4", "3"}));
    // Each element type is a class of its own, named as the player names it.
    EXPECT_EQ(runScript(traceOf("findpropstrict flash.utils::getQualifiedClassName\n" + newVector("String", "", 0) +
                                "callproperty flash.utils::getQualifiedClassName 1") +
                        traceOf(newVector("Boolean", "pushbyte 1", 1) + "pushbyte 0\ngetproperty late") +
                        traceOf(newVector("String", "pushbyte 1", 1) + "pushbyte 0\ngetproperty late") +
                        traceOf(newVector("int", "", 0) + "getlex __AS3__.vec::Vector\ngetlex int\napplytype 1\nistypelate")),
              (Lines{"__AS3__.vec::Vector.<String>", "false", "null", "true"}));
    // A negative length is refused.
    EXPECT_EQ(runScript(newVector("int", "pushbyte -1", 1) + "pop\n"),
              (Lines{"RangeError: Error #1005: Array index is not a positive integer (-1)."}));
}
