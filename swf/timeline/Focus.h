#pragma once
// The keyboard focus (InputState::focus): which display object has it, and moving it. A
// text field that takes the focus shows its caret and selection; one that loses it hides
// them. Scripts hear of the move from whoever moved it (ActionRunner::focusChanged).

#include "swf/input/InputState.h"

namespace swf::timeline {

class Clip;
struct DisplayObject;
struct World;

struct Focused {
    Clip* parent = nullptr;
    DisplayObject* object = nullptr; // null: nothing has the focus, or it has gone
    explicit operator bool() const { return object != nullptr; }
};

// The object a reference names while it is on stage.
Focused findObject(World& world, const input::ObjectRef& ref);
Focused focusedObject(World& world);
input::ObjectRef refOf(const Clip& parent, const DisplayObject& object);

// Gives `to` the focus (none when empty). `selectAll` selects a field's whole text, as
// Tab and Selection.setFocus do. Returns the object that had it; unchanged when the focus
// was already there.
input::ObjectRef moveFocus(World& world, const input::ObjectRef& to, bool selectAll);

} // namespace swf::timeline
