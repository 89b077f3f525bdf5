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

// Leaves `new <cls>(args)` on the stack; `args` pushes `count` values.
std::string make(const std::string& cls, const std::string& args, int count) {
    return "getlex " + cls + "\n" + args + "\nconstruct " + std::to_string(count) + "\n";
}

// Leaves `new RegExp(source, flags)` on the stack (source as assembler string text).
std::string regexp(const std::string& source, const std::string& flags) {
    return make("RegExp", "pushstring \"" + source + "\"\npushstring \"" + flags + "\"", 2);
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

TEST(Avm2Core, DictionariesKeepObjectKeysByIdentity) {
    EXPECT_EQ(runScript("findpropstrict flash.utils::Dictionary\nconstructprop flash.utils::Dictionary 0\nsetlocal1\n"
                        "newobject 0\nsetlocal2\nnewobject 0\nsetlocal3\n"
                        "getlocal1\ngetlocal2\npushstring \"A\"\nsetproperty late\n"
                        "getlocal1\ngetlocal3\npushstring \"B\"\nsetproperty late\n" +
                        traceOf("getlocal1\ngetlocal2\ngetproperty late") +
                        traceOf("getlocal1\ngetlocal3\ngetproperty late") +
                        // Two objects with the same string form are still two keys.
                        traceOf("getlocal1\npushstring \"[object Object]\"\ngetproperty late") +
                        traceOf("getlocal2\ngetlocal1\nin") +
                        "getlocal1\ngetlocal2\ndeleteproperty late\npop\n" +
                        traceOf("getlocal2\ngetlocal1\nin") +
                        // for-in gives the key object itself back.
                        "pushbyte 0\nsetlocal 5\ngetlocal1\nsetlocal 4\n"
                        "loop:\nhasnext2 4 5\niffalse done\n" +
                        traceOf("getlocal 4\ngetlocal 5\nnextname\ngetlocal3\nstrictequals") +
                        "jump loop\ndone:\n"),
              (Lines{"A", "B", "undefined", "true", "false", "true"}));
}

TEST(Avm2Core, JsonParsesStrictlyAndStringifiesInOrder) {
    EXPECT_EQ(runScript(traceOf(R"(getlex JSON
        getlex JSON
        pushstring "{\"a\":[1,2.5,{\"b\":\"x\\u00e9\\n\"}],\"c\":true,\"d\":null}"
        callproperty parse 1
        callproperty stringify 1)") +
                        traceOf(R"(getlex JSON
        pushstring "k"
        pushbyte 1
        newarray 1
        newobject 1
        pushnull
        pushbyte 2
        callproperty stringify 3)")),
              (Lines{"{\"a\":[1,2.5,{\"b\":\"x\xC3\xA9\\n\"}],\"c\":true,\"d\":null}", "{\n  \"k\": [\n    1\n  ]\n}"}));
    // Malformed text and cycles are errors, not garbage.
    EXPECT_EQ(runScript(traceOf("getlex JSON\npushstring \"{\\\"a\\\":1,}\"\ncallproperty parse 1")),
              (Lines{"SyntaxError: Error #1132: Invalid JSON parse input."}));
    EXPECT_EQ(runScript(traceOf("getlex JSON\npushstring \"[[[[\"\ncallproperty parse 1")),
              (Lines{"SyntaxError: Error #1132: Invalid JSON parse input."}));
    EXPECT_EQ(runScript("newobject 0\nsetlocal1\ngetlocal1\ngetlocal1\nsetproperty self\n" +
                        traceOf("getlex JSON\ngetlocal1\ncallproperty stringify 1")),
              (Lines{"TypeError: Error #1129: Cyclic structure cannot be converted to JSON string."}));
}

TEST(Avm2Core, TimeoutsAndIntervalsRunOnTheMachinesClock) {
    orvane::testing::AbcAssembler a;
    a.method("main", R"(
        getlocal0
        pushscope
        findpropstrict flash.utils::setTimeout
        getlex trace
        pushbyte 100
        pushstring "timeout"
        callpropvoid flash.utils::setTimeout 3
        findpropstrict flash.utils::setInterval
        getlex trace
        pushbyte 40
        pushstring "tick"
        callproperty flash.utils::setInterval 3
        setlocal1
        findpropstrict flash.utils::setTimeout
        getlex flash.utils::clearInterval
        pushint 130
        getlocal1
        callpropvoid flash.utils::setTimeout 3
        returnvoid
    )");
    a.script("main");
    swf::avm2::Machine m;
    Lines lines;
    m.traceSink = [&](const std::string& s) { lines.push_back(s + "@" + std::to_string(int(m.timeMs))); };
    std::string error;
    ASSERT_TRUE(m.loadAbc(a.bytes(), false, error)) << error;
    for (int t = 20; t <= 200; t += 20) {
        m.timeMs = t;
        m.runTimers();
    }
    EXPECT_EQ(lines, (Lines{"tick@40", "tick@80", "timeout@100", "tick@120"}));
}

TEST(Avm2Core, DatesCountDaysAsTheCalendarDoes) {
    EXPECT_EQ(runScript(make("Date", "pushint 2000\npushbyte 0\npushbyte 31\npushbyte 13\npushbyte 5\npushbyte 9", 6) +
                        "setlocal1\n" + traceOf("getlocal1\ncallproperty toString 0") +
                        traceOf("getlocal1\ncallproperty getTime 0") + traceOf("getlocal1\ngetproperty day") +
                        // Into February of a leap year.
                        "getlocal1\npushbyte 1\npushbyte 29\ncallpropvoid setMonth 2\n" +
                        traceOf("getlocal1\ncallproperty toDateString 0") +
                        traceOf("getlex Date\npushbyte 99\npushbyte 11\npushbyte 31\ncallproperty UTC 3") +
                        traceOf(make("Date", "pushbyte 0", 1) + "getproperty fullYear") +
                        traceOf(make("Date", "pushstring \"soon\"", 1) + "callproperty getTime 0") +
                        traceOf(make("Date", "pushdouble 1e300", 1) + "callproperty toString 0") +
                        // Now is the machine's date origin plus movie time.
                        traceOf(make("Date", "", 0) + "callproperty toString 0")),
              (Lines{"Mon Jan 31 13:05:09 GMT+0000 2000", "949323909000", "1", "Tue Feb 29 2000", "946598400000",
                     "1970", "NaN", "Invalid Date", "Sat Jan 1 00:00:00 GMT+0000 2000"}));
}

TEST(Avm2Core, StringReplaceWithAStringReplacesItsFirstOccurrence) {
    EXPECT_EQ(runScript(traceOf("pushstring \"a-b-c\"\npushstring \"-\"\npushstring \"+\"\ncallproperty replace 2") +
                        traceOf("pushstring \"abc\"\npushstring \"x\"\npushstring \"+\"\ncallproperty replace 2")),
              (Lines{"a+b-c", "abc"}));
}

TEST(Avm2Core, GeometryPointsRectanglesAndMatrices) {
    auto point = [](int x, int y) {
        return make("flash.geom::Point", "pushbyte " + std::to_string(x) + "\npushbyte " + std::to_string(y), 2);
    };
    auto rect = [](int x, int y, int w, int h) {
        return make("flash.geom::Rectangle", "pushbyte " + std::to_string(x) + "\npushbyte " + std::to_string(y) +
                                                 "\npushbyte " + std::to_string(w) + "\npushbyte " + std::to_string(h),
                    4);
    };
    EXPECT_EQ(runScript(traceOf(point(3, 4) + "getproperty length") +
                        traceOf("getlex flash.geom::Point\n" + point(0, 0) + point(3, 4) + "callproperty distance 2") +
                        traceOf(rect(0, 0, 10, 10) + rect(5, 5, 10, 10) + "callproperty intersects 1") +
                        traceOf(rect(0, 0, 10, 10) + rect(5, 5, 10, 10) + "callproperty intersection 1") +
                        traceOf(rect(0, 0, 10, 10) + "getproperty bottom") +
                        make("flash.geom::Matrix", "", 0) + "setlocal1\n"
                        "getlocal1\npushbyte 100\npushbyte 50\npushbyte 0\npushbyte 10\npushbyte 20\n"
                        "callpropvoid createGradientBox 5\n" +
                        traceOf("getlocal1") +
                        make("flash.geom::Matrix", "", 0) + "setlocal2\n"
                        "getlocal2\npushbyte 5\npushbyte 0\ncallpropvoid translate 2\n"
                        "getlocal2\npushbyte 2\npushbyte 2\ncallpropvoid scale 2\n" +
                        traceOf("getlocal2\n" + point(1, 1) + "callproperty transformPoint 1")),
              (Lines{"5", "5", "true", "(x=5, y=5, w=5, h=5)", "10",
                     "(a=0.06103515625, b=0, c=0, d=0.030517578125, tx=60, ty=45)", "(x=12, y=2)"}));
}

TEST(Avm2Core, RegularExpressionsMatchReplaceAndSplit) {
    EXPECT_EQ(runScript(traceOf("pushstring \"a1b22c333\"\n" + regexp("\\\\d+", "g") +
                                "pushstring \"#\"\ncallproperty replace 2") +
                        traceOf("pushstring \"John Smith\"\n" + regexp("(\\\\w+)\\\\s(\\\\w+)", "") +
                                "pushstring \"$2, $1 ($&)\"\ncallproperty replace 2") +
                        traceOf("pushstring \"a1b22\"\n" + regexp("\\\\d+", "g") + "callproperty match 1") +
                        traceOf("pushstring \"abc\"\n" + regexp("c", "") + "callproperty search 1") +
                        traceOf("pushstring \"abc\"\npushstring \"x\"\ncallproperty search 1") +
                        traceOf("pushstring \"a, b,c\"\n" + regexp("\\\\s*,\\\\s*", "") + "callproperty split 1\n"
                                "pushstring \"|\"\ncallproperty join 1") +
                        // Groups in the separator are kept; an empty separator splits characters.
                        traceOf("pushstring \"a1b2c\"\n" + regexp("(\\\\d)", "") + "callproperty split 1") +
                        traceOf("pushstring \"abc\"\n" + regexp("", "") + "callproperty split 1\n"
                                "pushstring \"|\"\ncallproperty join 1") +
                        traceOf("pushstring \"a-b\"\npushstring \"-\"\ncallproperty split 1\ngetproperty length") +
                        // A string pattern is taken literally, first occurrence only.
                        traceOf("pushstring \"1+1=2, 1+1\"\npushstring \"1+1\"\npushstring \"[$&]\"\n"
                                "callproperty replace 2") +
                        // Empty matches advance one character.
                        traceOf("pushstring \"ab\"\n" + regexp("x*", "g") + "pushstring \"-\"\ncallproperty replace 2")),
              (Lines{"a#b#c#", "Smith, John (John Smith)", "1,22", "2", "-1", "a|b|c", "a,1,b,2,c", "a|b|c", "2",
                     "[1+1]=2, 1+1", "-a-b-"}));
}

TEST(Avm2Core, RegularExpressionExecWalksAGlobalPattern) {
    EXPECT_EQ(runScript(regexp("(\\\\w)(\\\\d)", "g") + "setlocal1\n" +
                        traceOf("getlocal1\npushstring \"a1 b2\"\ncallproperty exec 1") +
                        traceOf("getlocal1\ngetproperty lastIndex") +
                        traceOf("getlocal1\npushstring \"a1 b2\"\ncallproperty exec 1\ngetproperty index") +
                        traceOf("getlocal1\npushstring \"a1 b2\"\ncallproperty exec 1") +
                        traceOf("getlocal1\ngetproperty lastIndex") +
                        traceOf("getlocal1\ngetproperty global") + traceOf("getlocal1") +
                        // Named groups are properties of the result.
                        traceOf(regexp("(?P<key>\\\\w+)=(?P<value>\\\\w+)", "") +
                                "pushstring \"x a=1\"\ncallproperty exec 1\ngetproperty value") +
                        // s lets a dot match a newline; x leaves out white space; i ignores case.
                        traceOf(regexp("a.b", "s") + "pushstring \"a\\nb\"\ncallproperty test 1") +
                        traceOf(regexp("a.b", "") + "pushstring \"a\\nb\"\ncallproperty test 1") +
                        traceOf(regexp("a b # comment", "x") + "pushstring \"ab\"\ncallproperty test 1") +
                        traceOf(regexp("AB", "i") + "pushstring \"xab\"\ncallproperty test 1") +
                        // A broken pattern matches nothing.
                        traceOf(regexp("(", "") + "pushstring \"(\"\ncallproperty test 1")),
              (Lines{"a1,a,1", "2", "3", "null", "0", "true", "/(\\w)(\\d)/g", "1", "true", "false", "true", "true",
                     "false"}));
}

TEST(Avm2Core, RunawayRegularExpressionsAreStopped) {
    // One catastrophic search finds nothing, within its own allowance.
    orvane::testing::AbcAssembler a;
    a.method("main", "getlocal0\npushscope\n" +
                         traceOf(regexp("(a+)+$", "") + "pushstring \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!\"\n"
                                                         "callproperty test 1") +
                         "returnvoid\n");
    a.script("main");
    swf::avm2::Machine m;
    Lines lines;
    m.traceSink = [&](const std::string& s) { lines.push_back(s); };
    m.setInstructionBudget(50'000'000);
    std::string error;
    ASSERT_TRUE(m.loadAbc(a.bytes(), false, error));
    EXPECT_EQ(lines, (Lines{"false"}));
    // A script that keeps trying runs out of time as any runaway script does.
    EXPECT_EQ(runScript(regexp("(a+)+$", "") + "setlocal1\nloop:\ngetlocal1\n"
                        "pushstring \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!\"\ncallpropvoid test 1\njump loop\n"),
              (Lines{"Error #1502: A script has executed for longer than the default timeout period of 15 seconds."}));
}

TEST(Avm2Core, RegularExpressionReplaceCallsAFunctionWithTheGroups) {
    // function (match, g1, index, input) { return g1 + "@" + index; }
    orvane::testing::AbcAssembler a;
    orvane::testing::AbcAssembler::MethodOptions four;
    four.params = 4;
    a.method("swap", "getlocal2\npushstring \"@\"\nadd\ngetlocal3\nadd\nreturnvalue\n", four);
    a.method("main", "getlocal0\npushscope\n" +
                         traceOf("pushstring \"a1 b2\"\n" + regexp("([a-z])\\\\d", "g") +
                                 "newfunction swap\ncallproperty replace 2") +
                         // A RegExp made from another keeps its source, with new flags when given.
                         traceOf(make("RegExp", regexp("x+", "g") + "pushstring \"i\"", 2)) +
                         traceOf(make("RegExp", regexp("x+", "g"), 1) + "getproperty global") +
                         // lastIndex past the end makes a global exec fail and start over.
                         regexp("a", "g") + "setlocal1\ngetlocal1\npushbyte 9\nsetproperty lastIndex\n" +
                         traceOf("getlocal1\npushstring \"aa\"\ncallproperty exec 1") +
                         traceOf("getlocal1\ngetproperty lastIndex") + "returnvoid\n");
    a.script("main");
    EXPECT_EQ(runAbc(a), (Lines{"a@0 b@3", "/x+/i", "true", "null", "0"}));
}

TEST(Avm2Core, ColorTransformsConcatAndSetTheirColour) {
    const std::string ct = make("flash.geom::ColorTransform", "pushdouble 0.5\npushbyte 1\npushbyte 1\npushbyte 1\n"
                                                               "pushbyte 10\npushbyte 20\npushbyte 30\npushbyte 0", 8);
    EXPECT_EQ(runScript(ct + "setlocal1\n" + traceOf("getlocal1\ngetproperty color") +
                        // concat(second): second first, then this one: offsets 10*0.5+10, 20+20, 30+30.
                        "getlocal1\n" + ct + "callpropvoid concat 1\n" +
                        traceOf("getlocal1\ngetproperty redOffset") + traceOf("getlocal1\ngetproperty redMultiplier") +
                        traceOf("getlocal1\ngetproperty greenOffset") +
                        // Setting the colour keeps alpha and zeroes the colour multipliers.
                        "getlocal1\npushint 16711935\nsetproperty color\n" + traceOf("getlocal1")),
              (Lines{"660510", "15", "0.25", "40",
                     "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=255, "
                     "greenOffset=0, blueOffset=255, alphaOffset=0)"}));
}

TEST(Avm2Core, TheEnvironmentIsAStandalonePlayersAndItsConstantsAreThere) {
    EXPECT_EQ(runScript("getlex flash.system::Security\npushstring \"*\"\ncallpropvoid allowDomain 1\n" +
                        traceOf("getlex flash.system::Capabilities\ngetproperty playerType") +
                        traceOf("getlex flash.external::ExternalInterface\ngetproperty available") +
                        traceOf("getlex flash.display::StageScaleMode\ngetproperty NO_SCALE") +
                        traceOf("getlex flash.ui::Keyboard\ngetproperty SPACE") +
                        traceOf("getlex flash.ui::Keyboard\ngetproperty F1") +
                        traceOf("getlex flash.filters::BitmapFilterQuality\ngetproperty HIGH") +
                        traceOf("getlex flash.system::ApplicationDomain\ngetproperty currentDomain\n"
                                "pushstring \"flash.utils.ByteArray\"\ncallproperty hasDefinition 1") +
                        traceOf("findpropstrict flash.utils::getQualifiedSuperclassName\ngetlex flash.utils::Dictionary\n"
                                "callproperty flash.utils::getQualifiedSuperclassName 1") +
                        make("flash.net::URLVariables", "pushstring \"a=1&b=two%20words\"", 1) + "setlocal1\n" +
                        traceOf("getlocal1\ngetproperty b") + traceOf("getlocal1\ncallproperty toString 0") +
                        "getlex flash.external::ExternalInterface\npushstring \"f\"\ncallpropvoid call 1\n"),
              (Lines{"StandAlone", "false", "noScale", "32", "112", "3", "true", "Object", "two words", "a=1&b=two%20words",
                     "Error: Error #2067: The ExternalInterface is not available in this container. ExternalInterface "
                     "requires Internet Explorer ActiveX, Firefox, Mozilla 1.7.5 and greater, or other browsers that "
                     "support NPRuntime."}));
}

// describeType lists a class's chain, its public variables, constants, methods (with their
// declared types, optional parameters and declaring class) and accessors; a class value is
// described as a Class with its instances under <factory>.
TEST(Avm2Core, DescribeTypeListsTheDeclaredPublicMembers) {
    orvane::testing::AbcAssembler a;
    a.method("Base$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\nreturnvoid\n");
    orvane::testing::AbcAssembler::MethodOptions hello;
    hello.params = 2;
    hello.paramTypes = {"String", "int"};
    hello.intDefaults = {0};
    hello.returnType = "void";
    a.method("Base$hello", "getlocal0\npushscope\nreturnvoid\n", hello);
    a.method("Kid$init", "getlocal0\npushscope\ngetlocal0\nconstructsuper 0\nreturnvoid\n");
    orvane::testing::AbcAssembler::MethodOptions label;
    label.returnType = "String";
    a.method("Kid$label", "getlocal0\npushscope\npushstring \"kid\"\nreturnvalue\n", label);
    orvane::testing::AbcAssembler::MethodOptions maker;
    maker.returnType = "Kid";
    a.method("Kid$make", "getlocal0\npushscope\npushnull\nreturnvalue\n", maker);
    const std::string describe = "findpropstrict flash.utils::describeType\n";
    a.method("main", "getlocal0\npushscope\n"
                     "getscopeobject 0\ngetlex Object\nnewclass Base\ninitproperty Base\n"
                     "getscopeobject 0\ngetlex Base\nnewclass Kid\ninitproperty Kid\n"
                     "getlex XML\npushfalse\nsetproperty prettyPrinting\n" +
                         traceOf(describe + "findpropstrict Kid\nconstructprop Kid 0\n"
                                            "callproperty flash.utils::describeType 1\ncallproperty toXMLString 0") +
                         traceOf(describe + "getlex Kid\ncallproperty flash.utils::describeType 1\ncallproperty toXMLString 0") +
                         traceOf(describe + "pushnull\ncallproperty flash.utils::describeType 1\ncallproperty toXMLString 0") +
                         traceOf(describe + "pushbyte 3\ncallproperty flash.utils::describeType 1\ngetproperty @name") +
                         traceOf(describe + "getlex Date\nconstruct 0\ncallproperty flash.utils::describeType 1\n"
                                            "getproperty accessor\ncallproperty length 0\npushbyte 5\ngreaterthan") +
                         "returnvoid\n");
    orvane::testing::AbcAssembler::ClassDef base;
    base.name = "Base";
    base.constructor = "Base$init";
    base.slots = {{"count", "int"}, {"LIMIT", "Number", true}};
    base.methods = {{"hello", "Base$hello"}};
    a.defineClass(base);
    orvane::testing::AbcAssembler::ClassDef kid;
    kid.name = "Kid";
    kid.super = "Base";
    kid.constructor = "Kid$init";
    kid.getters = {{"label", "Kid$label"}};
    kid.staticMethods = {{"make", "Kid$make"}};
    a.defineClass(kid);
    a.script("main", {"Base", "Kid"});
    const std::string kidMembers =
        "<extendsClass type=\"Base\"/><extendsClass type=\"Object\"/>"
        "<variable name=\"count\" type=\"int\"/><constant name=\"LIMIT\" type=\"Number\"/>"
        "<method name=\"hello\" declaredBy=\"Base\" returnType=\"void\">"
        "<parameter index=\"1\" type=\"String\" optional=\"false\"/>"
        "<parameter index=\"2\" type=\"int\" optional=\"true\"/></method>"
        "<accessor name=\"label\" access=\"readonly\" type=\"String\" declaredBy=\"Kid\"/>";
    EXPECT_EQ(runAbc(a),
              (Lines{"<type name=\"Kid\" base=\"Base\" isDynamic=\"false\" isFinal=\"false\" isStatic=\"false\">" +
                         kidMembers + "</type>",
                     "<type name=\"Kid\" base=\"Class\" isDynamic=\"true\" isFinal=\"true\" isStatic=\"true\">"
                     "<extendsClass type=\"Class\"/><extendsClass type=\"Object\"/>"
                     "<accessor name=\"prototype\" access=\"readonly\" type=\"*\" declaredBy=\"Class\"/>"
                     "<method name=\"make\" declaredBy=\"Kid\" returnType=\"Kid\"/>"
                     "<factory type=\"Kid\">" + kidMembers + "</factory></type>",
                     "<type name=\"null\" isDynamic=\"false\" isFinal=\"true\" isStatic=\"false\"/>", "int", "true"}));
}
