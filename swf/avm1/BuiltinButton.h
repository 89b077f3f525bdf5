#pragma once
// The Button class: buttons on the display list as script objects. A button's object is
// the same for as long as the button lives; its placement properties, name and flags read
// and change the button through the ClipHost, and the input code calls its handlers
// (onPress, onRelease ...).

#include "Interpreter.h"

namespace swf::avm1 {

void installButtonBuiltins(Interpreter& vm);

// The script object for a button found by name.
Object* buttonObject(Interpreter& vm, const FieldRef& ref);
// A live button's dotted path ("_level0.menu.ok"); undefined for anything else.
Value buttonPath(Interpreter& vm, Object* o);
// The button a script object stands for (it may have gone); null for other objects.
const FieldRef* buttonRefOf(Object* o);

} // namespace swf::avm1
