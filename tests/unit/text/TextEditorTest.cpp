#include "swf/text/TextEditor.h"

#include <gtest/gtest.h>

using namespace swf::text;

namespace {

struct Field {
    RichText text;
    Selection sel;
    EditRules rules;
    TextEditor editor{text, sel, rules};
    TextFormat format = TextFormat::fieldDefault();

    bool type(const char16_t* s) { return editor.insert(s, format); }
};

} // namespace

TEST(TextEditor, TypingDeletingAndSelection) {
    Field f;
    EXPECT_TRUE(f.type(u"hello"));
    EXPECT_EQ(f.sel.caret, 5u);
    f.editor.move(CaretMove::Left, Extend::Yes);
    f.editor.move(CaretMove::Left, Extend::Yes);
    EXPECT_EQ(f.editor.selectedText(), u"lo");
    EXPECT_TRUE(f.type(u"p!")); // replaces the selection
    EXPECT_EQ(f.text.text(), u"help!");
    EXPECT_TRUE(f.editor.deleteBackward());
    EXPECT_EQ(f.text.text(), u"help");
    f.editor.move(CaretMove::TextStart, Extend::No);
    EXPECT_FALSE(f.editor.deleteBackward());
    EXPECT_TRUE(f.editor.deleteForward());
    EXPECT_EQ(f.text.text(), u"elp");
    f.editor.move(CaretMove::TextEnd, Extend::No);
    EXPECT_FALSE(f.editor.deleteForward());

    // A surrogate pair is one character to the caret and to Backspace.
    f.type(u"\U0001F600");
    EXPECT_EQ(f.text.size(), 5u);
    f.editor.move(CaretMove::Left, Extend::No);
    EXPECT_EQ(f.sel.caret, 3u);
    f.editor.move(CaretMove::Right, Extend::No);
    EXPECT_TRUE(f.editor.deleteBackward());
    EXPECT_EQ(f.text.text(), u"elp");

    // Left without Shift collapses a selection to its start; words and lines.
    f.text.setText(u"one two\rthree", f.format);
    f.editor.selectAll();
    f.editor.move(CaretMove::Left, Extend::No);
    EXPECT_EQ(f.sel.caret, 0u);
    f.editor.move(CaretMove::WordRight, Extend::No);
    EXPECT_EQ(f.sel.caret, 4u);
    f.editor.move(CaretMove::LineEnd, Extend::No);
    EXPECT_EQ(f.sel.caret, 7u);
    f.editor.move(CaretMove::WordRight, Extend::No);
    f.editor.move(CaretMove::LineStart, Extend::Yes);
    EXPECT_EQ(f.sel.caret, 8u);
    f.editor.move(CaretMove::WordLeft, Extend::No);
    EXPECT_EQ(f.sel.caret, 4u);
}

TEST(TextEditor, RulesFilterWhatIsTyped) {
    Field f;
    // A single-line field keeps pasted text up to its first break; control characters go.
    EXPECT_TRUE(f.type(u"ab\x01\rcd"));
    EXPECT_EQ(f.text.text(), u"ab");
    f.rules.multiline = true;
    f.type(u"\r\nx");
    EXPECT_EQ(f.text.text(), u"ab\rx");

    // maxChars counts what stays after the selection is replaced.
    f.rules.maxChars = 6;
    f.type(u"12345");
    EXPECT_EQ(f.text.text(), u"ab\rx12");
    EXPECT_FALSE(f.type(u"z"));
    f.editor.selectAll();
    EXPECT_TRUE(f.type(u"0123456789"));
    EXPECT_EQ(f.text.text(), u"012345");

    // restrict: ranges, refusals, escapes, and the other case of a letter.
    f.rules.maxChars = 0;
    f.rules.restrict = Restrict(u"A-Z 0-9");
    f.text.setText(u"", f.format);
    f.sel = {};
    f.type(u"ab-1 c!");
    EXPECT_EQ(f.text.text(), u"AB1 C");
    EXPECT_FALSE(f.type(u"!"));

    const Restrict noDigits(u"^0-9");
    EXPECT_TRUE(noDigits.filter(u'a'));
    EXPECT_FALSE(noDigits.filter(u'5'));
    const Restrict lettersButQ(u"a-z^q");
    EXPECT_TRUE(lettersButQ.filter(u'p'));
    EXPECT_FALSE(lettersButQ.filter(u'q'));
    EXPECT_FALSE(lettersButQ.filter(u'Q'));
    const Restrict escapes(u"\\-\\^\\\\");
    EXPECT_TRUE(escapes.filter(u'-'));
    EXPECT_TRUE(escapes.filter(u'^'));
    EXPECT_TRUE(escapes.filter(u'\\'));
    EXPECT_FALSE(escapes.filter(u'a'));
    EXPECT_FALSE(Restrict(u"").filter(u'a'));   // an empty pattern allows nothing
    EXPECT_TRUE(Restrict().filter(u'a'));       // no pattern allows everything
    EXPECT_TRUE(Restrict(u"z-a").filter(u'm')); // a reversed range still counts
    EXPECT_TRUE(Restrict(u"a-").filter(u'-'));  // a dash at the end is itself
}
