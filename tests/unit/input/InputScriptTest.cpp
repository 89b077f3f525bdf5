// Scripted input sessions: the text format and how a session interleaves frames and events.

#include "swf/input/InputScript.h"
#include "swf/input/KeyCodes.h"
#include "swf/input/ScriptedSession.h"

#include <gtest/gtest.h>

#include <string>

using namespace swf::input;

namespace {

std::string errorOf(std::string_view text) {
    std::string error;
    auto script = parseInputScript(text, error);
    return script ? "parsed" : error;
}

} // namespace

TEST(InputScript, ReadsEveryEvent) {
    std::string error;
    auto script = parseInputScript("# a session\n"
                                   "\n"
                                   "wait\n"
                                   "mouse_move 10.5 -3\n"
                                   "  mouse_down 1 2\n"
                                   "mouse_up 1 2 right\r\n"
                                   "mouse_down 0 0 middle\n"
                                   "wheel -3\n"
                                   "key_down a\n"
                                   "key_up PageDown\n"
                                   "key_down f12\n"
                                   "text Hi there \\\\ \\n\\t\n"
                                   "focus_out\n"
                                   "focus_in\n"
                                   "clipboard  two spaces\n"
                                   "clipboard\n",
                                   error);
    ASSERT_TRUE(script) << error;
    const auto& e = script->events;
    ASSERT_EQ(e.size(), 14u);
    EXPECT_EQ(e[0].kind, InputKind::Wait);
    EXPECT_EQ(e[1].kind, InputKind::MouseMove);
    EXPECT_DOUBLE_EQ(e[1].x, 10.5);
    EXPECT_DOUBLE_EQ(e[1].y, -3);
    EXPECT_EQ(e[2].kind, InputKind::MouseDown);
    EXPECT_EQ(e[2].button, MouseButton::Left);
    EXPECT_EQ(e[3].kind, InputKind::MouseUp);
    EXPECT_EQ(e[3].button, MouseButton::Right);
    EXPECT_EQ(e[4].button, MouseButton::Middle);
    EXPECT_EQ(e[5].wheelLines, -3);
    EXPECT_EQ(e[6].keyCode, 65);
    EXPECT_EQ(e[6].charCode, 'a');
    EXPECT_EQ(e[7].kind, InputKind::KeyUp);
    EXPECT_EQ(e[7].keyCode, key::kPageDown);
    EXPECT_EQ(e[7].charCode, 0);
    EXPECT_EQ(e[8].keyCode, key::kF12);
    EXPECT_EQ(e[9].text, "Hi there \\ \n\t");
    EXPECT_EQ(e[10].kind, InputKind::FocusOut);
    EXPECT_EQ(e[11].kind, InputKind::FocusIn);
    EXPECT_EQ(e[12].text, " two spaces");
    EXPECT_EQ(e[13].kind, InputKind::Clipboard);
    EXPECT_EQ(e[13].text, "");
    EXPECT_EQ(script->waits(), 1u);
}

TEST(InputScript, NamesTheFirstBadLine) {
    EXPECT_EQ(errorOf("wait\nwait 2\n"), "line 2: wait wants nothing after it");
    EXPECT_EQ(errorOf("\n\njump\n"), "line 3: unknown event jump");
    EXPECT_EQ(errorOf("mouse_move 1\n"), "line 1: mouse_move wants X Y");
    EXPECT_EQ(errorOf("mouse_move 1 2 left\n"), "line 1: mouse_move wants X Y");
    EXPECT_EQ(errorOf("mouse_down 1 nan\n"), "line 1: coordinates must be numbers within a million pixels");
    EXPECT_EQ(errorOf("mouse_down 1 1e9\n"), "line 1: coordinates must be numbers within a million pixels");
    EXPECT_EQ(errorOf("mouse_down 1 2x\n"), "line 1: coordinates must be numbers within a million pixels");
    EXPECT_EQ(errorOf("mouse_up 1 2 thumb\n"), "line 1: unknown mouse button thumb");
    EXPECT_EQ(errorOf("wheel 0\n"), "line 1: wheel wants a whole number of lines, not 0");
    EXPECT_EQ(errorOf("wheel 1.5\n"), "line 1: wheel wants a whole number of lines, not 0");
    EXPECT_EQ(errorOf("key_down\n"), "line 1: key_down wants one KEY");
    EXPECT_EQ(errorOf("key_down F13\n"), "line 1: unknown key F13");
    EXPECT_EQ(errorOf("key_up Return\n"), "line 1: unknown key Return");
    EXPECT_EQ(errorOf("text\n"), "line 1: text wants the characters to type");
    EXPECT_EQ(errorOf("text a\\qb\n"), "line 1: unknown escape \\q");
    EXPECT_EQ(errorOf("text ends\\\n"), "line 1: a backslash ends the line (write \\\\ for one)");
    EXPECT_EQ(errorOf(std::string_view("wait\nte\0xt a\n", 12)), "line 2: a NUL byte");
    EXPECT_EQ(errorOf("# only comments\n\n   \n"), "parsed");
}

TEST(InputScript, KeyNames) {
    EXPECT_EQ(keyByName("Enter")->keyCode, key::kEnter);
    EXPECT_EQ(keyByName("enter")->charCode, 13);
    EXPECT_EQ(keyByName("Z")->keyCode, 'Z');
    EXPECT_EQ(keyByName("z")->charCode, 'z');
    EXPECT_EQ(keyByName("7")->keyCode, '7');
    EXPECT_EQ(keyByName(";")->keyCode, 186);
    EXPECT_EQ(keyByName("F1")->keyCode, key::kF1);
    EXPECT_EQ(keyByName("Space")->charCode, ' ');
    EXPECT_FALSE(keyByName("F0"));
    EXPECT_FALSE(keyByName("F01"));
    EXPECT_FALSE(keyByName(""));
    EXPECT_FALSE(keyByName("\x7f"));
}

TEST(ScriptedSession, FramesAndEventsInterleave) {
    std::string error;
    auto script = parseInputScript("mouse_move 1 1\nwait\nkey_down a\nwait\nwait\n", error);
    ASSERT_TRUE(script);
    std::string log;
    SessionHooks hooks;
    hooks.showFrame = [&] { log += "F"; };
    hooks.deliver = [&](const InputEvent& e) { log += e.kind == InputKind::MouseMove ? "m" : "k"; };
    hooks.frameDone = [&](long shown) {
        log += std::to_string(shown);
        return true;
    };
    // More waits than frames asked for: the script runs whole.
    EXPECT_EQ(runScriptedSession(*script, 2, hooks), 4);
    EXPECT_EQ(log, "Fm1Fk2F3F4");
    // Fewer: plain frames follow.
    log.clear();
    EXPECT_EQ(runScriptedSession(*script, 6, hooks), 6);
    EXPECT_EQ(log, "Fm1Fk2F3F4F5F6");
    // frameDone can stop the session where a tool has what it needs.
    log.clear();
    hooks.frameDone = [&](long shown) { return shown < 2; };
    EXPECT_EQ(runScriptedSession(*script, 6, hooks), 2);
    EXPECT_EQ(log, "FmFk");
}
