// Input routed through the player to movies built with our writer, driven by input
// scripts the way orvane-tool runs them; what the movie's scripts trace is checked.

#include "InputSession.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/ButtonObject.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

ShapeBuilder box(int size) {
    ShapeBuilder s;
    s.setFill1(s.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, size * 20, size * 20);
    return s;
}

// A 20x20 pixel button at (40,40) whose condition actions trace the transitions.
SwfWriter buttonMovie(bool trackAsMenu = false) {
    ButtonBuilder b;
    b.trackAsMenu = trackAsMenu;
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::Over | ButtonRecord::Down |
                                             ButtonRecord::HitTest,
                                         1, 1));
    using C = ButtonCondAction;
    const std::pair<std::uint16_t, const char*> names[] = {
        {C::IdleToOverUp, "rollOver"},     {C::OverUpToIdle, "rollOut"},       {C::OverUpToOverDown, "press"},
        {C::OverDownToOverUp, "release"},  {C::OverDownToOutDown, "dragOut"},  {C::OutDownToOverDown, "dragOver"},
        {C::OutDownToIdle, "releaseOutside"}, {C::IdleToOverDown, "menuDragOver"}, {C::OverDownToIdle, "menuDragOut"},
    };
    for (const auto& [condition, name] : names)
        b.condActions.push_back({condition, traceText(name)});
    b.condActions.push_back({C::keyPress('k'), traceText("key k")});
    b.condActions.push_back({C::keyPress(13), traceText("key enter")});
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineShape(1, box(20)).defineButton(2, b, 2).place(2, 1, Matrix::translate(800, 800));
    return movie;
}

} // namespace

TEST(InputRouting, ButtonTransitions) {
    SwfWriter movie = buttonMovie();
    movie.showFrame();
    Session s(movie);
    EXPECT_EQ(s.run("mouse_move 50 50\n"
                    "mouse_down 50 50\n"
                    "mouse_up 50 50\n"
                    "mouse_down 50 50\n"
                    "mouse_move 100 100\n"
                    "mouse_move 45 45\n"
                    "mouse_move 5 5\n"
                    "mouse_up 5 5\n"
                    "mouse_move 41 41\n"
                    "mouse_move 39 39\n"
                    "mouse_down 50 50 right\n"),
              "rollOver|press|release|press|dragOut|dragOver|dragOut|releaseOutside|rollOver|rollOut|rollOver");
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::Hand);
}

TEST(InputRouting, ButtonStateFollowsTheMouseAndDisabledButtonsIgnoreIt) {
    SwfWriter movie = buttonMovie();
    movie.showFrame();
    Session s(movie);
    s.run("mouse_move 50 50\n");
    auto* button = s.player.root()->displayList().begin()->second.as<swf::timeline::ButtonObject>();
    ASSERT_NE(button, nullptr);
    using swf::timeline::ButtonState;
    EXPECT_EQ(button->state, ButtonState::Over);
    s.player.mouseDown(50, 50);
    EXPECT_EQ(button->state, ButtonState::Down);
    s.player.mouseMove(5, 5);
    EXPECT_EQ(button->state, ButtonState::Over); // out-down
    s.player.mouseUp(5, 5);
    EXPECT_EQ(button->state, ButtonState::Up);
    s.out.clear();
    button->enabled = false;
    s.player.mouseMove(50, 50);
    s.player.mouseDown(50, 50);
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(button->state, ButtonState::Up);
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::Arrow);
}

TEST(InputRouting, ClipButtonsShowTheirStateFrames) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite states;
    states.place(1, 1).frameLabel("_up").showFrame();
    states.frameLabel("_over").showFrame();
    states.frameLabel("_down").showFrame();
    movie.defineShape(1, box(20)).defineSprite(3, states);
    PlaceObject p;
    p.depth = 1;
    p.characterId = 3;
    p.name = "b";
    p.clipActions.push_back({0x400 /* press */, std::nullopt, traceText("press")});
    movie.placeObject2(p).showFrame();
    Session s(movie);
    s.run("mouse_move 5 5\n");
    const auto& clip = *s.player.root()->displayList().begin()->second.clip;
    EXPECT_EQ(clip.currentFrame(), 1);
    s.run("mouse_down 5 5\n");
    EXPECT_EQ(clip.currentFrame(), 2);
    EXPECT_EQ(s.out, "press");
    s.run("mouse_up 5 5\nmouse_move 100 100\n");
    EXPECT_EQ(clip.currentFrame(), 0);
}

TEST(InputRouting, TrackAsMenuHandsThePressOver) {
    SwfWriter movie = buttonMovie(true);
    movie.showFrame();
    Session s(movie);
    // Pressed outside any button, dragged onto the menu button, released there.
    EXPECT_EQ(s.run("mouse_down 5 5\nmouse_move 50 50\nmouse_move 5 5\nmouse_move 50 50\nmouse_up 50 50\n"),
              "menuDragOver|menuDragOut|menuDragOver|release");
}

TEST(InputRouting, ButtonKeysAndGotoRunsTheNewFrameAtOnce) {
    SwfWriter movie = buttonMovie();
    movie.doAction(code("stop"));
    movie.showFrame();
    movie.doAction(traceText("frame 2"));
    movie.showFrame();
    // Clicking jumps: the press handler's goto runs frame 2's script before the next event.
    ButtonBuilder jump;
    jump.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    jump.condActions.push_back({ButtonCondAction::OverUpToOverDown, code("gotoframe 1")});
    SwfWriter second;
    second.setVersion(6);
    second.defineShape(1, box(20)).defineButton(2, jump, 2).place(2, 1);
    second.doAction(code("stop")).showFrame();
    second.doAction(traceText("frame 2")).showFrame();
    Session keys(movie);
    EXPECT_EQ(keys.run("key_down k\nkey_up k\nkey_down K\nkey_down Enter\n"), "key k|key enter");
    Session click(second);
    EXPECT_EQ(click.run("mouse_move 5 5\nmouse_down 5 5\nkey_down a\n"), "frame 2");
}

TEST(InputRouting, KeyObjectAndClipKeyEvents) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite empty;
    empty.showFrame();
    movie.defineSprite(3, empty);
    PlaceObject p;
    p.depth = 1;
    p.characterId = 3;
    p.name = "watcher";
    p.clipActions.push_back({0x40 /* keyDown */, std::nullopt, code(R"(
        push "down "; push 0, "Key"; getvariable; push "getCode"; callmethod; add2
        push " "; add2; push 0, "Key"; getvariable; push "getAscii"; callmethod; add2
        push " "; add2; push 65, 1, "Key"; getvariable; push "isDown"; callmethod; add2; trace)")});
    p.clipActions.push_back({0x80 /* keyUp */, std::nullopt, traceText("up")});
    p.clipActions.push_back({0x20000 /* keyPress */, std::uint8_t('x'), traceText("press x")});
    movie.placeObject2(p);
    movie.doAction(code(R"(
        push "l"; push 0; initobject; setvariable
        push "l"; getvariable; push "onKeyDown"
        function () { push "listener "; push 0, "Key"; getvariable; push "getCode"; callmethod; add2; trace }
        setmember
        push "l"; getvariable; push 1, "Key"; getvariable; push "addListener"; callmethod; pop
        push "caps "; push 20, 1, "Key"; getvariable; push "isToggled"; callmethod; add2; trace
        stop)"));
    movie.showFrame();
    Session s(movie);
    s.run("key_down a\nkey_up a\nkey_down x\nkey_down CapsLock\n");
    EXPECT_EQ(s.out, "caps false|down 65 97 true|listener 65|up|down 88 120 false|listener 88|press x|"
                     "down 20 0 false|listener 20");
    s.out.clear();
    // Keys held when the window loses the focus are forgotten.
    s.run("key_down a\nfocus_out\n");
    s.out.clear();
    s.player.tick();
    EXPECT_FALSE(s.player.inputState().keyDown(65));
    EXPECT_TRUE(s.player.inputState().capsLock);
}

TEST(InputRouting, MouseListenersHandlersAndClipButtons) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite boxSprite;
    boxSprite.place(1, 1).showFrame();
    movie.defineShape(1, box(20)).defineSprite(3, boxSprite);
    PlaceObject p;
    p.depth = 1;
    p.characterId = 3;
    p.name = "b";
    p.matrix = Matrix::translate(2000, 0);
    p.clipActions.push_back({0x10 /* mouseDown */, std::nullopt, traceText("clip mouseDown")});
    movie.placeObject2(p);
    movie.doAction(code(R"(
        push "b"; getvariable; push "onPress"
        function () { push "onPress "; push "this"; getvariable; push "_xmouse"; getmember; add2; trace }
        setmember
        push "b"; getvariable; push "onRelease"
        function () { push "onRelease"; trace }
        setmember
        push "b"; getvariable; push "onMouseUp"
        function () { push "clip onMouseUp"; trace }
        setmember
        push "m"; push 0; initobject; setvariable
        push "m"; getvariable; push "onMouseDown"
        function () { push "listener down "; push "_root"; getvariable; push "_xmouse"; getmember; add2; trace }
        setmember
        push "m"; getvariable; push "onMouseWheel"
        function (d) { push "wheel "; push "d"; getvariable; add2; trace }
        setmember
        push "m"; getvariable; push 1, "Mouse"; getvariable; push "addListener"; callmethod; pop
        stop)"));
    movie.showFrame();
    Session s(movie);
    s.run("mouse_move 105 5\nmouse_down 105 5\nmouse_up 105 5\nwheel -2\nmouse_down 5 5\n");
    EXPECT_EQ(s.out, "clip mouseDown|listener down 105|onPress 5|clip onMouseUp|onRelease|wheel -2|"
                     "clip mouseDown|listener down 5");
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::Arrow);
}

TEST(InputRouting, DragWithBoundsAndDropTarget) {
    SwfWriter movie;
    movie.setVersion(6);
    Sprite boxSprite;
    boxSprite.place(1, 1).showFrame();
    movie.defineShape(1, box(20)).defineSprite(3, boxSprite);
    PlaceObject target;
    target.depth = 1;
    target.characterId = 3;
    target.name = "target";
    target.matrix = Matrix::translate(4000, 4000);
    movie.placeObject2(target);
    PlaceObject dragged = target;
    dragged.depth = 2;
    dragged.name = "piece";
    dragged.matrix = Matrix::translate(0, 0);
    movie.placeObject2(dragged);
    movie.doAction(code(R"(
        push "piece"; getvariable; push "onPress"
        function () { push 300, 250, 0, 0, false, 5, "this"; getvariable; push "startDrag"; callmethod; pop }
        setmember
        push "piece"; getvariable; push "onRelease"
        function () {
          push 0, "this"; getvariable; push "stopDrag"; callmethod; pop
          push "this"; getvariable; push "_x"; getmember; push ","; add2
          push "this"; getvariable; push "_y"; getmember; add2; push " on "; add2
          push "this"; getvariable; push "_droptarget"; getmember; add2; trace
        }
        setmember
        stop)"));
    movie.showFrame();
    Session s(movie);
    // Grabbed 5 pixels in; moved to (205,205) it lands at (200,200) over the target.
    s.run("mouse_move 5 5\nmouse_down 5 5\nmouse_move 205 205\nmouse_up 205 205\n");
    EXPECT_EQ(s.out, "200,200 on /target");
    s.out.clear();
    // The bounds hold it in at x <= 250 and y <= 300; released back over it.
    s.run("mouse_move 205 205\nmouse_down 205 205\nmouse_move 1000 1000\nmouse_up 255 305\n");
    EXPECT_EQ(s.out, "250,300 on ");
}

TEST(InputRouting, HitTestShapeFlagFollowsTheOutline) {
    ShapeBuilder tri;
    tri.setFill1(tri.addFill(FillStyle::solid({0, 0, 0}))).moveTo(0, 0).lineTo(2000, 0).lineTo(0, 2000).lineTo(0, 0);
    Sprite sprite;
    sprite.place(1, 1).showFrame();
    SwfWriter movie;
    movie.setVersion(6);
    movie.defineShape(1, tri).defineSprite(2, sprite);
    PlaceObject p;
    p.depth = 1;
    p.characterId = 2;
    p.name = "t";
    movie.placeObject2(p);
    movie.doAction(code(R"(
        push true, 80, 80, 3, "t"; getvariable; push "hitTest"; callmethod; trace
        push false, 80, 80, 3, "t"; getvariable; push "hitTest"; callmethod; trace
        push true, 10, 10, 3, "t"; getvariable; push "hitTest"; callmethod; trace)"));
    movie.showFrame();
    Session s(movie);
    EXPECT_EQ(s.run(""), "false|true|true");
}

// A named button is a Button object: its placement properties move it, its handlers run
// after the transition's condition actions with the button as `this`, and `enabled`,
// `useHandCursor` and `trackAsMenu` set by scripts reach the mouse.
TEST(InputRouting, ButtonsAreScriptObjectsWithHandlers) {
    SwfWriter movie = buttonMovie();
    PlaceObject named;
    named.depth = 2;
    named.characterId = 2;
    named.name = "b";
    named.matrix = Matrix::translate(2400, 800);
    movie.placeObject2(named);
    movie.doAction(code(R"(
        push "b"; getvariable; push "__proto__"; getmember; push "Button"; getvariable; push "prototype"; getmember
        equals2; trace
        push "b"; getvariable; push "_x"; getmember; trace
        push "b"; getvariable; push "_x", 140; setmember
        push "b"; getvariable; push "_target"; getmember; trace
        push "b"; getvariable; push "getDepth"; callmethod; trace
        push "b"; getvariable; push "onPress"
        function () { push "onPress "; push "this"; getvariable; push "_name"; getmember; add2; trace }
        setmember
        push "b"; getvariable; push "onRelease"
        function () { push "onRelease"; trace; push "this"; getvariable; push "enabled", false; setmember }
        setmember
        push "b"; getvariable; push "useHandCursor", false; setmember
        stop)"));
    movie.showFrame();
    Session s(movie);
    EXPECT_EQ(s.run("mouse_move 150 50\n"), "true|120|/b|-16382|rollOver");
    s.out.clear();
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::Arrow);
    // Once onRelease disabled it, the mouse has left the button, which hears nothing more.
    EXPECT_EQ(s.run("mouse_down 150 50\nmouse_up 150 50\nmouse_down 150 50\nmouse_up 150 50\n"),
              "press|onPress b|release|onRelease|rollOut");
}

// trackAsMenu set on a clip that acts as a button takes a press begun elsewhere, as a
// track-as-menu button does.
TEST(InputRouting, ClipsTrackAsMenuWhenScriptsSaySo) {
    for (bool menu : {false, true}) {
        SwfWriter movie;
        movie.setVersion(6);
        Sprite boxSprite;
        boxSprite.place(1, 1).showFrame();
        movie.defineShape(1, box(20)).defineSprite(3, boxSprite);
        PlaceObject p;
        p.depth = 1;
        p.characterId = 3;
        p.name = "c";
        movie.placeObject2(p);
        movie.doAction(code(std::string(R"(
            push "c"; getvariable; push "onDragOver"; function () { push "dragOver"; trace }; setmember
            push "c"; getvariable; push "onRelease"; function () { push "release"; trace }; setmember
            push "c"; getvariable; push "trackAsMenu", )") +
                            (menu ? "true" : "false") + "; setmember\n stop"));
        movie.showFrame();
        Session s(movie);
        EXPECT_EQ(s.run("mouse_down 100 100\nmouse_move 5 5\nmouse_up 5 5\n"), menu ? "dragOver|release" : "")
            << menu;
    }
}
