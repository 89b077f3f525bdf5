#pragma once
// Editing a field's text as the user does: typing over the selection (filtered by restrict,
// cut at maxChars), deleting, moving the caret and extending the selection. Pure: the
// caller turns keys into these calls and lays the text out again after a change.

#include "swf/text/Restrict.h"
#include "swf/text/RichText.h"

#include <functional>

namespace swf::text {

struct Selection {
    std::size_t anchor = 0, caret = 0; // the selection is between them; the caret moves
    std::size_t begin() const { return std::min(anchor, caret); }
    std::size_t end() const { return std::max(anchor, caret); }
    bool empty() const { return anchor == caret; }
};

struct EditRules {
    bool multiline = false;   // Enter inserts a break
    std::size_t maxChars = 0; // 0: no limit
    Restrict restrict;
};

enum class CaretMove { Left, Right, WordLeft, WordRight, LineStart, LineEnd, Up, Down, TextStart, TextEnd };
enum class Extend : bool { No, Yes };

// Where the lines of the laid-out text start, for Home/End and Up/Down; when not given the
// paragraphs stand for lines.
struct LineMap {
    std::function<std::size_t(std::size_t index)> lineStart, lineEnd;
    std::function<std::size_t(std::size_t index, int lines)> verticalMove; // same x, `lines` down
};

class TextEditor {
public:
    TextEditor(RichText& text, Selection& selection, const EditRules& rules)
        : m_text(text), m_sel(selection), m_rules(rules) {}

    // Typed or pasted text over the selection in `format`; false when nothing changed.
    bool insert(std::u16string_view typed, const TextFormat& format);
    bool deleteBackward(); // Backspace
    bool deleteForward();  // Delete
    void move(CaretMove how, Extend extend, const LineMap* lines = nullptr);
    void selectAll();
    std::u16string selectedText() const;

private:
    std::size_t wordBoundary(std::size_t from, int direction) const;
    void clampSelection();

    RichText& m_text;
    Selection& m_sel;
    const EditRules& m_rules;
};

} // namespace swf::text
