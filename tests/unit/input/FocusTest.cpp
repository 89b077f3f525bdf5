// The keyboard focus on buttons and clips: Tab and Selection.setFocus give it to them as
// script objects, tabIndex and tabChildren shape the order, a focused clip or button hears
// its own onKeyDown/onKeyUp, and `_focusrect` is one setting for the player.

#include "InputSession.h"
#include "swf/timeline/Clip.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

ShapeBuilder square(int pixels) {
    ShapeBuilder s;
    s.setFill1(s.addFill(FillStyle::solid({0, 0, 255}))).rectangle(0, 0, pixels * 20, pixels * 20);
    return s;
}

PlaceObject placed(std::uint16_t id, std::uint16_t depth, const char* name, int xPixels, int yPixels) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    p.matrix = Matrix::translate(xPixels * 20, yPixels * 20);
    return p;
}

const char* kFocusListener = R"(
    push "l"; push 0; initobject; setvariable
    push "l"; getvariable; push "onSetFocus"
    function (a, b) { push "focus "; push "a"; getvariable; add2; push " -> "; add2; push "b"; getvariable; add2; trace }
    setmember
    push "l"; getvariable; push 1, "Selection"; getvariable; push "addListener"; callmethod; pop
)";

const char* kTab = "key_down Tab\nkey_up Tab\n";

// Buttons "a" (10,0) and "b" (10,40), and clip "c" (10,80) holding button "inner".
SwfWriter focusMovie(const std::string& script) {
    SwfWriter movie;
    movie.setVersion(8);
    ButtonBuilder button;
    button.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 1, 1));
    movie.defineShape(1, square(20)).defineButton(2, button, 2);
    Sprite holder;
    holder.placeObject2(placed(2, 1, "inner", 0, 0)).showFrame();
    movie.defineSprite(3, holder);
    movie.placeObject2(placed(2, 1, "a", 10, 0));
    movie.placeObject2(placed(2, 2, "b", 10, 40));
    movie.placeObject2(placed(3, 3, "c", 10, 80));
    movie.doAction(code(std::string(kFocusListener) + script + "\nstop"));
    movie.showFrame();
    return movie;
}

} // namespace

TEST(Focus, ButtonsTakeTheFocusAsScriptObjects) {
    Session s(focusMovie(R"(
        push "a"; getvariable; push "onSetFocus"
        function (old) { push "a set "; push "old"; getvariable; add2; trace }
        setmember
        push "a"; getvariable; push "onKillFocus"
        function (now) { push "a kill "; push "now"; getvariable; add2; trace }
        setmember
    )"));
    s.run(std::string(kTab) + kTab);
    EXPECT_EQ(s.out, "a set null|focus null -> _level0.a|a kill _level0.b|focus _level0.a -> _level0.b");
    EXPECT_TRUE(s.player.inputState().focusShown);
    // Selection reads a button's path and gives a button the focus.
    Session t(focusMovie(R"(
        push "a"; getvariable; push 1, "Selection"; getvariable; push "setFocus"; callmethod; trace
        push 0, "Selection"; getvariable; push "getFocus"; callmethod; trace
    )"));
    t.run("");
    EXPECT_EQ(t.out, "focus null -> _level0.a|true|_level0.a");
    EXPECT_FALSE(t.player.inputState().focusShown);
}

TEST(Focus, TabIndexOnButtonsAndTabChildren) {
    // A button keeps its own tabIndex; with indices set only indexed objects take part.
    Session s(focusMovie(R"(
        push "b"; getvariable; push "tabIndex", 1; setmember
        push "a"; getvariable; push "tabIndex", 2; setmember
        push "b"; getvariable; push "tabIndex"; getmember; trace
        push "c"; getvariable; push "tabIndex"; getmember; trace
    )"));
    s.run(std::string(kTab) + kTab + kTab);
    EXPECT_EQ(s.out, "1|undefined|focus null -> _level0.b|focus _level0.b -> _level0.a|"
                     "focus _level0.a -> _level0.b");
    // Without indices the order runs down the stage and into the clip; tabChildren false
    // keeps the clip's button out.
    Session open(focusMovie(""));
    open.run(std::string(kTab) + kTab + kTab);
    EXPECT_EQ(open.out, "focus null -> _level0.a|focus _level0.a -> _level0.b|focus _level0.b -> _level0.c.inner");
    Session shut(focusMovie(R"(push "c"; getvariable; push "tabChildren", false; setmember)"));
    shut.run(std::string(kTab) + kTab + kTab);
    EXPECT_EQ(shut.out, "focus null -> _level0.a|focus _level0.a -> _level0.b|focus _level0.b -> _level0.a");
}

// A clip's own onKeyDown/onKeyUp run only while it has the focus; Key listeners always do.
TEST(Focus, FocusedClipsHearTheirKeyHandlers) {
    SwfWriter movie;
    movie.setVersion(7);
    Sprite holder;
    holder.place(1, 1).showFrame();
    movie.defineShape(1, square(20)).defineSprite(2, holder);
    movie.placeObject2(placed(2, 1, "c", 0, 0));
    movie.doAction(code(R"(
        push "c"; getvariable; push "onKeyDown"
        function () { push "c down "; push 0, "Key"; getvariable; push "getCode"; callmethod; add2; trace }
        setmember
        push "c"; getvariable; push "onKeyUp"
        function () { push "c up"; trace }
        setmember
        push "c"; getvariable; push "onRelease"
        function () { push "c release"; trace }
        setmember
        stop)"));
    movie.showFrame();
    Session s(movie);
    s.run("key_down a\nkey_up a\n");
    EXPECT_EQ(s.out, "");
    // The Tab key's own release already reaches the clip it focused.
    s.run(std::string(kTab) + "key_down a\nkey_up a\nkey_down Enter\n");
    EXPECT_EQ(s.out, "c up|c down 65|c up|c down 13|c release");
    // A press of the mouse hides the rectangle Tab showed.
    EXPECT_TRUE(s.player.inputState().focusShown);
    s.run("mouse_down 300 300\nmouse_up 300 300\n");
    EXPECT_FALSE(s.player.inputState().focusShown);
}

TEST(Focus, FocusRectIsOneSettingForThePlayer) {
    Session s(focusMovie(R"(push "c"; getvariable; push "_focusrect", false; setmember)"));
    s.run("");
    EXPECT_FALSE(s.scripts->focusRectShown());
    Session t(focusMovie(R"(
        push "c"; getvariable; push "_focusrect", false; setmember
        push "_root"; getvariable; push "_focusrect", 1; setmember
    )"));
    t.run("");
    EXPECT_TRUE(t.scripts->focusRectShown());
}
