#pragma once
// The user's side of text fields: a press on a selectable field gives it the keyboard
// focus and puts the caret under the mouse, dragging selects, typed text and the editing
// keys change the focused field under its rules (restrict, maxChars, multiline, password),
// and copy, cut and paste go through InputState::clipboard. Tab moves the focus along the
// tab order. Scripts hear of focus moves and text changes through the action runner.

#include "swf/input/InputState.h"

#include <string_view>

namespace swf::timeline {
class Clip;
struct World;
struct DisplayObject;
} // namespace swf::timeline
namespace swf::avm1 {
class ActionRunner;
}
namespace swf::text {
class FieldState;
}

namespace swf {

class FieldInput {
public:
    FieldInput(timeline::World& world, timeline::Clip& root, avm1::ActionRunner& runner);

    // A left press on `object` (null: nothing under the mouse) at a root point in twips. A
    // selectable field takes the focus and the caret; anything else takes the focus from a
    // field.
    void press(timeline::Clip* parent, timeline::DisplayObject* object, double x, double y);
    // The mouse moved to a root point (twips): a press on a field extends its selection.
    void drag(double x, double y);
    void release() { m_dragging = {}; }

    // A key for the focused field (editing, caret moves, clipboard, Tab); true when used.
    // Shift and Control count when their keys are down or `modifiers` says they are held.
    bool key(int keyCode, std::uint8_t modifiers);
    // Typed text for the focused input field (UTF-8).
    void type(std::string_view utf8);
    // The wheel turned `lines` (positive: away from the user) over `object`: a field
    // scrolls by that many lines.
    void wheel(timeline::Clip& parent, timeline::DisplayObject& object, int lines);

    // Gives `to` the focus and tells scripts. `selectAll` selects a field's whole text.
    void focus(const input::ObjectRef& to, bool selectAll);

private:
    struct Target;
    Target focusedField();
    std::size_t indexAt(const Target& t, double x, double y) const;
    void changed(const Target& t);
    void revealCaret(const Target& t);
    void tab(bool backwards);

    timeline::World& m_world;
    timeline::Clip& m_root;
    avm1::ActionRunner& m_runner;
    input::ObjectRef m_dragging; // the field a press is selecting in
};

} // namespace swf
