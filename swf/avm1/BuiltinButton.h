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

} // namespace swf::avm1
