#pragma once
// The TextField class: script access to text fields on the display list. A field's
// properties are accessors on the prototype that read and change the field's state
// through the ClipHost, so a script holding a field that is gone reads undefined.

#include "Interpreter.h"

namespace swf::avm1 {

void installTextFieldBuiltins(Interpreter& vm);

// The script object for a field found by name.
// FIXME: every lookup makes a new object, so properties a script adds to a field are lost
// and two lookups are not the same object.
Object* textFieldObject(Interpreter& vm, const FieldRef& ref, const std::string& name);

} // namespace swf::avm1
