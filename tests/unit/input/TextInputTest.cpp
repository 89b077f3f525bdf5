// Text fields edited through scripted input: focus by click and Tab, typing under the
// field's rules, the editing keys, the clipboard, and what scripts hear of it all.
// Device text is measured with the estimated face here: 0.58 em a character, so a
// 12-point character is 6.96 pixels wide after the 2-pixel gutter.

#include "InputSession.h"
#include "swf/text/FieldState.h"
#include "swf/timeline/Clip.h"
#include "swf/timeline/objects/TextFieldObject.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

namespace {

PlaceObject fieldAt(std::uint16_t id, std::uint16_t depth, const char* name, int yPixels) {
    PlaceObject p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    p.matrix = Matrix::translate(0, yPixels * 20);
    return p;
}

// A 12-point field of a device font (no font of that id is defined).
EditText deviceField(EditText f = {}) {
    f.fontId = 99;
    f.fontHeight = 240;
    return f;
}

// Input fields "f" (bound to variable v) at y 0 and "g" at y 40, both 100x20 pixels.
SwfWriter fieldMovie(const std::string& script, EditText f = {}) {
    SwfWriter movie;
    movie.setVersion(8);
    f.variableName = "v";
    movie.defineEditText(1, deviceField(f));
    movie.defineEditText(2, deviceField());
    movie.placeObject2(fieldAt(1, 1, "f", 0));
    movie.placeObject2(fieldAt(2, 2, "g", 40));
    movie.doAction(code(script + "\nstop"));
    movie.showFrame();
    return movie;
}

swf::text::FieldState& field(Session& s, const std::string& name) {
    for (auto& [depth, obj] : s.player.root()->displayList())
        if (auto* f = obj.as<swf::timeline::TextFieldObject>(); f && obj.name == name)
            return f->field;
    ADD_FAILURE() << "no field " << name;
    static swf::text::FieldState none(0, 0, 0, 0);
    return none;
}

const char* kSelectionListener = R"(
    push "l"; push 0; initobject; setvariable
    push "l"; getvariable; push "onSetFocus"
    function (a, b) { push "focus "; push "a"; getvariable; add2; push " -> "; add2; push "b"; getvariable; add2; trace }
    setmember
    push "l"; getvariable; push 1, "Selection"; getvariable; push "addListener"; callmethod; pop
)";

} // namespace

TEST(TextInput, ClickTypingAndFocusEventsReachScriptsAndTheVariable) {
    Session s(fieldMovie(std::string(kSelectionListener) + R"(
        push "f"; getvariable; push "onSetFocus"
        function (old) { push "f set "; push "old"; getvariable; add2; trace }
        setmember
        push "f"; getvariable; push "onKillFocus"
        function (now) { push "f kill "; push "now"; getvariable; add2; trace }
        setmember
        push "f"; getvariable; push "onChanged"
        function (tf) { push "changed "; push "tf"; getvariable; push "text"; getmember; add2; push " v="; add2; push "v"; getvariable; add2; trace }
        setmember
    )"));
    s.run("mouse_move 10 10\nmouse_down 10 10\nmouse_up 10 10\ntext ab\nkey_down Backspace\nkey_up Backspace\n"
          "text c\nmouse_down 10 50\nmouse_up 10 50\nmouse_down 300 300\nmouse_up 300 300\n");
    EXPECT_EQ(s.out, "f set null|focus null -> _level0.f|changed ab v=ab|changed a v=a|changed ac v=ac|"
                     "f kill _level0.g|focus _level0.f -> _level0.g|focus _level0.g -> null");
    EXPECT_EQ(field(s, "f").text(), u"ac");
    EXPECT_FALSE(field(s, "f").focused);
    // The variable keeps what was typed when the next frame brings bound fields up to date.
    s.player.tick();
    s.scripts->afterTick();
    EXPECT_EQ(field(s, "f").text(), u"ac");
}

TEST(TextInput, RulesKeysAndClipboard) {
    Session s(fieldMovie(R"(
        push "f"; getvariable; push "restrict", "0-9a-c"; setmember
        push "f"; getvariable; push "maxChars", 5; setmember)"));
    // Typing keeps what restrict lets in up to maxChars; Enter breaks no single-line field.
    s.run("mouse_down 10 10\nmouse_up 10 10\ntext 1x2ab9c\nkey_down Enter\n");
    EXPECT_EQ(field(s, "f").text(), u"12ab9");
    // Shift selects, Control C copies, X cuts, V pastes at the caret.
    s.run("key_down Home\nkey_down Shift\nkey_down Right\nkey_down Right\nkey_up Shift\n"
          "key_down Control\nkey_down C\nkey_down X\nkey_down End\nkey_down V\nkey_up Control\n");
    EXPECT_EQ(field(s, "f").text(), u"ab912");
    EXPECT_EQ(s.player.inputState().clipboard, "12");
    EXPECT_EQ(s.player.inputState().clipboardWrites, 2u);
    // Delete after two steps left; the desktop clipboard pastes what the host put there.
    s.run("key_down Left\nkey_down Left\nkey_down Delete\nclipboard 7\nkey_down Control\nkey_down V\nkey_up Control\n");
    EXPECT_EQ(field(s, "f").text(), u"ab972");
    // A password field never gives its text away.
    field(s, "f").change([](swf::text::FieldProperties& p) { p.password = true; });
    s.run("key_down Control\nkey_down A\nkey_down C\nkey_up Control\n");
    EXPECT_EQ(s.player.inputState().clipboardWrites, 2u);
    EXPECT_EQ(field(s, "f").selectedText(), u"ab972");
}

TEST(TextInput, CaretByClickDragSelectionMultilineAndCursor) {
    EditText multi;
    multi.multiline = true;
    multi.bounds = Rect::pixels(100, 40);
    Session s(fieldMovie(R"(push "f"; getvariable; push "text", "abcdef"; setmember)", multi));
    s.run("mouse_move 17 5\n");
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::IBeam);
    s.run("mouse_down 17 5\nmouse_up 17 5\n");
    EXPECT_EQ(field(s, "f").selection.caret, 2u);
    EXPECT_TRUE(field(s, "f").selection.empty());
    s.run("mouse_down 3 5\nmouse_move 30 5\nmouse_up 30 5\n");
    EXPECT_EQ(field(s, "f").selection.begin(), 0u);
    EXPECT_EQ(field(s, "f").selection.end(), 4u);
    // Enter breaks a multiline field; Up goes back to the first line at the same x.
    s.run("key_down End\nkey_down Enter\ntext xy\nkey_down Up\n");
    EXPECT_EQ(field(s, "f").text(), u"abcdef\rxy");
    EXPECT_EQ(field(s, "f").selection.caret, 2u);
    // A press on a field that is not selectable takes the focus away.
    field(s, "g").change([](swf::text::FieldProperties& p) { p.selectable = false; });
    s.run("mouse_move 10 50\nmouse_down 10 50\nmouse_up 10 50\n");
    EXPECT_FALSE(field(s, "f").focused);
    EXPECT_EQ(s.player.cursor(), swf::input::Cursor::Arrow);
}

TEST(TextInput, SelectionObjectFromScripts) {
    Session s(fieldMovie(R"(
        push "f"; getvariable; push "text", "hello"; setmember
        push "f"; getvariable; push "custom", 5; setmember
        push "f"; getvariable; push "custom"; getmember; trace
        push "f"; getvariable; push "f"; getvariable; equals2; trace
        push 1, "Selection"; getvariable; push "getFocus"; callmethod; trace
        push "f"; getvariable; push 1, "Selection"; getvariable; push "setFocus"; callmethod; trace
        push 0, "Selection"; getvariable; push "getFocus"; callmethod; trace
        push 0, "Selection"; getvariable; push "getBeginIndex"; callmethod; trace
        push 0, "Selection"; getvariable; push "getEndIndex"; callmethod; trace
        push 3, 1, 2, "Selection"; getvariable; push "setSelection"; callmethod; pop
        push 0, "Selection"; getvariable; push "getCaretIndex"; callmethod; trace
        push "g", 1, "Selection"; getvariable; push "setFocus"; callmethod; pop
        push 0, "Selection"; getvariable; push "getFocus"; callmethod; trace
        push null, 1, "Selection"; getvariable; push "setFocus"; callmethod; pop
        push 0, "Selection"; getvariable; push "getFocus"; callmethod; trace
        push 0, "Selection"; getvariable; push "getCaretIndex"; callmethod; trace
    )"));
    s.run("");
    EXPECT_EQ(s.out, "5|true|null|true|_level0.f|0|5|3|_level0.g|null|-1");
}

TEST(TextInput, TabOrderAndFocusedButtons) {
    SwfWriter movie;
    movie.setVersion(8);
    ShapeBuilder square;
    square.setFill1(square.addFill(FillStyle::solid({0, 0, 255}))).rectangle(0, 0, 400, 400);
    ButtonBuilder b;
    b.records.push_back(ButtonRecord::of(ButtonRecord::Up | ButtonRecord::HitTest, 3, 1));
    b.condActions.push_back({ButtonCondAction::OverUpToOverDown, traceText("press")});
    b.condActions.push_back({ButtonCondAction::OverDownToOverUp, traceText("release")});
    movie.defineEditText(1, EditText{}).defineEditText(2, EditText{}).defineShape(3, square).defineButton(4, b, 2);
    movie.placeObject2(fieldAt(1, 1, "f", 0));
    movie.placeObject2(fieldAt(2, 2, "g", 40));
    movie.place(4, 3, Matrix::translate(0, 2000));
    movie.doAction(code(std::string(kSelectionListener) + R"(
        push "g"; getvariable; push "text", "abc"; setmember
        stop)"));
    movie.showFrame();
    Session s(movie);
    // Top to bottom: f, g (its text selected), the button, then round to f.
    s.run("key_down Tab\nkey_up Tab\nkey_down Tab\nkey_up Tab\n");
    EXPECT_EQ(field(s, "g").selectedText(), u"abc");
    s.run("key_down Tab\nkey_up Tab\nkey_down Enter\nkey_up Enter\nkey_down Shift\nkey_down Tab\nkey_up Tab\nkey_up Shift\n");
    EXPECT_EQ(s.out, "focus null -> _level0.f|focus _level0.f -> _level0.g|focus _level0.g -> _level0.instance1|"
                     "press|release|focus _level0.instance1 -> _level0.g");
}

TEST(TextInput, TabIndexDecidesTheOrder) {
    Session s(fieldMovie(std::string(kSelectionListener) + R"(
        push "g"; getvariable; push "tabIndex", 1; setmember
        push "f"; getvariable; push "tabIndex", 2; setmember
    )"));
    s.run("key_down Tab\nkey_up Tab\nkey_down Tab\nkey_up Tab\nkey_down Tab\n");
    EXPECT_EQ(s.out, "focus null -> _level0.g|focus _level0.g -> _level0.f|focus _level0.f -> _level0.g");
}

// What the user typed stays when the timeline loops over the frame that placed the field.
TEST(TextInput, TypedTextSurvivesTheLoop) {
    SwfWriter movie;
    movie.setVersion(8);
    movie.defineEditText(1, deviceField());
    movie.placeObject2(fieldAt(1, 1, "f", 0));
    movie.showFrame().showFrame();
    Session s(movie);
    s.run("mouse_down 10 10\nmouse_up 10 10\ntext hi\nwait\nwait\nwait\n");
    EXPECT_EQ(field(s, "f").text(), u"hi");
    EXPECT_TRUE(field(s, "f").focused);
}

// The wheel over a field scrolls it by lines, within 1..maxscroll; the caret leaving the
// view scrolls it too. Each move reaches onScroller.
TEST(TextInput, WheelAndCaretScrollAndTellOnScroller) {
    EditText tall;
    tall.multiline = true;
    tall.initialText = "a\rb\rc\rd";
    Session s(fieldMovie(R"(
        push "f"; getvariable; push "onScroller"
        function (tf) { push "scroller "; push "tf"; getvariable; push "scroll"; getmember; add2; trace }
        setmember
    )", tall));
    s.run("mouse_move 10 10\nwheel -2\nwheel -5\nwheel -1\nwheel 9\n");
    EXPECT_EQ(s.out, "scroller 3|scroller 4|scroller 1");
    s.out.clear();
    s.run("mouse_down 10 10\nmouse_up 10 10\nkey_down Control\nkey_down End\nkey_up End\nkey_up Control\n");
    EXPECT_EQ(s.out, "scroller 4");
}
