// The interpreter plugged into the player: writer-built movies whose trace output
// is checked the way `orvane-tool trace` prints it.

#include "ActionAssembler.h"
#include "SwfWriter.h"
#include "swf/PlayerSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace orvane::testing;

namespace {

// Plays `file` for `frames` ticks on the virtual clock, as the trace command does.
std::string traceMovie(const std::vector<std::uint8_t>& file, int frames) {
    std::string out;
    swf::SessionOptions options;
    options.traceSink = [&](const std::string& line) { out += line + "\n"; };
    swf::PlayerSession session(std::move(options));
    if (!session.loadFromBytes(file))
        return "load failed: " + session.player().error();
    for (int i = 0; i < frames; ++i)
        session.tick();
    return out;
}

std::vector<std::uint8_t> code(const char* source) {
    return assembleActions(source);
}

PlaceObject named(std::uint16_t id, std::uint16_t depth, const char* name, std::int32_t x = 0) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    p.matrix = Matrix::translate(x, 0);
    return p;
}

} // namespace

TEST(PlayerTrace, FrameScriptsSpritesAndGotos) {
    SwfWriter movie;
    movie.setVersion(7).setFrameRate(12);
    Sprite sprite;
    sprite.doAction(code("push \"sprite frame \"; push \"_currentframe\"; getvariable; add2; trace"))
        .showFrame();
    sprite.showFrame();
    sprite.doAction(code("stop; push \"sprite stops at \"; push \"this\"; getvariable; add2; trace"))
        .showFrame();
    movie.defineSprite(10, sprite);
    movie.placeObject2(named(10, 1, "mc", 400));
    movie.doAction(code(R"(
        push "root frame 1, mc._x = "; push "mc"; getvariable; push "_x"; getmember; add2; trace
    )"));
    movie.showFrame();
    movie.doAction(code(R"(
        push "root frame 2"; trace
        push "mc"; getvariable; push "_x", 30; setmember
        push "mc._x"; getvariable; trace
        push 4; gotoframe2
    )"));
    movie.showFrame();
    movie.doAction(code("push \"root frame 3 (skipped)\"; trace")).showFrame();
    movie.doAction(code("push \"root frame 4\"; trace; stop")).showFrame();

    // The goto's target frame runs its actions at the start of the next tick, before
    // the timelines advance (so before the sprite reaches its third frame).
    EXPECT_EQ(traceMovie(movie.bytes(), 6), "root frame 1, mc._x = 20\n"
                                            "sprite frame 1\n"
                                            "root frame 2\n"
                                            "30\n"
                                            "root frame 4\n"
                                            "sprite stops at _level0.mc\n");
}

TEST(PlayerTrace, OnEnterFrameAndIntervals) {
    SwfWriter movie;
    movie.setVersion(7).setFrameRate(10); // 100 ms a frame
    movie.doAction(code(R"(
        push "n", 0; setvariable
        push "this"; getvariable; push "onEnterFrame"
        function () {
            push "n"; push "n"; getvariable; increment; setvariable
            push "enter "; push "n"; getvariable; add2; trace
            push "n"; getvariable; push 3; equals2; not; if done
            push "this"; getvariable; push "onEnterFrame"; delete; pop
            done:
        }
        setmember
        function tick() { push "interval at "; push 0, "getTimer"; callfunction; add2; trace }
        push "id"; push 250, "tick"; getvariable; push 2, "setInterval"; callfunction; setvariable
        stop
    )"));
    movie.showFrame().showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 6), "enter 1\nenter 2\nenter 3\ninterval at 300\ninterval at 500\n");
}

TEST(PlayerTrace, InitActionsRunBeforeFrameActionsOnce) {
    SwfWriter movie;
    movie.setVersion(7);
    Sprite sprite;
    sprite.showFrame();
    movie.defineSprite(10, sprite);
    movie.doInitAction(
        10, code("push \"init\"; trace; push \"_global\"; getvariable; push \"ready\", true; setmember"));
    movie.doAction(code("push \"frame, ready = \"; push \"ready\"; getvariable; add2; trace"));
    movie.showFrame();
    movie.doAction(code("push 1; gotoframe2 play")).showFrame();
    // Frame 2 sends the playhead back to frame 1, whose actions run again each time;
    // the init actions do not.
    EXPECT_EQ(traceMovie(movie.bytes(), 4),
              "init\nframe, ready = true\nframe, ready = true\nframe, ready = true\n");
}

TEST(PlayerTrace, ClipsMadeAndMovedByScript) {
    SwfWriter movie;
    movie.setVersion(7);
    Sprite ball;
    ball.showFrame();
    movie.defineSprite(10, ball).exportAssets({{10, "Ball"}});
    movie.placeObject2(named(10, 1, "mc"));
    movie.doAction(code(R"(
        push 5, "b1", "Ball", 3; push "this"; getvariable; push "attachMovie"; callmethod; push "b"; stackswap; setvariable
        push "b"; getvariable; trace
        push 0, "b"; getvariable; push "getDepth"; callmethod; trace
        push 7, "b2", 2, "b"; getvariable; push "duplicateMovieClip"; callmethod; push "_name"; getmember; trace
        push 9, "e", 2; push "this"; getvariable; push "createEmptyMovieClip"; callmethod; trace
        push 9, 1, "b"; getvariable; push "swapDepths"; callmethod; pop
        push 0, "b"; getvariable; push "getDepth"; callmethod; trace
        push 0, "e"; getvariable; push "getDepth"; callmethod; trace
        push 0, "b2"; getvariable; push "removeMovieClip"; callmethod; pop
        push "b2"; getvariable; typeof; trace
        push 0, "mc"; getvariable; push "removeMovieClip"; callmethod; pop
        push "mc"; getvariable; typeof; trace
        push 0; push "this"; getvariable; push "getNextHighestDepth"; callmethod; trace
        push "mc"; getvariable; push "_x", 50; setmember
        push 2, "NoSuchSymbol", 3; push "this"; getvariable; push "attachMovie"; callmethod; trace
    )"));
    movie.showFrame();
    movie.moveTo(1, Matrix::translate(2000, 0));
    movie.doAction(
        code("push \"mc._x after a timeline move: \"; push \"mc._x\"; getvariable; add2; trace; stop"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 2), "_level0.b1\n5\nb2\n_level0.e\n9\n5\nundefined\nmovieclip\n10\n"
                                            "undefined\nmc._x after a timeline move: 50\n");
}

TEST(PlayerTrace, ScriptLimitsTagLowersRecursion) {
    SwfWriter movie;
    movie.setVersion(7);
    const std::uint8_t limits[] = {8, 0, 15, 0}; // 8 levels, 15 seconds
    movie.rawTag(65, limits);
    movie.doAction(code(R"(
        function down(n) {
            push "n"; getvariable; push 0; equals2; not; if more
            push 0; return
            more: push "n"; getvariable; decrement; push 1, "down"; callfunction; increment; return
        }
        push 5, 1, "down"; callfunction; trace
        push 20, 1, "down"; callfunction; trace
    )"));
    movie.doAction(code("push \"next block\"; trace"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 1), "5\nnext block\n");
}

TEST(PlayerTrace, RegisteredClassesConstructPlacedClips) {
    SwfWriter movie;
    movie.setVersion(7);
    Sprite ball;
    ball.showFrame();
    movie.defineSprite(10, ball).exportAssets({{10, "Ball"}});
    // The class is registered by the symbol's init actions, as AS2 compilers emit it.
    movie.doInitAction(10, code(R"(
        push "_global"; getvariable; push "Ball"
        function () { push "made "; push "this"; getvariable; push "_name"; getmember; add2; trace }
        setmember
        push "_global"; getvariable; push "Ball"; getmember; push "prototype"; getmember; push "onLoad"
        function () { push "loaded "; push "this"; getvariable; add2; trace }
        setmember
        push "_global"; getvariable; push "Ball"; getmember; push "prototype"; getmember; push "kind", "ball"; setmember
        push "_global"; getvariable; push "Ball"; getmember; push "Ball", 2, "Object"; getvariable; push "registerClass"; callmethod; pop
    )"));
    movie.showFrame();
    movie.placeObject2(named(10, 1, "b"));
    movie.doAction(code("push \"b.kind = \"; push \"b.kind\"; getvariable; add2; trace; stop"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 3), "made b\nloaded _level0.b\nb.kind = ball\n");
}

// A level sits below every timeline depth (_level0 at -16384); swapDepths on it has no
// sibling to trade with and only changes the number it reports.
TEST(PlayerTrace, LevelDepth) {
    SwfWriter movie;
    movie.setVersion(6);
    movie.doAction(code(R"(
        push 0; push "this"; getvariable; push "getDepth"; callmethod; trace
        push 2, 1; push "this"; getvariable; push "swapDepths"; callmethod; pop
        push 0; push "this"; getvariable; push "getDepth"; callmethod; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 1), "-16384\n2\n");
}

TEST(PlayerTrace, InstancesByDepth) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite sprite;
    sprite.showFrame();
    movie.defineSprite(10, sprite);
    movie.placeObject2(named(10, 3, "timelineClip"));
    movie.doAction(code(R"(
        push 4, "made", 2; push "this"; getvariable; push "createEmptyMovieClip"; callmethod; pop
        push 4, 1; push "this"; getvariable; push "getInstanceAtDepth"; callmethod; trace
        push -16381, 1; push "this"; getvariable; push "getInstanceAtDepth"; callmethod; trace
        push 0; push "TIMELINECLIP"; getvariable; push "getDepth"; callmethod; trace
        push 99, 1; push "this"; getvariable; push "getInstanceAtDepth"; callmethod; typeof; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 1), "_level0.made\n_level0.timelineClip\n-16381\nundefined\n");
}

TEST(PlayerTrace, RemovingAClipCallsItsUnloadHandler) {
    SwfWriter movie;
    movie.setVersion(7);
    movie.doAction(code(R"(
        push 1, "box", 2; push "this"; getvariable; push "createEmptyMovieClip"; callmethod; push "onUnload"
        function () { push "unloading "; push "this"; getvariable; add2; trace }
        setmember
        push 0, "box"; getvariable; push "removeMovieClip"; callmethod; pop
        push "box"; getvariable; typeof; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 1), "unloading _level0.box\nundefined\n");
}

// A clip the timeline takes away runs its onClipEvent(unload), still under its own name;
// a later move or replace at the emptied depth has nothing to act on.
TEST(PlayerTrace, TimelineRemovalRunsUnloadAndAMoveAtAnEmptyDepthPlacesNothing) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite sprite;
    sprite.showFrame();
    movie.defineSprite(10, sprite);
    auto traced = [](const char* what) {
        return code((std::string("push \"") + what + " \"; push \"this\"; getvariable; add2; trace").c_str());
    };
    PlaceObject p;
    p.depth = 1;
    p.characterId = 10;
    p.clipActions = {ClipAction{0x01, {}, traced("load")}, ClipAction{0x04, {}, traced("unload")}};
    movie.placeObject2(p);
    movie.showFrame();
    movie.removeObject2(1);
    p.move = true;
    movie.placeObject2(p);
    movie.showFrame();
    movie.doAction(code("push \"_level0.instance2\"; getvariable; typeof; trace")).showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 3), "load _level0.instance1\nunload _level0.instance1\nundefined\n");
}

TEST(PlayerTrace, QualityIsOnePlayerSettingForEveryClip) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite empty;
    empty.showFrame();
    movie.defineSprite(10, empty).placeObject2(named(10, 1, "mc"));
    movie.doAction(code(R"(
        push "_quality"; getvariable; trace
        push "mc._highquality", 2; setvariable
        push "_quality"; getvariable; trace
        togglequality
        push "_quality"; getvariable; trace
        push "_highquality"; getvariable; trace
        push "_quality", "Medium"; setvariable
        push "mc._highquality"; getvariable; trace
        push "_quality", "bogus"; setvariable
        push "_quality"; getvariable; trace
    )"));
    movie.showFrame();
    EXPECT_EQ(traceMovie(movie.bytes(), 1), "HIGH\nBEST\nLOW\n0\n1\nMEDIUM\n");
}

TEST(PlayerTrace, UnnamedClipsAreNumberedAndGetTheirFirstEventsInOrder) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite sprite;
    sprite.doAction(code("push \"frame \"; push \"this\"; getvariable; add2; trace")).showFrame();
    movie.defineSprite(10, sprite);
    auto traced = [](const char* what) {
        return code((std::string("push \"") + what + " \"; push \"this\"; getvariable; add2; trace").c_str());
    };
    for (std::uint16_t depth : {1, 2}) {
        PlaceObject p;
        p.depth = depth;
        p.characterId = 10;
        p.clipActions = {ClipAction{0x01, {}, traced("load")}, ClipAction{0x200, {}, traced("init")},
                         ClipAction{0x40000, {}, traced("construct")}};
        movie.placeObject2(p);
    }
    movie.placeObject2(named(10, 3, "named"));
    movie.showFrame();
    movie.doAction(code("push \"FSCommand:quit\", \"\"; geturl2 0")).showFrame();
    movie.doAction(code("push \"after quit\"; trace")).showFrame();

    std::string out;
    swf::SessionOptions options;
    options.traceSink = [&](const std::string& line) { out += line + "\n"; };
    swf::PlayerSession session(std::move(options));
    ASSERT_TRUE(session.loadFromBytes(movie.bytes()));
    session.tick();
    EXPECT_EQ(out, "construct _level0.instance1\ninit _level0.instance1\nframe _level0.instance1\n"
                   "load _level0.instance1\n"
                   "construct _level0.instance2\ninit _level0.instance2\nframe _level0.instance2\n"
                   "load _level0.instance2\n"
                   "frame _level0.named\n");
    EXPECT_FALSE(session.quitRequested());
    session.tick();
    EXPECT_TRUE(session.quitRequested());
}
