// Movie clips from script, through the fake host: paths, properties, frame
// control, display-list edits, handlers.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;
using swf::avm1::ClipId;
using swf::avm1::ClipProperty;

namespace {

struct ClipScene : ScriptRun {
    ClipScene() : ScriptRun(7) {
        mc = host.add(1, "mc", 1);
        inner = host.add(mc, "inner", 1);
        host.clip(mc).totalFrames = 20;
        host.clip(mc).labels["intro"] = 5;
    }
    std::string log() {
        std::string out;
        for (std::size_t i = 0; i < host.log.size(); ++i)
            out += (i ? "|" : "") + host.log[i];
        host.log.clear();
        return out;
    }
    ClipId mc, inner;
};

} // namespace

TEST(Clips, PathsAndTargets) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        push "mc"; getvariable; trace
        push "_root.mc.inner"; getvariable; trace
        push "/mc/inner"; getvariable; push "_target"; getmember; trace
        push "mc"; getvariable; targetpath; trace
        push "inner"; getvariable; trace
    )"),
              "_level0.mc|_level0.mc.inner|/mc/inner|_level0.mc|undefined");
    // Variables on clips through slash and dot paths, from a nested clip.
    EXPECT_EQ(s.run(R"(
        push "/mc:score", 5; setvariable
        push "_root.mc.score"; getvariable; trace
        push "_parent.score"; getvariable; trace
        push "../:score"; getvariable; trace
        push "/:top", "T"; setvariable
        push "_root.top"; getvariable; trace
    )",
                    s.inner),
              "5|5|5|T");
}

TEST(Clips, PropertiesByIndexAndByName) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        push "mc", 0, 12.5; setproperty
        push "/mc", 6, 50; setproperty
        push "mc"; getvariable; push "_x"; getmember; trace
        push "mc"; getvariable; push "_ALPHA"; getmember; trace
        push "mc"; getvariable; push "_visible", false; setmember
        push "mc", 7; getproperty; trace
        push "mc", 13; getproperty; trace
        push "mc"; getvariable; push "_name", "renamed"; setmember
        push "renamed"; getvariable; push "_currentframe"; getmember; trace
        push "", 11; getproperty; trace
        push "renamed"; getvariable; push "_x", nan; setmember
        push "renamed", 0; getproperty; trace
        push "nothere", 0; getproperty; trace
    )"),
              "12.5|50|false|mc|1|/|12.5|undefined");
    EXPECT_EQ(s.host.clip(s.mc).props[static_cast<int>(ClipProperty::Visible)], 0);
    // A getter added on the clip answers reads of its property; writes reach the clip.
    EXPECT_EQ(s.run(R"(
        push "renamed"; getvariable; push "_x", 3; setmember
        function () { push "set"; trace }
        function () { push 42; return }
        push "_x", 3, "renamed"; getvariable; push "addProperty"; callmethod; pop
        push "renamed"; getvariable; push "_x"; getmember; trace
        push "renamed"; getvariable; push "_x", 10; setmember
        push "renamed"; getvariable; push "_x"; getmember; trace
    )"),
              "42|42");
    EXPECT_EQ(s.host.clip(s.mc).props[static_cast<int>(ClipProperty::X)], 10);
}

TEST(Clips, FrameControl) {
    ClipScene s;
    s.run(R"(
        push "mc"; getvariable; push "intro", 1, "mc"; getvariable; push "gotoAndStop"; callmethod; pop
        push 3, 1, "mc"; getvariable; push "gotoAndPlay"; callmethod; pop
        settarget "mc"; stop; nextframe; settarget ""
        push "mc:intro"; gotoframe2 play
        push 2; gotoframe2 bias 3
        gotoframe 4
        push "/mc"; settarget2; play; push ""; settarget2; previousframe
        gotolabel "nolabel"
    )");
    EXPECT_EQ(s.log(), "label mc intro stop|goto mc 3 play|stop mc|next mc|label mc intro play|goto  5 stop|"
                       "goto  5 stop|play mc|prev |label  nolabel stop");
}

TEST(Clips, CallFrameRunsAnotherFramesScript) {
    ClipScene s;
    s.host.clip(s.mc).labels["helper"] = 7;
    s.host.clip(s.mc).frameScripts[7].push_back(
        assembleActions("push \"in frame 7 of \"; push \"this\"; getvariable; add2; trace"));
    EXPECT_EQ(s.run("push \"/mc:helper\"; call; push \"/mc:7\"; call; push \"back\"; trace"),
              "in frame 7 of _level0.mc|in frame 7 of _level0.mc|back");
}

// CloneSprite takes a timeline depth: script depth 5 is 16389.
TEST(Clips, DisplayListEdits) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        push "mc", "copy", 16389; clonesprite
        push "copy"; getvariable; trace
        push "init"; push "_x", 3, 1; initobject; setvariable
        push "init"; getvariable; push 10, "dup", 3, "mc"; getvariable; push "duplicateMovieClip"; callmethod; push "_x"; getmember; trace
        push 20, "made", 2, "_root"; getvariable; push "createEmptyMovieClip"; callmethod; trace
        push 0, "made"; getvariable; push "getDepth"; callmethod; trace
        push 0, "_root"; getvariable; push "getNextHighestDepth"; callmethod; trace
        push 5, 1, "made"; getvariable; push "swapDepths"; callmethod; pop
        push 0, "copy"; getvariable; push "getDepth"; callmethod; trace
        push "copy"; removesprite
        push "copy"; getvariable; trace
        push 0, "made"; getvariable; push "removeMovieClip"; callmethod; pop
        push "made"; getvariable; typeof; trace
    )"),
              "_level0.copy|3|_level0.made|20|21|20|undefined|undefined");
}

TEST(Clips, AttachMovieAppliesRegisteredClass) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        function Ball() { push "this"; getvariable; push "speed", 7; setmember }
        push "Ball"; getvariable; push "prototype"; getmember; push "bounce"
        function () { push "bounce "; push "this"; getvariable; push "_name"; getmember; add2; return }
        setmember
        push "Ball"; getvariable; push "Symbol", 2, "Object"; getvariable; push "registerClass"; callmethod; pop
        push 1, "b1", "Symbol", 3, "_root"; getvariable; push "attachMovie"; callmethod; pop
        push "b1"; getvariable; push "speed"; getmember; trace
        push 0, "b1"; getvariable; push "bounce"; callmethod; trace
        push "b1"; getvariable; push "Ball"; getvariable; instanceof; trace
        push 2, "x", "NoSuchSymbol", 3, "_root"; getvariable; push "attachMovie"; callmethod; trace
    )"),
              "7|bounce b1|true|undefined");
}

TEST(Clips, GeometryQueries) {
    ClipScene s;
    s.host.clip(s.mc).props[static_cast<int>(ClipProperty::X)] = 100;
    s.host.clip(s.inner).props[static_cast<int>(ClipProperty::X)] = 5;
    EXPECT_EQ(s.run(R"(
        push "p"; push "x", 1, "y", 2, 2; initobject; setvariable
        push "p"; getvariable; push 1, "mc.inner"; getvariable; push "localToGlobal"; callmethod; pop
        push "p"; getvariable; push "x"; getmember; trace
        push "p"; getvariable; push 1, "mc.inner"; getvariable; push "globalToLocal"; callmethod; pop
        push "p"; getvariable; push "x"; getmember; trace
        push 5, 105, 2, "mc"; getvariable; push "hitTest"; callmethod; trace
        push 5, 500, 2, "mc"; getvariable; push "hitTest"; callmethod; trace
        push 0, "mc"; getvariable; push "getBounds"; callmethod; push "xMax"; getmember; trace
    )"),
              "106|1|true|false|110");
}

TEST(Clips, HandlersAndRemovedClips) {
    ClipScene s;
    s.run(R"(
        push "mc"; getvariable; push "onEnterFrame"
        function () { push "enter "; push "this"; getvariable; push "_name"; getmember; add2; trace }
        setmember
        push "held"; push "mc"; getvariable; setvariable
    )");
    s.lines.clear();
    EXPECT_TRUE(s.vm.callHandler(s.mc, "onEnterFrame"));
    EXPECT_FALSE(s.vm.callHandler(s.inner, "onEnterFrame"));
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0], "enter mc");
    // Once the clip is gone, a script still holding it sees an empty clip.
    s.host.remove(s.mc);
    s.vm.clipRemoved(s.mc);
    s.vm.clipRemoved(s.inner);
    EXPECT_EQ(s.run(R"(
        push "held"; getvariable; push "_x"; getmember; trace
        push 0, "held"; getvariable; push "play"; callmethod; pop
        push "held"; getvariable; push "", 1; stringadd; trace
    )"),
              "undefined|1");
    EXPECT_FALSE(s.vm.callHandler(s.mc, "onEnterFrame"));
}

TEST(Clips, UrlRequestsReachTheHost) {
    ClipScene s;
    s.run(R"(
        geturl "http://example.invalid/" "_blank"
        push "FSCommand:quit", ""; geturl2 0
        push "POST", "_self", "a.html", 3, "mc"; getvariable; push "getURL"; callmethod; pop
        push "b.swf", 1, "mc.inner"; getvariable; push "loadMovie"; callmethod; pop
    )");
    EXPECT_EQ(s.log(), "url http://example.invalid/ _blank 0|url FSCommand:quit  0|url a.html _self 2|"
                       "url b.swf /mc/inner 0");
    EXPECT_EQ(s.run(R"(
        push 1, 1; push "_root"; getvariable; push "getInstanceAtDepth"; callmethod; trace
        push 0; push "mc"; getvariable; push "getSWFVersion"; callmethod; trace
    )"),
              "_level0.mc|7");
}

// A slash path without a colon names a clip when read; assigned to, it makes a variable
// of the whole name (which SWF 5 reads back instead of the clip).
TEST(Clips, SlashPathsNameClipsNotVariables) {
    for (int version : {5, 7}) {
        ScriptRun s(version);
        const ClipId mc = s.host.add(1, "mc", 1);
        s.host.add(mc, "inner", 1);
        EXPECT_EQ(s.run(R"(
            push "mc/inner", 42; setvariable
            push "mc/inner"; getvariable; trace
            push "this"; getvariable; push "mc/inner"; getmember; trace
            push "mc"; getvariable; push "inner"; getmember; typeof; trace
        )"),
                  version < 6 ? "42|42|movieclip" : "_level0.mc.inner|42|movieclip")
            << "SWF " << version;
    }
}

// From SWF 6 a path with a slash or colon splits at its last colon or dot (outside `..`):
// no target or a leading dot finds nothing, a dot after a slash spoils the target, and
// along the target a child clip comes before a variable of its name.
TEST(Clips, VariablePathsSplitAtTheLastColonOrDot) {
    ScriptRun s(6);
    const ClipId mc = s.host.add(1, "mc", 1);
    const ClipId inner = s.host.add(mc, "inner", 1);
    EXPECT_EQ(s.run(R"(
        push "/mc:inner.x", 5; setvariable
        push "mc.inner.x"; getvariable; trace
        push "mc/inner:x"; getvariable; trace
        push ":mc"; getvariable; typeof; trace
        push ".mc:inner"; getvariable; typeof; trace
        push "/mc.inner:x"; getvariable; typeof; trace
        push "mc::inner:x"; getvariable; typeof; trace
        push "/mc.inner:x", 6; setvariable
        push "mc.inner.x"; getvariable; trace
        push "this"; getvariable; push "mc", "shadow"; setmember
        push "mc"; getvariable; trace
        push "mc:inner.x"; getvariable; trace
        push "mc.inner.x", 7; setvariable
        push "/mc/inner:x"; getvariable; trace
    )"),
              "5|5|undefined|undefined|undefined|undefined|5|shadow|5|7");
    // A bare slash path starts on the timeline, past `with`; a variable path's target does not.
    EXPECT_EQ(s.run(R"(
        push "/mc"; getvariable
        with {
            push "inner/"; getvariable; typeof; trace
            push "/mc/inner/"; getvariable; typeof; trace
            push "inner:x"; getvariable; trace
        }
    )"),
              "undefined|movieclip|7");
    EXPECT_EQ(s.run(R"(
        push "../:y", 8; setvariable
        push "/mc:y"; getvariable; trace
        push "..:y"; getvariable; trace
    )",
                    inner),
              "8|8");
}

// A function made under SetTarget runs on the timeline its code belongs to.
TEST(Clips, FunctionsMadeUnderSetTargetKeepTheirTimeline) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        settarget "mc"
        push "f"
        function () { push "_target"; getvariable; trace }
        setvariable
        settarget ""
        push 0, "mc"; getvariable; push "f"; callmethod; pop
    )"),
              "/");
}

// A clip takes no member without a name; a dot path with an empty first or last name
// finds nothing.
TEST(Clips, EmptyNamesFindNothing) {
    ScriptRun s(6);
    EXPECT_EQ(s.run(R"(
        push "this"; getvariable; push "", 42; setmember
        push "this"; getvariable; push ""; getmember; typeof; trace
        push "this"; getvariable; push ".", 1; setmember
        push "this"; getvariable; push "a.", 2; setmember
        push "this"; getvariable; push "."; getmember; trace
        push "."; getvariable; typeof; trace
        push "a."; getvariable; typeof; trace
        push ".a"; getvariable; typeof; trace
    )"),
              "undefined|1|undefined|undefined|undefined");
}

// SetTarget2 given a clip goes by its path as text: of two clips of one name the first
// is reached. The clip methods Flash 6 brought are hidden from SWF 5 movies.
TEST(Clips, SetTargetByPathAndSwf5Methods) {
    ClipScene s;
    s.host.add(1, "twin", 1);
    const ClipId second = s.host.add(1, "twin", 2);
    EXPECT_EQ(s.run(R"(
        push "t", 2; push 1; push "this"; getvariable; push "getInstanceAtDepth"; callmethod; setvariable
        push "t"; getvariable; push "getDepth"; getmember; typeof; trace
        push "t"; getvariable; settarget2
        push 0, "getDepth"; callfunction; trace
    )"),
              "function|1");
    EXPECT_TRUE(s.host.exists(second));
    for (int version : {5, 6}) {
        ScriptRun old(version);
        old.host.add(1, "mc", 1);
        EXPECT_EQ(old.run(R"(
            push "mc"; getvariable; push "createEmptyMovieClip"; getmember; typeof; trace
            push "mc"; getvariable; push "getDepth"; getmember; typeof; trace
            push "mc"; getvariable; push "getNextHighestDepth"; getmember; typeof; trace
            push "mc"; getvariable; push "attachMovie"; getmember; typeof; trace
        )"),
                  version == 5 ? "undefined|undefined|undefined|function" : "function|function|function|function")
            << "SWF " << version;
    }
}

// The first name of a path is looked up as a variable is, so a `with` object comes
// before the timeline.
TEST(Clips, PathsStartOnTheScopeChain) {
    ClipScene s;
    EXPECT_EQ(s.run(R"(
        push "mc"; getvariable; push "x", "clip"; setmember
        push "o"; push "mc", "x", "object", 1; initobject; push 1; initobject; setvariable
        push "o"; getvariable
        with { push "mc:x"; getvariable; trace }
        push "mc:x"; getvariable; trace
    )"),
              "object|clip");
}
