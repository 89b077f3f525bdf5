// flash.geom classes, Color, AsBroadcaster and setTimeout, driven by assembled
// scripts the way movies use them.

#include "ScriptRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

using namespace orvane::testing;

namespace {

// A push operand; a bare name other than a literal is read as a variable.
std::string pushArg(const std::string& a) {
    static const char* literals[] = {"nan", "undefined", "null", "true", "false"};
    const bool name = std::isalpha(static_cast<unsigned char>(a[0])) &&
                      std::none_of(std::begin(literals), std::end(literals), [&](const char* l) { return a == l; });
    return name ? "push \"" + a + "\"; getvariable\n" : "push " + a + "\n";
}

// `var = new flash.geom.cls(args)`; args are assembler push operands, first argument first.
std::string make(const std::string& var, const std::string& cls, std::vector<std::string> args) {
    std::string push = "push \"" + var + "\"\n";
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push += pushArg(*it);
    return push + "push " + std::to_string(args.size()) +
           ", \"flash\"; getvariable; push \"geom\"; getmember; push \"" + cls + "\"; newmethod; setvariable\n";
}

// Traces var.method(args).
std::string callTrace(const std::string& var, const std::string& method, std::vector<std::string> args = {}) {
    std::string push;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        push += pushArg(*it);
    return push + "push " + std::to_string(args.size()) + ", \"" + var + "\"; getvariable; push \"" + method +
           "\"; callmethod; trace\n";
}

std::string traceVar(const std::string& var) {
    return "push \"" + var + "\"; getvariable; trace\n";
}

std::string traceMember(const std::string& var, const std::string& member) {
    return "push \"" + var + "\"; getvariable; push \"" + member + "\"; getmember; trace\n";
}

} // namespace

TEST(Geom, PointKeepsArgumentsAndComputesAsScriptsDo) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(make("p", "Point", {}) + traceVar("p") + make("q", "Point", {"3", "4"}) + traceVar("q") +
                    traceMember("q", "length") + make("u", "Point", {"undefined"}) + traceVar("u")),
              "(x=0, y=0)|(x=3, y=4)|5|(x=undefined, y=undefined)");
    // add is the script `+`: a string field concatenates; subtract converts to numbers.
    EXPECT_EQ(s.run(make("a", "Point", {"\"1\"", "2"}) + make("b", "Point", {"3", "4"}) + callTrace("a", "add", {"b"}) +
                    callTrace("a", "subtract", {"b"}) + callTrace("a", "equals", {"a"}) +
                    callTrace("a", "equals", {"b"})),
              "(x=13, y=6)|(x=-2, y=-2)|true|false");
    // A point with a NaN field still equals itself.
    EXPECT_EQ(s.run(make("n", "Point", {"nan", "1"}) + callTrace("n", "equals", {"n"})), "true");
    EXPECT_EQ(s.run(make("a", "Point", {"0", "0"}) + make("b", "Point", {"3", "4"}) +
                    "push \"b\"; getvariable; push \"a\"; getvariable; push 2, \"flash\"; getvariable; "
                    "push \"geom\"; getmember; push \"Point\"; getmember; push \"distance\"; callmethod; trace\n" +
                    "push 0.5, \"b\"; getvariable; push \"a\"; getvariable; push 3, \"flash\"; getvariable; "
                    "push \"geom\"; getmember; push \"Point\"; getmember; push \"interpolate\"; callmethod; trace\n" +
                    callTrace("b", "normalize", {"10"}) + traceVar("b")),
              "5|(x=1.5, y=2)|undefined|(x=6, y=8)");
}

// flash.geom and Camera.get were ActionScript inside the player: their methods are
// enumerable and each has a prototype; Transform is there from SWF 6.
TEST(Geom, ScriptWrittenClassesShowPlainMethods) {
    ScriptRun s(6);
    EXPECT_EQ(s.run(R"(
        push "flash"; getvariable; push "geom"; getmember; push "Point"; getmember; enumerate2
        loop: store 0; push null; equals2; if done
        push r:0; trace; jump loop
        done:
        push "flash"; getvariable; push "geom"; getmember; push "Point"; getmember; push "polar"; getmember
        push "prototype"; getmember; typeof; trace
        push "Camera"; getvariable; push "get"; getmember; push "prototype"; getmember; typeof; trace
        push "flash"; getvariable; push "geom"; getmember; push "Transform"; getmember; typeof; trace
        push "Array"; getvariable; push "NUMERIC"; delete; trace
    )"),
              "polar|interpolate|distance|object|object|function|true");
}

TEST(Geom, RectangleEdgesAndSetOperations) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(make("r", "Rectangle", {}) + traceVar("r") + make("r", "Rectangle", {"10"}) + traceVar("r")),
              "(x=0, y=0, w=0, h=0)|(x=10, y=undefined, w=undefined, h=undefined)");
    // Moving the left edge keeps the right one; bottomRight is a new Point.
    EXPECT_EQ(s.run(make("r", "Rectangle", {"10", "20", "30", "40"}) +
                    "push \"r\"; getvariable; push \"left\", 0; setmember\n" + traceVar("r") +
                    traceMember("r", "bottomRight") + callTrace("r", "contains", {"39", "59"}) +
                    callTrace("r", "contains", {"40", "59"})),
              "(x=0, y=20, w=40, h=40)|(x=40, y=60)|true|false");
    EXPECT_EQ(s.run(make("a", "Rectangle", {"0", "0", "10", "10"}) + make("b", "Rectangle", {"5", "5", "10", "10"}) +
                    make("c", "Rectangle", {"20", "20", "1", "1"}) + callTrace("a", "intersection", {"b"}) +
                    callTrace("a", "union", {"b"}) + callTrace("a", "intersects", {"c"}) +
                    callTrace("a", "intersection", {"c"}) + callTrace("c", "isEmpty") +
                    callTrace("a", "inflate", {"1", "2"}) + traceVar("a")),
              "(x=5, y=5, w=5, h=5)|(x=0, y=0, w=15, h=15)|false|(x=0, y=0, w=0, h=0)|false|undefined|"
              "(x=-1, y=-2, w=12, h=14)");
}

// A Rectangle made without arguments empties itself through this.setEmpty(), so a
// script's replacement decides what it holds; Point.length is an enumerable accessor.
TEST(Geom, ConstructorCallsSetEmptyAndPointLengthIsListed) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push "flash"; getvariable; push "geom"; getmember; push "Rectangle"; getmember; push "prototype"; getmember
        push "setEmpty"
        function () { push "this"; getvariable; push "y", 123; setmember }
        setmember
    )" + make("r", "Rectangle", {}) + traceVar("r") + make("q", "Rectangle", {"1", "2", "3", "4"}) + traceVar("q") +
                    R"(
        push "length", 1, "flash"; getvariable; push "geom"; getmember; push "Point"; getmember; push "prototype"; getmember
        push "isPropertyEnumerable"; callmethod; trace
    )"),
              "(x=undefined, y=123, w=undefined, h=undefined)|(x=1, y=2, w=3, h=4)|true");
}

TEST(Geom, MatrixOperationsCompose) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(make("m", "Matrix", {}) + traceVar("m") + callTrace("m", "scale", {"2", "3"}) +
                    callTrace("m", "translate", {"10", "20"}) + traceVar("m") + make("p", "Point", {"1", "1"}) +
                    callTrace("m", "transformPoint", {"p"}) + callTrace("m", "deltaTransformPoint", {"p"}) +
                    callTrace("m", "invert") + callTrace("m", "transformPoint", {"p"})),
              "(a=1, b=0, c=0, d=1, tx=0, ty=0)|undefined|undefined|(a=2, b=0, c=0, d=3, tx=10, ty=20)|"
              "(x=12, y=23)|(x=2, y=3)|undefined|(x=-4.5, y=-6.33333333333333)");
    // Gradient boxes are scaled from Flash's 1638.4-pixel gradient square and centred.
    EXPECT_EQ(s.run(make("g", "Matrix", {}) + callTrace("g", "createGradientBox", {"1638.4", "819.2", "0", "5", "6"}) +
                    traceVar("g")),
              "undefined|(a=1, b=0, c=0, d=0.5, tx=824.2, ty=415.6)");
    // A singular matrix inverts to the identity.
    EXPECT_EQ(s.run(make("z", "Matrix", {"0", "0", "0", "0", "3", "4"}) + callTrace("z", "invert") + traceVar("z")),
              "undefined|(a=1, b=0, c=0, d=1, tx=0, ty=0)");
}

TEST(Geom, ColorTransformFieldsAreNumbersFromSwf8Only) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(make("c", "ColorTransform", {}) + traceVar("c") +
                    make("d", "ColorTransform", {"0.5", "\"2\"", "1", "1", "10", "20", "30", "0"}) + traceMember("d", "rgb") +
                    "push \"d\"; getvariable; push \"rgb\", 0xFF0000; setmember\n" + traceVar("d")),
              "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
              "greenOffset=0, blueOffset=0, alphaOffset=0)|660510|"
              "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=255, "
              "greenOffset=0, blueOffset=0, alphaOffset=0)");
    EXPECT_EQ(s.run(make("a", "ColorTransform", {"2", "1", "1", "1", "10", "0", "0", "0"}) +
                    make("b", "ColorTransform", {"0.5", "1", "1", "1", "4", "0", "0", "0"}) + callTrace("a", "concat", {"b"}) +
                    traceMember("a", "redMultiplier") + traceMember("a", "redOffset")),
              "undefined|1|18");
    ScriptRun old(7);
    EXPECT_EQ(old.run(make("c", "ColorTransform", {}) + traceMember("c", "redMultiplier")), "undefined");
}

TEST(Broadcaster, ListenersAreUniqueAndCalledOnACopy) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "e"; push 0, "Object"; newobject; setvariable
        push "e"; getvariable; push 1, "AsBroadcaster"; getvariable; push "initialize"; callmethod; pop
        push "hi", 1, "e"; getvariable; push "broadcastMessage"; callmethod; trace
        push "l"; push 0, "Object"; newobject; setvariable
        push "l"; getvariable; push "hi"
        function (a) { push "got "; push "a"; getvariable; add2; trace; push "l"; getvariable; push 1, "e"; getvariable; push "removeListener"; callmethod; pop }
        setmember
        push "l"; getvariable; push 1, "e"; getvariable; push "addListener"; callmethod; trace
        push "l"; getvariable; push 1, "e"; getvariable; push "addListener"; callmethod; pop
        push "e"; getvariable; push "_listeners"; getmember; push "length"; getmember; trace
        push "x", "hi", 2, "e"; getvariable; push "broadcastMessage"; callmethod; trace
        push "e"; getvariable; push "_listeners"; getmember; push "length"; getmember; trace
        push "l"; getvariable; push 1, "e"; getvariable; push "removeListener"; callmethod; trace
    )"),
              "undefined|true|1|got x|true|0|false");
    ScriptRun v5(5);
    EXPECT_EQ(v5.run("push \"AsBroadcaster\"; getvariable; typeof; trace"), "undefined");
}

TEST(Timers, TimeoutsRunOnceInDueOrder) {
    ScriptRun s(7);
    s.run(R"(
        function say(w) { push "w"; getvariable; trace }
        push "late"; push "a", 300, "say"; getvariable; push 3, "setTimeout"; callfunction; setvariable
        function stop(id) { push "stop"; trace; push "id"; getvariable; push 1, "clearTimeout"; callfunction; pop }
        push "late"; getvariable; push 100, "stop"; getvariable; push 3, "setTimeout"; callfunction; pop
        push "b", 50, "say"; getvariable; push 3, "setTimeout"; callfunction; pop
    )");
    s.vm.setTime(1000); // one late tick covers all three: the earliest runs first
    s.vm.runIntervals();
    s.vm.setTime(2000);
    s.vm.runIntervals();
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0], "b");
    EXPECT_EQ(s.lines[1], "stop");
}
